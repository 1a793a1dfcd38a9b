#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <deque>

#include "server/FloodGuard.h"

// How long the server's event loop has been too busy to turn: a timer that
// should fire at a steady beat measures how late it comes. What clients
// sent meanwhile piled up through no fault of theirs (FloodGuard).
namespace server {

// The stalls of a loop that should beat steadily, as its beats show them.
// Free of Qt and of the clock (the caller says when).
class Stalls {
public:
    using Clock = std::chrono::steady_clock;

    // How long after a stall it counts as just ended: a client with bytes
    // waiting in it is read at the loop's first turn after it.
    static constexpr std::chrono::seconds kLately{1};

    Stalls(Clock::duration beat, Clock::time_point start);

    // A beat came at `now`: the time since the last beyond one beat was a
    // stall.
    void Beat(Clock::time_point now);
    // The busy time so far, and lately, the stall still going on at `now`
    // included (a client read right after a stall may be handled before
    // the beat).
    ServerBusy Busy(Clock::time_point now) const;

private:
    Clock::duration Late(Clock::time_point now) const;

    struct Stall {
        Clock::time_point ended;
        Clock::duration length;
    };
    Clock::duration beat_;
    Clock::time_point last_;
    Clock::duration total_{};
    std::deque<Stall> recent_;  // those that ended within kLately of the last beat
};

class LoopWatch final : public QObject {
    Q_OBJECT
public:
    using Clock = Stalls::Clock;

    explicit LoopWatch(std::chrono::milliseconds beat = std::chrono::milliseconds(100), QObject* parent = nullptr);

    ServerBusy Busy(Clock::time_point now) const { return stalls_.Busy(now); }

    void Beat_Timer() { stalls_.Beat(Clock::now()); }

private:
    Stalls stalls_;
    QTimer timer_;
};

}  // namespace server
