// What every port of the server does for its clients, whatever its
// protocol: takes them in (and makes room on a full port for a newcomer),
// hands out their whole messages a fair slice of each turn at a time, holds
// a machine to its budget however it reconnects, and drops the client that
// stops reading, floods or never finishes a message, while the others
// carry on.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include "LoopClient.h"
#include "server/Service.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"

using server_testing::LoopClient;
using testing_support::RunUntil;
using namespace std::chrono_literals;

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
    // All the budget each client that left was given, by its id.
    std::map<std::uint64_t, double> given;
    // Each line handed out: from whom, in which turn of the loop.
    struct Handled {
        std::uint64_t client;
        std::uint64_t turn;
    };
    std::vector<Handled> handled;

    // The system's handle of each client's connection.
    std::vector<int> Handles() {
        std::vector<int> handles;
        ForEachClient([&](server::ClientConnection& c) { handles.push_back(c.Channel().Socket().SocketHandle()); });
        return handles;
    }

protected:
    void Joined(server::ClientConnection& client) override { client.Send("hello #" + std::to_string(client.Id()) + "\n"); }
    void Received(server::ClientConnection& from, const std::string& message) override {
        const server::TurnShare* turns = Settings().turns;
        handled.push_back({from.Id(), turns ? turns->Turn() : 0});
        ForEachClient([&](server::ClientConnection& c) { c.Send(message); });
    }
    void Left(server::ClientConnection& client) override {
        left.push_back(client.Address());
        given[client.Id()] = client.Budget().Available() + client.Budget().Spent();
    }
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

server::ServiceSettings RelaySettings() {
    server::ServiceSettings settings;
    settings.name = "relay";
    settings.limits.budget = {1 << 20, 1 << 20};
    settings.limits.costPerMessage = 64;
    settings.limits.sendQueue = 64 * 1024;
    return settings;
}

struct ServiceFixture : ::testing::Test {
    RecordingLog log;
    server::ServiceSettings settings = RelaySettings();
    std::unique_ptr<Relay> relay;

    void Start() {
        relay = std::make_unique<Relay>(settings, kLines, log);
        std::string error;
        ASSERT_TRUE(relay->Start(error)) << error;
    }
    LoopClient Join(int receiveBuffer = 0, const char* from = nullptr) {
        LoopClient c = LoopClient::Connect(relay->Port(), receiveBuffer, from);
        EXPECT_EQ(c.Receive(9).substr(0, 7), "hello #");
        c.Receive(c.Held());
        return c;
    }
    std::size_t LinesWith(std::string_view part) const {
        return static_cast<std::size_t>(std::count_if(log.lines.begin(), log.lines.end(), [&](const std::string& l) {
            return l.find(part) != std::string::npos;
        }));
    }
};

// A client that sends without end: whole lines, as fast as the server lets
// it, with a small send buffer of its own, so the server's holding back
// shows as bytes it cannot send. Returns whether the server closed it.
bool FloodUntilClosed(LoopClient& flooder, const std::string& line, std::size_t* mostUnsent = nullptr) {
    const int small = 4096;
    ::setsockopt(flooder.Fd(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    return RunUntil([&] {
        while (flooder.Unsent() < 16 * 1024) flooder.Offer(line);
        flooder.SendWhatFits();
        if (mostUnsent) *mostUnsent = std::max(*mostUnsent, flooder.Unsent());
        flooder.Held();
        return flooder.Closed();
    }, 20000);
}

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

TEST_F(ServiceFixture, AFlooderIsReadNoFasterThanItsBudgetThenDroppedAndTheOthersCarryOn) {
    settings.limits.budget = {4096, 1024, 1s};
    settings.limits.systemReceiveBuffer = 4096;
    Start();
    LoopClient flooder = Join();
    LoopClient player = Join();
    std::size_t mostUnsent = 0;
    const std::string line = std::string(99, 'f') + "\n";
    ASSERT_TRUE(FloodUntilClosed(flooder, line, &mostUnsent));
    EXPECT_TRUE(log.Has("#1 127.0.0.1 dropped: flooding"));
    EXPECT_GT(mostUnsent, 0u) << "the server's holding back reaches the flooder";

    // What the flooder got relayed: what its budget paid for (each line
    // costs its bytes and 64 more), and the line that took it past, not
    // what it tried to send.
    const std::string relayed = player.ReceiveFor(100);
    ASSERT_EQ(relay->given.count(1), 1u);
    const double given = relay->given[1];
    EXPECT_LE(static_cast<double>(relayed.size()) / line.size() * (line.size() + 64), given + line.size() + 64)
        << relayed.size() << " bytes relayed of a budget of " << given;
    EXPECT_GT(relayed.size(), 0u);

    player.Send("still here\n");
    EXPECT_EQ(player.Receive(11), "still here\n");
}

// Lines pasted at once, then the client closes: those within its budget go
// on at once, and the rest, held back by the budget, still go on before it
// is let go, whether its close comes first or the failure of a line sent
// back to it.
TEST_F(ServiceFixture, WhatAClientSentBeforeItClosedIsAllPassedOn) {
    settings.limits.budget = {2048, 1024};
    Start();
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += std::string(99, static_cast<char>('a' + i % 26)) + "\n";
    struct Case {
        const char* how;
        std::function<void(LoopClient&)> close;
    };
    const Case cases[] = {
        // Its close is read after the lines, whatever the lines sent back.
        {"stops sending", [](LoopClient& c) { ::shutdown(c.Fd(), SHUT_WR); }},
        // The lines sent back to it may fail before its close is read.
        {"closes", [](LoopClient& c) { c.Close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        LoopClient paster = Join();
        LoopClient reader = Join();
        paster.Send(lines);
        c.close(paster);
        EXPECT_TRUE(reader.Receive(lines.size()) == lines) << "every line, in order";
        ASSERT_TRUE(RunUntil([&] { return relay->ClientCount() == 1; }));
        reader.Close();
        ASSERT_TRUE(RunUntil([&] { return relay->ClientCount() == 0; }));
    }
    EXPECT_TRUE(log.Has("#1 127.0.0.1 left"));
    EXPECT_TRUE(log.Has("#3 127.0.0.1 left") || log.Has("#3 127.0.0.1 dropped: network error"));
    EXPECT_FALSE(log.Has("thrown away"));
}

// Past its budget, the rest of a read waits with its reading; a client let
// go meanwhile has the messages it sent that were never handed out counted
// in the log.
TEST_F(ServiceFixture, WhatAClientLetGoSentAndWasNeverHandledIsLogged) {
    settings.limits.budget = {2048, 1};  // a hold that outlasts the test
    Start();
    LoopClient paster = Join();
    LoopClient reader = Join();
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += std::string(99, 'p') + "\n";
    paster.Send(lines + "unfinished");
    ASSERT_TRUE(RunUntil([&] { return reader.Held() >= 100; }));
    testing_support::RunFor(100);
    const std::size_t passedOn = reader.Held() / 100;
    EXPECT_LT(passedOn, 30u) << "held back past the budget";
    relay->Stop();
    EXPECT_TRUE(log.Has("#1 127.0.0.1 server stopping (" + std::to_string(30 - passedOn) +
                        " messages and 10 bytes of an unfinished one it sent thrown away)"));
}

TEST_F(ServiceFixture, BytesThatMakeNoMessageAreAFloodToo) {
    settings.limits.budget = {4096, 1024, 1s};
    // Nothing is ever a message: the grammar skips every byte.
    struct Nothing final : online::Grammar {
        online::Cut Next(std::string_view pending, bool) const override { return online::Cut::Drop(pending.size()); }
    } static const nothing;
    relay = std::make_unique<Relay>(settings, nothing, log);
    std::string error;
    ASSERT_TRUE(relay->Start(error)) << error;
    LoopClient junk = LoopClient::Connect(relay->Port());
    ASSERT_TRUE(FloodUntilClosed(junk, std::string(1024, 'j')));
    EXPECT_TRUE(log.Has("dropped: flooding"));
}

TEST_F(ServiceFixture, AClientIsNeverDroppedForWhatPiledUpWhileTheServerStalled) {
    // A line every 100 ms costs 165 bytes of 2048 a second: well inside
    // the budget, but the three seconds of a stall pile up more than its
    // burst.
    settings.limits.budget = {2048, 2048, 1s};
    Start();
    LoopClient honest = Join();
    LoopClient flooder = Join();
    const std::string line = std::string(100, 'h') + "\n";
    constexpr int kLines = 40;
    std::thread talker([&] {
        for (int i = 0; i < kLines; ++i) {
            honest.Send(line);
            std::this_thread::sleep_for(100ms);
        }
    });
    testing_support::RunFor(500);
    // The server is stuck in a handler for three seconds.
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(3s); });
    testing_support::RunFor(100);
    talker.join();
    const std::size_t expected = kLines * line.size();
    ASSERT_TRUE(RunUntil([&] { return honest.Held() >= expected || honest.Closed(); }, 10000));
    std::string all;
    for (int i = 0; i < kLines; ++i) all += line;
    EXPECT_TRUE(honest.Receive(expected, 0) == all) << "every line came back";
    EXPECT_FALSE(honest.Closed());
    EXPECT_FALSE(log.Has("#1 127.0.0.1 dropped"));

    // A client that keeps sending past its budget still goes.
    ASSERT_TRUE(FloodUntilClosed(flooder, std::string(99, 'f') + "\n"));
    EXPECT_TRUE(log.Has("#2 127.0.0.1 dropped: flooding"));
    EXPECT_EQ(relay->ClientCount(), 1u);
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
    EXPECT_TRUE(log.Has("turned a connection from 127.0.0.1 away: 2 clients already"));
    a.Close();
    ASSERT_TRUE(RunUntil([&] { return relay->ClientCount() == 1; }));
    Join();
    EXPECT_EQ(relay->ClientCount(), 2u);
}

// A full port takes a newcomer in the place of the newest connection of
// the address that holds the most, as long as that address would still
// hold more than the newcomer's; else the newcomer is turned away.
TEST_F(ServiceFixture, AFullPortStillAdmitsANewcomer) {
    settings.maxClients = 6;
    settings.maxPerAddress = 4;
    Start();
    std::vector<LoopClient> crowd;
    for (const char* from : {"127.0.0.2", "127.0.0.2", "127.0.0.2", "127.0.0.2", "127.0.0.3", "127.0.0.3"}) {
        crowd.push_back(Join(0, from));
    }
    // Each has begun its protocol: none goes for saying nothing.
    for (auto& c : crowd) c.Send("hi\n");
    ASSERT_TRUE(RunUntil([&] {
        for (auto& c : crowd) c.Held();
        return relay->handled.size() == crowd.size();
    }));

    LoopClient newcomer = Join(0, "127.0.0.4");
    EXPECT_EQ(relay->ClientCount(), 6u);
    EXPECT_TRUE(crowd[3].WaitForClose()) << "the newest of the address that holds the most";
    EXPECT_TRUE(log.Has("#4 127.0.0.2 dropped to make room on a full port: its address held the most connections (4)"));
    EXPECT_EQ(relay->ClientsFrom("127.0.0.2"), 3u);

    // 127.0.0.2 holds 3, 127.0.0.3 two: another of theirs would leave
    // none holding more than its own, and is turned away.
    for (const char* from : {"127.0.0.2", "127.0.0.3"}) {
        SCOPED_TRACE(from);
        LoopClient turnedAway = LoopClient::Connect(relay->Port(), 0, from);
        EXPECT_TRUE(turnedAway.WaitForClose());
    }
    EXPECT_TRUE(log.Has("turned a connection from 127.0.0.3 away: 6 clients already"));
    LoopClient another = Join(0, "127.0.0.5");
    EXPECT_TRUE(crowd[2].WaitForClose());
    EXPECT_EQ(relay->ClientsFrom("127.0.0.2"), 2u);
    EXPECT_FALSE(crowd[0].Closed());
    EXPECT_FALSE(newcomer.Closed());
}

// A client that has not begun its protocol a while after it came goes
// first, whichever address holds the most.
TEST_F(ServiceFixture, AFullPortLetsGoForANewcomerOneThatNeverBegan) {
    settings.maxClients = 3;
    settings.firstStepGrace = 300ms;
    Start();
    LoopClient a = Join(0, "127.0.0.2");
    LoopClient b = Join(0, "127.0.0.3");
    LoopClient silent = Join(0, "127.0.0.4");
    a.Send("hi\n");
    b.Send("hi\n");
    ASSERT_TRUE(RunUntil([&] { return relay->handled.size() == 2; }));
    LoopClient tooSoon = LoopClient::Connect(relay->Port(), 0, "127.0.0.5");
    EXPECT_TRUE(tooSoon.WaitForClose()) << "one client an address, and the silent one may still begin";

    testing_support::RunFor(400);
    LoopClient newcomer = Join(0, "127.0.0.5");
    EXPECT_TRUE(silent.WaitForClose());
    EXPECT_TRUE(log.Has("#3 127.0.0.4 dropped to make room on a full port: it sent nothing in "));
    EXPECT_FALSE(a.Closed());
    EXPECT_FALSE(b.Closed());
}

// One machine that keeps its connections pasting, closing and
// reconnecting to start afresh gets no more through than its address's
// budget, whatever each new connection's own budget would allow.
TEST_F(ServiceFixture, AReconnectingAddressIsHeldToItsBudget) {
    settings.limits.budget = {8192, 4096, 60s};
    settings.limits.addressBudget = {8192, 2048, 60s};
    settings.limits.costPerConnection = 256;
    Start();
    LoopClient reader = Join(0, "127.0.0.2");
    const std::string line = std::string(99, 'r') + "\n";
    const double cost = static_cast<double>(line.size() + settings.limits.costPerMessage);
    std::string paste;
    for (int i = 0; i < 40; ++i) paste += line;  // within one connection's burst
    struct Connection {
        LoopClient client;
        std::chrono::steady_clock::time_point opened;
    };
    std::vector<Connection> machine;
    std::size_t received = 0;
    int opened = 0;
    const auto start = std::chrono::steady_clock::now();
    constexpr auto kRun = 2s;
    RunUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(machine, [&](Connection& c) { return c.client.Closed() || now - c.opened > 100ms; });
        while (machine.size() < 8) {
            machine.push_back({LoopClient::Connect(relay->Port(), 0, "127.0.0.3"), now});
            machine.back().client.Offer(paste);
            ++opened;
        }
        for (auto& c : machine) {
            c.client.SendWhatFits();
            c.client.Held();
        }
        received += reader.Receive(reader.Held(), 0).size();
        return now - start > kRun;
    }, 10000);
    machine.clear();
    received += reader.ReceiveFor(100).size();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double relayed = static_cast<double>(received / line.size()) * cost;
    const double allowed = 8192 + 2048 * seconds + 8 * cost;  // and a line each of those open at once
    EXPECT_LE(relayed, allowed) << opened << " connections in " << seconds << " s";
    EXPECT_GT(opened * paste.size() / 10, received) << "without the address's budget each would paste all";
    EXPECT_TRUE(log.Has("turned a connection from 127.0.0.3 away: its address is past its budget"));
    EXPECT_FALSE(reader.Closed());
}

// A crowd that pastes at once: each turn of the loop hands out a bounded
// lot, each client a slice of it in turn, and a player's line comes within
// a turn or two, however much the crowd has yet to come.
TEST_F(ServiceFixture, EachTurnHandsOutABoundedSliceOfEachClient) {
    server::TurnShare turns({1000, 4000, 10s});
    settings.turns = &turns;
    Start();
    constexpr int kCrowd = 6;
    constexpr int kLines = 200;
    std::vector<LoopClient> crowd;
    for (int i = 0; i < kCrowd; ++i) crowd.push_back(Join(0, ("127.0.0." + std::to_string(10 + i)).c_str()));
    LoopClient player = Join(0, "127.0.0.2");
    relay->handled.clear();
    const std::string line = std::string(99, 'c') + "\n";  // 164 of cost: 7 a slice, 25 a turn
    std::string paste;
    for (int i = 0; i < kLines; ++i) paste += line;
    for (auto& c : crowd) c.Send(paste);
    player.Send("mine\n");
    ASSERT_TRUE(RunUntil([&] {
        for (auto& c : crowd) c.Receive(c.Held(), 0);
        player.Receive(player.Held(), 0);
        return relay->handled.size() == kCrowd * kLines + 1;
    }, 20000));

    std::map<std::uint64_t, std::size_t> inTurn;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::size_t> ofClientInTurn;
    for (const auto& h : relay->handled) {
        ++inTurn[h.turn];
        ++ofClientInTurn[{h.turn, h.client}];
    }
    for (const auto& [turn, count] : inTurn) EXPECT_LE(count, 25u) << "turn " << turn;
    for (const auto& [key, count] : ofClientInTurn) EXPECT_LE(count, 7u) << "client #" << key.second;
    EXPECT_GT(inTurn.size(), static_cast<std::size_t>(kCrowd * kLines / 25)) << "the rest waited for later turns";

    const std::uint64_t playerId = kCrowd + 1;
    const auto mine = std::find_if(relay->handled.begin(), relay->handled.end(),
                                   [&](const auto& h) { return h.client == playerId; });
    ASSERT_NE(mine, relay->handled.end());
    EXPECT_LE(mine->turn, relay->handled.front().turn + 3) << "after " << (mine - relay->handled.begin())
                                                            << " of the crowd's lines";
}

// A client that sends part of a message and never the rest, or drips it
// a byte at a time, is let go; one whose lines come in pieces is not.
TEST_F(ServiceFixture, AClientThatKeepsAMessageUnfinishedIsLetGo) {
    settings.limits.unfinishedAfter = 300ms;
    Start();
    LoopClient dripper = Join();
    LoopClient halfway = Join();
    LoopClient pieces = Join();
    halfway.Send("half a li");
    for (int step = 0; step < 30; ++step) {
        if (!dripper.Closed()) dripper.Send("d");
        pieces.Send(step % 3 == 2 ? "p\n" : "p");  // a line every 150 ms, in three pieces
        testing_support::RunFor(50);
        dripper.Held();
        pieces.Held();
        halfway.Held();
    }
    EXPECT_TRUE(dripper.WaitForClose(1000));
    EXPECT_TRUE(halfway.WaitForClose(1000));
    EXPECT_FALSE(pieces.Closed());
    EXPECT_TRUE(log.Has("#1 127.0.0.1 dropped: kept a message unfinished for 300 ms ("));
    EXPECT_TRUE(log.Has("#2 127.0.0.1 dropped: kept a message unfinished for 300 ms"
                        " (9 bytes of an unfinished one it sent thrown away)"));
    EXPECT_FALSE(log.Has("#3 127.0.0.1 dropped"));
}

TEST_F(ServiceFixture, OneAddressHoldsNoMoreThanItsShareOfAPort) {
    settings.maxPerAddress = 2;
    Start();
    LoopClient a = Join();
    LoopClient b = Join();
    LoopClient c = LoopClient::Connect(relay->Port());
    EXPECT_TRUE(c.WaitForClose());
    EXPECT_TRUE(log.Has("turned a connection from 127.0.0.1 away: 2 connections from it already"));
    EXPECT_EQ(relay->ClientsFrom("127.0.0.1"), 2u);

    // Other machines still get in, each to its own share.
    LoopClient d = Join(0, "127.0.0.2");
    LoopClient e = Join(0, "127.0.0.3");
    EXPECT_EQ(relay->ClientsFrom("127.0.0.2"), 1u);
    EXPECT_EQ(relay->ClientCount(), 4u);

    a.Close();
    ASSERT_TRUE(RunUntil([&] { return relay->ClientsFrom("127.0.0.1") == 1; }));
    Join();
    EXPECT_EQ(relay->ClientsFrom("127.0.0.1"), 2u);
}

int OptionOf(int fd, int level, int option) {
    int value = -1;
    socklen_t length = sizeof value;
    ::getsockopt(fd, level, option, &value, &length);
    return value;
}

// A client whose machine sleeps or loses its network never closes: the
// system asks after it and gives its connection up, and the place it held
// in its address's share goes to its next connection.
TEST_F(ServiceFixture, ASilentClientIsAskedAfterAndOneThatIsGoneFreesItsPlace) {
    settings.limits.keepAliveIdle = 7s;
    settings.limits.keepAliveInterval = 3s;
    settings.limits.keepAliveProbes = 4;
    settings.limits.unacknowledged = 9000ms;
    settings.limits.systemReceiveBuffer = 8192;
    settings.maxPerAddress = 1;
    Start();
    LoopClient gone = Join();
    ASSERT_EQ(relay->Handles().size(), 1u);
    const int fd = relay->Handles().front();
    EXPECT_EQ(OptionOf(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_KEEPIDLE), 7);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_KEEPINTVL), 3);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_KEEPCNT), 4);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_USER_TIMEOUT), 9000);
    EXPECT_EQ(OptionOf(fd, IPPROTO_TCP, TCP_NODELAY), 1);
    EXPECT_EQ(OptionOf(fd, SOL_SOCKET, SO_RCVBUF), 2 * 8192);

    // A connection given up ends in error, as a reset one does.
    const linger reset{1, 0};
    ::setsockopt(gone.Fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    gone.Close();
    ASSERT_TRUE(RunUntil([&] { return relay->ClientsFrom("127.0.0.1") == 0; }));
    EXPECT_TRUE(log.Has("#1 127.0.0.1 dropped: network error"));
    LoopClient next = Join();
    EXPECT_EQ(relay->ClientsFrom("127.0.0.1"), 1u);
}

// The numbers in the summary lines, added up: connections, turned away.
std::pair<std::uint64_t, std::uint64_t> Summarised(const std::vector<std::string>& lines) {
    static const std::regex connections(R"(: (\d+) more connections?)");
    static const std::regex turnedAway(R"((\d+) turned away)");
    std::pair<std::uint64_t, std::uint64_t> total;
    for (const auto& line : lines) {
        std::smatch m;
        if (std::regex_search(line, m, connections)) total.first += std::stoull(m[1]);
        if (std::regex_search(line, m, turnedAway)) total.second += std::stoull(m[1]);
    }
    return total;
}

TEST_F(ServiceFixture, AnAddressThatComesAndGoesInALoopGetsASummaryNotALineEach) {
    settings.connectionLines = {3, 1000ms, 1024};
    settings.maxPerAddress = 1;
    Start();
    constexpr int kRounds = 30;
    for (int i = 0; i < kRounds; ++i) {
        LoopClient c = LoopClient::Connect(relay->Port());
        ASSERT_TRUE(RunUntil([&] { return relay->ClientCount() == 1; }));
        c.Close();
        ASSERT_TRUE(RunUntil([&] { return relay->ClientCount() == 0; }));
    }
    LoopClient stays = Join();
    constexpr int kTurnedAway = 5;
    for (int i = 0; i < kTurnedAway; ++i) EXPECT_TRUE(LoopClient::Connect(relay->Port()).WaitForClose());

    // The window ends, and a line says what it left out.
    EXPECT_TRUE(RunUntil([&] { return log.Has("not written one by one"); }));
    relay->Stop();  // writes what is still counted
    const std::size_t connected = LinesWith(" connected");
    const std::size_t turned = LinesWith("connections from it already");
    EXPECT_LT(connected, static_cast<std::size_t>(kRounds)) << "not a line each";
    // A going is written when its coming was.
    static const std::regex coming(R"((#\d+ )127\.0\.0\.1 connected)");
    for (const auto& line : log.lines) {
        std::smatch m;
        if (!std::regex_search(line, m, coming)) continue;
        EXPECT_EQ(LinesWith(m[1].str()), 2u) << line;
    }
    const auto [moreConnections, moreTurnedAway] = Summarised(log.lines);
    EXPECT_EQ(connected + moreConnections, kRounds + 1u) << "every connection is written or counted";
    EXPECT_EQ(turned + moreTurnedAway, static_cast<std::size_t>(kTurnedAway));
    EXPECT_TRUE(log.Has("127.0.0.1: ")) << "the summary names the address";
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

TEST_F(ServiceFixture, ABudgetThatNeverRefillsIsRefused) {
    const server::SendBudget none{};
    const server::SendBudget fine{4096, 1024};
    for (const auto& [own, shared] : {std::pair{server::SendBudget{4096, 0}, none},
                                      std::pair{server::SendBudget{0, 1024}, none},
                                      std::pair{fine, server::SendBudget{4096, 0}}}) {
        settings.limits.budget = own;
        settings.limits.addressBudget = shared;
        Relay relay(settings, kLines, log);
        std::string error;
        EXPECT_FALSE(relay.Start(error));
        EXPECT_EQ(error, "cannot serve the relay on port 0: its clients' budget never refills");
    }
}

TEST_F(ServiceFixture, ListensOnTheAddressItIsGiven) {
    settings.address = "127.0.0.1";
    Start();
    LoopClient a = Join();
    a.Send("x\n");
    EXPECT_EQ(a.Receive(2), "x\n");
}

}  // namespace
