#include "server/Service.h"

#include <vector>

#include "net/Socket.h"
#include "net/modSocketEngine.h"
#include "platform/Winsock.h"
#include "runtime/Error.h"

namespace server {

namespace {

// Connections waiting to be taken over; the system lowers it to its own
// maximum. A LAN party's copies all reconnect at once after a restart.
constexpr std::int32_t kListenBacklog = 128;

}  // namespace

Service::Service(ServiceSettings settings, const online::Grammar& grammar, ServerLog& log, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), grammar_(grammar), log_(log), listener_(new net::Socket(this)) {
    listener_->setObjectName(QString::fromStdString(settings_.name));
    connect(listener_, &net::Socket::ConnectionRequest, this, &Service::Listener_ConnectionRequest);
}

Service::~Service() { Stop(); }

bool Service::Start(std::string& error) {
    const std::string where = "port " + std::to_string(settings_.port) +
                              (settings_.address.empty() ? "" : " on " + settings_.address);
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
    Log("listening on port " + std::to_string(Port()));
    return true;
}

void Service::Stop() {
    listener_->CloseSck();
    // Dropping removes each from the map.
    while (!clients_.empty()) clients_.begin()->second->Drop("server stopping");
}

std::int32_t Service::Port() const { return listener_->LocalPort(); }

std::int64_t Service::BytesQueued() const {
    std::int64_t total = 0;
    for (const auto& [id, client] : clients_) total += client->BytesToSend();
    return total;
}

std::int64_t Service::BytesHeld() const {
    std::int64_t total = 0;
    for (const auto& [id, client] : clients_) total += static_cast<std::int64_t>(client->BytesHeld());
    return total;
}

void Service::Log(const std::string& line) const {
    log_.Write("[" + settings_.name + " " + std::to_string(Port()) + "] " + line);
}

void Service::Log(const ClientConnection& client, const std::string& what) const {
    Log("#" + std::to_string(client.Id()) + " " + client.Address() + " " + what);
}

void Service::ForEachClient(const std::function<void(ClientConnection&)>& visit) {
    // A visit may drop a client (one that stopped reading), which leaves
    // the map: walk a copy of the ids.
    std::vector<std::uint64_t> ids;
    ids.reserve(clients_.size());
    for (const auto& [id, client] : clients_) ids.push_back(id);
    for (const std::uint64_t id : ids) {
        const auto it = clients_.find(id);
        if (it != clients_.end()) visit(*it->second);
    }
}

ClientConnection* Service::Find(std::uint64_t id) const {
    const auto it = clients_.find(id);
    return it == clients_.end() ? nullptr : it->second;
}

void Service::Listener_ConnectionRequest(int requestID) {
    if (clients_.size() >= settings_.maxClients) {
        // Not taken over: the library refuses it when this returns.
        Log("turned a connection away: " + std::to_string(clients_.size()) + " clients already");
        return;
    }
    const std::uint64_t id = nextId_++;
    auto* client = new ClientConnection(id, grammar_, settings_.limits, this);
    clients_.emplace(id, client);
    connect(client, &ClientConnection::MessageReceived, this,
            [this, client](const std::string& message) { Received(*client, message); });
    connect(client, &ClientConnection::Gone, this,
            [this, id](const std::string& reason) { Client_Gone(id, reason); });
    if (client->Accept(requestID)) {
        Log(*client, "connected");
        Joined(*client);
    }
}

void Service::Client_Gone(std::uint64_t id, const std::string& reason) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    ClientConnection& client = *it->second;
    Log(client, reason);
    Left(client);
    clients_.erase(id);
}

}  // namespace server
