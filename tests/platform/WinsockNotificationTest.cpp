#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/MessageWindow.h"
#include "platform/Winsock.h"
#include "tests/support/Resolver.h"
#include "tests/support/Descriptors.h"
#include "tests/support/LookupGate.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"

namespace ws = platform::ws;
using testing_support::Loopback;
using testing_support::PortOf;
using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;

namespace {

constexpr std::uint32_t kSocketMsg = 0x801;
constexpr std::uint32_t kLookupMsg = 0x800;
constexpr std::int32_t kAllEvents = 0x3B;

struct Message {
    std::uint32_t msg;
    std::int32_t wParam;
    std::int32_t event;
    int error;
};

// A started Winsock and a window that records what reaches it.
class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ws::WSAStartup(0x0101), 0);
        window_ = new platform::MessageWindow;
        window_->SetProcedure([this](std::uint32_t msg, std::int32_t w, std::int32_t l) {
            messages_.push_back({msg, w, ws::WSAGETSELECTEVENT(l), ws::WSAGETSELECTERROR(l)});
        });
    }
    void TearDown() override {
        window_->Destroy();
        ws::ClearFaults();
        ws::WSACleanup();
    }

    ws::SOCKET Selected(int type = SOCK_STREAM) {
        const ws::SOCKET s = ws::socket(AF_INET, type, type == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP);
        EXPECT_GE(s, 0);
        EXPECT_EQ(ws::WSAAsyncSelect(s, window_, kSocketMsg, kAllEvents), 0);
        return s;
    }

    int Count(ws::SOCKET s, std::int32_t event) const {
        return static_cast<int>(std::count_if(messages_.begin(), messages_.end(), [&](const Message& m) {
            return m.msg == kSocketMsg && m.wParam == s && m.event == event;
        }));
    }

    bool Await(ws::SOCKET s, std::int32_t event, int count = 1) {
        return RunUntil([&] { return Count(s, event) >= count; });
    }

    std::vector<Message> For(ws::SOCKET s) const {
        std::vector<Message> out;
        for (const auto& m : messages_) {
            if (m.msg == kSocketMsg && m.wParam == s) out.push_back(m);
        }
        return out;
    }

    // A selected TCP socket connected to a raw listener, with the
    // connection's first notifications already in.
    ws::SOCKET ConnectedTo(RawSocket& listener, RawSocket& peer) {
        const ws::SOCKET s = Selected();
        ws::connect(s, Loopback(listener.Port()));
        peer = listener.Accept();
        EXPECT_TRUE(Await(s, ws::FD_WRITE));
        return s;
    }

    platform::MessageWindow* window_ = nullptr;
    std::vector<Message> messages_;
};

TEST_F(Notifications, ConnectCompletesOnceAndIsFollowedByOneWriteReadiness) {
    RawSocket listener = RawSocket::Listen();
    const ws::SOCKET s = Selected();
    ASSERT_EQ(ws::connect(s, Loopback(listener.Port())), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
    EXPECT_TRUE(messages_.empty()) << "nothing arrives inside the call";
    ASSERT_TRUE(Await(s, ws::FD_WRITE));
    RunFor(50);
    const auto got = For(s);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].event, ws::FD_CONNECT);
    EXPECT_EQ(got[0].error, 0);
    EXPECT_EQ(got[1].event, ws::FD_WRITE);
}

TEST_F(Notifications, RefusedConnectIsReportedOnceWithItsError) {
    RawSocket closed = RawSocket::RefusingPort();
    const ws::SOCKET s = Selected();
    ws::connect(s, Loopback(closed.Port()));
    ASSERT_TRUE(Await(s, ws::FD_CONNECT));
    RunFor(100);
    const auto got = For(s);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].error, ws::WSAECONNREFUSED);
}

// A fresh Linux TCP socket polls as writable and hung up, and a refused one
// as readable and in error: watching either would wake the loop for ever.
TEST_F(Notifications, IdleSocketsLeaveTheEventLoopAsleep) {
    RawSocket closed = RawSocket::RefusingPort();
    Selected();                                  // fresh
    const ws::SOCKET refused = Selected();
    ws::connect(refused, Loopback(closed.Port()));
    ASSERT_TRUE(Await(refused, ws::FD_CONNECT));
    const ws::SOCKET udp = Selected(SOCK_DGRAM);  // bound, nothing to read
    ws::bind(udp, Loopback(0));

    EXPECT_EQ(testing_support::SocketActivationsDuring(500), 0) << "a notifier fired on an idle socket";
}

TEST_F(Notifications, ReadIsAnnouncedOnceUntilTheNextReceive) {
    RawSocket listener = RawSocket::Listen();
    RawSocket peer;
    const ws::SOCKET s = ConnectedTo(listener, peer);
    EXPECT_EQ(Count(s, ws::FD_READ), 0);

    peer.SendAll("ab");
    ASSERT_TRUE(Await(s, ws::FD_READ));
    peer.SendAll("cd");
    RunFor(50);
    EXPECT_EQ(Count(s, ws::FD_READ), 1) << "no second FD_READ before a receive";

    unsigned long waiting = 0;
    ASSERT_EQ(ws::ioctlsocket(s, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 4u);
    char buf[8];
    ASSERT_EQ(ws::recv(s, buf, 2, MSG_PEEK), 2);
    EXPECT_EQ(std::string(buf, 2), "ab") << "a peek takes nothing";
    ASSERT_EQ(ws::recv(s, buf, 1, 0), 1);
    EXPECT_EQ(buf[0], 'a');
    ASSERT_TRUE(Await(s, ws::FD_READ, 2)) << "bytes remain, so the receive re-arms it";
    ASSERT_EQ(ws::recv(s, buf, sizeof buf, 0), 3);
    EXPECT_EQ(std::string(buf, 3), "bcd");
    RunFor(50);
    EXPECT_EQ(Count(s, ws::FD_READ), 3) << "the peek re-armed it too";
    EXPECT_EQ(Count(s, ws::FD_CLOSE), 0);
}

// A socket's readiness is handed over at once only when nothing waits in
// the window's queue: it never overtakes a notification queued before it.
// Both sockets turn readable together; the first one's handler takes one of
// its two bytes, which queues its FD_READ again before the second socket's
// readiness is looked at.
TEST_F(Notifications, ReadinessNeverOvertakesAQueuedNotification) {
    RawSocket listener = RawSocket::Listen();
    RawSocket peerA;
    RawSocket peerB;
    const ws::SOCKET a = ConnectedTo(listener, peerA);
    const ws::SOCKET b = ConnectedTo(listener, peerB);
    messages_.clear();
    window_->SetProcedure([this](std::uint32_t msg, std::int32_t w, std::int32_t l) {
        messages_.push_back({msg, w, ws::WSAGETSELECTEVENT(l), ws::WSAGETSELECTERROR(l)});
        char byte;
        if (ws::WSAGETSELECTEVENT(l) == ws::FD_READ) ws::recv(w, &byte, 1, 0);
    });
    peerA.SendAll("aa");
    peerB.SendAll("bb");
    ASSERT_TRUE(RunUntil([&] { return Count(a, ws::FD_READ) == 2 && Count(b, ws::FD_READ) == 2; }));
    ASSERT_EQ(messages_.size(), 4u);
    EXPECT_EQ(messages_[0].wParam, messages_[1].wParam) << "the queued FD_READ went first";
    EXPECT_EQ(messages_[2].wParam, messages_[3].wParam);
}

TEST_F(Notifications, PeerCloseArrivesAfterAllItsData) {
    RawSocket listener = RawSocket::Listen();
    RawSocket peer;
    const ws::SOCKET s = ConnectedTo(listener, peer);
    peer.SendAll("LAST WORDS");
    peer.Close();
    ASSERT_TRUE(Await(s, ws::FD_READ));
    RunFor(50);
    EXPECT_EQ(Count(s, ws::FD_CLOSE), 0) << "the close waits behind unread data";

    char buf[64];
    EXPECT_EQ(ws::recv(s, buf, sizeof buf, 0), 10);
    ASSERT_TRUE(Await(s, ws::FD_CLOSE));
    RunFor(50);
    const auto got = For(s);
    EXPECT_EQ(got.back().event, ws::FD_CLOSE);
    EXPECT_EQ(got.back().error, 0);
    EXPECT_EQ(Count(s, ws::FD_CLOSE), 1);
}

TEST_F(Notifications, ResetIsACloseWithConnectionReset) {
    RawSocket listener = RawSocket::Listen();
    RawSocket peer;
    const ws::SOCKET s = ConnectedTo(listener, peer);
    peer.Reset();
    ASSERT_TRUE(Await(s, ws::FD_CLOSE));
    const auto got = For(s);
    EXPECT_EQ(got.back().error, ws::WSAECONNRESET);
}

TEST_F(Notifications, AcceptIsAnnouncedOncePerAcceptCall) {
    const ws::SOCKET listener = Selected();
    ASSERT_EQ(ws::bind(listener, Loopback(0)), 0);
    ASSERT_EQ(ws::listen(listener, 5), 0);
    RunFor(50);
    EXPECT_TRUE(messages_.empty()) << "a listener with nobody waiting is quiet";

    RawSocket first = RawSocket::Connect(PortOf(listener));
    RawSocket second = RawSocket::Connect(PortOf(listener));
    ASSERT_TRUE(Await(listener, ws::FD_ACCEPT));
    RunFor(50);
    EXPECT_EQ(Count(listener, ws::FD_ACCEPT), 1);

    EXPECT_GE(ws::accept(listener, nullptr), 0);
    ASSERT_TRUE(Await(listener, ws::FD_ACCEPT, 2)) << "another connection is still waiting";
    EXPECT_GE(ws::accept(listener, nullptr), 0);
    RunFor(50);
    EXPECT_EQ(Count(listener, ws::FD_ACCEPT), 2);
}

TEST_F(Notifications, AcceptedSocketAnnouncesDataThatCameBeforeTheAccept) {
    const ws::SOCKET listener = Selected();
    ws::bind(listener, Loopback(0));
    ws::listen(listener, 5);
    RawSocket client = RawSocket::Connect(PortOf(listener));
    client.SendAll("early");
    ASSERT_TRUE(Await(listener, ws::FD_ACCEPT));

    sockaddr_in peer{};
    const ws::SOCKET accepted = ws::accept(listener, &peer);
    ASSERT_GE(accepted, 0);
    EXPECT_EQ(ntohs(peer.sin_port), client.Port());
    ASSERT_TRUE(Await(accepted, ws::FD_READ));
    ASSERT_TRUE(Await(accepted, ws::FD_WRITE));
    RunFor(50);
    EXPECT_EQ(Count(accepted, ws::FD_WRITE), 1);
}

TEST_F(Notifications, WriteReadinessFollowsASendThatWouldBlock) {
    RawSocket listener = RawSocket::Listen(4096);
    RawSocket peer;
    const ws::SOCKET s = ConnectedTo(listener, peer);
    ASSERT_EQ(ws::setsockopt(s, SOL_SOCKET, SO_SNDBUF, 8192), 0);
    RunFor(50);
    EXPECT_EQ(Count(s, ws::FD_WRITE), 1) << "one after the connect, then none while sends succeed";

    const std::string block(65536, 'x');
    std::size_t sent = 0;
    for (;;) {
        const int n = ws::send(s, block.data(), static_cast<int>(block.size()), 0);
        if (n < 0) break;
        sent += static_cast<std::size_t>(n);
    }
    ASSERT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
    RunFor(50);
    EXPECT_EQ(Count(s, ws::FD_WRITE), 1) << "nothing while the peer reads nothing";
    EXPECT_EQ(peer.ReceiveExactly(sent).size(), sent);
    ASSERT_TRUE(Await(s, ws::FD_WRITE, 2));
    RunFor(50);
    EXPECT_EQ(Count(s, ws::FD_WRITE), 2);
}

TEST_F(Notifications, DatagramIsAnnouncedOnceUntilTheNextReceive) {
    const ws::SOCKET udp = Selected(SOCK_DGRAM);
    ASSERT_EQ(ws::bind(udp, Loopback(0)), 0);
    RawSocket sender = RawSocket::Udp();
    sender.SendTo(PortOf(udp), "one");
    sender.SendTo(PortOf(udp), "two");
    ASSERT_TRUE(Await(udp, ws::FD_READ));
    RunFor(50);
    EXPECT_EQ(Count(udp, ws::FD_READ), 1);
    char buf[8];
    sockaddr_in from{};
    ASSERT_EQ(ws::recvfrom(udp, buf, sizeof buf, 0, &from), 3);
    ASSERT_TRUE(Await(udp, ws::FD_READ, 2));
}

// Linux gives a new socket the lowest free descriptor, often the one just
// closed. A notification still queued for the closed socket must not reach
// the new one.
TEST_F(Notifications, QueuedNotificationOfAClosedSocketNeverReachesItsSuccessor) {
    RawSocket listener = RawSocket::Listen();
    RawSocket peer;
    const ws::SOCKET old = ConnectedTo(listener, peer);
    messages_.clear();
    ASSERT_EQ(ws::PostSocketNotification(old, ws::FD_CLOSE, ws::WSAECONNRESET), 0);
    EXPECT_TRUE(messages_.empty()) << "queued, not delivered inside the call";
    ASSERT_EQ(ws::closesocket(old), 0);

    ws::SOCKET successor;
    {
        testing_support::DescriptorFiller filler(old);
        successor = Selected();
    }
    ASSERT_EQ(successor, old) << "the test needs the descriptor number reused";
    ASSERT_EQ(ws::PostSocketNotification(successor, ws::FD_READ, 0), 0);
    RunFor(50);
    const auto got = For(successor);
    ASSERT_EQ(got.size(), 1u) << "only the successor's own notification";
    EXPECT_EQ(got[0].event, ws::FD_READ);
}

TEST_F(Notifications, LookupPostsItsResultAndFillsTheBuffer) {
    SKIP_UNLESS_LOCALHOST_RESOLVES();
    auto buffer = std::make_shared<ws::HostEnt>();
    const ws::AsyncHandle task = ws::WSAAsyncGetHostByName(window_, kLookupMsg, "localhost", buffer);
    ASSERT_NE(task, 0);
    EXPECT_TRUE(buffer->h_addr_list.empty());
    ASSERT_TRUE(RunUntil([&] { return !messages_.empty(); }));
    EXPECT_EQ(messages_[0].msg, kLookupMsg);
    EXPECT_EQ(messages_[0].wParam, task);
    EXPECT_EQ(messages_[0].error, 0);
    ASSERT_FALSE(buffer->h_addr_list.empty());
    EXPECT_EQ(ws::inet_ntoa(buffer->h_addr_list.front()), "127.0.0.1");
}

TEST_F(Notifications, FailedLookupPostsHostNotFound) {
    auto buffer = std::make_shared<ws::HostEnt>();
    const ws::AsyncHandle task = ws::WSAAsyncGetHostByName(window_, kLookupMsg, std::string("no\0name", 7), buffer);
    ASSERT_TRUE(RunUntil([&] { return !messages_.empty(); }));
    EXPECT_EQ(messages_[0].wParam, task);
    EXPECT_EQ(messages_[0].error, ws::WSAHOST_NOT_FOUND);
}

TEST_F(Notifications, CancelledLookupsLateResultIsDropped) {
    auto buffer = std::make_shared<ws::HostEnt>();
    const ws::AsyncHandle task = ws::WSAAsyncGetHostByName(window_, kLookupMsg, "localhost", buffer);
    ::usleep(200000);  // the worker has finished by now; its result waits in the queue
    EXPECT_EQ(ws::WSACancelAsyncRequest(task), 0);
    RunFor(200);
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(buffer->h_addr_list.empty()) << "a cancelled lookup never writes its buffer";
    EXPECT_EQ(ws::WSACancelAsyncRequest(task), ws::SOCKET_ERROR);

    // A later lookup still works and gets a handle of its own.
    const ws::AsyncHandle next = ws::WSAAsyncGetHostByName(window_, kLookupMsg, "localhost", buffer);
    EXPECT_NE(next, task);
    ASSERT_TRUE(RunUntil([&] { return !messages_.empty(); }));
    EXPECT_EQ(messages_[0].wParam, next);
}

// A name whose server does not answer keeps the one lookup worker busy;
// lookups cancelled meanwhile must not wait their turn and then run anyway,
// or every later lookup of the process waits behind them.
TEST_F(Notifications, CancelledLookupNeverRuns) {
    testing_support::LookupGate gate;
    auto slowBuffer = std::make_shared<ws::HostEnt>();
    const ws::AsyncHandle slow = ws::WSAAsyncGetHostByName(window_, kLookupMsg, "slow", slowBuffer);
    ASSERT_TRUE(RunUntil([&] { return !gate.Looked().empty(); }));
    for (int i = 0; i < 5; ++i) {
        auto buffer = std::make_shared<ws::HostEnt>();
        const ws::AsyncHandle task =
            ws::WSAAsyncGetHostByName(window_, kLookupMsg, "gone" + std::to_string(i), buffer);
        ASSERT_EQ(ws::WSACancelAsyncRequest(task), 0);
    }
    auto wantedBuffer = std::make_shared<ws::HostEnt>();
    const ws::AsyncHandle wanted = ws::WSAAsyncGetHostByName(window_, kLookupMsg, "wanted", wantedBuffer);
    gate.Release();
    ASSERT_TRUE(RunUntil([&] { return messages_.size() == 2; }));
    EXPECT_EQ(gate.Looked(), (std::vector<std::string>{"slow", "wanted"}));
    EXPECT_EQ(messages_[0].wParam, slow);
    EXPECT_EQ(messages_[1].wParam, wanted);
    EXPECT_FALSE(wantedBuffer->h_addr_list.empty());
}

}  // namespace
