#include "server/LoopWatch.h"

#include <algorithm>

namespace server {

LoopWatch::LoopWatch(std::chrono::milliseconds beat, QObject* parent)
    : QObject(parent), beat_(beat), last_(Clock::now()) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(beat);
    connect(&timer_, &QTimer::timeout, this, &LoopWatch::Beat_Timer);
    timer_.start();
}

LoopWatch::Clock::duration LoopWatch::Late(Clock::time_point now) const {
    return std::max(now - last_ - beat_, Clock::duration::zero());
}

LoopWatch::Clock::duration LoopWatch::Busy(Clock::time_point now) const { return busy_ + Late(now); }

void LoopWatch::Beat_Timer() {
    const Clock::time_point now = Clock::now();
    busy_ += Late(now);
    last_ = now;
}

}  // namespace server
