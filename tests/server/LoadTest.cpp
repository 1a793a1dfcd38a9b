// The server under load, on loopback, bounded in time and count: 50 chat
// players and 20 downloads at once, with one player who stops reading and
// one who floods. Every byte reaches every player who keeps to the rules;
// the two are dropped; and once everyone has gone the server holds nothing
// of them: no client, no queued or half-read byte, no descriptor.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>

#include "ServerFixture.h"
#include "online/ChatProtocol.h"
#include "server/ChatService.h"
#include "server/TransferService.h"
#include "tests/support/EventLoop.h"

using server_testing::LoopClient;
using testing_support::RunUntil;

namespace {

constexpr int kChatters = 50;
constexpr int kLinesEach = 10;
constexpr int kDownloads = 20;
constexpr std::size_t kPatchSize = 64 * 1024 + 123;
constexpr int kDeadlineMs = 60000;

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// The loopback address of player `n`'s machine: 127.0.1.n+1.
std::string Machine(int n) { return "127.0.1." + std::to_string(n + 1); }

// A chat line of its own, recognisable wherever it lands.
std::string LineOf(int player, int line) {
    const std::string text = "line " + std::to_string(line) + " of player " + std::to_string(player) + " " +
                             std::string(1200, static_cast<char>('a' + (player + line) % 26));
    return online::chat::Format(online::chat::ChatLine{"p" + std::to_string(player), "14:05", text});
}

// The chat lines in a stream of relayed text.
std::vector<std::string> LinesIn(const std::string& stream) {
    online::MessageReader reader(online::chat::GameToServerGrammar(), 1 << 30);
    reader.Append(stream);
    std::vector<std::string> lines;
    while (auto m = reader.Next()) lines.push_back(*m);
    EXPECT_EQ(reader.SkippedBytes(), 0u);
    return lines;
}

// A receiver of the patch that reads block by block, as the game does.
struct Download {
    LoopClient line;
    std::string file;
    bool done = false;

    void Step(std::size_t patchSize) {
        if (done) return;
        const std::size_t block = std::min<std::size_t>(1024, patchSize - file.size());
        if (line.Held() < 2 + block) return;
        const std::string message = line.Receive(2 + block, 0);
        file += message.substr(2);
        if (message.starts_with("F:")) {
            done = true;
        } else {
            line.Send("N!");
        }
    }
};

struct Load : server_testing::ServerFixture {
    std::string patch;

    Load() {
        // The player who stops reading is let go sooner than a real one.
        times.stalledAfter = std::chrono::milliseconds(1500);
        for (std::size_t i = 0; i < kPatchSize; ++i) patch += static_cast<char>((i * 131 + i / 7) % 256);
        folder.Write("Patch.exe", patch);
    }

    void RunOnce() {
        const std::size_t descriptorsBefore = OpenDescriptors();
        const int chatPort = server->Chat().Port();
        // Each player at a machine of their own, as at a LAN party.
        std::vector<LoopClient> players;
        for (int i = 0; i < kChatters; ++i) players.push_back(LoopClient::Connect(chatPort, 0, Machine(i).c_str()));
        LoopClient stalled = LoopClient::Connect(chatPort, 4096, Machine(kChatters).c_str());
        LoopClient flooder = LoopClient::Connect(chatPort, 0, Machine(kChatters + 1).c_str());
        std::vector<Download> downloads(kDownloads);
        for (int i = 0; i < kDownloads; ++i) {
            downloads[i].line = LoopClient::Connect(server->Transfer().Port(), 0, Machine(i).c_str());
            downloads[i].line.Send("FILE?");
        }
        ASSERT_TRUE(RunUntil([&] { return server->Chat().Room().Size() == kChatters + 2; }));

        // Everyone talks at once, the flooder without end.
        std::vector<std::string> received(kChatters);
        int sentLines = 0;
        bool flooderGone = false;
        const bool finished = RunUntil([&] {
            if (sentLines < kChatters * kLinesEach) {
                const int round = sentLines / kChatters;
                for (int p = 0; p < kChatters; ++p) players[p].Send(LineOf(p, round));
                sentLines += kChatters;
            }
            if (!flooderGone) {
                // As fast as it is let: the server holds it back, so its
                // sends must not wait, or the test's loop would stop.
                for (int i = 0; flooder.Unsent() < 64 * 1024; ++i) flooder.Offer(LineOf(999, i % 20));
                flooder.SendWhatFits();
                flooder.Held();
                flooderGone = flooder.Closed();
            }
            for (int p = 0; p < kChatters; ++p) received[p] += players[p].Receive(players[p].Held(), 0);
            for (auto& d : downloads) d.Step(patch.size());
            bool downloadsDone = true;
            for (const auto& d : downloads) downloadsDone = downloadsDone && d.done;
            // Done when every line has come to every player and the two
            // have been dropped.
            const std::size_t ownLines = static_cast<std::size_t>(kChatters * kLinesEach);
            return downloadsDone && flooderGone && server->Chat().ClientCount() == kChatters &&
                   sentLines == kChatters * kLinesEach &&
                   LinesIn(received.back()).size() >= ownLines && LinesIn(received.front()).size() >= ownLines;
        }, kDeadlineMs);
        ASSERT_TRUE(finished) << "the load did not finish in time";
        testing_support::RunFor(100);  // the last lines still on their way
        for (int p = 0; p < kChatters; ++p) received[p] += players[p].Receive(players[p].Held(), 0);

        // Every player got every line of every other player, whole, in the
        // one order the server relayed them, the flooder's first few lines
        // among them.
        const std::vector<std::string> first = LinesIn(received[0]);
        std::set<std::string> expected;
        for (int p = 0; p < kChatters; ++p) {
            for (int l = 0; l < kLinesEach; ++l) expected.insert(LineOf(p, l));
        }
        std::set<std::string> got;
        for (const auto& l : first) {
            if (!l.starts_with("p999 ")) got.insert(l);
        }
        EXPECT_EQ(got, expected);
        for (int p = 1; p < kChatters; ++p) EXPECT_TRUE(received[p] == received[0]) << "player " << p;
        for (const auto& d : downloads) EXPECT_TRUE(d.file == patch);
        EXPECT_TRUE(log.Has("dropped: flooding"));
        EXPECT_TRUE(log.Has("dropped: stopped reading"));
        EXPECT_TRUE(stalled.WaitForClose());

        // Everyone leaves.
        players.clear();
        downloads.clear();
        stalled.Close();
        flooder.Close();
        ASSERT_TRUE(RunUntil([&] { return server->ClientCount() == 0; }));
        testing_support::RunFor(50);  // objects of the gone are deleted later
        EXPECT_EQ(server->BytesQueued(), 0);
        EXPECT_EQ(server->BytesHeld(), 0);
        EXPECT_EQ(server->Chat().Room().Size(), 0u);
        EXPECT_EQ(server->Transfer().Running(), 0u);
        EXPECT_EQ(OpenDescriptors(), descriptorsBefore) << "a connection's descriptor was left open";
    }
};

TEST_F(Load, FiftyChattersAndTwentyDownloadsAtOnceTwice) {
    StartServer();
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        RunOnce();
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(server->Transfer().Finished(), 2u * kDownloads);
}

}  // namespace
