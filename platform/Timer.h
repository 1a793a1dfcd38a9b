#pragma once

#include <QObject>
#include <QTimer>
#include <string>

namespace platform {

// A timer as the game's windows use it: an interval in milliseconds and an
// enabled flag. Enabling it, or setting its interval, starts its count
// afresh, and an interval of 0 never ticks. The window connects Tick to its
// handler (NoticeTim_Timer, MoveHorses_Timer...), which tests call directly
// instead of waiting.
class Timer : public QObject {
    Q_OBJECT
public:
    Timer(const QString& name, int intervalMs, QObject* parent = nullptr);

    void SetInterval(int ms);
    int Interval() const { return interval_; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    // True when it will really tick (enabled with a non-zero interval).
    bool Running() const { return timer_.isActive(); }

    std::string Tag;

signals:
    void Tick();

private:
    void Rearm();

    QTimer timer_;
    int interval_;
    bool enabled_ = false;
};

}  // namespace platform
