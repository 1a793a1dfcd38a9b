#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Winsock.h"
#include "tests/support/Resolver.h"
#include "tests/support/RawSocket.h"

namespace ws = platform::ws;
using testing_support::Loopback;
using testing_support::PortOf;
using testing_support::RawSocket;

namespace {

TEST(WinsockErrors, ErrnoValuesMapToWinsockNumbersByTable) {
    const std::pair<int, int> cases[] = {
        {0, 0},
        {EINPROGRESS, 10035},  // a non-blocking connect under way is "would block"
        {EAGAIN, 10035},
        {ECONNREFUSED, 10061},
        {ETIMEDOUT, 10060},
        {EHOSTUNREACH, 10065},
        {ENETUNREACH, 10051},
        {ECONNRESET, 10054},
        {ECONNABORTED, 10053},
        {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049},
        {EMSGSIZE, 10040},
        {ENOTSOCK, 10038},
        {EBADF, 10038},
        {EMFILE, 10024},
        {EACCES, 10013},
        {EINVAL, 10022},
        {EPIPE, 10058},
        {ENOTCONN, 10057},
        {EISCONN, 10056},
        {EAFNOSUPPORT, 10047},
        {ENOBUFS, 10055},
        {EIO, 10022},  // no Winsock counterpart
    };
    for (const auto& [err, wsa] : cases) EXPECT_EQ(ws::WinsockErrorFromErrno(err), wsa) << err;
}

TEST(WinsockErrors, LookupResultsMapToHostErrors) {
    const std::tuple<int, int, int> cases[] = {
        {0, 0, 0},
        {EAI_NONAME, 0, 11001},
        {EAI_AGAIN, 0, 11002},
        {EAI_FAIL, 0, 11003},
        {EAI_NODATA, 0, 11004},
        {EAI_MEMORY, 0, 10055},
        {EAI_SYSTEM, EMFILE, 10024},
    };
    for (const auto& [eai, err, wsa] : cases) EXPECT_EQ(ws::WinsockErrorFromLookup(eai, err), wsa) << eai;
}

TEST(WinsockAddresses, InetAddrAcceptsWhatInetAddrAlwaysHas) {
    const std::pair<std::string, std::string> accepted[] = {
        {"127.0.0.1", "127.0.0.1"}, {"127.1", "127.0.0.1"},      {"10.1.2", "10.1.0.2"},
        {"0x7f.1", "127.0.0.1"},    {"192.168.0.10", "192.168.0.10"}, {"0", "0.0.0.0"},
    };
    for (const auto& [text, dotted] : accepted) {
        const std::uint32_t a = ws::inet_addr(text);
        ASSERT_NE(a, INADDR_NONE) << text;
        EXPECT_EQ(ws::inet_ntoa(a), dotted) << text;
    }
    const std::string refused[] = {"", "localhost", "256.1.1.1", "1.2.3.4.5", "a.b.c.d", std::string("1.2.3.4\0x", 9)};
    for (const auto& text : refused) EXPECT_EQ(ws::inet_addr(text), INADDR_NONE) << text;
}

// Start-up and clean-up balance each other: the socket calls work exactly
// while at least one start-up is not yet cleaned up.
TEST(WinsockStartup, CallsWorkOnlyBetweenStartupAndTheLastCleanup) {
    EXPECT_EQ(ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), ws::INVALID_SOCKET);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSANOTINITIALISED);

    ASSERT_EQ(ws::WSAStartup(0x0101), 0);
    ASSERT_EQ(ws::WSAStartup(0x0101), 0);
    EXPECT_EQ(ws::WSACleanup(), 0);
    const ws::SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, ws::INVALID_SOCKET);
    EXPECT_EQ(ws::WSACleanup(), 0);
    // The last clean-up closed the socket left open.
    EXPECT_EQ(::fcntl(s, F_GETFD), -1);

    EXPECT_EQ(ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), ws::INVALID_SOCKET);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSANOTINITIALISED);
    EXPECT_EQ(ws::WSACleanup(), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAStartup(0x0000), ws::WSAVERNOTSUPPORTED);
}

class WinsockCalls : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ws::WSAStartup(0x0101), 0); }
    void TearDown() override {
        ws::ClearFaults();
        ws::WSACleanup();
    }

    static bool NonBlockingAndCloseOnExec(int fd) {
        return (::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0 && (::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
    }
};

TEST_F(WinsockCalls, EverySocketIsNonBlockingAndCloseOnExec) {
    const ws::SOCKET tcp = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const ws::SOCKET udp = ws::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_GE(tcp, 0);
    ASSERT_GE(udp, 0);
    EXPECT_TRUE(NonBlockingAndCloseOnExec(tcp));
    EXPECT_TRUE(NonBlockingAndCloseOnExec(udp));

    int reuse = 0;
    ASSERT_EQ(ws::getsockopt(tcp, SOL_SOCKET, SO_REUSEADDR, &reuse), 0);
    EXPECT_NE(reuse, 0) << "TCP sockets are reusable before any bind";

    ASSERT_EQ(ws::bind(tcp, Loopback(0)), 0);
    ASSERT_EQ(ws::listen(tcp, 5), 0);
    RawSocket client = RawSocket::Connect(PortOf(tcp));
    ws::SOCKET accepted = ws::INVALID_SOCKET;
    for (int i = 0; i < 500 && accepted < 0; ++i) {
        accepted = ws::accept(tcp, nullptr);
        if (accepted < 0) ::usleep(1000);
    }
    ASSERT_GE(accepted, 0);
    EXPECT_TRUE(NonBlockingAndCloseOnExec(accepted));
}

TEST_F(WinsockCalls, NonBlockingCallsReportWouldBlock) {
    const ws::SOCKET listener = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(ws::bind(listener, Loopback(0)), 0);
    ASSERT_EQ(ws::listen(listener, 5), 0);
    EXPECT_EQ(ws::accept(listener, nullptr), ws::INVALID_SOCKET);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);

    const ws::SOCKET client = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const int result = ws::connect(client, Loopback(PortOf(listener)));
    if (result != 0) {
        EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
    }
}

TEST_F(WinsockCalls, CallsOnSomethingThatIsNotOurSocketAreRefused) {
    const int file = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    char byte;
    EXPECT_EQ(ws::recv(file, &byte, 1, 0), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOTSOCK);
    EXPECT_EQ(ws::closesocket(file), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOTSOCK);
    EXPECT_NE(::fcntl(file, F_GETFD), -1) << "a file is never closed as a socket";
    ::close(file);
}

TEST_F(WinsockCalls, DatagramLongerThanTheBufferFillsItAndReportsMessageTooLong) {
    const ws::SOCKET udp = ws::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_EQ(ws::bind(udp, Loopback(0)), 0);
    RawSocket sender = RawSocket::Udp();
    sender.SendTo(PortOf(udp), "HELLO");
    sender.SendTo(PortOf(udp), "NEXT");
    ::usleep(20000);

    unsigned long waiting = 0;
    ASSERT_EQ(ws::ioctlsocket(udp, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 5u) << "the size of the next datagram";

    char buf[8] = {};
    sockaddr_in from{};
    EXPECT_EQ(ws::recvfrom(udp, buf, 2, MSG_PEEK, &from), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEMSGSIZE);
    EXPECT_EQ(std::string(buf, 2), "HE");
    EXPECT_EQ(ntohs(from.sin_port), sender.Port());
    EXPECT_EQ(ws::recv(udp, buf, 2, 0), ws::SOCKET_ERROR);
    // The rest of the datagram is gone; the next one is whole.
    EXPECT_EQ(ws::recv(udp, buf, sizeof buf, 0), 4);
    EXPECT_EQ(std::string(buf, 4), "NEXT");

    int maxMessage = 0;
    ASSERT_EQ(ws::getsockopt(udp, SOL_SOCKET, ws::SO_MAX_MSG_SIZE, &maxMessage), 0);
    EXPECT_EQ(maxMessage, 65507);
}

TEST_F(WinsockCalls, InjectedCloseFailureStillFreesTheDescriptor) {
    const ws::SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ws::InjectFault(ws::Call::CloseSocket, ws::WSAEINTR);
    EXPECT_EQ(ws::closesocket(s), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEINTR);
    EXPECT_EQ(::fcntl(s, F_GETFD), -1);
    // The fault was used up by that one call.
    const ws::SOCKET t = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(ws::closesocket(t), 0);
}

TEST_F(WinsockCalls, HostNameAndLookups) {
    SKIP_UNLESS_LOCALHOST_RESOLVES();
    char name[256] = {};
    ASSERT_EQ(ws::gethostname(name, sizeof name), 0);
    EXPECT_GT(std::string(name).size(), 0u);

    const auto local = ws::gethostbyname("localhost");
    ASSERT_TRUE(local.has_value());
    ASSERT_FALSE(local->h_addr_list.empty());
    EXPECT_EQ(ws::inet_ntoa(local->h_addr_list.front()), "127.0.0.1");

    const auto dotted = ws::gethostbyname("127.1");
    ASSERT_TRUE(dotted.has_value());
    EXPECT_EQ(ws::inet_ntoa(dotted->h_addr_list.front()), "127.0.0.1");

    EXPECT_FALSE(ws::gethostbyname(std::string("local\0host", 10)).has_value());
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAHOST_NOT_FOUND);
}

TEST_F(WinsockCalls, FirstNonLoopbackAddressIsNeverLoopback) {
    const auto address = ws::FirstNonLoopbackAddress();
    if (address) {
        EXPECT_NE(ntohl(*address) >> 24, 127u);
    }
}

}  // namespace
