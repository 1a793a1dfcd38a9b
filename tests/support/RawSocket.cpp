#include "tests/support/RawSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>

namespace testing_support {

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

std::uint16_t PortOf(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
    return ntohs(a.sin_port);
}

bool PortIsFree(std::uint16_t port) {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const int on = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = ::bind(probe, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
    ::close(probe);
    return free;
}

namespace {

[[noreturn]] void Fail(const char* what) { throw std::runtime_error(what); }

bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

RawSocket::~RawSocket() { Close(); }

RawSocket::RawSocket(RawSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

RawSocket& RawSocket::operator=(RawSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

RawSocket RawSocket::Listen(int receiveBuffer) {
    RawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (receiveBuffer > 0) ::setsockopt(s.fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const sockaddr_in a = Loopback(0);
    if (::bind(s.fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) Fail("bind");
    if (::listen(s.fd_, 16) != 0) Fail("listen");
    return s;
}

bool RawSocket::StartListening() { return fd_ >= 0 && ::listen(fd_, 16) == 0; }

RawSocket RawSocket::Connect(std::uint16_t port, int receiveBuffer) {
    RawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (receiveBuffer > 0) ::setsockopt(s.fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const sockaddr_in a = Loopback(port);
    if (::connect(s.fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) Fail("connect");
    return s;
}

RawSocket RawSocket::RefusingPort() {
    RawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in a = Loopback(0);
    if (::bind(s.fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) Fail("bind");
    return s;
}

RawSocket RawSocket::Udp() {
    RawSocket s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_in a = Loopback(0);
    if (::bind(s.fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) Fail("bind");
    return s;
}

RawSocket RawSocket::Accept(int timeoutMs) {
    if (!WaitReadable(fd_, timeoutMs)) return RawSocket();
    return RawSocket(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

std::uint16_t RawSocket::Port() const { return PortOf(fd_); }

void RawSocket::SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) Fail("send");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void RawSocket::SendTo(std::uint16_t port, std::string_view datagram) {
    const sockaddr_in a = Loopback(port);
    if (::sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) < 0) {
        Fail("sendto");
    }
}

std::string RawSocket::ReceiveExactly(std::size_t n, int timeoutMs) {
    std::string out;
    char buf[65536];
    while (out.size() < n && WaitReadable(fd_, timeoutMs)) {
        const ssize_t got = ::recv(fd_, buf, std::min(sizeof buf, n - out.size()), 0);
        if (got <= 0) break;
        out.append(buf, static_cast<std::size_t>(got));
    }
    return out;
}

std::string RawSocket::ReceiveSome(int timeoutMs) {
    if (!WaitReadable(fd_, timeoutMs)) return "";
    char buf[65536];
    const ssize_t got = ::recv(fd_, buf, sizeof buf, 0);
    return got > 0 ? std::string(buf, static_cast<std::size_t>(got)) : std::string();
}

bool RawSocket::WaitForClose(int timeoutMs) {
    char buf[65536];
    while (WaitReadable(fd_, timeoutMs)) {
        const ssize_t got = ::recv(fd_, buf, sizeof buf, 0);
        if (got <= 0) return true;
    }
    return false;
}

void RawSocket::Reset() {
    if (fd_ < 0) return;
    const linger abort{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Close();
}

void RawSocket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace testing_support
