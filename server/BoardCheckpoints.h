#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Moves what the leader's board has written into its journal on into the
// board file itself, in a thread of its own. A write of scores is quick: it
// goes to the journal (SQLite's write-ahead log), which survives a kill of
// the server. Moving the journal into the file waits for the disk, twice
// (the file must be on the disk before the journal may be reused), which
// can take tens of milliseconds or far more on a busy disk, and the
// server's event loop must not wait for that. The thread has its own
// connection to the file and touches nothing else; it moves what is there
// without holding up the writes that go on meanwhile.
namespace server {

class BoardCheckpoints {
public:
    // `file` is the board's, opened in write-ahead mode with SQLite's own
    // moving turned off.
    explicit BoardCheckpoints(std::string file,
                              std::chrono::milliseconds every = std::chrono::milliseconds(1000));
    // Stops the thread once a move under way is done.
    ~BoardCheckpoints();
    BoardCheckpoints(const BoardCheckpoints&) = delete;
    BoardCheckpoints& operator=(const BoardCheckpoints&) = delete;

    // Scores were written: a move is due (at most one each `every`).
    void Written();
    // Moves done so far (for tests).
    int Done() const;

private:
    void Run();

    std::string file_;
    std::chrono::milliseconds every_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool due_ = false;
    bool stop_ = false;
    int done_ = 0;
    std::thread thread_;
};

}  // namespace server
