#pragma once

#include <QEventLoop>
#include <QMetaObject>
#include <atomic>

// Runs the event loop until `remaining` client threads have called Done(),
// so a benchmark's server keeps serving while its clients work.
class Finish {
public:
    explicit Finish(int threads) : remaining_(threads) {}
    void Done() {
        if (--remaining_ == 0) QMetaObject::invokeMethod(&loop_, "quit", Qt::QueuedConnection);
    }
    void Wait() {
        if (remaining_ > 0) loop_.exec();
    }

private:
    std::atomic<int> remaining_;
    QEventLoop loop_;
};
