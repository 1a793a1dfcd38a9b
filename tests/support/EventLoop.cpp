#include "tests/support/EventLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

namespace testing_support {

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {

// Sees every event of the user-interface thread before its receiver does.
class ActivationCounter final : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::SockAct) ++count;
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int SocketActivationsDuring(int ms) {
    ActivationCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    RunFor(ms);
    QCoreApplication::instance()->removeEventFilter(&counter);
    return counter.count;
}

}  // namespace testing_support
