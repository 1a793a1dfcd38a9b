#include "server/Service.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "net/Socket.h"
#include "net/modSocketEngine.h"
#include "platform/Winsock.h"
#include "runtime/Error.h"
#include "server/LoopWatch.h"

namespace server {

namespace {

// Connections waiting to be taken over; the system lowers it to its own
// maximum. A LAN party's copies all reconnect at once after a restart.
constexpr std::int32_t kListenBacklog = 128;

// How often the clients are looked over for one that stopped reading or
// keeps a message unfinished: often enough for the shortest limit.
std::chrono::milliseconds WatchEvery(const ClientLimits& limits) {
    const auto shortest = std::min(limits.stalledAfter, limits.unfinishedAfter) / 4;
    return std::clamp(shortest, std::chrono::milliseconds(50), std::chrono::milliseconds(1000));
}

std::string Seconds(std::chrono::milliseconds time) {
    const auto ms = time.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

Service::Service(ServiceSettings settings, const online::Grammar& grammar, ServerLog& log, QObject* parent)
    : QObject(parent),
      settings_(std::move(settings)),
      grammar_(grammar),
      log_(log),
      listener_(new net::Socket(this)),
      repeats_(settings_.connectionLines),
      addresses_(settings_.limits.addressBudget),
      loop_(settings_.loop ? settings_.loop : new LoopWatch(std::chrono::milliseconds(100), this)),
      turns_(settings_.turns ? settings_.turns : new TurnShare({}, this)) {
    listener_->setObjectName(QString::fromStdString(settings_.name));
    connect(listener_, &net::Socket::ConnectionRequest, this, &Service::Listener_ConnectionRequest);
    summary_.setSingleShot(true);
    connect(&summary_, &QTimer::timeout, this, &Service::Summary_Timer);
    watch_.setInterval(WatchEvery(settings_.limits));
    connect(&watch_, &QTimer::timeout, this, &Service::Watch_Timer);
}

Service::~Service() { Stop(); }

bool Service::Start(std::string& error) {
    const std::string where = "port " + std::to_string(settings_.port) +
                              (settings_.address.empty() ? "" : " on " + settings_.address);
    // A budget that never refills would hold a client's reading for good,
    // and a held connection's close goes unseen while bytes wait before it.
    const SendBudget& budget = settings_.limits.budget;
    const SendBudget& shared = settings_.limits.addressBudget;
    if (budget.burst == 0 || budget.perSecond == 0 || (shared.burst > 0 && shared.perSecond == 0)) {
        error = "cannot serve the " + settings_.name + " on " + where + ": its clients' budget never refills";
        return false;
    }
    try {
        listener_->ListenBacklog(kListenBacklog);
        if (!settings_.address.empty()) {
            listener_->Bind(settings_.port, settings_.address);
        } else {
            listener_->LocalPort(settings_.port);
        }
        bool listening = false;
        if (listener_->State() == net::sckClosed && !settings_.address.empty()) {
            listening = false;
        } else {
            listener_->Listen(&listening);
        }
        if (!listening) {
            const int code = platform::ws::WSAGetLastError();
            error = "cannot listen on " + where + " for the " + settings_.name + ": " +
                    (code == platform::ws::WSAEADDRINUSE ? std::string("it is in use (is another server running?)")
                                                         : net::modSocketEngine::GetErrorDescription(code));
            listener_->CloseSck();
            return false;
        }
    } catch (const runtime::Error& e) {
        error = "cannot listen on " + where + " for the " + settings_.name + ": " +
                (e.Number() == 40014 ? "'" + settings_.address + "' is not an address of this machine"
                                     : e.Description());
        listener_->CloseSck();
        return false;
    }
    // Connections take their receive buffer from the listener: small from
    // their first byte.
    try {
        listener_->SystemBuffers(0, settings_.limits.systemReceiveBuffer);
    } catch (const runtime::Error& e) {
        error = "cannot listen on " + where + " for the " + settings_.name + ": " + e.Description();
        listener_->CloseSck();
        return false;
    }
    Log("listening on port " + std::to_string(Port()));
    watched_ = std::chrono::steady_clock::now();
    watch_.start();
    return true;
}

void Service::Stop() {
    if (listener_->State() != net::sckClosed || !clients_.empty()) Stopping();
    watch_.stop();
    listener_->CloseSck();
    // Dropping removes each from the map.
    while (!clients_.empty()) clients_.begin()->second.connection->Drop("server stopping");
    // What was counted and not yet written goes to the log before the end.
    summary_.stop();
    for (const auto& summary : repeats_.TakeDue(RepeatSummary::Clock::time_point::max())) {
        Log(SummaryLine(summary, settings_.connectionLines.window));
    }
}

std::int32_t Service::Port() const { return listener_->LocalPort(); }

std::int64_t Service::BytesQueued() const {
    std::int64_t total = 0;
    for (const auto& [id, client] : clients_) total += client.connection->BytesToSend();
    return total;
}

std::int64_t Service::BytesHeld() const {
    std::int64_t total = 0;
    for (const auto& [id, client] : clients_) total += static_cast<std::int64_t>(client.connection->BytesHeld());
    return total;
}

std::size_t Service::ClientsFrom(const std::string& address) const {
    const auto it = perAddress_.find(address);
    return it == perAddress_.end() ? 0 : it->second.size();
}

void Service::Log(const std::string& line) const {
    log_.Write("[" + settings_.name + " " + std::to_string(Port()) + "] " + line);
}

void Service::Log(const ClientConnection& client, const std::string& what) const {
    Log("#" + std::to_string(client.Id()) + " " + client.Address() + " " + what);
}

void Service::LogMessage(const ClientConnection& client, RepeatSummary::Event event, const std::string& what) {
    LogMessage(client.Id(), client.Address(), event, what);
}

void Service::LogMessage(std::uint64_t id, const std::string& address, RepeatSummary::Event event,
                         const std::string& what) {
    if (repeats_.Admit(address, event, RepeatSummary::Clock::now())) {
        Log("#" + std::to_string(id) + " " + address + " " + what);
    }
    ScheduleSummary();
}

void Service::ForEachClient(const std::function<void(ClientConnection&)>& visit) {
    // A visit may drop a client (one that stopped reading), which leaves
    // the map: walk a copy of the ids.
    std::vector<std::uint64_t> ids;
    ids.reserve(clients_.size());
    for (const auto& [id, client] : clients_) ids.push_back(id);
    for (const std::uint64_t id : ids) {
        const auto it = clients_.find(id);
        if (it != clients_.end()) visit(*it->second.connection);
    }
}

ClientConnection* Service::Find(std::uint64_t id) const {
    const auto it = clients_.find(id);
    return it == clients_.end() ? nullptr : it->second.connection;
}

void Service::Listener_ConnectionRequest(int requestID) {
    // The listener knows who knocks while the request is handled.
    const std::string address = listener_->RemoteHostIP();
    // A connection not taken over is refused when this returns.
    const auto turnAway = [&](const std::string& why) {
        LogConnection(address, RepeatSummary::Event::TurnedAway,
                      "turned a connection from " + address + " away: " + why);
    };
    if (ClientsFrom(address) >= settings_.maxPerAddress) {
        turnAway(std::to_string(ClientsFrom(address)) + " connections from it already");
        return;
    }
    const auto now = FloodGuard::Clock::now();
    const ServerBusy busy = loop_->Busy(now);
    if (addresses_.Enabled() && addresses_.Spent(address, now, busy)) {
        turnAway("its address is past its budget");
        return;
    }
    if (clients_.size() >= settings_.maxClients && !MakeRoomFor(address)) {
        turnAway(std::to_string(clients_.size()) + " clients already");
        return;
    }
    FloodGuard* shared = nullptr;
    if (addresses_.Enabled()) {
        shared = &addresses_.Take(address, now);
        shared->Spend(settings_.limits.costPerConnection, now, busy);
    }
    const std::uint64_t id = nextId_++;
    const bool logged = repeats_.Admit(address, RepeatSummary::Event::Connection, RepeatSummary::Clock::now());
    ScheduleSummary();
    if (!logged) unlogged_.insert(id);
    auto* client = new ClientConnection(id, grammar_, settings_.limits, *turns_, loop_, shared, this);
    clients_.emplace(id, Client{client, address});
    perAddress_[address].insert(id);
    connect(client, &ClientConnection::MessageReceived, this,
            [this, client](const std::string& message) { Received(*client, message); });
    connect(client, &ClientConnection::Gone, this,
            [this, id](const std::string& reason) { Client_Gone(id, reason); });
    if (client->Accept(requestID)) {
        if (logged) Log(*client, "connected");
        Joined(*client);
    }
}

void Service::Client_Gone(std::uint64_t id, const std::string& reason) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    ClientConnection& client = *it->second.connection;
    // A client's own going (a close, a reset) is written when its coming
    // was; the server's dropping it always is.
    const bool ordinary = reason.rfind("left", 0) == 0 || reason.rfind("dropped: network error", 0) == 0;
    if (unlogged_.erase(id) == 0 || !ordinary) {
        Log("#" + std::to_string(id) + " " + it->second.address + " " + reason);
    }
    Left(client);
    const auto from = perAddress_.find(it->second.address);
    if (from != perAddress_.end()) {
        from->second.erase(id);
        if (from->second.empty()) perAddress_.erase(from);
    }
    if (addresses_.Enabled()) addresses_.Release(it->second.address);
    clients_.erase(it);
}

bool Service::MakeRoomFor(const std::string& address) {
    const auto now = ClientConnection::Clock::now();
    // First one that has not begun its protocol a while after it came, of
    // the address that holds the most; the newest of those.
    ClientConnection* idle = nullptr;
    std::size_t idleHolds = 0;
    for (const auto& [id, client] : clients_) {
        const ClientConnection& c = *client.connection;
        if (FirstStepTaken(c) || now - c.Since() < settings_.firstStepGrace) continue;
        const std::size_t holds = ClientsFrom(client.address);
        if (!idle || holds >= idleHolds) {
            idle = client.connection;
            idleHolds = holds;
        }
    }
    if (idle) {
        idle->Drop("dropped to make room on a full port: it sent nothing in " +
                   Seconds(std::chrono::duration_cast<std::chrono::milliseconds>(now - idle->Since())));
        return true;
    }
    // Else the newest of the address that holds the most, when that is
    // more than the newcomer's would hold with it.
    const auto most = std::max_element(perAddress_.begin(), perAddress_.end(), [](const auto& a, const auto& b) {
        return a.second.size() < b.second.size();
    });
    if (most == perAddress_.end() || most->second.size() <= ClientsFrom(address) + 1) return false;
    const std::size_t holds = most->second.size();
    ClientConnection* newest = Find(*most->second.rbegin());
    if (!newest) return false;
    newest->Drop("dropped to make room on a full port: its address held the most connections (" +
                 std::to_string(holds) + ")");
    return true;
}

void Service::Watch_Timer() {
    const auto now = ClientConnection::Clock::now();
    // A look that comes late comes after a stall of the server's own: what
    // waited meanwhile waited for it. The next look tells.
    const bool onTime = now - watched_ <= 2 * watch_.intervalAsDuration();
    watched_ = now;
    if (addresses_.Enabled()) addresses_.ForgetRefilled(now, loop_->Busy(now));
    if (!onTime) return;
    const ClientLimits& limits = settings_.limits;
    ForEachClient([&](ClientConnection& client) {
        if (const auto since = client.WaitingToBeReadSince(); since && now - *since >= limits.stalledAfter) {
            client.DropAsStalled(BytesKeptFor(client));
            return;
        }
        if (const auto since = client.UnfinishedSince(); since && now - *since >= limits.unfinishedAfter) {
            client.Drop("dropped: kept a message unfinished for " + Seconds(limits.unfinishedAfter));
        }
    });
}

void Service::LogConnection(const std::string& address, RepeatSummary::Event event, const std::string& line) {
    if (repeats_.Admit(address, event, RepeatSummary::Clock::now())) Log(line);
    ScheduleSummary();
}

void Service::ScheduleSummary() {
    const auto due = repeats_.NextDue();
    if (!due || summary_.isActive()) return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - RepeatSummary::Clock::now());
    summary_.start(std::max(wait, std::chrono::milliseconds(0)));
}

void Service::Summary_Timer() {
    for (const auto& summary : repeats_.TakeDue(RepeatSummary::Clock::now())) {
        Log(SummaryLine(summary, settings_.connectionLines.window));
    }
    ScheduleSummary();
}

}  // namespace server
