#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

// How long the server's event loop has been too busy to turn, in all: a
// timer that should fire at a steady beat measures how late it comes. What
// clients sent meanwhile piled up through no fault of theirs (FloodGuard).
namespace server {

class LoopWatch final : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    explicit LoopWatch(std::chrono::milliseconds beat = std::chrono::milliseconds(100), QObject* parent = nullptr);

    // The busy time so far, the stall still going on at `now` included (a
    // client read right after a stall may be handled before the beat).
    Clock::duration Busy(Clock::time_point now) const;

    void Beat_Timer();

private:
    Clock::duration Late(Clock::time_point now) const;

    Clock::duration beat_;
    Clock::time_point last_;
    Clock::duration busy_{};
    QTimer timer_;
};

}  // namespace server
