// UDP: datagrams read straight from the socket.
#include <gtest/gtest.h>
#include <unistd.h>

#include "SocketTestKit.h"
#include "tests/support/Resolver.h"
#include "tests/support/RawSocket.h"

using namespace net;
using namespace net_testing;
using testing_support::RawSocket;

namespace {

class Datagrams : public SocketTest {
protected:
    void SetUp() override {
        s_.emplace();
        (*s_)->Protocol(sckUDPProtocol);
        (*s_)->Bind(0, std::string("127.0.0.1"));
        ASSERT_EQ(s_->State(), 1);
        port_ = static_cast<std::uint16_t>((*s_)->LocalPort());
    }
    void TearDown() override {
        s_.reset();
        SocketTest::TearDown();
    }
    Endpoint& S() { return *s_; }
    void Send(const std::string& datagram) { peer_.SendTo(port_, datagram); }

    std::optional<Endpoint> s_;
    RawSocket peer_ = RawSocket::Udp();
    std::uint16_t port_ = 0;
};

TEST_F(Datagrams, ArrivalNamesItsSender) {
    std::string got;
    S().events.onDataArrival = [&](std::int32_t) {
        EXPECT_EQ(S()->BytesReceived(), 5);
        got = S().Take();
    };
    Send("HELLO");
    ASSERT_TRUE(RunUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got, "HELLO");
    EXPECT_EQ(S().events.log, std::vector<std::string>{"DataArrival(5)"});
    EXPECT_EQ(S()->RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(S()->RemotePort(), peer_.Port());
    EXPECT_EQ(S()->RemoteHost(), "");
}

// Reading the announced datagram must not cost the next one.
TEST_F(Datagrams, EveryDatagramIsAnnouncedWhenHandlersReadThem) {
    std::vector<std::string> got;
    S().events.onDataArrival = [&](std::int32_t) { got.push_back(S().Take()); };
    Send("one");
    Send("three");
    Send("xy");
    ASSERT_TRUE(RunUntil([&] { return got.size() == 3; }));
    EXPECT_EQ(got, (std::vector<std::string>{"one", "three", "xy"}));
    EXPECT_EQ(S().events.log, (std::vector<std::string>{"DataArrival(3)", "DataArrival(5)", "DataArrival(2)"}));
}

TEST_F(Datagrams, DatagramLeftUnreadIsDropped) {
    Send("ignored");
    ASSERT_TRUE(RunUntil([&] { return S().events.Has("DataArrival(7)"); }));
    RunFor(20);
    EXPECT_EQ(S()->BytesReceived(), 0) << "gone, not stuck in the socket";
    std::string peeked;
    S().events.onDataArrival = [&](std::int32_t) {
        Variant data = std::string();
        S()->PeekData(data);
        peeked = std::get<std::string>(data);
    };
    Send("peeked only");
    ASSERT_TRUE(RunUntil([&] { return !peeked.empty(); }));
    RunFor(20);
    EXPECT_EQ(peeked, "peeked only");
    EXPECT_EQ(S()->BytesReceived(), 0);
}

TEST_F(Datagrams, ShortReadGivesThePieceThenMessageTooLong) {
    Send("HELLO");
    ::usleep(20000);
    Variant data = std::string();
    Variant maxLen = 2;
    const auto e = Raised([&] { S()->GetData(data, nullptr, &maxLen); });
    EXPECT_EQ(data, Variant(std::string("HE")));
    EXPECT_EQ(e.Number(), 10040);
    EXPECT_EQ(e.Description(), "Message too long.");
    EXPECT_EQ(e.Source(), "CSocketEngine.RecvData");
    EXPECT_EQ(S()->BytesReceived(), 0);

    Send("WORLD");
    ::usleep(20000);
    Variant zero = 0;
    const auto z = Raised([&] { S()->GetData(data, nullptr, &zero); });
    EXPECT_EQ(z.Number(), 10040);
    EXPECT_EQ(data, Variant(std::string()));
    EXPECT_EQ(S()->BytesReceived(), 0) << "the datagram was dropped";

    Variant untouched = std::string("kept");
    S()->GetData(untouched);  // nothing waiting
    EXPECT_EQ(untouched, Variant(std::string("kept")));
}

TEST_F(Datagrams, SendingGoesToTheRemoteHostAndPort) {
    SKIP_UNLESS_LOCALHOST_RESOLVES();
    S()->RemoteHost("127.0.0.1");
    S()->RemotePort(peer_.Port());
    S()->SendData(std::string("PING\0\xFF", 6));
    EXPECT_EQ(peer_.ReceiveSome(), std::string("PING\0\xFF", 6));
    S()->SendData(1);
    EXPECT_EQ(peer_.ReceiveSome(), std::string("\x01\x00\x00\x00", 4));
    EXPECT_TRUE(S().events.log.empty()) << "no progress events for datagrams";

    Endpoint fresh;  // a closed UDP object binds itself to send
    fresh->Protocol(sckUDPProtocol);
    fresh->RemoteHost("localhost");
    fresh->RemotePort(peer_.Port());
    fresh->SendData(std::string("from a fresh one"));
    EXPECT_EQ(fresh.State(), 1);
    EXPECT_EQ(peer_.ReceiveSome(), "from a fresh one");
}

TEST_F(Datagrams, ConnectOnlyBinds) {
    Endpoint u;
    u->Protocol(sckUDPProtocol);
    u->Connect(std::string("127.0.0.1"), peer_.Port());
    EXPECT_EQ(u.State(), 1);
    EXPECT_EQ(u->RemotePort(), peer_.Port());
    EXPECT_EQ(peer_.ReceiveSome(50), "") << "nothing is sent";
}

}  // namespace
