#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "online/ChatProtocol.h"
#include "online/MessageReader.h"
#include "server/CommandLine.h"
#include "server/OnlineServer.h"

// What the server benchmarks' client threads share: plain blocking sends,
// connections from addresses of their own, the server's event loop running
// until they are all done, and a chat player that measures how long its
// lines take to come back.

// A folder of its own in the system's temporary folder, gone at the end.
class Folder {
public:
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trotwick-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path operator/(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A whole server's options with everything in `folder`: version 29, a patch
// program of two bytes, the board there (made when missing).
inline server::ServerOptions ServerIn(const Folder& folder) {
    server::ServerOptions options;
    options.Version = 29;
    options.Patch = folder / "Patch.exe";
    options.Board = folder / "board.sqlite";
    if (std::FILE* patch = std::fopen(options.Patch.c_str(), "w")) {
        std::fputs("MZ", patch);
        std::fclose(patch);
    }
    return options;
}

// Starts the server; false, having said why, when it cannot.
inline bool Start(server::OnlineServer& online) {
    std::string error;
    if (online.Start(error)) return true;
    std::fprintf(stderr, "the server did not start: %s\n", error.c_str());
    return false;
}

// Sends all of `bytes` (less if the connection fails).
inline void SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

// A connection to 127.0.0.1:port from `from` (127.x.y.z: another machine
// as the server sees it), its sends going out at once.
inline int ConnectFrom(int port, const std::string& from = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// Reads what is there, waiting at most `ms`; false once the peer closed.
inline bool Drain(int fd, std::string* into, int ms) {
    timeval timeout{0, ms * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return false;
    if (n > 0 && into) into->append(buffer, static_cast<std::size_t>(n));
    return true;
}

// The benchmark process holds both ends of thousands of connections: its
// limit of open files goes as high as the system lets it. The new limit.
inline rlim_t RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur;
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

// The longest the event loop went without turning while it lived, seen by
// a timer that should beat every 2 ms: what stalls the server shows here;
// what is left of a round trip beyond it was spent outside the loop.
class LoopGaps {
public:
    LoopGaps() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            longest_ = std::max(longest_, std::chrono::duration<double, std::milli>(now - last_).count());
            last_ = now;
        });
        timer_.start();
    }
    double Longest() const { return longest_; }

private:
    QTimer timer_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
    double longest_ = 0;
};

// Round trips in milliseconds: median, 99th percentile, worst.
struct RoundTrips {
    double median = 0;
    double p99 = 0;
    double worst = 0;
    std::size_t count = 0;

    static RoundTrips Of(std::vector<double> trips) {
        RoundTrips result;
        std::sort(trips.begin(), trips.end());
        result.count = trips.size();
        if (!trips.empty()) {
            result.median = trips[trips.size() / 2];
            result.p99 = trips[std::min(trips.size() - 1, trips.size() * 99 / 100)];
            result.worst = trips.back();
        }
        return result;
    }
};

// One chat player who talks: a line every `every` until `until`, and the
// time each takes to come back to it, in milliseconds, added to `trips`. A
// line that never comes back ends it 5 seconds after `until`.
inline void Ping(int fd, int who, std::chrono::steady_clock::time_point until, std::chrono::milliseconds every,
                 std::vector<double>& trips, std::mutex& lock) {
    using Clock = std::chrono::steady_clock;
    const std::string user = "pinger" + std::to_string(who);
    std::vector<Clock::time_point> sentAt;
    online::MessageReader reader(online::chat::GameToServerGrammar(), 1 << 30);
    auto next = Clock::now();
    std::vector<double> mine;
    while (Clock::now() < until || mine.size() < sentAt.size()) {
        if (Clock::now() >= next && Clock::now() < until) {
            const std::string text = "ping " + std::to_string(sentAt.size());
            sentAt.push_back(Clock::now());
            SendAll(fd, online::chat::Format(online::chat::ChatLine{user, "20:15:00", text}));
            next += every;
        }
        std::string bytes;
        if (!Drain(fd, &bytes, 5)) break;
        if (Clock::now() > until + std::chrono::seconds(5)) break;  // a line lost
        reader.Append(bytes);
        while (auto line = reader.Next()) {
            const auto known = online::chat::RecogniseGameMessage(*line);
            if (!known) continue;
            const auto* chat = std::get_if<online::chat::ChatLine>(&*known);
            if (!chat || chat->user != user) continue;
            const std::size_t n = std::stoul(chat->line.substr(5));
            if (n < sentAt.size()) {
                mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sentAt[n]).count());
            }
        }
    }
    const std::lock_guard<std::mutex> guard(lock);
    trips.insert(trips.end(), mine.begin(), mine.end());
}
