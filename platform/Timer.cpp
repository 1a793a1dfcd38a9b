#include "platform/Timer.h"

namespace platform {

Timer::Timer(const QString& name, int intervalMs, QObject* parent) : QObject(parent), interval_(intervalMs) {
    setObjectName(name);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::Tick);
}

void Timer::SetInterval(int ms) {
    interval_ = ms < 0 ? 0 : ms;
    Rearm();
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Rearm();
}

void Timer::Rearm() {
    timer_.stop();
    if (enabled_ && interval_ > 0) timer_.start(interval_);
}

}  // namespace platform
