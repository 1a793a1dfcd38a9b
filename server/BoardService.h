#pragma once

#include <QTimer>
#include <vector>

#include "server/BoardDesk.h"
#include "server/Service.h"

// Port 5917: the leader's board. The scores that arrive during one turn of
// the event loop are written to the board together once the turn is over
// (or once kMostWaiting of them wait): one write to the file for many
// scores, and none of them waits longer than a turn. Only a score written
// is logged as one: a score's line follows its write, so whatever the log
// calls a score is on the board, even if the server is killed the moment
// after; one that could not be written is logged as lost, by name.
namespace server {

class BoardService final : public Service {
    Q_OBJECT
public:
    // The most scores that wait to be written together: however many a
    // turn brings, the board writes them in batches of this many at most.
    static constexpr std::size_t kMostWaiting = 256;

    BoardService(ServiceSettings settings, ScoreStore& store, ServerLog& log, QObject* parent = nullptr);
    ~BoardService() override;

    // The turn is over: writes the scores it brought.
    void Commit_Timer();

protected:
    void Received(ClientConnection& client, const std::string& message) override;
    void Stopping() override { Commit_Timer(); }

private:
    // A score kept in the store, whose line waits for its write.
    struct Waiting {
        std::uint64_t client;
        std::string address;
        std::string described;
    };
    // The scores waiting are lost: each gets a line saying so.
    void LoseWaiting(const std::string& why);

    ScoreStore& store_;
    std::vector<Waiting> waiting_;
    QTimer commit_;
};

}  // namespace server
