#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

#include "online/ServerPorts.h"
#include "server/CommandLine.h"
#include "server/ServerLog.h"

// The whole server: the four services on their ports, the patch file and
// the leader's board.
namespace server {

class ScoreBoard;

// The ports the services listen on: the game's own by default; tests use
// 0, so the system chooses free ones.
struct ServicePorts {
    std::int32_t version = online::kLiveUpdatePort;
    std::int32_t transfer = online::kFileTransferPort;
    std::int32_t board = online::kLeaderBoardPort;
    std::int32_t chat = online::kChatPort;

    static ServicePorts Any() { return {0, 0, 0, 0}; }
};

class OnlineServer : public QObject {
    Q_OBJECT
public:
    OnlineServer(ServerOptions options, ServicePorts ports, ServerLog& log, QObject* parent = nullptr);
    ~OnlineServer() override;

    // Reads the patch file, opens the leader's board and starts listening
    // on every port. False, with `error` saying what is wrong in one line,
    // when any of it fails; nothing is left listening then.
    bool Start(std::string& error);
    // Drops every client and stops listening.
    void Stop();

    const ServerOptions& Options() const { return options_; }

private:
    ServerOptions options_;
    ServicePorts ports_;
    ServerLog& log_;
    std::unique_ptr<ScoreBoard> board_;
};

}  // namespace server
