// The Socket control: members forwarded, events as Qt signals.
#include <gtest/gtest.h>

#include <QObject>
#include <memory>

#include "SocketTestKit.h"
#include "net/Socket.h"
#include "tests/support/RawSocket.h"

using namespace net;
using namespace net_testing;

namespace {

class SocketControl : public SocketTest {};

// The game's LAN host and client, as their windows use the control.
TEST_F(SocketControl, HostAndClientTalkThroughTheControls) {
    QObject window;
    auto* host = new Socket(&window);
    auto* client = new Socket(&window);
    std::vector<std::string> hostSeen, clientSeen;

    QObject::connect(host, &Socket::ConnectionRequest, &window, [&](int requestID) {
        host->CloseSck();
        host->Accept(requestID);
        host->SendData("PARTICIPANT?2500");
    });
    QObject::connect(host, &Socket::DataArrival, &window, [&](int bytesTotal) {
        std::string message;
        host->GetData(message);
        EXPECT_EQ(static_cast<int>(message.size()), bytesTotal);
        hostSeen.push_back(message);
    });
    QObject::connect(client, &Socket::ConnectEvent, &window, [&] { clientSeen.push_back("connected"); });
    QObject::connect(client, &Socket::DataArrival, &window, [&](int) {
        std::string message;
        client->GetData(message);
        clientSeen.push_back(message);
        client->SendData("YES>bob");
    });
    QObject::connect(client, &Socket::CloseSckEvent, &window, [&] { clientSeen.push_back("closed"); });
    int completes = 0;
    QObject::connect(client, &Socket::SendComplete, &window, [&] { ++completes; });

    host->LocalPort(0);
    bool successfull = false;
    host->Listen(successfull);
    ASSERT_TRUE(successfull);
    client->Connect(std::string("127.0.0.1"), host->LocalPort());
    ASSERT_TRUE(RunUntil([&] { return !hostSeen.empty(); }));
    EXPECT_EQ(hostSeen, std::vector<std::string>{"YES>bob"});
    EXPECT_EQ(clientSeen, (std::vector<std::string>{"connected", "PARTICIPANT?2500"}));
    EXPECT_EQ(completes, 1);
    EXPECT_EQ(host->State(), 7);
    EXPECT_EQ(host->RemoteHostIP(), "127.0.0.1");

    host->CloseSck();
    ASSERT_TRUE(RunUntil([&] { return client->State() == 8; }));
    EXPECT_EQ(clientSeen.back(), "closed");
    client->CloseSck();
    EXPECT_EQ(client->State(), 0);
}

TEST_F(SocketControl, ErrorSignalPassesItsArgumentsByReference) {
    QObject window;
    auto* s = new Socket(&window);
    int number = 0;
    std::string source;
    QObject::connect(s, &Socket::Error, &window,
                     [&](int n, std::string& description, int, const std::string& src, const std::string&, int,
                         bool& cancelDisplay) {
                         number = n;
                         source = src;
                         EXPECT_EQ(description, "Connection refused.");
                         EXPECT_TRUE(cancelDisplay);
                     });
    testing_support::RawSocket closed = testing_support::RawSocket::RefusingPort();
    s->Connect(std::string("127.0.0.1"), closed.Port());
    ASSERT_TRUE(RunUntil([&] { return s->State() == 9; }));
    EXPECT_EQ(number, 10061);
    EXPECT_EQ(source, "CSocketEngine.PostSocket");
}

TEST_F(SocketControl, ErrorsPassThroughUnchanged) {
    QObject window;
    auto* s = new Socket(&window);
    s->Bind();
    const auto e = Raised([&] { s->Connect(std::string("127.0.0.1"), 80); });
    EXPECT_EQ(e.Number(), 40020);
    EXPECT_EQ(e.Source(), "CSocketEngine.Connect");
    EXPECT_EQ(e.Description(), "Invalid operation at current state");
}

TEST_F(SocketControl, SavedDesignKeepsOnlyWhatDiffersFromTheDefaults) {
    QObject window;
    auto* fresh = new Socket(&window);
    Socket::PropertyBag bag;
    fresh->WriteProperties(bag);
    EXPECT_TRUE(bag.empty());
    fresh->ReadProperties(bag);
    EXPECT_EQ(fresh->LocalPort(), 0);
    EXPECT_EQ(fresh->Protocol(), 0);
    EXPECT_EQ(fresh->RemoteHost(), "");
    EXPECT_EQ(fresh->RemotePort(), 0);
    EXPECT_EQ(fresh->Tag(), "");

    auto* set = new Socket(&window);
    set->LocalPort(5989);
    set->RemoteHost("zircona");
    set->Tag("3");
    set->WriteProperties(bag);
    EXPECT_EQ(bag.size(), 3u);
    auto* loaded = new Socket(&window);
    loaded->ReadProperties(bag);
    EXPECT_EQ(loaded->LocalPort(), 5989);
    EXPECT_EQ(loaded->RemoteHost(), "zircona");
    EXPECT_EQ(loaded->Tag(), "3");

    bag["RemotePort"] = 70000;
    const auto e = Raised([&] { loaded->ReadProperties(bag); });
    EXPECT_EQ(e.Number(), 40014) << "a stored port out of range stops the load";
}

TEST_F(SocketControl, EndsItsSocketWithTheWindow) {
    testing_support::RawSocket listener = testing_support::RawSocket::Listen();
    auto window = std::make_unique<QObject>();
    auto* s = new Socket(window.get());
    s->Connect(std::string("127.0.0.1"), listener.Port());
    testing_support::RawSocket peer = listener.Accept();
    ASSERT_TRUE(RunUntil([&] { return s->State() == 7; }));
    window.reset();
    EXPECT_TRUE(peer.WaitForClose());
}

}  // namespace
