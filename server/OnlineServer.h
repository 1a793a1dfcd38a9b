#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "online/ServerPorts.h"
#include "server/CommandLine.h"
#include "server/PlayerDirectory.h"
#include "server/ServerLog.h"

// The whole server: the four services on their ports, the patch file and
// the leader's board.
namespace server {

class BoardService;
class ChatService;
class LoopWatch;
class ScoreBoard;
class Service;
class TransferService;
class TurnShare;
class VersionService;

// The ports the services listen on: the game's own by default; tests use
// 0, so the system chooses free ones.
struct ServicePorts {
    std::int32_t version = online::kLiveUpdatePort;
    std::int32_t transfer = online::kFileTransferPort;
    std::int32_t board = online::kLeaderBoardPort;
    std::int32_t chat = online::kChatPort;

    static ServicePorts Any() { return {0, 0, 0, 0}; }
};

// How long a client may take nothing of what waits for it, and keep a
// message unfinished, before it is let go (tests shorten them).
struct ServerTimes {
    std::chrono::milliseconds stalledAfter{20000};
    std::chrono::milliseconds unfinishedAfter{10000};
};

class OnlineServer : public QObject {
    Q_OBJECT
public:
    // The most clients each port holds (fewer when the system lets the
    // process open too few files).
    static constexpr std::size_t kMaxClientsPerPort = 2000;

    OnlineServer(ServerOptions options, ServicePorts ports, ServerLog& log, QObject* parent = nullptr);
    ~OnlineServer() override;

    // Reads the patch file, opens the leader's board and starts listening
    // on every port. False, with `error` saying what is wrong in one line,
    // when any of it fails; nothing is left listening then.
    bool Start(std::string& error);
    // Drops every client, stops listening and closes the board.
    void Stop();

    const ServerOptions& Options() const { return options_; }
    // Takes effect at the next Start.
    void SetTimes(const ServerTimes& times) { times_ = times; }
    // The services, once started (the ports they listen on, their clients).
    VersionService& Version() const { return *version_; }
    TransferService& Transfer() const { return *transfer_; }
    BoardService& Board() const { return *board_; }
    ChatService& Chat() const { return *chat_; }
    // Clients on every port, bytes waiting to go out to them and bytes held
    // of their unfinished messages.
    std::size_t ClientCount() const;
    std::int64_t BytesQueued() const;
    std::int64_t BytesHeld() const;

private:
    std::vector<Service*> Services() const;

    ServerOptions options_;
    ServicePorts ports_;
    ServerLog& log_;
    ServerTimes times_;
    PlayerDirectory directory_;
    std::unique_ptr<ScoreBoard> scores_;
    LoopWatch* loop_ = nullptr;   // shared by the four ports
    TurnShare* turns_ = nullptr;  // likewise
    VersionService* version_ = nullptr;
    TransferService* transfer_ = nullptr;
    BoardService* board_ = nullptr;
    ChatService* chat_ = nullptr;
};

}  // namespace server
