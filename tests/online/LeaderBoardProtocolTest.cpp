// The leader's board's messages, how a stream of them is cut, and the rules
// of the game's connection: what goes out when, and which answers change
// what the board shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cipher/SeaBottle.h"
#include "online/LeaderBoardProtocol.h"

namespace board = online::leaderboard;
using online::ScoreRecord;

namespace {

std::string Encipher(const std::string& plain) {
    cipher::SeaBottle bottle;
    bottle.InitialiseCodes("Pelmora");
    return bottle.Encrypt(plain);
}

const ScoreRecord kChampion{"Jenny Ash", 3, 10, 2, 5000};

std::vector<std::string> Cut(const online::Grammar& grammar, const std::vector<std::string>& reads) {
    online::MessageReader reader(grammar);
    std::vector<std::string> messages;
    for (const std::string& bytes : reads) {
        reader.Append(bytes);
        while (auto message = reader.Next()) messages.push_back(*message);
    }
    while (auto message = reader.NextAfterIdle()) messages.push_back(*message);
    return messages;
}

TEST(LeaderBoardMessages, AreWrittenAndReadAsTheyStand) {
    const std::string code = online::EncodeScoreCode(kChampion);
    const std::pair<board::GameMessage, std::string> fromGame[] = {
        {board::TopPlayerQuery{"jenny"}, "LEADER?jenny"},
        {board::TopPlayerQuery{""}, "LEADER?"},
        {board::ScoreSubmission{code}, "SCORE:" + code},
    };
    for (const auto& [message, text] : fromGame) {
        EXPECT_EQ(board::Format(message), text);
        EXPECT_EQ(board::RecogniseGameMessage(text), message) << text;
    }
    EXPECT_EQ(board::Format(board::TopPlayer{code}), "LEADER:" + code);
    EXPECT_EQ(board::RecogniseServerMessage("LEADER:" + code), board::ServerMessage{board::TopPlayer{code}});
    EXPECT_EQ(board::ScoreMessage(kChampion), "SCORE:" + code);
    EXPECT_EQ(board::TopPlayerMessage(kChampion), "LEADER:" + code);

    // Keywords are exact and in capitals.
    for (const char* text : {"leader:x", "LEADER?", "LEADER", " LEADER:x", "SCORE:x"}) {
        EXPECT_FALSE(board::RecogniseServerMessage(text)) << text;
    }
    EXPECT_FALSE(board::RecogniseGameMessage("score:x"));
}

TEST(LeaderBoardStream, TheTopPlayerComesOutWholeHoweverTheReadsFall) {
    const std::string reply = board::TopPlayerMessage(kChampion);
    const std::string other = board::TopPlayerMessage({"Bo", 1, 0, 0, 0});
    const std::size_t half = reply.size() / 2;
    const std::vector<std::string> expected{reply};

    EXPECT_EQ(Cut(board::ServerToGameGrammar(), {reply}), expected);
    EXPECT_EQ(Cut(board::ServerToGameGrammar(), {reply.substr(0, half), reply.substr(half)}), expected);
    EXPECT_EQ(Cut(board::ServerToGameGrammar(), {"LEA", reply.substr(3)}), expected);
    EXPECT_EQ(Cut(board::ServerToGameGrammar(), {reply + other}), (std::vector<std::string>{reply, other}));
    // Noise in front of a reply is skipped.
    EXPECT_EQ(Cut(board::ServerToGameGrammar(), {"hello" + reply}), expected);
}

TEST(LeaderBoardStream, TheGamesQuestionAndScoreAreCutApart) {
    const std::string score = board::ScoreMessage(kChampion);
    EXPECT_EQ(Cut(board::GameToServerGrammar(), {"LEADER?jenny" + score}),
              (std::vector<std::string>{"LEADER?jenny", score}));
    EXPECT_EQ(Cut(board::GameToServerGrammar(), {"LEADER?jen", "ny"}), (std::vector<std::string>{"LEADER?jenny"}));
}

struct SessionTest : ::testing::Test {
    board::BoardSession session;
};

TEST_F(SessionTest, AsksForTheTopPlayerOnceConnected) {
    EXPECT_EQ(session.State(), board::LinkState::Closed);
    session.Connecting();
    EXPECT_EQ(session.State(), board::LinkState::Connecting);
    EXPECT_EQ(session.Connected("jenny"), "LEADER?jenny");
    EXPECT_EQ(session.State(), board::LinkState::Connected);
}

TEST_F(SessionTest, TakesATopPlayerOnlyWhenAllFiveFieldsRead) {
    session.Connected("jenny");
    EXPECT_EQ(session.Received(board::TopPlayerMessage(kChampion)), kChampion);

    const std::string unreadable[] = {
        "LEADER:",
        "LEADER:garbage!",
        "LEADER:" + Encipher("Bo:3:10:"),           // too few fields
        "LEADER:" + Encipher("Bo:three:10:2:50:"),  // a level that is no number
        "LEADER:" + Encipher("Bo:3:10:2:lots:"),    // a wager that is no number
        "LEADER:" + Encipher("Bo:99999999999:1:2:3:"),  // a level beyond its type
        "SCORE:" + online::EncodeScoreCode(kChampion),
        "leader:" + online::EncodeScoreCode(kChampion),
    };
    for (const std::string& message : unreadable) {
        EXPECT_FALSE(session.Received(message)) << message;
    }
    EXPECT_EQ(session.Ignored(), std::size(unreadable));
}

TEST_F(SessionTest, AnswersOutOfTurnAreIgnored) {
    EXPECT_FALSE(session.Received(board::TopPlayerMessage(kChampion)));
    session.Connected("jenny");
    session.Closed();
    EXPECT_FALSE(session.Received(board::TopPlayerMessage(kChampion)));
    EXPECT_EQ(session.Ignored(), 2u);
}

TEST_F(SessionTest, SubmitsTheRecordOnlyWhileConnected) {
    const ScoreRecord mine{"jenny", 2, 7, 1, 2500.5};
    EXPECT_FALSE(session.Submit(mine));
    session.Connecting();
    EXPECT_FALSE(session.Submit(mine));
    session.Connected("jenny");
    const auto sent = session.Submit(mine);
    ASSERT_TRUE(sent);
    ASSERT_TRUE(sent->starts_with("SCORE:"));
    EXPECT_EQ(online::DecodeScoreCode(sent->substr(6)), mine);
    session.Closed();
    EXPECT_FALSE(session.Submit(mine));
}

TEST_F(SessionTest, TellsWhetherASubmittedScoreWentOut) {
    using S = board::Submission;
    const ScoreRecord mine{"jenny", 2, 7, 1, 2500.5};
    session.Connected("jenny");
    EXPECT_EQ(session.SendDone(), S::None) << "the question went out; no score was on its way";
    ASSERT_TRUE(session.Submit(mine));
    EXPECT_EQ(session.SendDone(), S::Sent);
    EXPECT_EQ(session.SendDone(), S::None) << "told once";
    EXPECT_EQ(session.Closed(), S::None) << "it went out before the close";

    session.Connected("jenny");
    ASSERT_TRUE(session.Submit(mine));
    EXPECT_EQ(session.Closed(), S::NotSent) << "lost on the way";
    EXPECT_EQ(session.SendDone(), S::None);
    EXPECT_EQ(session.Closed(), S::None);

    session.Connected("jenny");
    ASSERT_TRUE(session.Submit(mine));
    session.Connected("jenny");
    EXPECT_EQ(session.SendDone(), S::None) << "a new connection owes nothing of the old one";
}

TEST(LeaderBoardCaption, SaysConnectingUntilConnectedWhileThereIsAServer) {
    using L = board::LinkState;
    const struct {
        L state;
        bool serverSet;
        const char* caption;
    } cases[] = {
        {L::Connecting, true, "Leader's Board - Connecting..."},
        {L::Closed, true, "Leader's Board - Connecting..."},  // waiting to connect again
        {L::Connected, true, "Leader's Board"},
        {L::Closed, false, "Leader's Board"},
    };
    for (const auto& c : cases) EXPECT_EQ(board::Caption(c.state, c.serverSet), c.caption);
}

}  // namespace
