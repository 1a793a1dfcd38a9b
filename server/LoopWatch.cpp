#include "server/LoopWatch.h"

#include <algorithm>

namespace server {

Stalls::Stalls(Clock::duration beat, Clock::time_point start) : beat_(beat), last_(start) {}

Stalls::Clock::duration Stalls::Late(Clock::time_point now) const {
    return std::max(now - last_ - beat_, Clock::duration::zero());
}

void Stalls::Beat(Clock::time_point now) {
    const Clock::duration late = Late(now);
    total_ += late;
    last_ = std::max(last_, now);
    if (late > Clock::duration::zero()) recent_.push_back({now, late});
    while (!recent_.empty() && now - recent_.front().ended > kLately) recent_.pop_front();
}

ServerBusy Stalls::Busy(Clock::time_point now) const {
    const Clock::duration going = Late(now);
    ServerBusy busy{total_ + going, going};
    for (const Stall& stall : recent_) {
        if (now - stall.ended <= kLately) busy.lately += stall.length;
    }
    return busy;
}

LoopWatch::LoopWatch(std::chrono::milliseconds beat, QObject* parent)
    : QObject(parent), stalls_(beat, Clock::now()) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(beat);
    connect(&timer_, &QTimer::timeout, this, &LoopWatch::Beat_Timer);
    timer_.start();
}

}  // namespace server
