// The checks of every member, without a connection.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "SocketTestKit.h"

namespace ws = platform::ws;
using namespace net;
using namespace net_testing;

namespace {

constexpr const char* kInvalidState = "Invalid operation at current state";
constexpr const char* kOutOfRange =
    "The argument passed to a function was not in the correct format or in the specified range.";
constexpr const char* kUnsupported = "Unsupported variant type.";
constexpr const char* kWrongState = "Wrong protocol or connection state for the requested transaction or request";

struct Check {
    const char* what;
    std::function<void(CSocketEngine&)> call;
    std::int32_t number;
    const char* source;
    const char* description;
};

void ExpectAll(CSocketEngine& s, const std::vector<Check>& checks) {
    for (const auto& check : checks) {
        const std::int32_t stateBefore = s.State();
        const auto e = Raised([&] { check.call(s); });
        EXPECT_EQ(e.Number(), check.number) << check.what;
        EXPECT_EQ(e.Source(), check.source) << check.what;
        EXPECT_EQ(e.Description(), check.description) << check.what;
        EXPECT_EQ(s.State(), stateBefore) << check.what << " leaves the object as it was";
    }
}

class MemberChecks : public SocketTest {};

TEST_F(MemberChecks, ClosedObjectRefusesBadArguments) {
    Endpoint s;
    ExpectAll(*s.engine, {
        {"RemotePort -1", [](CSocketEngine& e) { e.RemotePort(-1); }, 40014, "CSocketEngine.RemotePort", kOutOfRange},
        {"RemotePort 65536", [](CSocketEngine& e) { e.RemotePort(65536); }, 40014, "CSocketEngine.RemotePort", kOutOfRange},
        {"LocalPort -1", [](CSocketEngine& e) { e.LocalPort(-1); }, 40014, "CSocketEngine.LocalPort", kOutOfRange},
        {"LocalPort 65536", [](CSocketEngine& e) { e.LocalPort(65536); }, 40014, "CSocketEngine.LocalPort", kOutOfRange},
        {"Connect port 0", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), 0); }, 40014, "CSocketEngine.Connect", kOutOfRange},
        {"Connect port 65536", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), 65536); }, 40014, "CSocketEngine.Connect", kOutOfRange},
        {"Connect port 1e10", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), 1e10); }, 40014, "CSocketEngine.Connect", kOutOfRange},
        {"Connect port 0.4", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), 0.4); }, 40014, "CSocketEngine.Connect", kOutOfRange},
        {"Connect port Empty", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), Empty{}); }, 40014, "CSocketEngine.Connect", kOutOfRange},
        {"Connect port text", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), std::string("port")); }, 40018, "CSocketEngine.Connect", kUnsupported},
        {"Connect port Null", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), Null{}); }, 40018, "CSocketEngine.Connect", kUnsupported},
        {"Connect port Date", [](CSocketEngine& e) { e.Connect(std::string("127.0.0.1"), Date{80.0}); }, 40018, "CSocketEngine.Connect", kUnsupported},
        {"Accept unknown", [](CSocketEngine& e) { e.Accept(123456); }, 40006, "CSocketEngine.Accept", kWrongState},
        {"GetData closed", [](CSocketEngine& e) { Variant v = std::string(); e.GetData(v); }, 40006, "CSocketEngine.GetData", kWrongState},
        {"PeekData closed", [](CSocketEngine& e) { Variant v = std::string(); e.PeekData(v); }, 40006, "CSocketEngine.PeekData", kWrongState},
        {"SendQueueLimit -1", [](CSocketEngine& e) { e.SendQueueLimit(-1); }, 40014, "CSocketEngine.SendQueueLimit", kOutOfRange},
        {"ListenBacklog 0", [](CSocketEngine& e) { e.ListenBacklog(0); }, 40014, "CSocketEngine.ListenBacklog", kOutOfRange},
        {"ListenBacklog -5", [](CSocketEngine& e) { e.ListenBacklog(-5); }, 40014, "CSocketEngine.ListenBacklog", kOutOfRange},
        {"UnacknowledgedTimeout -1", [](CSocketEngine& e) { e.UnacknowledgedTimeout(-1); }, 40014, "CSocketEngine.UnacknowledgedTimeout", kOutOfRange},
        {"UnacknowledgedTimeout closed", [](CSocketEngine& e) { e.UnacknowledgedTimeout(5000); }, 40006, "CSocketEngine.UnacknowledgedTimeout", kWrongState},
    });
    EXPECT_EQ(s->BytesUnacknowledged(), 0);
    EXPECT_EQ(s->SendQueueLimit(), 0) << "refused values changed nothing";
    EXPECT_EQ(s->ListenBacklog(), 5);
    EXPECT_EQ(s->RemoteHost(), "") << "a refused Connect changed nothing";
    EXPECT_EQ(s->RemotePort(), 0);
    EXPECT_EQ(s->SocketHandle(), -1);
    EXPECT_TRUE(s.events.log.empty());
}

TEST_F(MemberChecks, ClosedObjectTakesGoodValues) {
    Endpoint s;
    s->RemotePort(0);  // the property itself accepts 0
    s->RemotePort(65535);
    s->LocalPort(65535);
    s->RemoteHost("any text at all");
    s->Protocol(2);  // stored unchecked
    s->Tag("LAN");
    s->SendQueueLimit(1 << 20);
    s->ListenBacklog(128);
    EXPECT_EQ(s->RemotePort(), 65535);
    EXPECT_EQ(s->LocalPort(), 65535);
    EXPECT_EQ(s->RemoteHost(), "any text at all");
    EXPECT_EQ(s->Protocol(), 2);
    EXPECT_EQ(s->Tag(), "LAN");
    EXPECT_EQ(s->SendQueueLimit(), 1 << 20);
    EXPECT_EQ(s->ListenBacklog(), 128);
    s->CloseSck();  // nothing to close: nothing happens
    EXPECT_EQ(s.State(), 0);
}

TEST_F(MemberChecks, BoundTcpObjectRefusesChanges) {
    Endpoint s;
    s->Bind();
    ASSERT_EQ(s.State(), 1);
    ExpectAll(*s.engine, {
        {"RemotePort", [](CSocketEngine& e) { e.RemotePort(80); }, 40020, "CSocketEngine.RemotePort", kInvalidState},
        {"RemoteHost", [](CSocketEngine& e) { e.RemoteHost("x"); }, 40020, "CSocketEngine.RemoteHost", kInvalidState},
        {"LocalPort", [](CSocketEngine& e) { e.LocalPort(80); }, 40020, "CSocketEngine.LocalPort", kInvalidState},
        {"Protocol", [](CSocketEngine& e) { e.Protocol(1); }, 40020, "CSocketEngine.Protocol", kInvalidState},
        {"Connect", [](CSocketEngine& e) { e.Connect(); }, 40020, "CSocketEngine.Connect", kInvalidState},
        {"Bind", [](CSocketEngine& e) { e.Bind(); }, 40020, "CSocketEngine.Bind", kInvalidState},
        {"Accept", [](CSocketEngine& e) { e.Accept(1); }, 40020, "CSocketEngine.Accept", kInvalidState},
        {"GetData", [](CSocketEngine& e) { Variant v; e.GetData(v); }, 40006, "CSocketEngine.GetData", kWrongState},
    });
    s->ListenBacklog(64);  // bound, not yet listening: still in time
    EXPECT_EQ(s->ListenBacklog(), 64);
}

TEST_F(MemberChecks, UdpObjectMayChangeItsDestinationWhileOpen) {
    Endpoint s;
    s->Protocol(sckUDPProtocol);
    s->Bind();
    ASSERT_EQ(s.State(), 1);
    s->RemoteHost("127.0.0.1");
    s->RemotePort(5989);
    EXPECT_EQ(s->RemotePort(), 5989);
    ExpectAll(*s.engine, {
        {"LocalPort", [](CSocketEngine& e) { e.LocalPort(80); }, 40020, "CSocketEngine.LocalPort", kInvalidState},
        {"Protocol", [](CSocketEngine& e) { e.Protocol(0); }, 40020, "CSocketEngine.Protocol", kInvalidState},
        {"RemotePort", [](CSocketEngine& e) { e.RemotePort(70000); }, 40014, "CSocketEngine.RemotePort", kOutOfRange},
    });
}

// Only a connection waiting in the accepted-connection registry can be
// taken over: not a socket of another object, and never a file.
TEST_F(MemberChecks, AcceptAdoptsOnlyWaitingConnections) {
    Endpoint other;
    other->Bind();
    const int file = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    Endpoint s;
    for (const std::int32_t handle : {other->SocketHandle(), file, -1}) {
        const auto e = Raised([&] { s->Accept(handle); });
        EXPECT_EQ(e.Number(), 40006) << handle;
        EXPECT_EQ(e.Source(), "CSocketEngine.Accept");
        EXPECT_EQ(s.State(), 0);
        EXPECT_EQ(s->SocketHandle(), -1);
    }
    EXPECT_NE(::fcntl(file, F_GETFD), -1) << "the file is still open";
    ::close(file);
}

TEST_F(MemberChecks, SendingChecks) {
    Endpoint tcp;
    tcp->SendData(Empty{});  // not connected: returns before looking at the value
    EXPECT_EQ(tcp.State(), 0);

    Endpoint udp;
    udp->Protocol(sckUDPProtocol);
    const auto unsupported = Raised([&] { udp->SendData(Null{}); });
    EXPECT_EQ(unsupported.Number(), 40018);
    EXPECT_EQ(unsupported.Source(), "CSocketEngine.SendData");
    EXPECT_EQ(udp.State(), 1) << "the datagram socket was made and bound first";

    const auto noHost = Raised([&] { udp->SendData(std::string("x")); });
    EXPECT_EQ(noHost.Number(), 10047);
    EXPECT_EQ(noHost.Description(), "Address family not supported by protocol family.");
    EXPECT_EQ(noHost.Source(), "CSocketEngine.SendBufferedDataUDP");

    udp->RemoteHost(std::string("bad\0host", 8));
    const auto badHost = Raised([&] { udp->SendData(std::string("x")); });
    EXPECT_EQ(badHost.Number(), 40014);
    EXPECT_EQ(badHost.Description(), "Invalid argument");
    EXPECT_EQ(badHost.Source(), "CSocketEngine.SendBufferedDataUDP");
    EXPECT_EQ(udp->BytesReceived(), 0);
}

TEST_F(MemberChecks, BindChecks) {
    Endpoint s;
    const auto e = Raised([&] { s->Bind(0, std::string("no\0where", 8)); });
    EXPECT_EQ(e.Number(), 40014);
    EXPECT_EQ(e.Description(), "Invalid argument");
    EXPECT_EQ(e.Source(), "CSocketEngine.BindInternal");
    EXPECT_EQ(s.State(), 0);

    s->Bind(std::string("not a port"));  // a bind that fails says nothing
    EXPECT_EQ(s.State(), 0);
    s->Bind(70000);
    EXPECT_EQ(s.State(), 0);

    s->Bind(0, std::string("127.0.0.1"));
    EXPECT_EQ(s.State(), 1);
    EXPECT_EQ(s->LocalIP(), "127.0.0.1") << "an explicit address is kept";
    EXPECT_GT(s->LocalPort(), 0) << "the port the system chose";
}

TEST_F(MemberChecks, ImplicitBindTakesEveryAddress) {
    Endpoint s;
    bool ok = false;
    s->Listen(&ok);
    ASSERT_TRUE(ok);
    sockaddr_in local{};
    ws::getsockname(s->SocketHandle(), &local);
    EXPECT_EQ(local.sin_addr.s_addr, htonl(INADDR_ANY)) << "not the host name's address (127.0.1.1 on Debian)";
    EXPECT_NE(s->LocalIP(), "0.0.0.0");
    EXPECT_FALSE(s->LocalIP().empty());
}

// A socket that cannot be made is reported; closing the object makes it
// usable again (where the old code left it refusing every Connect).
TEST_F(MemberChecks, FailedSocketCreationIsReportedAndRecoverable) {
    Endpoint s;
    ws::InjectFault(ws::Call::Socket, ws::WSAEMFILE);
    s->Connect(std::string("127.0.0.1"), 9);
    EXPECT_EQ(s.State(), 9);
    EXPECT_EQ(s.events.log, std::vector<std::string>{"Error(10024,Too many open files.,CSocketEngine.SocketExists)"});
    EXPECT_EQ(s->SocketHandle(), -1);
    s->CloseSck();
    EXPECT_EQ(s.State(), 0);
    s->Bind();
    EXPECT_EQ(s.State(), 1);
}

}  // namespace
