#pragma once

#include <sys/socket.h>

#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <string>

// What the server benchmarks' client threads share: plain blocking sends,
// and the server's event loop running until they are all done.

// Sends all of `bytes` (less if the connection fails).
inline void SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

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
