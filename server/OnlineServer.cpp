#include "server/OnlineServer.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "online/LiveUpdateRules.h"
#include "server/BoardService.h"
#include "server/ChatService.h"
#include "server/LoopWatch.h"
#include "server/ScoreBoard.h"
#include "server/TransferService.h"
#include "server/TurnShare.h"
#include "server/VersionService.h"

namespace server {

namespace {

// Ample for blocks of 1024 bytes and for chat; the kernel doubles it.
constexpr std::int32_t kSystemSendBuffer = 64 * 1024;
// Ample for what a copy of the game sends, and small, so that a client
// read no faster than its budget is held back by its own system soon.
constexpr std::int32_t kSystemReceiveBuffer = 16 * 1024;

// What each port's clients may cost. A copy of the game sends a few small
// messages a minute; these budgets are generous for it. A client past its
// budget is read no faster than the budget allows, and dropped when it
// keeps on for the budget's sustained time (5 seconds). All connections
// from one address share four times one client's budget, which a new
// connection does not refill and which each connection costs a little.
ClientLimits Limits(SendBudget budget, std::size_t costPerMessage, std::int32_t sendQueue,
                    std::size_t costPerConnection, const ServerTimes& times) {
    ClientLimits limits;
    limits.budget = budget;
    limits.costPerMessage = costPerMessage;
    limits.sendQueue = sendQueue;
    limits.systemSendBuffer = kSystemSendBuffer;
    limits.systemReceiveBuffer = kSystemReceiveBuffer;
    limits.addressBudget = {4 * budget.burst, 4 * budget.perSecond, budget.sustained};
    limits.costPerConnection = costPerConnection;
    limits.stalledAfter = times.stalledAfter;
    limits.unfinishedAfter = times.unfinishedAfter;
    return limits;
}
// A copy answers the version once per connection.
ClientLimits VersionLimits(const ServerTimes& t) { return Limits({4 * 1024, 512}, 64, 4 * 1024, 256, t); }
// A receiver sends "FILE?" and one "N!" per block, and each block it is sent
// pays for its "N!" (TransferService). Its queue holds a few blocks.
ClientLimits TransferLimits(const ServerTimes& t) { return Limits({4 * 1024, 1024}, 16, 16 * 1024, 256, t); }
ClientLimits BoardLimits(const ServerTimes& t) { return Limits({16 * 1024, 4 * 1024}, 64, 16 * 1024, 1024, t); }
// A chat line goes to every player, so each costs more. What waits for a
// player is kept in the chat's backlog, not in its queue.
ClientLimits ChatLimits(const ServerTimes& t) { return Limits({16 * 1024, 4 * 1024}, 256, 64 * 1024, 1024, t); }

// Descriptors the process keeps for itself beyond its clients': the
// listeners, the board's files, the log.
constexpr std::size_t kOwnDescriptors = 64;

// The most clients each of `ports` ports may hold within the process's
// limit of open files.
std::size_t ClientsWithinFileLimit(std::size_t ports) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
    const std::size_t files = static_cast<std::size_t>(limit.rlim_cur);
    return files > kOwnDescriptors ? (files - kOwnDescriptors) / ports : 1;
}

ServiceSettings Settings(const char* name, std::int32_t port, const std::string& address, ClientLimits limits,
                         std::size_t maxClients, const LoopWatch& loop, TurnShare& turns) {
    ServiceSettings settings;
    settings.name = name;
    settings.port = port;
    settings.address = address;
    settings.limits = limits;
    settings.maxClients = maxClients;
    settings.loop = &loop;
    settings.turns = &turns;
    return settings;
}

}  // namespace

OnlineServer::OnlineServer(ServerOptions options, ServicePorts ports, ServerLog& log, QObject* parent)
    : QObject(parent), options_(std::move(options)), ports_(ports), log_(log) {}

OnlineServer::~OnlineServer() { Stop(); }

std::vector<Service*> OnlineServer::Services() const {
    std::vector<Service*> services;
    for (Service* s : std::initializer_list<Service*>{version_, transfer_, board_, chat_}) {
        if (s) services.push_back(s);
    }
    return services;
}

bool OnlineServer::Start(std::string& error) {
    Stop();
    std::error_code code;
    const auto patch = online::transfer::OpenFileSource(options_.Patch, code);
    if (!patch) {
        error = "the patch file " + options_.Patch.string() + " cannot be read: " + code.message();
        return false;
    }
    if (options_.MakeBoardFolder) std::filesystem::create_directories(options_.Board.parent_path(), code);
    scores_ = ScoreBoard::Open(options_.Board, error);
    if (!scores_) return false;

    if (!loop_) loop_ = new LoopWatch(std::chrono::milliseconds(100), this);
    if (!turns_) turns_ = new TurnShare({}, this);
    const std::string& at = options_.Listen;
    const std::size_t most = std::min(kMaxClientsPerPort, ClientsWithinFileLimit(4));
    const ServerTimes& t = times_;
    version_ = new VersionService(Settings("version", ports_.version, at, VersionLimits(t), most, *loop_, *turns_),
                                  options_.Version, directory_, log_, this);
    transfer_ = new TransferService(Settings("patch", ports_.transfer, at, TransferLimits(t), most, *loop_, *turns_),
                                    patch, log_, this);
    board_ = new BoardService(Settings("board", ports_.board, at, BoardLimits(t), most, *loop_, *turns_), *scores_,
                              log_, this);
    chat_ = new ChatService(Settings("chat", ports_.chat, at, ChatLimits(t), most, *loop_, *turns_), &directory_, log_,
                            this);
    for (Service* service : Services()) {
        if (!service->Start(error)) {
            Stop();
            return false;
        }
    }
    log_.Write("trotwick-server: version " + std::to_string(options_.Version) + ", patch " + options_.Patch.string() +
               " (" + std::to_string(patch->Size()) + " bytes), board " + options_.Board.string());
    if (most < kMaxClientsPerPort) {
        log_.Write("warning: the system lets this process open too few files for " +
                   std::to_string(kMaxClientsPerPort) + " clients a port: each port holds at most " +
                   std::to_string(most) + " (raise the limit of open files, ulimit -n)");
    }
    if (patch->Size() > online::liveupdate::kMaxPatchSize) {
        log_.Write("warning: the patch is larger than " + std::to_string(online::liveupdate::kMaxPatchSize) +
                   " bytes, which copies of the game refuse");
    }
    return true;
}

void OnlineServer::Stop() {
    for (Service* service : Services()) {
        service->Stop();
        delete service;
    }
    version_ = nullptr;
    transfer_ = nullptr;
    board_ = nullptr;
    chat_ = nullptr;
    scores_.reset();
}

std::size_t OnlineServer::ClientCount() const {
    std::size_t total = 0;
    for (const Service* s : Services()) total += s->ClientCount();
    return total;
}

std::int64_t OnlineServer::BytesQueued() const {
    std::int64_t total = 0;
    for (const Service* s : Services()) total += s->BytesQueued();
    return total;
}

std::int64_t OnlineServer::BytesHeld() const {
    std::int64_t total = 0;
    for (const Service* s : Services()) total += s->BytesHeld();
    return total;
}

}  // namespace server
