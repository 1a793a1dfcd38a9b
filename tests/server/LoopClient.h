#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>
#include <string_view>

#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"

// A scripted client of the server in the same process: a plain socket
// whose reads run Qt's event loop meanwhile, so the server answers.
namespace server_testing {

class LoopClient {
public:
    LoopClient() = default;
    // Connects to 127.0.0.1:port. A receive buffer above 0 is set first
    // (small: the client's side fills soon when it stops reading). A
    // `from` address of the loopback range (such as "127.0.0.2") makes the
    // client another machine as the server sees it.
    static LoopClient Connect(int port, int receiveBuffer = 0, const char* from = nullptr) {
        LoopClient c;
        c.socket_ = testing_support::RawSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (receiveBuffer > 0) {
            ::setsockopt(c.socket_.Fd(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        if (from != nullptr) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            ::inet_pton(AF_INET, from, &local.sin_addr);
            if (::bind(c.socket_.Fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) c.closed_ = true;
        }
        const sockaddr_in a = testing_support::Loopback(static_cast<std::uint16_t>(port));
        if (::connect(c.socket_.Fd(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) c.closed_ = true;
        return c;
    }

    // A send the server has closed the connection for marks it closed.
    void Send(std::string_view bytes) {
        try {
            socket_.SendAll(bytes);
        } catch (const std::exception&) {
            closed_ = true;
        }
    }

    // Queues bytes and sends what the system takes now, without waiting
    // (for a client the server may hold back: a blocking send would stop
    // the test's event loop, and the server with it).
    void Offer(std::string_view bytes) {
        unsent_ += bytes;
        SendWhatFits();
    }
    // Sends what is queued as far as the system takes it.
    void SendWhatFits() {
        while (!closed_ && !unsent_.empty()) {
            const ssize_t n = ::send(socket_.Fd(), unsent_.data(), unsent_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                unsent_.erase(0, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
            closed_ = true;
        }
    }
    // Bytes offered that the system has not taken yet.
    std::size_t Unsent() const { return unsent_.size(); }

    // Runs the event loop until `n` bytes in all have come since the last
    // Take (or the server closed, or the time is up); hands them out.
    std::string Receive(std::size_t n, int timeoutMs = 5000) {
        testing_support::RunUntil([&] { return Pump() >= n || closed_; }, timeoutMs);
        return Take(n);
    }
    // Whatever came while the loop ran for `ms`.
    std::string ReceiveFor(int ms) {
        testing_support::RunUntil([&] {
            Pump();
            return false;
        }, ms);
        return Take(held_.size());
    }
    // Runs the loop until the server has closed the connection.
    bool WaitForClose(int timeoutMs = 5000) {
        return testing_support::RunUntil([&] {
            Pump();
            if (held_.size() > (1u << 20)) held_.clear();
            return closed_;
        }, timeoutMs);
    }
    // Bytes that came and were not taken yet.
    std::size_t Held() { return Pump(); }
    bool Closed() const { return closed_; }
    void Close() { socket_.Close(); }
    int Fd() const { return socket_.Fd(); }

private:
    // Reads what is there without waiting.
    std::size_t Pump() {
        char buffer[65536];
        while (!closed_) {
            const ssize_t n = ::recv(socket_.Fd(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                held_.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
            closed_ = true;
        }
        return held_.size();
    }
    std::string Take(std::size_t n) {
        std::string out = held_.substr(0, n);
        held_.erase(0, out.size());
        return out;
    }

    testing_support::RawSocket socket_;
    std::string held_;
    std::string unsent_;
    bool closed_ = false;
};

}  // namespace server_testing
