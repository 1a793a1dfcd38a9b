#include "server/OnlineServer.h"

#include <filesystem>
#include <system_error>

#include "online/LiveUpdateRules.h"
#include "server/BoardService.h"
#include "server/ChatService.h"
#include "server/LoopWatch.h"
#include "server/ScoreBoard.h"
#include "server/TransferService.h"
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
// keeps on for the budget's sustained time (5 seconds).
// A copy answers the version once per connection.
ClientLimits VersionLimits() { return {{4 * 1024, 512}, 64, 4 * 1024, kSystemSendBuffer, kSystemReceiveBuffer}; }
// A receiver sends "FILE?" and one "N!" per block, and each block it is sent
// pays for its "N!" (TransferService). Its queue holds a few blocks.
ClientLimits TransferLimits() { return {{4 * 1024, 1024}, 16, 16 * 1024, kSystemSendBuffer, kSystemReceiveBuffer}; }
ClientLimits BoardLimits() { return {{16 * 1024, 4 * 1024}, 64, 16 * 1024, kSystemSendBuffer, kSystemReceiveBuffer}; }
// A chat line goes to every player, so each costs more; a slow reader may
// fall a good way behind a busy chat before it is dropped.
ClientLimits ChatLimits() { return {{16 * 1024, 4 * 1024}, 256, 256 * 1024, kSystemSendBuffer, kSystemReceiveBuffer}; }

ServiceSettings Settings(const char* name, std::int32_t port, const std::string& address, ClientLimits limits,
                         const LoopWatch& loop) {
    ServiceSettings settings;
    settings.name = name;
    settings.port = port;
    settings.address = address;
    settings.limits = limits;
    settings.loop = &loop;
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
    const std::string& at = options_.Listen;
    version_ = new VersionService(Settings("version", ports_.version, at, VersionLimits(), *loop_), options_.Version,
                                  directory_, log_, this);
    transfer_ = new TransferService(Settings("patch", ports_.transfer, at, TransferLimits(), *loop_), patch, log_, this);
    board_ = new BoardService(Settings("board", ports_.board, at, BoardLimits(), *loop_), *scores_, log_, this);
    chat_ = new ChatService(Settings("chat", ports_.chat, at, ChatLimits(), *loop_), &directory_, log_, this);
    for (Service* service : Services()) {
        if (!service->Start(error)) {
            Stop();
            return false;
        }
    }
    log_.Write("trotwick-server: version " + std::to_string(options_.Version) + ", patch " + options_.Patch.string() +
               " (" + std::to_string(patch->Size()) + " bytes), board " + options_.Board.string());
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
