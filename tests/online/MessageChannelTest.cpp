// A socket that hands out whole messages, against a plain socket on
// loopback that writes the bytes in whatever pieces a test likes.
#include <gtest/gtest.h>

#include <QObject>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "online/LanProtocol.h"
#include "online/MessageChannel.h"
#include "platform/Winsock.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"

using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;

namespace {

using Messages = std::vector<std::string>;

struct ChannelFixture : ::testing::Test {
    RawSocket listener = RawSocket::Listen();
    RawSocket peer;
    QObject window;
    Messages received;

    online::MessageChannel* Connect(const online::Grammar& grammar) {
        auto* channel = new online::MessageChannel(grammar, &window);
        QObject::connect(channel, &online::MessageChannel::MessageReceived, &window,
                         [this](const std::string& m) { received.push_back(m); });
        channel->Socket().Connect(std::string("127.0.0.1"), listener.Port());
        peer = listener.Accept();
        EXPECT_TRUE(peer.Valid());
        EXPECT_TRUE(RunUntil([&] { return channel->Socket().State() == 7; }));
        return channel;
    }
};

TEST_F(ChannelFixture, JoinedAndSplitWritesComeOutAsMessages) {
    Connect(online::lan::HostToPlayerGrammar());
    peer.SendAll("ACCEPTED!REFRESH!");
    ASSERT_TRUE(RunUntil([&] { return received.size() == 2; }));
    peer.SendAll("DEA");
    RunFor(50);
    peer.SendAll("D>3START!75");
    RunFor(50);
    peer.SendAll("00H1360:H2360:H3360:H4360:H5");
    peer.SendAll("360:WIN:NO");
    ASSERT_TRUE(RunUntil([&] { return received.size() == 6; }));
    EXPECT_EQ(received, (Messages{"ACCEPTED!", "REFRESH!", "DEAD>3", "START!7500",
                                  "H1360:H2360:H3360:H4360:H5360:", "WIN:NO"}));
}

TEST_F(ChannelFixture, AnAmountAtTheEndComesOutAfterTheQuietGap) {
    auto* channel = Connect(online::lan::HostToPlayerGrammar());
    peer.SendAll("WIN:25");
    RunFor(50);
    peer.SendAll("00");
    ASSERT_TRUE(RunUntil([&] { return !received.empty(); }, 3000));
    EXPECT_EQ(received, Messages{"WIN:2500"});
    EXPECT_EQ(channel->MessagesReceived(), 1u);
}

// A server holding a client's reading back: the idle gap waits for the
// bytes that wait unread, and runs afresh once reading goes on.
TEST_F(ChannelFixture, HeldReadingCutsNoMessageAtTheQuietGap) {
    auto* channel = Connect(online::lan::HostToPlayerGrammar());
    channel->SetIdleGap(std::chrono::milliseconds(50));
    peer.SendAll("WIN:25");
    ASSERT_TRUE(RunUntil([&] { return channel->Reader().HoldsBytes(); }));
    channel->HoldReading(true);
    EXPECT_TRUE(channel->Socket().ReceiveHeld());
    peer.SendAll("00");
    RunFor(300);
    EXPECT_EQ(received, Messages{}) << "not cut at \"WIN:25\"";
    channel->HoldReading(false);
    ASSERT_TRUE(RunUntil([&] { return !received.empty(); }, 3000));
    EXPECT_EQ(received, Messages{"WIN:2500"});

    // Held with nothing more to come: the message comes out once reading
    // goes on, without another arrival.
    peer.SendAll("WIN:75");
    ASSERT_TRUE(RunUntil([&] { return channel->Reader().HoldsBytes(); }));
    channel->HoldReading(true);
    RunFor(200);
    channel->HoldReading(false);
    ASSERT_TRUE(RunUntil([&] { return received.size() == 2; }, 3000));
    EXPECT_EQ(received.back(), "WIN:75");
}

// A handler that holds reading back keeps the rest of the read back too,
// until reading goes on.
TEST_F(ChannelFixture, AHoldFromAHandlerKeepsTheRestOfTheReadBack) {
    auto* channel = Connect(online::lan::HostToPlayerGrammar());
    QObject::connect(channel, &online::MessageChannel::MessageReceived, &window, [&](const std::string&) {
        if (received.size() == 1) channel->HoldReading(true);
    });
    peer.SendAll("ACCEPTED!REFRESH!DEAD>3");
    ASSERT_TRUE(RunUntil([&] { return !received.empty(); }));
    RunFor(100);
    EXPECT_EQ(received, Messages{"ACCEPTED!"});
    EXPECT_TRUE(channel->Reader().HoldsBytes());
    channel->HoldReading(false);
    EXPECT_EQ(received, Messages{"ACCEPTED!"}) << "not inside the call";
    ASSERT_TRUE(RunUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (Messages{"ACCEPTED!", "REFRESH!", "DEAD>3"}));
}

// "WIN:7500" and the host's close: the amount is whole, and the owner has
// it before it hears of the close.
TEST_F(ChannelFixture, ThePeersCloseEndsItsLastMessage) {
    auto* channel = Connect(online::lan::HostToPlayerGrammar());
    Messages atClose;
    QObject::connect(&channel->Socket(), &net::Socket::CloseSckEvent, &window, [&] { atClose = received; });
    peer.SendAll("WIN:7500");
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return channel->Socket().State() == 8; }));
    EXPECT_EQ(atClose, Messages{"WIN:7500"});
}

// A server that held a client's reading when the client closed: nothing
// more will come to slow down, so every whole message it sent comes out
// before the owner hears of the close. What an owner's Discard throws away
// is counted.
TEST_F(ChannelFixture, ThePeersCloseHandsOutWhatAHoldKeptBack) {
    auto* channel = Connect(online::lan::HostToPlayerGrammar());
    QObject::connect(channel, &online::MessageChannel::MessageReceived, &window, [&](const std::string&) {
        if (received.size() == 1) channel->HoldReading(true);
    });
    Messages atClose;
    QObject::connect(&channel->Socket(), &net::Socket::CloseSckEvent, &window, [&] { atClose = received; });
    peer.SendAll("ACCEPTED!REFRESH!DEAD>3WIN:75");
    ASSERT_TRUE(RunUntil([&] { return !received.empty(); }));
    EXPECT_TRUE(channel->ReadingHeld());
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return channel->PeerGone(); }));
    EXPECT_EQ(atClose, (Messages{"ACCEPTED!", "REFRESH!", "DEAD>3", "WIN:75"}));

    received.clear();
    RawSocket second = RawSocket::Listen();
    channel->Close();
    channel->Socket().Connect(std::string("127.0.0.1"), second.Port());
    peer = second.Accept();
    ASSERT_TRUE(RunUntil([&] { return channel->Socket().State() == 7; }));
    EXPECT_FALSE(channel->PeerGone()) << "a new connection";
    peer.SendAll("ACCEPTED!REFRESH!DEAD>3WIN:75");
    ASSERT_TRUE(RunUntil([&] { return channel->Reader().BytesHeld() == 23 + 6 - 9; }));
    const online::MessageChannel::Unhandled unhandled = channel->Discard();
    EXPECT_EQ(unhandled.messages, 2u) << "REFRESH! and DEAD>3";
    EXPECT_EQ(unhandled.bytes, 6u) << "WIN:75, whose end only silence shows";
    EXPECT_EQ(received, Messages{"ACCEPTED!"});
}

TEST_F(ChannelFixture, APeerThatNeverFinishesIsDroppedAtTheCap) {
    struct Patient final : online::Grammar {
        online::Cut Next(std::string_view, bool) const override { return online::Cut::More(); }
    } patient;
    auto* channel = Connect(patient);
    bool overflowed = false;
    QObject::connect(channel, &online::MessageChannel::Overflowed, &window, [&] { overflowed = true; });
    const std::string chunk(16 * 1024, 'x');
    for (int i = 0; i < 5; ++i) peer.SendAll(chunk);
    ASSERT_TRUE(RunUntil([&] { return overflowed; }));
    EXPECT_EQ(channel->Socket().State(), 0);
    EXPECT_TRUE(peer.WaitForClose());
    EXPECT_FALSE(channel->Reader().HoldsBytes());
}

TEST_F(ChannelFixture, AHandlerThatDiscardsStopsTheRestOfTheRead) {
    auto* channel = Connect(online::lan::HostToPlayerGrammar());
    QObject::connect(channel, &online::MessageChannel::MessageReceived, &window,
                     [channel](const std::string&) { channel->Discard(); });
    peer.SendAll("ACCEPTED!REFRESH!HORSE?");
    ASSERT_TRUE(RunUntil([&] { return !received.empty(); }));
    RunFor(50);
    EXPECT_EQ(received, Messages{"ACCEPTED!"});
}

// A handler that closes has the rest of what came inside its Close, the
// last amount too, before Close returns.
TEST_F(ChannelFixture, AHandlerThatClosesHasTheRestOfTheReadFirst) {
    auto* channel = Connect(online::lan::HostToPlayerGrammar());
    QObject::connect(channel, &online::MessageChannel::MessageReceived, &window, [&](const std::string&) {
        if (received.size() != 1) return;
        channel->Close();
        received.push_back("<closed>");
    });
    peer.SendAll("ACCEPTED!REFRESH!WIN:75");
    ASSERT_TRUE(RunUntil([&] { return received.size() == 4; }));
    EXPECT_EQ(received, (Messages{"ACCEPTED!", "REFRESH!", "WIN:75", "<closed>"}));
    EXPECT_EQ(channel->Socket().State(), 0);
    EXPECT_TRUE(peer.WaitForClose());
}

// Every way a connection ends hands out what the peer sent first, the
// amount whose end only silence would show too, and only then tells the
// owner: Ended, or the return of the owner's own Close. The quiet gap is far
// off, so nothing comes out by it.
struct EndCase {
    const char* name;
    // The bytes are still with the system, read by nobody, when the end comes.
    bool unread;
    void (*end)(ChannelFixture&, online::MessageChannel&);
    const char* told;  // "<ended>" by Ended, "<closed>" after Close returned
};

void PostError(online::MessageChannel& channel, std::int32_t event, int error) {
    ASSERT_EQ(platform::ws::PostSocketNotification(channel.Socket().SocketHandle(), event, error), 0);
}

void OwnerCloses(ChannelFixture& f, online::MessageChannel& channel) {
    channel.Close();
    f.received.push_back("<closed>");
}

const EndCase kEnds[] = {
    {"the peer closes", false, [](ChannelFixture& f, online::MessageChannel&) { f.peer.Close(); }, "<ended>"},
    {"the peer resets", false, [](ChannelFixture& f, online::MessageChannel&) { f.peer.Reset(); }, "<ended>"},
    {"an error", false,
     [](ChannelFixture&, online::MessageChannel& c) { PostError(c, platform::ws::FD_READ, platform::ws::WSAECONNABORTED); },
     "<ended>"},
    {"a time-out the system finds", false,
     [](ChannelFixture&, online::MessageChannel& c) { PostError(c, platform::ws::FD_CLOSE, platform::ws::WSAETIMEDOUT); },
     "<ended>"},
    // The reset is found by a send: what the system still held is read, and
    // nothing comes out inside the send.
    {"a send that runs into a reset", true,
     [](ChannelFixture& f, online::MessageChannel& c) {
         platform::ws::InjectFault(platform::ws::Call::Send, platform::ws::WSAECONNRESET);
         c.Send("PLAYER?1");
         EXPECT_EQ(f.received, Messages{}) << "inside the send";
         EXPECT_EQ(c.Socket().State(), 9);
     },
     "<ended>"},
    {"the owner closes (quitting, a reconnect)", true, OwnerCloses, "<closed>"},
    {"the owner closes after the bytes were read", false, OwnerCloses, "<closed>"},
    // A receive that fails ends in error without an event: the watchdog
    // finds the state and closes.
    {"the watchdog closes a connection in error", false,
     [](ChannelFixture& f, online::MessageChannel& c) {
         platform::ws::InjectFault(platform::ws::Call::Recv, platform::ws::WSAECONNRESET);
         f.peer.SendAll("H");
         ASSERT_TRUE(RunUntil([&] { return c.Socket().State() == 9; }));
         EXPECT_EQ(f.received, Messages{}) << "no event came";
         OwnerCloses(f, c);
     },
     "<closed>"},
};

TEST_F(ChannelFixture, EveryEndHandsOutWhatCameBeforeTellingTheOwner) {
    for (const EndCase& end : kEnds) {
        SCOPED_TRACE(end.name);
        received.clear();
        auto* channel = Connect(online::lan::HostToPlayerGrammar());
        channel->SetIdleGap(std::chrono::minutes(1));
        QObject::connect(channel, &online::MessageChannel::Ended, &window, [this] { received.push_back("<ended>"); });
        peer.SendAll("REFRESH!WIN:7500");
        Messages expected{"REFRESH!", "WIN:7500", end.told};
        if (end.unread) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (channel->Socket().BytesWaiting() < 16 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_EQ(channel->Socket().BytesWaiting(), 16);
        } else {
            ASSERT_TRUE(RunUntil([&] { return channel->Reader().BytesHeld() == 8; }));
            ASSERT_EQ(received, Messages{"REFRESH!"});
            received.clear();
            expected.erase(expected.begin());
        }
        end.end(*this, *channel);
        EXPECT_TRUE(RunUntil([&] { return received.size() >= expected.size(); }));
        RunFor(20);  // and nothing after it
        EXPECT_EQ(received, expected);
        platform::ws::ClearFaults();
        delete channel;
    }
}

TEST_F(ChannelFixture, ReadsASocketTheWindowHolds) {
    auto* held = new net::Socket(&window);
    auto* channel = new online::MessageChannel(online::lan::HostToPlayerGrammar(), *held, &window);
    QObject::connect(channel, &online::MessageChannel::MessageReceived, &window,
                     [this](const std::string& m) { received.push_back(m); });
    held->Connect(std::string("127.0.0.1"), listener.Port());
    peer = listener.Accept();
    ASSERT_TRUE(RunUntil([&] { return held->State() == 7; }));
    peer.SendAll("ACCEPTED!REFR");
    peer.SendAll("ESH!");
    ASSERT_TRUE(RunUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(&channel->Socket(), held);
    // The socket stays the window's when the channel goes.
    delete channel;
    EXPECT_EQ(held->State(), 7);
    held->SendData("DROPOUT!");
    EXPECT_EQ(peer.ReceiveExactly(8), "DROPOUT!");
}

}  // namespace
