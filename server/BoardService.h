#pragma once

#include <QTimer>

#include "server/BoardDesk.h"
#include "server/Service.h"

// Port 5917: the leader's board. The scores that arrive during one turn of
// the event loop are written to the board together once the turn is over:
// one write to the file for many scores, and none of them waits longer
// than the turn.
namespace server {

class BoardService final : public Service {
    Q_OBJECT
public:
    BoardService(ServiceSettings settings, ScoreStore& store, ServerLog& log, QObject* parent = nullptr);
    ~BoardService() override;

    // The turn is over: writes the scores it brought.
    void Commit_Timer();

protected:
    void Received(ClientConnection& client, const std::string& message) override;

private:
    ScoreStore& store_;
    QTimer commit_;
};

}  // namespace server
