#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// Brings the signals that ask the program to end (SIGTERM from the desktop
// session or `kill`, SIGINT from Ctrl+C, SIGHUP when its terminal goes away)
// into the event loop, also the one of an open modal box, so that the program
// can end through its own shutdown. The signal handler only writes the
// signal's number into a pipe;
// everything else happens later, on the user-interface thread.
//
// The handlers belong to the whole process: one instance at a time. The
// previous handlers come back when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe could not be made (the signals then keep their
    // previous handling).
    bool Installed() const { return installed_; }

signals:
    // One emission per signal that arrived.
    void Received(int signalNumber);

private:
    void Drain();

    QSocketNotifier* notifier_ = nullptr;
    bool installed_ = false;
};

}  // namespace platform
