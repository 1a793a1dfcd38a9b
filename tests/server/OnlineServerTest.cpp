// The server against scripted clients on loopback, byte for byte: the
// leader's board and the chat.
#include <gtest/gtest.h>

#include "ServerFixture.h"
#include "cipher/SeaBottle.h"
#include "online/Brambly.h"
#include "online/ChatProtocol.h"
#include "online/LeaderBoardProtocol.h"
#include "server/BoardService.h"
#include "server/ChatService.h"
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

struct ChatPort : server_testing::ServerFixture {
    LoopClient Join() {
        LoopClient c = LoopClient::Connect(server->Chat().Port());
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
