// A joined player on its screens, against a host scripted on a plain socket
// on loopback that writes its messages in whatever pieces a test likes.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>
#include <random>
#include <string>
#include <utility>

#include "core/Money.h"
#include "core/RaceStep.h"
#include "online/Brambly.h"
#include "online/LanHostScreens.h"
#include "online/LanJoinBox.h"
#include "online/LanPlayerScreens.h"
#include "online/MessageChannel.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "platform/Winsock.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"
#include "tests/online/LanTestHorses.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FixedUserName.h"
#include "tests/support/RawSocket.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/ScriptedRandom.h"

namespace lan = online::lan;
using shell::Panel;
using testing_support::RawSocket;
using testing_support::FixedUserName;
using testing_support::LanHorse;
using testing_support::Male;
using testing_support::RunFor;
using testing_support::RunUntil;
using testing_support::ScriptedRandom;

namespace {

std::string RosterHorse(const core::HorseRec& horse, int slot) {
    return "HORSE>" + online::EncodeHorseCode(horse) + std::to_string(slot);
}

QString Text(const char* gameText) { return platform::ToQString(gameText); }

class LanPlayerScreensTest : public ::testing::Test {
protected:
    LanPlayerScreensTest() {
        rnd->RepeatWhenEmpty(0.0f);  // every roster refresh waits the shortest time
        game.OwnedHorse[4] = Male(LanHorse("Copper Kettle", 130));
        game.Money = 10000;
        form.StableTree->AddNode("STUD4", "Copper Kettle", 30);
        form.StableTree->ClickNode("STUD4");
        // Longer than a test takes between two pieces of one message.
        screens->Channel().SetIdleGap(std::chrono::milliseconds(600));
    }

    lan::PlayerState State() const { return screens->Session().State(); }
    QString Status() const { return screens->Label41->text(); }

    void Join() {
        screens->JoinGame("127.0.0.1");
        host = listener.Accept();
        ASSERT_TRUE(host.Valid());
        ASSERT_TRUE(RunUntil([&] { return State() == lan::PlayerState::AwaitingInvitation; }));
    }

    // Runs the game's loop until the host has read `expected`'s length, and
    // returns what it read.
    std::string HostReads(const std::string& expected, int timeoutMs = 5000) {
        std::string got;
        RunUntil(
            [&] {
                got += host.ReceiveSome(0);
                return got.size() >= expected.size();
            },
            timeoutMs);
        return got;
    }

    void ExpectReply(const std::string& expected) { EXPECT_EQ(HostReads(expected), expected); }

    // Joined and accepted, the roster refreshed once with nobody in it.
    void JoinAndAccept() {
        Join();
        host.SendAll("PARTICIPANT?2500");
        ExpectReply("YES>ann");
        host.SendAll("HORSE?");
        ExpectReply("HORSE>" + online::EncodeHorseCode(game.OwnedHorse[4]));
        host.SendAll("ACCEPTED!");
        ASSERT_TRUE(RunUntil([&] { return State() == lan::PlayerState::InLobby; }));
    }

    int PictureLeft(int slot) const { return screens->WANpic[static_cast<std::size_t>(slot - 1)]->x(); }

    RawSocket listener = RawSocket::Listen();
    RawSocket host;
    ScriptedRandom* rnd = new ScriptedRandom;
    core::Game game{std::unique_ptr<runtime::RandomSource>(rnd)};
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    online::LanPlayerScreens* screens = new online::LanPlayerScreens(
        form, {listener.Port(), std::make_shared<FixedUserName>("ann")});
};

TEST_F(LanPlayerScreensTest, TheJoinIsBesideHostingAndNeedsAnAddressAndAHorse) {
    FixedUserName hostName("ann");
    auto* hosting = new online::LanHostScreens(form, 0, &hostName);
    online::LanJoinBox& box = screens->JoinBox();
    // Both ways into a LAN race on one screen, one above the other.
    EXPECT_LT(hosting->Command22->geometry().bottom(), box.HostAddress->geometry().top());
    form.BringToFront(Panel::Picture2);
    EXPECT_TRUE(box.LocalIP->text().startsWith("This computer's LAN address: "));
    EXPECT_FALSE(box.JoinButton->isEnabled());
    box.HostAddress->setText("   ");
    EXPECT_FALSE(box.JoinButton->isEnabled());

    form.StableTree->ClearSelection();
    box.HostAddress->setText(" 127.0.0.1 ");
    ASSERT_TRUE(box.JoinButton->isEnabled());
    box.JoinButton->click();
    EXPECT_EQ(form.Notice->text(), Text(lan::kSelectAHorseToJoin));
    EXPECT_EQ(form.FrontPanel(), Panel::Picture2);
    EXPECT_FALSE(listener.Accept(200).Valid()) << "nothing connects without a horse to race";

    form.PaintBackgrounds();
    form.show();
    testing_support::SaveScreenshot(form, "lan-join");

    form.StableTree->ClickNode("STUD4");
    box.JoinButton->click();
    EXPECT_EQ(Status(), Text(lan::kConnecting));
    EXPECT_FALSE(screens->Command24->isEnabled());
    EXPECT_EQ(form.FrontPanel(), Panel::Picture7);
    host = listener.Accept();
    ASSERT_TRUE(host.Valid());
    EXPECT_TRUE(RunUntil([&] { return Status() == Text(lan::kTransferringData); }));
    EXPECT_EQ(screens->LastHost(), "127.0.0.1");
    EXPECT_EQ(box.HostAddress->text(), " 127.0.0.1 ") << "the address stays for the next join";
}

// A whole game, with the host's messages joined and split as TCP may
// deliver them.
TEST_F(LanPlayerScreensTest, AScriptedHostTakesThePlayerThroughAWholeGame) {
    Join();
    host.SendAll("PARTICIPANT?25");
    RunFor(30);
    host.SendAll("00");
    ExpectReply("YES>ann");
    EXPECT_EQ(screens->Session().Stake(), 2500);
    host.SendAll("HORSE?");
    ExpectReply("HORSE>" + online::EncodeHorseCode(game.OwnedHorse[4]));

    // Accepted, and asked to refresh, in one write: the refresh comes after
    // the shortest wait.
    host.SendAll("ACCEPTED!REFRESH!");
    ExpectReply("PLAYER?1");
    EXPECT_EQ(Status(), platform::ToQString(core::FormatMoney(2500)));
    EXPECT_TRUE(screens->Command24->isEnabled());
    EXPECT_EQ(form.Timer("RandInterval").Interval(), 1);

    const core::HorseRec jo = Male(LanHorse("Iron Duke", 101));
    const core::HorseRec ann = game.OwnedHorse[4];
    host.SendAll("PLAYER>jo1");
    ExpectReply("PLAYER?2");
    host.SendAll("PLAYER>ann2UNEXISTENT>3");  // the answer to a question not yet asked waits its turn
    ExpectReply("PLAYER?3PLAYER?4");
    host.SendAll("UNEXISTENT>4");
    ExpectReply("PLAYER?5");
    host.SendAll("UNEXISTENT>5");
    ExpectReply("HORSE?1");
    // A horse code split across two writes.
    const std::string first = RosterHorse(jo, 1);
    host.SendAll(first.substr(0, first.size() / 2));
    RunFor(30);
    host.SendAll(first.substr(first.size() / 2));
    ExpectReply("HORSE?2");
    host.SendAll(RosterHorse(ann, 2) + "DEAD>3");
    ExpectReply("HORSE?3HORSE?4");
    host.SendAll("DEAD>4");
    ExpectReply("HORSE?5");
    host.SendAll("DEAD>5");
    ASSERT_TRUE(RunUntil([&] { return !screens->Session().RefreshRunning(); }));

    ASSERT_EQ(screens->Contend->Count(), 2);
    EXPECT_EQ(screens->Contend->TextOf("H1"), "Iron Duke (M)");
    EXPECT_EQ(screens->Contend->ImageOf("H1"), 1);
    EXPECT_EQ(screens->Contend->TextOf("H2"), "Copper Kettle (M)");
    screens->Contend->ClickNode("H1");
    EXPECT_TRUE(screens->Text9->toPlainText().startsWith("Player: jo\n\nName: Iron Duke\n"));
    form.PaintBackgrounds();
    form.show();
    testing_support::SaveScreenshot(form, "lan-client-lobby");

    // "START!" and the first frame in one write.
    host.SendAll("START!5000H1360:H2360:H3360:H4360:H5360:");
    ASSERT_TRUE(RunUntil([&] { return form.FrontPanel() == Panel::WANtracks; }));
    EXPECT_EQ(game.Money, 7500);
    EXPECT_EQ(screens->WANtit[0]->text(), "Iron Duke (jo)");
    EXPECT_EQ(screens->WANtit[1]->text(), "Copper Kettle (ann)");
    EXPECT_EQ(screens->WANtit[2]->text(), "");
    EXPECT_TRUE(screens->WANpic[1]->isVisible());
    EXPECT_FALSE(screens->WANpic[2]->isVisible());
    EXPECT_EQ(screens->WanWinCap->text(), Text(lan::kRaceIsOn));

    host.SendAll("H14210.5:H25377:H3360:H4360:H5360:");
    ASSERT_TRUE(RunUntil([&] { return PictureLeft(2) == platform::Pixels(5377); }));
    EXPECT_EQ(PictureLeft(1), platform::Pixels(4210.5));
    testing_support::SaveScreenshot(form, "lan-client-race");

    // A frame and the result in one write, the result's amount split.
    host.SendAll("H19100:H29650:H3360:H4360:H5360:WIN:50");
    RunFor(30);
    host.SendAll("00");
    ASSERT_TRUE(RunUntil([&] { return game.LANwon == 1; }));
    EXPECT_EQ(PictureLeft(2), platform::Pixels(lan::kLanFinish));
    EXPECT_EQ(game.Money, 12500);
    EXPECT_EQ(screens->WanWinCap->text(), platform::ToQString(std::string(lan::kYouHaveWon) + core::FormatMoney(5000)));
    EXPECT_EQ(game.LANlost, 0);
    EXPECT_EQ(game.LANwager, 5000);
}

TEST_F(LanPlayerScreensTest, AHostileHostNeverTakesMoreThanTheOneStake) {
    JoinAndAccept();
    std::mt19937 bytes(20240611);
    std::string noise(8192, '\0');
    for (char& c : noise) c = static_cast<char>(bytes() & 0xFF);
    host.SendAll(noise);
    host.SendAll("WIN:5000WIN:NO");  // no race runs
    RunFor(700);
    EXPECT_EQ(game.Money, 10000);
    EXPECT_EQ(game.LANwon + game.LANlost, 0);

    host.SendAll("START!7500START!7500");
    ASSERT_TRUE(RunUntil([&] { return State() == lan::PlayerState::Racing; }));
    RunFor(50);
    EXPECT_EQ(game.Money, 7500);

    host.SendAll("H1-1E30:H2nan:H31E39:H499999:H5-0:H1" + std::string(400, '9'));
    host.SendAll("H1:H2:H3::::");
    RunFor(700);
    for (int slot = 1; slot <= 5; ++slot) {
        EXPECT_GE(PictureLeft(slot), 0) << slot;
        EXPECT_LE(PictureLeft(slot), platform::Pixels(lan::kLanFinish)) << slot;
    }
    host.SendAll("WIN:-5WIN:1E300WIN:7500.5WIN:NO");
    ASSERT_TRUE(RunUntil([&] { return game.LANlost == 1; }));
    host.SendAll("WIN:7500");
    RunFor(700);
    EXPECT_EQ(game.Money, 7500);
    EXPECT_EQ(game.LANwon, 0);

    // Still answering after all of it.
    screens->Command24->click();
    ExpectReply("PLAYER?1");
}

// A new game mid-race leaves the host: its result cannot reach the new
// game's money.
TEST_F(LanPlayerScreensTest, ANewGameLeavesTheLanGame) {
    JoinAndAccept();
    host.SendAll("START!7500");
    ASSERT_TRUE(RunUntil([&] { return State() == lan::PlayerState::Racing; }));
    game.Money = 5000;  // what a fresh game starts with
    emit form.GameReset();
    EXPECT_TRUE(host.WaitForClose());
    host.SendAll("WIN:7500");
    RunFor(300);
    EXPECT_EQ(game.Money, 5000);
    EXPECT_EQ(game.LANwon, 0);
    EXPECT_EQ(State(), lan::PlayerState::Ended);
}

TEST_F(LanPlayerScreensTest, OurOwnCloseKeepsItsReasonAndAResetShowsDisconnected) {
    form.Timer("Connecti").SetEnabled(true);
    Join();
    host.SendAll("PARTICIPANT?2500");
    ExpectReply("YES>ann");
    host.SendAll("FULL!");
    ASSERT_TRUE(RunUntil([&] { return Status() == Text(lan::kGameFull); }));
    EXPECT_TRUE(host.WaitForClose());
    RunFor(600);
    EXPECT_EQ(Status(), Text(lan::kGameFull));

    Join();
    host.SendAll("PARTICIPANT?10000.5");
    ASSERT_TRUE(RunUntil([&] { return Status() == Text(lan::kStakesTooHigh); }));
    EXPECT_TRUE(host.WaitForClose()) << "the player closes; the host learns nothing else";
    RunFor(600);
    EXPECT_EQ(Status(), Text(lan::kStakesTooHigh));

    JoinAndAccept();
    EXPECT_TRUE(screens->Command24->isEnabled());
    host.Reset();
    ASSERT_TRUE(RunUntil([&] { return Status() == Text(lan::kDisconnected); }));
    EXPECT_FALSE(screens->Command24->isEnabled());
    ASSERT_TRUE(RunUntil([&] { return screens->Channel().Socket().State() == 0; }, 2000));
}

// A host whose cable is pulled says nothing, and neither does a player in
// the lobby: its system asks the host whether it is still there, and gives
// the connection up (the lobby then says "DISCONNECTED") about when a race
// would give a silent host up.
TEST_F(LanPlayerScreensTest, ThePlayersSystemAsksASilentHostWhetherItIsStillThere) {
    JoinAndAccept();
    const int fd = screens->Channel().Socket().SocketHandle();
    const auto option = [fd](int level, int name) {
        int value = -1;
        socklen_t length = sizeof value;
        ::getsockopt(fd, level, name, &value, &length);
        return value;
    };
    EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 1);
    const int idle = option(IPPROTO_TCP, TCP_KEEPIDLE);
    const int interval = option(IPPROTO_TCP, TCP_KEEPINTVL);
    EXPECT_GT(idle, 0);
    EXPECT_GT(interval, 0);
    EXPECT_LT(idle + interval, lan::kLongestRaceSilenceMs / 1000) << "asked well within the allowance";
    EXPECT_EQ(option(IPPROTO_TCP, TCP_USER_TIMEOUT), lan::kLongestRaceSilenceMs) << "and given up at its end";
}

TEST_F(LanPlayerScreensTest, AHostThatCannotBeReachedEndsInDisconnected) {
    form.Timer("Connecti").SetEnabled(true);
    RawSocket refusing = RawSocket::RefusingPort();
    auto* other = new online::LanPlayerScreens(form, {refusing.Port(), std::make_shared<FixedUserName>("ann")});
    other->JoinGame("127.0.0.1");
    EXPECT_EQ(other->Label41->text(), Text(lan::kConnecting));
    EXPECT_TRUE(RunUntil([&] { return other->Label41->text() == Text(lan::kDisconnected); }));
}

// A result that has come but still waits for its quiet gap settles the race
// when the player quits; no other join starts while the race is on.
TEST_F(LanPlayerScreensTest, AResultThatHasComeSettlesTheRaceOnTheWayOut) {
    JoinAndAccept();
    host.SendAll("START!7500");
    ASSERT_TRUE(RunUntil([&] { return State() == lan::PlayerState::Racing; }));
    screens->JoinGame("127.0.0.1");
    EXPECT_EQ(form.Notice->text(), Text(lan::kRaceStillRunning));
    EXPECT_EQ(State(), lan::PlayerState::Racing);

    host.SendAll("WIN:7500");  // its end shows only after the quiet gap
    RunFor(100);
    ASSERT_EQ(State(), lan::PlayerState::Racing);
    emit form.Quitting();
    EXPECT_EQ(game.Money, 10000 - 2500 + 7500);
    EXPECT_EQ(game.LANwon, 1);
    EXPECT_TRUE(host.WaitForClose());
}

// "WIN:7500" has reached the player when the connection ends, at once: the
// win is booked and the stake is not given back, whatever ends it and
// wherever the tick of the 500 ms watchdog falls. The quiet gap is far off,
// so only the end can show the amount whole.
TEST_F(LanPlayerScreensTest, AResultThatCameIsKeptHoweverTheConnectionEnds) {
    namespace ws = platform::ws;
    const auto socketState = [&] { return screens->Channel().Socket().State(); };
    const auto post = [&](std::int32_t event, int error) {
        ASSERT_EQ(ws::PostSocketNotification(screens->Channel().Socket().SocketHandle(), event, error), 0);
        ASSERT_TRUE(RunUntil([&] { return socketState() == 9; }));
    };
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"the host closes", [&] {
             host.Close();
             ASSERT_TRUE(RunUntil([&] { return socketState() == 8; }));
         }},
        {"the host resets", [&] {
             host.Reset();
             ASSERT_TRUE(RunUntil([&] { return socketState() == 9; }));
         }},
        {"an error", [&] { post(ws::FD_READ, ws::WSAECONNABORTED); }},
        {"a time-out the system finds", [&] { post(ws::FD_CLOSE, ws::WSAETIMEDOUT); }},
        {"a receive that fails without an event", [&] {
             ws::InjectFault(ws::Call::Recv, ws::WSAECONNRESET);
             host.SendAll("H");
             ASSERT_TRUE(RunUntil([&] { return socketState() == 9; }));
         }},
        {"the host is quiet for the race's allowance", [&] { screens->HostQuiet_Timer(); }},
        {"the player quits", [&] { emit form.Quitting(); }},
    };
    enum class Tick { None, BeforeTheEnd, AfterTheEnd };
    for (const auto& [name, end] : ends) {
        for (const Tick tick : {Tick::None, Tick::BeforeTheEnd, Tick::AfterTheEnd}) {
            SCOPED_TRACE(std::string(name) + ", tick " + std::to_string(static_cast<int>(tick)));
            game.Money = 10000;
            game.LANwon = 0;
            // Nothing here comes in pieces: the amounts of the lobby need no
            // long wait.
            screens->Channel().SetIdleGap(std::chrono::milliseconds(20));
            JoinAndAccept();
            host.SendAll("START!7500");
            ASSERT_TRUE(RunUntil([&] { return State() == lan::PlayerState::Racing; }));
            ASSERT_EQ(game.Money, 7500);

            screens->Channel().SetIdleGap(std::chrono::minutes(1));
            host.SendAll("WIN:7500");
            ASSERT_TRUE(RunUntil([&] { return screens->Channel().Reader().BytesHeld() == 8; }));
            if (tick == Tick::BeforeTheEnd) screens->Connecti_Timer();
            end();
            if (tick == Tick::AfterTheEnd) screens->Connecti_Timer();
            RunFor(20);
            screens->Connecti_Timer();  // it ticks on for ever
            ws::ClearFaults();

            EXPECT_EQ(game.Money, 10000 - 2500 + 7500);
            EXPECT_EQ(game.LANwon, 1);
            EXPECT_EQ(game.LANlost, 0);
            EXPECT_EQ(screens->WanWinCap->text(),
                      platform::ToQString(std::string(lan::kYouHaveWon) + core::FormatMoney(7500)));
            EXPECT_NE(State(), lan::PlayerState::Racing);
        }
    }
}

// A roster question the host never answers ends its chain after a few
// seconds, and the refreshes asked for meanwhile start afresh.
TEST_F(LanPlayerScreensTest, AnUnansweredRosterQuestionDoesNotStopTheRosterForGood) {
    JoinAndAccept();
    EXPECT_FALSE(screens->HostQuiet().Running()) << "a lobby may be quiet";
    screens->Command24->click();
    ExpectReply("PLAYER?1");
    host.SendAll("PLAYER>jo1");
    ExpectReply("PLAYER?2");
    ASSERT_TRUE(screens->HostQuiet().Running());
    EXPECT_EQ(screens->HostQuiet().Interval(), lan::kLongestRosterWaitMs);
    // "PLAYER?2" is never answered: "REFRESH!" and the button wait for it.
    host.SendAll("REFRESH!");
    RunFor(100);
    screens->Command24->click();
    RunFor(100);
    EXPECT_EQ(host.ReceiveSome(0), "");

    screens->HostQuiet_Timer();
    ExpectReply("PLAYER?1");
    const std::pair<std::string, std::string> chain[] = {
        {"PLAYER>jo1", "PLAYER?2"}, {"UNEXISTENT>2", "PLAYER?3"},  {"UNEXISTENT>3", "PLAYER?4"},
        {"UNEXISTENT>4", "PLAYER?5"}, {"UNEXISTENT>5", "HORSE?1"},
        {RosterHorse(LanHorse("Iron Duke", 101), 1), "HORSE?2"}, {"DEAD>2", "HORSE?3"},
        {"DEAD>3", "HORSE?4"}, {"DEAD>4", "HORSE?5"},
    };
    for (const auto& [answer, question] : chain) {
        host.SendAll(answer);
        ExpectReply(question);
    }
    host.SendAll("DEAD>5");
    ASSERT_TRUE(RunUntil([&] { return !screens->Session().RefreshRunning(); }));
    EXPECT_EQ(screens->Contend->TextOf("H1"), "Iron Duke (F)");
    EXPECT_FALSE(screens->HostQuiet().Running());
    screens->Command24->click();
    ExpectReply("PLAYER?1");
}

TEST_F(LanPlayerScreensTest, ARaceFrameGoesToThePicturesInOrderAndIsUsedUp) {
    std::string frame = "H1100:H41200.5:H3-40:H2x:H920000:";
    screens->UpdataPos(frame);
    EXPECT_TRUE(frame.empty());
    EXPECT_EQ(PictureLeft(1), platform::Pixels(100));
    EXPECT_EQ(PictureLeft(2), platform::Pixels(1200.5));
    EXPECT_EQ(PictureLeft(3), 0);
    EXPECT_EQ(PictureLeft(4), platform::Pixels(core::kStartLine)) << "a field that is no number moves nothing";
    EXPECT_EQ(PictureLeft(5), platform::Pixels(lan::kLanFinish));
}

}  // namespace
