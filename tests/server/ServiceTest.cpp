// What every port of the server does for its clients, whatever its
// protocol: takes them in, hands out their whole messages, and drops the
// client that stops reading, floods or never finishes a message, while the
// others carry on.
#include <gtest/gtest.h>

#include <vector>

#include "LoopClient.h"
#include "server/Service.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"

using server_testing::LoopClient;
using testing_support::RunUntil;

namespace {

// Messages are lines ending in "\n".
struct LineGrammar final : online::Grammar {
    online::Cut Next(std::string_view pending, bool) const override {
        const auto end = pending.find('\n');
        return end == std::string_view::npos ? online::Cut::More() : online::Cut::Take(end + 1);
    }
};
const LineGrammar kLines;

// Greets each client; passes each line on to every client.
class Relay final : public server::Service {
public:
    using Service::Service;
    std::vector<std::string> left;

protected:
    void Joined(server::ClientConnection& client) override { client.Send("hello #" + std::to_string(client.Id()) + "\n"); }
    void Received(server::ClientConnection&, const std::string& message) override {
        ForEachClient([&](server::ClientConnection& c) { c.Send(message); });
    }
    void Left(server::ClientConnection& client) override { left.push_back(client.Address()); }
};

struct RecordingLog final : server::ServerLog {
    std::vector<std::string> lines;
    void Write(std::string_view line) override { lines.emplace_back(line); }
    ~RecordingLog() override {
        if (!::testing::Test::HasFailure()) return;
        for (const auto& l : lines) std::printf("log: %s\n", l.c_str());
    }
    bool Has(std::string_view part) const {
        for (const auto& l : lines) {
            if (l.find(part) != std::string::npos) return true;
        }
        return false;
    }
};

struct ServiceFixture : ::testing::Test {
    RecordingLog log;
    server::ServiceSettings settings{"relay", 0, "", {{1 << 20, 1 << 20}, 64, 64 * 1024}, 250};
    std::unique_ptr<Relay> relay;

    void Start() {
        relay = std::make_unique<Relay>(settings, kLines, log);
        std::string error;
        ASSERT_TRUE(relay->Start(error)) << error;
    }
    LoopClient Join(int receiveBuffer = 0) {
        LoopClient c = LoopClient::Connect(relay->Port(), receiveBuffer);
        EXPECT_EQ(c.Receive(9).substr(0, 7), "hello #");
        c.Receive(c.Held());
        return c;
    }
};

TEST_F(ServiceFixture, EveryClientGetsEveryWholeLineHoweverItWasCut) {
    Start();
    LoopClient a = Join();
    LoopClient b = Join();
    a.Send("one\ntw");
    testing_support::RunFor(30);
    a.Send("o\n");
    EXPECT_EQ(a.Receive(8), "one\ntwo\n");
    EXPECT_EQ(b.Receive(8), "one\ntwo\n");
    EXPECT_EQ(relay->ClientCount(), 2u);
    EXPECT_TRUE(log.Has("[relay " + std::to_string(relay->Port()) + "] #1 127.0.0.1 connected"));

    a.Close();
    ASSERT_TRUE(RunUntil([&] { return relay->ClientCount() == 1; }));
    EXPECT_TRUE(log.Has("#1 127.0.0.1 left"));
    EXPECT_EQ(relay->left, std::vector<std::string>{"127.0.0.1"});
}

TEST_F(ServiceFixture, AClientThatSendsBeforeItIsTakenInIsHeardAndGreeted) {
    Start();
    // Connected and sent while the server's loop was not running.
    LoopClient early = LoopClient::Connect(relay->Port());
    early.Send("first\n");
    const std::string got = early.Receive(15);
    EXPECT_NE(got.find("first\n"), std::string::npos) << got;
    EXPECT_NE(got.find("hello #1\n"), std::string::npos) << got;
}

TEST_F(ServiceFixture, AClientThatStopsReadingIsDroppedAndTheOthersGetEverything) {
    settings.limits.budget = {1u << 30, 1u << 30};
    Start();
    LoopClient sender = Join();
    LoopClient reader = Join();
    LoopClient stalled = Join(4096);  // reads nothing from here on

    const std::string line = std::string(4095, 'x') + "\n";
    std::size_t sent = 0;
    bool dropped = false;
    std::size_t receivedByReader = 0;
    for (int i = 0; i < 4000 && !dropped; ++i) {
        sender.Send(line);
        sent += line.size();
        receivedByReader += reader.Receive(line.size()).size();
        sender.Receive(line.size());
        dropped = relay->ClientCount() == 2;
    }
    ASSERT_TRUE(dropped) << "the stalled client's queue never filled";
    EXPECT_EQ(receivedByReader, sent) << "the reader lost nothing";
    EXPECT_TRUE(log.Has("#3 127.0.0.1 dropped: stopped reading"));
    EXPECT_LE(relay->BytesQueued(), 2 * 64 * 1024) << "no queue passes its cap";
    EXPECT_TRUE(stalled.WaitForClose(10000));
}

TEST_F(ServiceFixture, AFlooderIsDroppedAndTheOthersCarryOn) {
    settings.limits.budget = {4096, 1024};
    Start();
    LoopClient flooder = Join();
    LoopClient player = Join();
    for (int i = 0; i < 100; ++i) flooder.Send(std::string(99, 'f') + "\n");
    ASSERT_TRUE(flooder.WaitForClose());
    EXPECT_TRUE(log.Has("#1 127.0.0.1 dropped: flooding"));

    player.Receive(player.Held());
    player.Send("still here\n");
    EXPECT_EQ(player.Receive(11), "still here\n");
}

TEST_F(ServiceFixture, BytesThatMakeNoMessageAreAFloodToo) {
    settings.limits.budget = {4096, 1024};
    // Nothing is ever a message: the grammar skips every byte.
    struct Nothing final : online::Grammar {
        online::Cut Next(std::string_view pending, bool) const override { return online::Cut::Drop(pending.size()); }
    } static const nothing;
    relay = std::make_unique<Relay>(settings, nothing, log);
    std::string error;
    ASSERT_TRUE(relay->Start(error)) << error;
    LoopClient junk = LoopClient::Connect(relay->Port());
    junk.Send(std::string(8192, 'j'));
    ASSERT_TRUE(junk.WaitForClose());
    EXPECT_TRUE(log.Has("dropped: flooding"));
}

TEST_F(ServiceFixture, AMessageThatNeverEndsIsDroppedAtTheReadersCap) {
    Start();
    LoopClient endless = Join();
    for (int i = 0; i < 80; ++i) endless.Send(std::string(1024, 'e'));
    ASSERT_TRUE(endless.WaitForClose());
    EXPECT_TRUE(log.Has("dropped: a message that never ends"));
    EXPECT_EQ(relay->BytesHeld(), 0);
}

TEST_F(ServiceFixture, ClientsBeyondTheMostAtOnceAreTurnedAway) {
    settings.maxClients = 2;
    Start();
    LoopClient a = Join();
    LoopClient b = Join();
    LoopClient c = LoopClient::Connect(relay->Port());
    EXPECT_TRUE(c.WaitForClose());
    EXPECT_TRUE(log.Has("turned a connection away: 2 clients already"));
    a.Close();
    ASSERT_TRUE(RunUntil([&] { return relay->ClientCount() == 1; }));
    Join();
    EXPECT_EQ(relay->ClientCount(), 2u);
}

TEST_F(ServiceFixture, StoppingDropsEveryClient) {
    Start();
    LoopClient a = Join();
    LoopClient b = Join();
    relay->Stop();
    EXPECT_EQ(relay->ClientCount(), 0u);
    EXPECT_TRUE(a.WaitForClose());
    EXPECT_TRUE(b.WaitForClose());
}

TEST_F(ServiceFixture, APortInUseOrAForeignAddressIsACleanError) {
    Start();
    server::ServiceSettings same = settings;
    same.port = relay->Port();
    Relay second(same, kLines, log);
    std::string error;
    EXPECT_FALSE(second.Start(error));
    EXPECT_EQ(error, "cannot listen on port " + std::to_string(relay->Port()) +
                         " for the relay: it is in use (is another server running?)");

    server::ServiceSettings foreign = settings;
    foreign.address = "192.0.2.1";  // a documentation address, on no machine
    Relay elsewhere(foreign, kLines, log);
    EXPECT_FALSE(elsewhere.Start(error));
    EXPECT_NE(error.find("cannot listen on port 0 on 192.0.2.1 for the relay: "), std::string::npos) << error;

    foreign.address = "not an address";
    Relay nowhere(foreign, kLines, log);
    EXPECT_FALSE(nowhere.Start(error));
    EXPECT_NE(error.find("'not an address' is not an address of this machine"), std::string::npos) << error;
}

TEST_F(ServiceFixture, ListensOnTheAddressItIsGiven) {
    settings.address = "127.0.0.1";
    Start();
    LoopClient a = Join();
    a.Send("x\n");
    EXPECT_EQ(a.Receive(2), "x\n");
}

}  // namespace
