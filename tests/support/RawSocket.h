#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <string_view>

// A plain blocking POSIX socket on loopback: the far end of a test's
// connection, independent of the code under test.
namespace testing_support {

// 127.0.0.1 with the port.
sockaddr_in Loopback(std::uint16_t port);
// The local port a socket descriptor is bound to; 0 when it is not bound.
std::uint16_t PortOf(int fd);
// Whether a TCP port could be listened on for every address, probed the way
// the game and the server bind theirs (so a port they could not have either
// is found taken). A test of one of the product's fixed ports skips when not.
bool PortIsFree(std::uint16_t port);

class RawSocket {
public:
    RawSocket() = default;
    explicit RawSocket(int fd) : fd_(fd) {}
    ~RawSocket();
    RawSocket(RawSocket&& other) noexcept;
    RawSocket& operator=(RawSocket&& other) noexcept;
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    // A TCP listener on 127.0.0.1 with a port the system chose. A receive
    // buffer size above 0 is set before listening (it then holds for the
    // accepted connections).
    static RawSocket Listen(int receiveBuffer = 0);
    // A TCP connection to 127.0.0.1:port (blocking). A receive buffer size
    // above 0 is set before connecting (a peer that soon stops taking data).
    static RawSocket Connect(std::uint16_t port, int receiveBuffer = 0);
    // A port on 127.0.0.1 that is bound but never listened on, so a connect
    // to it is refused while this socket lives.
    static RawSocket RefusingPort();
    // A refusing port starts listening: a server that was down comes back on
    // the same port, which nobody else could take meanwhile.
    bool StartListening();
    // A UDP socket bound to 127.0.0.1 with a port the system chose.
    static RawSocket Udp();

    // The next connection of a listener; an invalid socket after the timeout.
    RawSocket Accept(int timeoutMs = 5000);

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    std::uint16_t Port() const;

    void SendAll(std::string_view bytes);
    void SendTo(std::uint16_t port, std::string_view datagram);
    // Reads until `n` bytes came, the peer closed, or the timeout passed.
    std::string ReceiveExactly(std::size_t n, int timeoutMs = 5000);
    // Whatever arrives within the timeout, once something arrived; "" at
    // the peer's close or after the timeout.
    std::string ReceiveSome(int timeoutMs = 5000);
    // True when the peer's close arrives within the timeout (data before it
    // is read and dropped).
    bool WaitForClose(int timeoutMs = 5000);
    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

private:
    int fd_ = -1;
};

}  // namespace testing_support
