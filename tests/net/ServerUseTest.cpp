// What a server needs of a socket beyond the game's use: a send queue it can
// watch and cap, so a client that stops reading is dropped before it eats
// the memory, a listen backlog for many clients at once, small buffers of
// the system's, and asking a silent peer whether it is still there.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <thread>

#include "SocketTestKit.h"
#include "tests/support/RawSocket.h"

namespace ws = platform::ws;
using namespace net;
using namespace net_testing;
using testing_support::RawSocket;

namespace {

class ServerUse : public SocketTest {
protected:
    // An object connected to a plain socket that reads nothing until the
    // test says so; both sides' buffers small, so the queue fills soon.
    void OpenToASlowReader(Endpoint& s) {
        listener_ = RawSocket::Listen(4096);
        s->Connect(std::string("127.0.0.1"), listener_.Port());
        peer_ = listener_.Accept();
        ASSERT_TRUE(peer_.Valid());
        ASSERT_TRUE(RunUntil([&] { return s.State() == sckConnected; }));
        ASSERT_EQ(ws::setsockopt(s->SocketHandle(), SOL_SOCKET, SO_SNDBUF, 8192), 0);
        s.events.log.clear();
    }
    RawSocket listener_;
    RawSocket peer_;
};

// Block `i` of a stream, recognisable wherever it lands.
std::string Block(std::size_t i, std::size_t size) {
    std::string block(size, static_cast<char>('a' + i % 26));
    block.replace(0, std::min(size, std::to_string(i).size()), std::to_string(i));
    return block;
}

TEST_F(ServerUse, SendQueueIsCountedAndItsLimitRefusesWholeMessages) {
    Endpoint s;
    OpenToASlowReader(s);
    EXPECT_EQ(s->BytesToSend(), 0);
    EXPECT_EQ(s->SendQueueLimit(), 0) << "no limit unless asked: the game's sockets queue all";

    constexpr std::int32_t kLimit = 64 * 1024;
    constexpr std::size_t kBlock = 10000;
    s->SendQueueLimit(kLimit);
    std::string accepted;
    runtime::Error refusal(0, "", "");
    for (std::size_t i = 0; i < 1000 && refusal.Number() == 0; ++i) {
        const std::string block = Block(i, kBlock);
        const std::int32_t queuedBefore = s->BytesToSend();
        const std::size_t eventsBefore = s.events.log.size();
        refusal = Raised([&] { s->SendData(block); });
        if (refusal.Number() == 0) {
            accepted += block;
            continue;
        }
        EXPECT_EQ(s->BytesToSend(), queuedBefore) << "nothing of a refused message is queued";
        EXPECT_EQ(s.events.log.size(), eventsBefore) << "a refusal raises no event";
        EXPECT_GT(queuedBefore + static_cast<std::int32_t>(kBlock), kLimit);
    }
    ASSERT_EQ(refusal.Number(), ws::WSAENOBUFS) << "the queue of a reader that stops must fill";
    EXPECT_EQ(refusal.Description(), "No buffer space available.");
    EXPECT_EQ(refusal.Source(), "CSocketEngine.SendData");
    EXPECT_EQ(s.State(), sckConnected) << "the owner decides what to do with the peer";
    EXPECT_LE(s->BytesToSend(), kLimit);
    EXPECT_GT(s->BytesToSend(), 0);

    // The reader wakes up: everything accepted arrives whole and in order,
    // and nothing of the refused message.
    const int completesBefore = s.events.Count("SendComplete");
    std::string received;
    std::thread reader([&] { received = peer_.ReceiveExactly(accepted.size(), 10000); });
    const bool complete = RunUntil([&] { return s.events.Count("SendComplete") > completesBefore; }, 10000);
    reader.join();
    ASSERT_TRUE(complete);
    EXPECT_TRUE(received == accepted) << "received " << received.size() << " of " << accepted.size() << " bytes";
    EXPECT_EQ(s->BytesToSend(), 0);

    s->SendData(Block(7, kBlock));  // room again
    EXPECT_EQ(peer_.ReceiveExactly(kBlock), Block(7, kBlock));
}

TEST_F(ServerUse, MessageLongerThanTheLimitIsRefusedEvenOnAnIdleSocket) {
    Endpoint s;
    OpenToASlowReader(s);
    s->SendQueueLimit(100);
    EXPECT_EQ(Raised([&] { s->SendData(std::string(101, 'x')); }).Number(), ws::WSAENOBUFS);
    s->SendData(std::string(100, 'y'));
    EXPECT_EQ(peer_.ReceiveExactly(100), std::string(100, 'y'));
    EXPECT_EQ(s.events.log, (std::vector<std::string>{"SendProgress(100,0)", "SendComplete"}));

    s->CloseSck();
    EXPECT_EQ(s->SendQueueLimit(), 100) << "kept across a close, like the other settings";
}

// What the peer has not acknowledged is counted: nothing once a reading peer
// has it all, something while a peer that stopped reading holds it up. The
// limit on how long it may wait reaches the system for this connection.
TEST_F(ServerUse, UnacknowledgedBytesAreCountedAndTheirWaitIsLimited) {
    Endpoint s;
    OpenToASlowReader(s);
    EXPECT_EQ(s->BytesUnacknowledged(), 0);
    s->SendData(std::string(100, 'a'));
    EXPECT_EQ(peer_.ReceiveExactly(100), std::string(100, 'a'));
    EXPECT_TRUE(RunUntil([&] { return s->BytesUnacknowledged() == 0; }));
    for (std::size_t i = 0; i < 8; ++i) s->SendData(Block(i, 10000));
    EXPECT_TRUE(RunUntil([&] { return s->BytesUnacknowledged() > 0 && s->BytesToSend() > 0; }));

    s->UnacknowledgedTimeout(4321);
    int timeout = 0;
    ASSERT_EQ(ws::getsockopt(s->SocketHandle(), IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout), 0);
    EXPECT_EQ(timeout, 4321);
    s->CloseSck();
    EXPECT_EQ(s->BytesUnacknowledged(), 0);
}

// What the peer acknowledged is counted from the connection's start and is
// still known once the connection has failed: a server can tell whether a
// message reached a client that then went. Sends a test holds back wait in
// the queue, neither delivered nor acknowledged, until released.
TEST_F(ServerUse, AcknowledgedBytesAreKnownAfterTheConnectionFails) {
    Endpoint s;
    OpenToASlowReader(s);
    const std::int64_t start = s->BytesAcknowledged();
    EXPECT_LE(start, 1) << "at most the connection's opening";
    s->SendData(std::string(100, 'a'));
    EXPECT_EQ(peer_.ReceiveExactly(100), std::string(100, 'a'));
    EXPECT_TRUE(RunUntil([&] { return s->BytesAcknowledged() == start + 100; }));

    ASSERT_TRUE(ws::HoldSends(s->SocketHandle(), true));
    s->SendData("held back");
    RunFor(50);
    EXPECT_EQ(s->BytesToSend(), 9);
    EXPECT_EQ(s->BytesAcknowledged(), start + 100);
    EXPECT_EQ(peer_.ReceiveSome(50), "");
    ASSERT_TRUE(ws::HoldSends(s->SocketHandle(), false));
    EXPECT_TRUE(RunUntil([&] { return s->BytesToSend() == 0; })) << "FD_WRITE follows the release";
    EXPECT_EQ(peer_.ReceiveExactly(9), "held back");
    EXPECT_TRUE(RunUntil([&] { return s->BytesAcknowledged() == start + 109; }));

    peer_.Reset();
    ASSERT_TRUE(RunUntil([&] { return s.State() == sckError || s.State() == sckClosing; }));
    EXPECT_EQ(s->BytesAcknowledged(), start + 109) << "kept after the reset";
    s->CloseSck();
    EXPECT_EQ(s->BytesAcknowledged(), 0);
}

// Ending with a reset throws away what is still queued, so none of it can
// reach the peer later, and the peer hears a reset rather than a close.
TEST_F(ServerUse, AbortThrowsAwayWhatWaitsToBeSent) {
    Endpoint s;
    OpenToASlowReader(s);
    s->SendData("before");
    EXPECT_EQ(peer_.ReceiveExactly(6), "before");
    ASSERT_TRUE(ws::HoldSends(s->SocketHandle(), true));
    s->SendData("never");
    s->Abort();
    EXPECT_EQ(s.State(), sckClosed);
    char byte = 0;
    ssize_t n = 0;
    for (int i = 0; i < 100; ++i) {
        n = ::recv(peer_.Fd(), &byte, 1, MSG_DONTWAIT);
        if (n >= 0 || errno != EAGAIN) break;
        RunFor(10);
    }
    EXPECT_EQ(n, -1);
    EXPECT_EQ(errno, ECONNRESET);
}

int OptionOf(int fd, int level, int option) {
    int value = -1;
    ws::getsockopt(fd, level, option, &value);
    return value;
}

// A peer that sleeps or loses its network never closes: the system asks it
// after a while of silence and gives the connection up when it does not
// answer. The settings reach the system for this connection.
TEST_F(ServerUse, KeepAliveAndNoDelayReachTheSystem) {
    Endpoint s;
    OpenToASlowReader(s);
    const int fd = s->SocketHandle();
    EXPECT_EQ(OptionOf(fd, SOL_SOCKET, SO_KEEPALIVE), 0) << "off until asked for";
    s->KeepAlive(60, 10, 6);
    EXPECT_EQ(OptionOf(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_KEEPIDLE), 60);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_KEEPINTVL), 10);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_KEEPCNT), 6);
    s->KeepAlive(0, 0, 0);
    EXPECT_EQ(OptionOf(fd, SOL_SOCKET, SO_KEEPALIVE), 0);

    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_NODELAY), 0);
    s->NoDelay(true);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_NODELAY), 1);

    struct Case {
        const char* what;
        std::function<void()> call;
        int number;
    };
    const Case refused[] = {
        {"a negative idle time", [&] { s->KeepAlive(-1, 10, 6); }, 40014},
        {"probes at no interval", [&] { s->KeepAlive(60, 0, 6); }, 40014},
        {"no probes", [&] { s->KeepAlive(60, 10, 0); }, 40014},
        {"a negative buffer", [&] { s->SystemBuffers(-1, 0); }, 40014},
    };
    for (const Case& c : refused) EXPECT_EQ(Raised(c.call).Number(), c.number) << c.what;
    s->CloseSck();
    const Case closed[] = {
        {"KeepAlive", [&] { s->KeepAlive(60, 10, 6); }, 40006},
        {"NoDelay", [&] { s->NoDelay(true); }, 40006},
        {"SystemBuffers", [&] { s->SystemBuffers(4096, 4096); }, 40006},
    };
    for (const Case& c : closed) {
        const auto error = Raised(c.call);
        EXPECT_EQ(error.Number(), c.number) << c.what << " without a connection";
        EXPECT_EQ(error.Source(), std::string("CSocketEngine.") + c.what);
    }
}

// A listener's small buffers are its connections' from their first byte;
// what the peer sent and no read took is counted while reading is held.
TEST_F(ServerUse, SystemBuffersGoToAcceptedConnectionsAndWaitingBytesAreCounted) {
    Endpoint listener;
    Endpoint server;
    listener.events.onConnectionRequest = [&](std::int32_t id) { server->Accept(id); };
    listener->Listen();
    listener->SystemBuffers(0, 8192);
    EXPECT_EQ(OptionOf(listener->SocketHandle(), SOL_SOCKET, SO_RCVBUF), 2 * 8192) << "the system doubles it";
    RawSocket peer = RawSocket::Connect(static_cast<std::uint16_t>(listener->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return server.State() == sckConnected; }));
    EXPECT_EQ(OptionOf(server->SocketHandle(), SOL_SOCKET, SO_RCVBUF), 2 * 8192);
    server->SystemBuffers(16384, 0);
    EXPECT_EQ(OptionOf(server->SocketHandle(), SOL_SOCKET, SO_SNDBUF), 2 * 16384);
    EXPECT_EQ(OptionOf(server->SocketHandle(), SOL_SOCKET, SO_RCVBUF), 2 * 8192) << "0 leaves it";

    EXPECT_EQ(server->BytesWaiting(), 0);
    server->HoldReceive(true);
    peer.SendAll(std::string(300, 'w'));
    EXPECT_TRUE(RunUntil([&] { return server->BytesWaiting() == 300; }));
    EXPECT_EQ(server->BytesReceived(), 0) << "none of it read";
    server->HoldReceive(false);
    EXPECT_TRUE(RunUntil([&] { return server->BytesReceived() == 300; }));
    EXPECT_EQ(server->BytesWaiting(), 0);
    server->CloseSck();
    EXPECT_EQ(server->BytesWaiting(), 0);
}

// Linux reports a listener's backlog in TCP_INFO (tcpi_sacked).
std::uint32_t BacklogOf(int listener) {
    tcp_info info{};
    socklen_t len = sizeof info;
    if (::getsockopt(listener, IPPROTO_TCP, TCP_INFO, &info, &len) != 0) return 0;
    return info.tcpi_sacked;
}

std::uint32_t SystemMaximumBacklog() {
    std::ifstream file("/proc/sys/net/core/somaxconn");
    std::uint32_t n = 4096;
    file >> n;
    return n;
}

TEST_F(ServerUse, ListenBacklogReachesTheSystem) {
    struct Case {
        std::int32_t asked;  // 0: the default
        std::uint32_t expected;
    };
    const Case cases[] = {
        {0, 5},
        {128, std::min<std::uint32_t>(128, SystemMaximumBacklog())},
        {1, 1},
    };
    for (const Case& c : cases) {
        Endpoint s;
        if (c.asked != 0) s->ListenBacklog(c.asked);
        bool listening = false;
        s->Listen(&listening);
        ASSERT_TRUE(listening);
        EXPECT_EQ(BacklogOf(s->SocketHandle()), c.expected) << "asked " << c.asked;
        const auto late = Raised([&] { s->ListenBacklog(64); });
        EXPECT_EQ(late.Number(), 40020) << "too late once listening";
        EXPECT_EQ(late.Source(), "CSocketEngine.ListenBacklog");
    }
}

// A connection begun without waiting for it.
RawSocket ConnectWithoutWaiting(std::int32_t port) {
    RawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const sockaddr_in a = testing_support::Loopback(static_cast<std::uint16_t>(port));
    ::connect(s.Fd(), reinterpret_cast<const sockaddr*>(&a), sizeof a);
    return s;
}

// Many clients knock at once, before the listener's owner gets a turn:
// every one is taken and served.
TEST_F(ServerUse, ListenerTakesAClientCrowd) {
    constexpr int kClients = 40;
    Endpoint listener;
    listener->ListenBacklog(64);
    std::vector<std::unique_ptr<Endpoint>> served;
    listener.events.onConnectionRequest = [&](std::int32_t id) {
        served.push_back(std::make_unique<Endpoint>());
        served.back()->engine->Accept(id);
    };
    listener->Listen();
    std::vector<RawSocket> clients;
    for (int i = 0; i < kClients; ++i) clients.push_back(ConnectWithoutWaiting(listener->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return served.size() == kClients; }, 10000));
    for (auto& client : clients) client.SendAll("hello");
    EXPECT_TRUE(RunUntil([&] {
        return std::all_of(served.begin(), served.end(), [](const auto& e) { return (*e)->BytesReceived() == 5; });
    }));
}

// Reading held back: bytes stay with the system until its window stops the
// peer, and nothing of them is lost or reordered once reading goes on; the
// peer's close comes after its last byte.
TEST_F(ServerUse, HeldReceivingLeavesBytesWithTheSystemUntilReleased) {
    Endpoint listener;
    Endpoint server;
    listener.events.onConnectionRequest = [&](std::int32_t id) { server->Accept(id); };
    listener->Listen();
    RawSocket peer = RawSocket::Connect(static_cast<std::uint16_t>(listener->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return server.State() == sckConnected; }));
    ASSERT_EQ(ws::setsockopt(server->SocketHandle(), SOL_SOCKET, SO_RCVBUF, 4096), 0);
    const int small = 4096;
    ::setsockopt(peer.Fd(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    std::string received;
    server.events.onDataArrival = [&](std::int32_t) { received += server.Take(); };

    EXPECT_FALSE(server->ReceiveHeld());
    peer.SendAll("first");
    ASSERT_TRUE(RunUntil([&] { return received == "first"; }));
    server->HoldReceive(true);
    EXPECT_TRUE(server->ReceiveHeld());

    // The peer sends until its system takes no more, while the loop runs.
    std::string sent;
    bool full = false;
    for (std::size_t i = 0; i < 10000 && !full; ++i) {
        const std::string block = Block(i, 1000);
        std::size_t at = 0;
        while (at < block.size()) {
            const ssize_t n = ::send(peer.Fd(), block.data() + at, block.size() - at, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        sent += block.substr(0, at);
        full = at < block.size();
        RunFor(1);
    }
    ASSERT_TRUE(full) << "the window must close on a peer that is not read";
    RunFor(50);
    EXPECT_EQ(received, "first") << "nothing read while held";
    EXPECT_LT(sent.size(), 1u << 20);
    peer.Close();

    server->HoldReceive(false);
    ASSERT_TRUE(RunUntil([&] { return server.events.Has("CloseSck"); }, 10000));
    EXPECT_TRUE(received == "first" + sent) << received.size() << " of " << sent.size() + 5 << " bytes";
    EXPECT_EQ(server.events.log.back(), "CloseSck") << "the close after the last byte";

    server->CloseSck();
    EXPECT_FALSE(server->ReceiveHeld()) << "a close releases it";
}

}  // namespace
