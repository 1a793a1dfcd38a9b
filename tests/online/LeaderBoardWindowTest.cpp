// The leader's board window against a scripted server on loopback: what it
// sends, byte for byte, and what it shows of the answers, whole, split,
// joined or garbled.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <string>

#include "cipher/SeaBottle.h"
#include "core/Game.h"
#include "net/Socket.h"
#include "online/Form11.h"
#include "online/MessageChannel.h"
#include "platform/Timer.h"
#include "tests/online/CommunityTestKit.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Resolver.h"
#include "tests/support/Screenshots.h"

using online::ScoreRecord;
using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;

namespace {

namespace board = online::leaderboard;

const ScoreRecord kChampion{"Jenny Ash", 3, 10, 2, 5000};

class LeaderBoardWindow : public ::testing::Test {
protected:
    LeaderBoardWindow() {
        game.Server = "127.0.0.1";
        game.Level = 2;
        game.LANwon = 7;
        game.LANlost = 1;
        game.LANwager = 2500.5;
    }

    // Opens the board against the scripted server and reads its question.
    online::Form11& Open() {
        form = std::make_unique<online::Form11>(game, dialogs, player, &owner, server.Port());
        peer = server.Accept();
        EXPECT_TRUE(peer.Valid());
        EXPECT_TRUE(RunUntil([&] { return form->Session().State() == board::LinkState::Connected; }));
        EXPECT_EQ(peer.ReceiveExactly(12), "LEADER?jenny");
        form->Channel().SetIdleGap(std::chrono::milliseconds(50));
        return *form;
    }

    std::string StatusText() const { return form->Status->text().toStdString(); }

    std::vector<std::string> Fields() const {
        return {form->Text4->text().toStdString(), form->Text5->text().toStdString(),
                form->Text6->text().toStdString(), form->Text7->text().toStdString(),
                form->Text8->text().toStdString()};
    }
    const std::vector<std::string> kChampionFields{"Jenny Ash", "3", "10", "2", "\xC2\xA3" "5,000"};

    core::Game game;
    testing_support::RecordingDialogs dialogs;
    community_tests::FixedUserName player{"jenny"};
    QWidget owner;
    RawSocket server = RawSocket::Listen();
    RawSocket peer;
    std::unique_ptr<online::Form11> form;
};

TEST_F(LeaderBoardWindow, AsksForTheTopPlayerAndShowsTheAnswer) {
    Open();
    EXPECT_EQ(Fields(), (std::vector<std::string>{"", "", "", "", ""}));
    EXPECT_EQ(StatusText(), "") << "connected: nothing to wait for";
    peer.SendAll(board::TopPlayerMessage(kChampion));
    ASSERT_TRUE(RunUntil([&] { return !form->Text4->text().isEmpty(); }));
    EXPECT_EQ(Fields(), kChampionFields);
    EXPECT_EQ(form->windowTitle(), "Leader's Board");
    form->show();
    testing_support::SaveScreenshot(*form, "form11-leader-board");
}

TEST_F(LeaderBoardWindow, SubmitsTheExactCodeOfThePlayersRecordAndSaysItWasSent) {
    Open();
    form->Command4->click();
    const std::string expected = "SCORE:" + online::EncodeScoreCode({"jenny", 2, 7, 1, 2500.5});
    EXPECT_EQ(peer.ReceiveExactly(expected.size()), expected);
    EXPECT_EQ(peer.ReceiveSome(200), "");  // nothing more
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(StatusText(), "Score sent.");

    // It stays said when the server goes away, beside the wait for it.
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return form->Session().State() == board::LinkState::Closed; }));
    EXPECT_EQ(StatusText(), "Score sent. Connecting...");
    form->show();
    testing_support::SaveScreenshot(*form, "form11-score-sent-connecting");
}

// While the board is open it connects again, as the chat does, and says
// so meanwhile instead of showing an empty board without a word.
TEST_F(LeaderBoardWindow, AnOpenBoardConnectsAgainWhenTheServerComesBack) {
    // The server is down as the board opens.
    RawSocket down = RawSocket::RefusingPort();
    form = std::make_unique<online::Form11>(game, dialogs, player, &owner, down.Port());
    ASSERT_TRUE(RunUntil([&] { return form->Socket().State() != 6; }));
    EXPECT_EQ(form->Session().State(), board::LinkState::Closed);
    EXPECT_EQ(StatusText(), "Connecting...");
    form->Timer1_Timer();
    EXPECT_EQ(form->windowTitle(), "Leader's Board - Connecting...") << "it waits to connect again";
    EXPECT_EQ(form->Reconnect->Interval(), 10000);
    EXPECT_TRUE(form->Reconnect->Enabled());

    // It comes back: the next tick connects and asks.
    ASSERT_TRUE(down.StartListening());
    form->Reconnect_Timer();
    peer = down.Accept();
    ASSERT_TRUE(peer.Valid());
    ASSERT_TRUE(RunUntil([&] { return form->Session().State() == board::LinkState::Connected; }));
    EXPECT_EQ(peer.ReceiveExactly(12), "LEADER?jenny");
    EXPECT_EQ(StatusText(), "");
    form->Timer1_Timer();
    EXPECT_EQ(form->windowTitle(), "Leader's Board");
    peer.SendAll(board::TopPlayerMessage(kChampion));
    ASSERT_TRUE(RunUntil([&] { return !form->Text4->text().isEmpty(); }));
    form->Reconnect_Timer();
    EXPECT_FALSE(down.Accept(200).Valid()) << "a connected board is left alone";

    // The connection is lost: the board keeps what it knows and connects
    // again at the next tick.
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return form->Session().State() == board::LinkState::Closed; }));
    EXPECT_EQ(StatusText(), "Connecting...");
    EXPECT_EQ(Fields(), kChampionFields);
    form->Reconnect_Timer();
    peer = down.Accept();
    ASSERT_TRUE(peer.Valid());
    ASSERT_TRUE(RunUntil([&] { return form->Session().State() == board::LinkState::Connected; }));
    EXPECT_EQ(peer.ReceiveExactly(12), "LEADER?jenny");
    form->Command4->click();
    EXPECT_EQ(StatusText(), "Score sent.");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(LeaderBoardWindow, WithoutAServerTheBoardSaysSoAndNeverConnects) {
    game.Server.clear();
    form = std::make_unique<online::Form11>(game, dialogs, player, &owner, server.Port());
    EXPECT_EQ(StatusText(), board::kNoServerStatus);
    form->Reconnect_Timer();
    EXPECT_FALSE(server.Accept(200).Valid());
    form->Timer1_Timer();
    EXPECT_EQ(form->windowTitle(), "Leader's Board");
    form->Command4_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].prompt, "You are not connected to the Server.");
}

TEST_F(LeaderBoardWindow, AnAnswerSplitOrJoinedIsPutTogether) {
    Open();
    const std::string reply = board::TopPlayerMessage(kChampion);
    peer.SendAll(reply.substr(0, 11));
    RunFor(30);
    EXPECT_EQ(form->Text4->text(), "");
    peer.SendAll(reply.substr(11));
    ASSERT_TRUE(RunUntil([&] { return !form->Text4->text().isEmpty(); }));
    EXPECT_EQ(Fields(), kChampionFields);

    // Two answers in one read: the later one is what shows.
    peer.SendAll(board::TopPlayerMessage({"Bo", 1, 0, 0, 0}) + board::TopPlayerMessage({"Cy", 9, 8, 7, 1e6}));
    ASSERT_TRUE(RunUntil([&] { return form->Text4->text() == "Cy"; }));
    EXPECT_EQ(Fields(), (std::vector<std::string>{"Cy", "9", "8", "7", "\xC2\xA3" "1,000,000"}));
    EXPECT_EQ(form->Channel().MessagesReceived(), 3u);
}

TEST_F(LeaderBoardWindow, AGarbledAnswerChangesNothing) {
    Open();
    peer.SendAll(board::TopPlayerMessage(kChampion));
    ASSERT_TRUE(RunUntil([&] { return !form->Text4->text().isEmpty(); }));

    cipher::SeaBottle bottle;
    bottle.InitialiseCodes("Pelmora");
    const std::string garbled[] = {
        "LEADER:this is no code",
        "LEADER:" + bottle.Encrypt("Bo:3:10:"),           // too few fields
        "LEADER:" + bottle.Encrypt("Bo:3:ten:2:5000:"),   // a field that is no number
        "VERSION:30",
    };
    for (const std::string& message : garbled) {
        const auto before = form->Session().Ignored();
        peer.SendAll(message);
        ASSERT_TRUE(RunUntil([&] { return form->Session().Ignored() > before || form->Channel().Reader().SkippedBytes() > 0; }))
            << message;
        RunFor(80);
        EXPECT_EQ(Fields(), kChampionFields) << message;
    }
    EXPECT_EQ(form->Socket().State(), 7);
}

TEST_F(LeaderBoardWindow, SubmittingWhileNotConnectedShowsTheSorryBox) {
    // Still connecting.
    form = std::make_unique<online::Form11>(game, dialogs, player, &owner, server.Port());
    form->Command4_Click();
    // Refused.
    RawSocket refusing = RawSocket::RefusingPort();
    auto refused = std::make_unique<online::Form11>(game, dialogs, player, &owner, refusing.Port());
    ASSERT_TRUE(RunUntil([&] { return refused->Socket().State() != 6; }));
    refused->Command4_Click();
    // Lost: the server went away.
    peer = server.Accept();
    ASSERT_TRUE(RunUntil([&] { return form->Session().State() == board::LinkState::Connected; }));
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return form->Session().State() == board::LinkState::Closed; }));
    form->Command4_Click();

    ASSERT_EQ(dialogs.boxes.size(), 3u);
    for (const auto& box : dialogs.boxes) {
        EXPECT_EQ(box.prompt, "You are not connected to the Server.");
        EXPECT_EQ(box.style, platform::kInformation);
        EXPECT_EQ(box.title, "Sorry");
    }
}

TEST_F(LeaderBoardWindow, TheCaptionSaysConnectingUntilTheConnectionIsMade) {
    SKIP_UNLESS_LOCALHOST_RESOLVES();
    // A host name passes through the lookup (states 4 and 5) first.
    game.Server = "localhost";
    form = std::make_unique<online::Form11>(game, dialogs, player, &owner, server.Port());
    EXPECT_EQ(form->Socket().State(), 4);
    form->Timer1_Timer();
    EXPECT_EQ(form->windowTitle(), "Leader's Board - Connecting...");
    EXPECT_EQ(form->Timer1->Interval(), 1000);
    EXPECT_TRUE(form->Timer1->Enabled());
    ASSERT_TRUE(RunUntil([&] { return form->Socket().State() == 7; }));
    peer = server.Accept();
    form->Timer1_Timer();
    EXPECT_EQ(form->windowTitle(), "Leader's Board");
}

TEST_F(LeaderBoardWindow, ClosingTheWindowEndsItsConnection) {
    Open();
    const QPointer<online::Form11> window(form.release());
    window->show();
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(window.isNull());
    EXPECT_TRUE(peer.WaitForClose());
}

}  // namespace
