#pragma once

#include "server/BoardDesk.h"
#include "server/Service.h"

// Port 5917: the leader's board.
namespace server {

class BoardService final : public Service {
    Q_OBJECT
public:
    BoardService(ServiceSettings settings, ScoreStore& store, ServerLog& log, QObject* parent = nullptr);

protected:
    void Received(ClientConnection& client, const std::string& message) override;

private:
    ScoreStore& store_;
};

}  // namespace server
