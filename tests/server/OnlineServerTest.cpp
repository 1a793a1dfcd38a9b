// The server against scripted clients on loopback, byte for byte: the
// leader's board and the chat.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <set>

#include "ServerFixture.h"
#include "cipher/SeaBottle.h"
#include "online/Brambly.h"
#include "online/ChatProtocol.h"
#include "online/LeaderBoardProtocol.h"
#include "server/BoardService.h"
#include "server/ChatService.h"
#include "server/TransferService.h"
#include "server/VersionService.h"
#include "tests/support/EventLoop.h"

using online::ScoreRecord;
using server_testing::LoopClient;
using testing_support::RunUntil;

namespace {

constexpr int kQuiet = 3000;  // the longest a test waits for one answer

struct BoardPort : server_testing::ServerFixture {
    LoopClient Open() { return LoopClient::Connect(server->Board().Port()); }
    // "LEADER?" as the board window asks; what came back, when as long as
    // the answer expected (and anything more that follows at once).
    std::string AskForTheTopPlayer(const ScoreRecord& expected) {
        LoopClient c = Open();
        c.Send("LEADER?jenny");
        const std::string answer = c.Receive(Answer(expected).size(), kQuiet);
        return answer + c.ReceiveFor(20);
    }
    static std::string Answer(const ScoreRecord& record) { return "LEADER:" + online::EncodeScoreCode(record); }
};

TEST_F(BoardPort, TheTopPlayerBeforeAndAfterAScore) {
    StartServer();
    EXPECT_EQ(AskForTheTopPlayer({}), Answer({})) << "no score yet: the empty record";
    EXPECT_EQ(online::DecodeScoreCode(online::EncodeScoreCode({})), (ScoreRecord{}));

    LoopClient player = Open();
    player.Send("LEADER?bob");
    EXPECT_EQ(player.Receive(Answer({}).size(), kQuiet), Answer({}));
    const ScoreRecord bob{"bob", 3, 10, 2, 5000};
    player.Send("SCORE:" + online::EncodeScoreCode(bob));
    EXPECT_EQ(player.ReceiveFor(400), "") << "a score needs no answer";
    player.Send("LEADER?bob");
    EXPECT_EQ(player.Receive(Answer(bob).size(), kQuiet), Answer(bob)) << "the same connection sees it";
    EXPECT_EQ(AskForTheTopPlayer(bob), Answer(bob));
    EXPECT_TRUE(log.Has("score \"bob\" level 3, won 10, lost 2, wager 5000"));
    EXPECT_TRUE(log.Has("asked for the top player as \"jenny\": \"bob\" level 3"));
}

// A machine asking in a loop fills no log: a few of its questions are
// written, the rest counted in one line; every player's scores are written.
TEST_F(BoardPort, QuestionsInALoopAreCountedAndScoresAreWritten) {
    StartServer();
    constexpr int kQuestions = 50;
    constexpr int kScores = 12;
    LoopClient asker = Open();
    std::string questions;
    for (int i = 0; i < kQuestions; ++i) questions += "LEADER?asker";
    asker.Send(questions);
    EXPECT_EQ(asker.Receive(kQuestions * Answer({}).size(), kQuiet).size(), kQuestions * Answer({}).size());
    for (int i = 0; i < kScores; ++i) {
        LoopClient player = Open();
        player.Send("SCORE:" + online::EncodeScoreCode({"p" + std::to_string(i), i, 0, 0, 0}));
        player.Send("LEADER?p");
        player.Receive(1, kQuiet);
    }
    server->Stop();
    const auto linesWith = [&](std::string_view part) {
        return std::count_if(log.lines.begin(), log.lines.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    const std::regex summary(R"(127\.0\.0\.1: (?:.* and )?(\d+) more messages in the last 60 s)");
    std::smatch counted;
    const auto summaryLine = std::find_if(log.lines.begin(), log.lines.end(), [&](const std::string& l) {
        return std::regex_search(l, counted, summary);
    });
    ASSERT_NE(summaryLine, log.lines.end()) << "the count of the questions not written";
    const long written = linesWith("asked for the top player");
    EXPECT_LE(written, 10);
    EXPECT_EQ(written + std::stol(counted[1]), kQuestions + kScores) << "each written or counted";
    for (int i = 0; i < kScores; ++i) {
        EXPECT_TRUE(log.Has("score \"p" + std::to_string(i) + "\" level " + std::to_string(i))) << i;
    }
}

TEST_F(BoardPort, ScoreAndQuestionInOneSendAreBothHeard) {
    StartServer();
    const ScoreRecord ann{"ann", 5, 0, 0, 0};
    LoopClient c = Open();
    c.Send("SCORE:" + online::EncodeScoreCode(ann) + "LEADER?ann");
    EXPECT_EQ(c.Receive(Answer(ann).size(), kQuiet), Answer(ann));
}

TEST_F(BoardPort, AWagerWrittenWithACommaIsRead) {
    StartServer();
    cipher::SeaBottle bottle;
    bottle.InitialiseCodes(online::kCodeKey);
    LoopClient c = Open();
    c.Send("SCORE:" + bottle.Encrypt("comma:4:1:0:2500,5:"));
    testing_support::RunFor(400);
    EXPECT_EQ(AskForTheTopPlayer({"comma", 4, 1, 0, 2500.5}), Answer({"comma", 4, 1, 0, 2500.5}));
}

TEST_F(BoardPort, AScoreCodeThatDoesNotReadIsIgnored) {
    StartServer();
    cipher::SeaBottle bottle;
    bottle.InitialiseCodes(online::kCodeKey);
    LoopClient c = Open();
    for (const std::string& code : {std::string("garbage"), bottle.Encrypt("few:1:"), bottle.Encrypt("x:one:0:0:0:"),
                                    std::string()}) {
        c.Send("SCORE:" + code);
        testing_support::RunFor(300);
    }
    EXPECT_EQ(AskForTheTopPlayer({}), Answer({}));
    EXPECT_TRUE(log.Has("ignored a score code that does not read"));
    EXPECT_FALSE(c.Closed()) << "a bad code is no reason to drop the player";
}

TEST_F(BoardPort, TheBoardSurvivesARestart) {
    StartServer();
    const ScoreRecord eve{"eve", 9, 1, 1, 100};
    {
        LoopClient c = Open();
        c.Send("SCORE:" + online::EncodeScoreCode(eve));
        testing_support::RunFor(400);
    }
    server.reset();
    StartServer();
    EXPECT_EQ(AskForTheTopPlayer(eve), Answer(eve));
}

// A board whose writes succeed or fail as the test says, and that tells
// which scores it has written.
class ScriptedStore final : public server::ScoreStore {
public:
    bool failWrites = false;
    std::set<std::string> written;
    std::vector<std::size_t> batches;  // scores in each write

    bool Record(const ScoreRecord& score) override {
        pending_.push_back(score.Name);
        return true;
    }
    bool Commit() override {
        batches.push_back(pending_.size());
        if (failWrites) {
            error_ = "database or disk is full";
            pending_.clear();
            return false;
        }
        written.insert(pending_.begin(), pending_.end());
        pending_.clear();
        return true;
    }
    std::size_t Pending() const override { return pending_.size(); }
    std::optional<ScoreRecord> Top() const override { return std::nullopt; }
    const std::string& LastError() const override { return error_; }

private:
    std::vector<std::string> pending_;
    std::string error_;
};

// A log that checks, as each line comes, that a score it calls kept is
// written already.
struct CheckingLog final : server::ServerLog {
    const ScriptedStore& store;
    std::vector<std::string> lines;
    std::vector<std::string> notYetWritten;
    explicit CheckingLog(const ScriptedStore& s) : store(s) {}
    void Write(std::string_view line) override {
        lines.emplace_back(line);
        static const std::regex kept(R"re(127\.0\.0\.1 score "([^"]*)")re");
        std::smatch m;
        if (std::regex_search(lines.back(), m, kept) && !store.written.contains(m[1])) notYetWritten.push_back(m[1]);
    }
    std::size_t LinesWith(std::string_view part) const {
        return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(part) != std::string::npos;
        }));
    }
};

// However many scores one turn brings, they are written in batches of a
// bounded size; the log calls a score kept only once it is written, and
// names each one that could not be.
TEST(BoardLog, AScoreIsLoggedOnceWrittenAndEachLostOneIsNamed) {
    ScriptedStore store;
    CheckingLog log(store);
    server::ServiceSettings settings;
    settings.name = "board";
    settings.limits.budget = {1u << 30, 1u << 30};
    settings.connectionLines.scoreLinesEach = 100000;
    server::BoardService board(settings, store, log);
    std::string error;
    ASSERT_TRUE(board.Start(error)) << error;
    LoopClient player = LoopClient::Connect(board.Port());
    constexpr int kScores = 600;
    std::string scores;
    for (int i = 0; i < kScores; ++i) scores += "SCORE:" + online::EncodeScoreCode({"p" + std::to_string(i), 1, 0, 0, 0});
    player.Send(scores);
    ASSERT_TRUE(RunUntil([&] { return log.LinesWith(" score \"p") == kScores; }, 10000));
    EXPECT_EQ(store.written.size(), static_cast<std::size_t>(kScores));
    EXPECT_TRUE(log.notYetWritten.empty()) << log.notYetWritten.front() << " was logged before it was written";
    for (const std::size_t batch : store.batches) EXPECT_LE(batch, server::BoardService::kMostWaiting);

    store.failWrites = true;
    player.Send("SCORE:" + online::EncodeScoreCode({"ann", 3, 1, 0, 10}) + "SCORE:" +
                online::EncodeScoreCode({"bob", 2, 0, 0, 0}));
    ASSERT_TRUE(RunUntil([&] { return log.LinesWith("lost the score") == 2; }));
    EXPECT_GE(log.LinesWith(" to the board: database or disk is full"), 1u) << "the write that failed, and why";
    EXPECT_EQ(log.LinesWith("#1 127.0.0.1 lost the score of \"ann\" level 3, won 1, lost 0, wager 10: not written"), 1u);
    EXPECT_EQ(log.LinesWith("#1 127.0.0.1 lost the score of \"bob\" level 2"), 1u);
    EXPECT_EQ(log.LinesWith("127.0.0.1 score \"ann\""), 0u) << "never called kept";
}

struct ChatPort : server_testing::ServerFixture {
    LoopClient Join(const char* from = nullptr, int receiveBuffer = 0) {
        LoopClient c = LoopClient::Connect(server->Chat().Port(), receiveBuffer, from);
        const std::size_t before = server->Chat().Room().Size();
        EXPECT_TRUE(RunUntil([&] { return server->Chat().Room().Size() > before; }));
        return c;
    }
    static std::string Line(const std::string& user, const std::string& text) {
        return online::chat::Format(online::chat::ChatLine{user, "14:05:09", text});
    }
};

TEST_F(ChatPort, EveryLineGoesToEveryPlayerTheSenderToo) {
    StartServer();
    LoopClient ann = Join();
    LoopClient bob = Join();
    LoopClient cat = Join();
    const std::string hello = Line("ann", "Hello!");
    ann.Send(hello);
    for (LoopClient* c : {&ann, &bob, &cat}) EXPECT_EQ(c->Receive(hello.size()), hello);

    // Split and joined sends come out as the lines they were.
    const std::string two = Line("bob", "one") + Line("bob", "two");
    bob.Send(two.substr(0, 7));
    testing_support::RunFor(30);
    bob.Send(two.substr(7));
    for (LoopClient* c : {&ann, &bob, &cat}) EXPECT_EQ(c->Receive(two.size()), two);
    EXPECT_EQ(cat.ReceiveFor(100), "");
}

// A player pastes four of the longest lines and quits at once: more than
// the chat lets one player send at once, and every line still reaches the
// others.
TEST_F(ChatPort, LongLinesSentJustBeforeAPlayerQuitsAreNotLost) {
    StartServer();
    LoopClient ann = Join();
    LoopClient bob = Join();
    std::string pasted;
    for (char c : {'a', 'b', 'c', 'd'}) pasted += Line("ann", std::string(online::chat::kMaxLine, c));
    ann.Send(pasted);
    ann.Close();
    EXPECT_TRUE(bob.Receive(pasted.size()) == pasted) << "all four lines, whole";
    EXPECT_TRUE(RunUntil([&] { return server->Chat().Room().Size() == 1; }));
}

// Twenty-four connections paste four of the longest lines each at the
// same moment, far more than a player's connection takes at once: every
// player who reads gets every line, and the one who reads nothing is let
// go only once it has taken nothing for a while, the log counting all that
// waited for it.
TEST_F(ChatPort, ABurstFromTwentyFourConnectionsDropsNoPlayerWhoReads) {
    times.stalledAfter = std::chrono::milliseconds(1500);
    StartServer();
    std::vector<LoopClient> readers;
    for (int i = 1; i <= 8; ++i) readers.push_back(Join(("127.0.2." + std::to_string(i)).c_str()));
    LoopClient stalled = Join("127.0.2.9", 4096);
    std::vector<LoopClient> pasters;
    for (int i = 0; i < 24; ++i) pasters.push_back(Join(("127.0.3." + std::to_string(1 + i / 2)).c_str()));
    std::vector<std::string> lines;
    for (int p = 0; p < 24; ++p) {
        std::string paste;
        for (int l = 0; l < 4; ++l) {
            std::string text = "line " + std::to_string(l) + " of " + std::to_string(p) + " ";
            text.resize(4000, static_cast<char>('a' + (p + l) % 26));
            lines.push_back(Line("paster" + std::to_string(p), text));
            paste += lines.back();
        }
        pasters[p].Send(paste);
    }
    std::size_t total = 0;
    for (const auto& l : lines) total += l.size();

    std::vector<std::string> got(readers.size());
    const bool done = RunUntil([&] {
        for (std::size_t r = 0; r < readers.size(); ++r) got[r] += readers[r].Receive(readers[r].Held(), 0);
        for (auto& p : pasters) p.Receive(p.Held(), 0);
        bool all = stalled.Closed() || log.Has("127.0.2.9 dropped");
        for (const auto& g : got) all = all && g.size() >= total;
        return all;
    }, 20000);
    ASSERT_TRUE(done);
    const std::multiset<std::string> expected(lines.begin(), lines.end());
    for (std::size_t r = 0; r < readers.size(); ++r) {
        online::MessageReader reader(online::chat::GameToServerGrammar(), 1 << 30);
        reader.Append(got[r]);
        std::multiset<std::string> relayed;
        while (auto m = reader.Next()) relayed.insert(*m);
        EXPECT_TRUE(relayed == expected) << "reader " << r << " got " << relayed.size() << " lines";
        EXPECT_FALSE(readers[r].Closed());
    }
    const std::regex stalledLine(R"(127\.0\.2\.9 dropped: stopped reading \((\d+) bytes waiting\))");
    std::smatch m;
    const auto line = std::find_if(log.lines.begin(), log.lines.end(),
                                   [&](const std::string& l) { return std::regex_search(l, m, stalledLine); });
    ASSERT_NE(line, log.lines.end());
    // All it did not take: at most its own small receive buffer short.
    const std::size_t waiting = std::stoul(m[1]);
    EXPECT_LE(waiting, total);
    EXPECT_GE(waiting + 16 * 1024, total);
    EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                            [](const std::string& l) { return l.find(" dropped") != std::string::npos; }),
              1);
}

TEST_F(ChatPort, TheListOfPlayersGoesToTheAskerAlone) {
    StartServer();
    LoopClient ann = Join();
    LoopClient bob = Join();
    ann.Send(Line("ann", "hi"));
    ann.Receive(Line("ann", "hi").size());
    bob.Receive(Line("ann", "hi").size());

    bob.Send("LIST0");
    const std::string list = "In the chat (2):\r\nann\r\n127.0.0.1\r\n";
    EXPECT_EQ(bob.Receive(list.size()), list) << "bob has said nothing yet: his address stands for him";
    EXPECT_EQ(ann.ReceiveFor(100), "");

    bob.Close();
    ASSERT_TRUE(RunUntil([&] { return server->Chat().Room().Size() == 1; }));
    ann.Send("LIST0");
    EXPECT_EQ(ann.Receive(100, 500), "In the chat (1):\r\nann\r\n");
}

}  // namespace

namespace {

struct VersionPort : server_testing::ServerFixture {};

TEST_F(VersionPort, EachCopyIsToldTheNewestVersionAtOnceAndKeptConnected) {
    options.Version = 31;
    StartServer();
    LoopClient copy = LoopClient::Connect(server->Version().Port());
    EXPECT_EQ(copy.Receive(10), "VERSION:31");
    copy.Send("REJECTjenny:31");
    EXPECT_EQ(copy.ReceiveFor(500), "") << "nothing more is said";
    EXPECT_FALSE(copy.Closed()) << "the connection stays open";
    EXPECT_TRUE(log.Has("REJECT from \"jenny\" at version 31"));

    LoopClient older = LoopClient::Connect(server->Version().Port());
    EXPECT_EQ(older.Receive(10), "VERSION:31");
    older.Send("ACCEPTbob:29");
    testing_support::RunFor(400);
    EXPECT_TRUE(log.Has("ACCEPT from \"bob\" at version 29: the patch follows"));
    EXPECT_EQ(server->Version().ClientCount(), 2u);
}

TEST_F(VersionPort, TheNameFromTheHandshakeNamesASilentPlayerInTheChat) {
    StartServer();
    LoopClient copy = LoopClient::Connect(server->Version().Port());
    copy.Receive(10);
    copy.Send("REJECTjenny:30");
    testing_support::RunFor(400);
    LoopClient chat = LoopClient::Connect(server->Chat().Port());
    chat.Send("LIST0");
    EXPECT_EQ(chat.Receive(100, 500), "In the chat (1):\r\njenny\r\n");
}

struct PatchPort : server_testing::ServerFixture {
    // A file of `size` bytes of every value, the protocol's own keywords
    // among them.
    static std::string PatchOf(std::size_t size) {
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 7 + i / 256) % 256);
        if (size >= 8) bytes.replace(size / 2, 6, "F:C:N!");
        return bytes;
    }
    // Fetches the patch as a receiver that reads each block by its length:
    // the messages, in order.
    static std::vector<std::string> Download(LoopClient& c, std::size_t size) {
        std::vector<std::string> messages;
        c.Send("FILE?");
        std::size_t left = size;
        for (;;) {
            const std::size_t block = std::min<std::size_t>(left, 1024);
            std::string message = c.Receive(2 + block);
            if (message.size() != 2 + block) {
                ADD_FAILURE() << "a block of " << message.size() << " bytes, " << left << " to go";
                return messages;
            }
            messages.push_back(message);
            left -= block;
            if (message.starts_with("F:") || message.size() < 2) return messages;
            c.Send("N!");
        }
    }
    static std::string Joined(const std::vector<std::string>& messages) {
        std::string file;
        for (const auto& m : messages) file += m.substr(2);
        return file;
    }
};

TEST_F(PatchPort, FilesOfEverySizeArriveByteForByte) {
    for (const std::size_t size : {0u, 1023u, 1024u, 2048u, 2500u}) {
        SCOPED_TRACE(size);
        const std::string patch = PatchOf(size);
        folder.Write("Patch.exe", patch);
        StartServer();
        LoopClient c = LoopClient::Connect(server->Transfer().Port());
        const std::vector<std::string> messages = Download(c, size);
        EXPECT_TRUE(Joined(messages) == patch);
        // Blocks of 1024 bytes; the last, 0 to 1024 bytes, after "F:".
        const std::size_t blocks = size == 0 ? 1 : (size + 1023) / 1024;
        ASSERT_EQ(messages.size(), blocks);
        for (std::size_t i = 0; i + 1 < blocks; ++i) EXPECT_EQ(messages[i].substr(0, 2), "C:");
        EXPECT_EQ(messages.back().substr(0, 2), "F:");
        EXPECT_EQ(c.ReceiveFor(30), "") << "nothing follows the last block";
        server.reset();
    }
}

TEST_F(PatchPort, ManyCopiesAtOnceEachGetTheWholeFileAndTheListenerStays) {
    const std::string patch = PatchOf(5000);
    folder.Write("Patch.exe", patch);
    StartServer();
    std::vector<LoopClient> copies;
    for (int i = 0; i < 5; ++i) copies.push_back(LoopClient::Connect(server->Transfer().Port()));
    for (auto& c : copies) c.Send("FILE?");
    // In turns, one block each, so all five are part-way at once.
    std::vector<std::string> files(copies.size());
    std::vector<bool> done(copies.size(), false);
    for (int round = 0; round < 10; ++round) {
        for (std::size_t i = 0; i < copies.size(); ++i) {
            if (done[i]) continue;
            const std::string m = copies[i].Receive(2 + std::min<std::size_t>(1024, patch.size() - files[i].size()));
            files[i] += m.substr(2);
            if (m.starts_with("F:")) {
                done[i] = true;
            } else {
                copies[i].Send("N!");
            }
        }
    }
    for (const auto& f : files) EXPECT_TRUE(f == patch);
    EXPECT_EQ(server->Transfer().Finished(), 5u);

    LoopClient late = LoopClient::Connect(server->Transfer().Port());
    EXPECT_TRUE(Joined(Download(late, patch.size())) == patch) << "still listening after serving";
}

TEST_F(PatchPort, StrayMessagesAreIgnored) {
    const std::string patch = PatchOf(1500);
    folder.Write("Patch.exe", patch);
    StartServer();
    LoopClient c = LoopClient::Connect(server->Transfer().Port());
    c.Send("N!");  // before the request
    EXPECT_EQ(c.ReceiveFor(100), "");
    const std::vector<std::string> messages = Download(c, patch.size());
    EXPECT_TRUE(Joined(messages) == patch);
    c.Send("N!");  // after "F:"
    c.Send("FILE?");
    EXPECT_EQ(c.ReceiveFor(300), "");
    EXPECT_FALSE(c.Closed()) << "neither side closes after the last block";
}

TEST_F(PatchPort, AMissingPatchFileStopsTheStart) {
    options.Patch = folder / "nowhere.exe";
    server = std::make_unique<server::OnlineServer>(options, server::ServicePorts::Any(), log);
    std::string error;
    EXPECT_FALSE(server->Start(error));
    EXPECT_EQ(error, "the patch file " + options.Patch.string() + " cannot be read: No such file or directory");
}

}  // namespace
