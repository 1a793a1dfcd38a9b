// Whole LAN races between copies of the game in one process, each with its
// own game and main window, over loopback: a host and three joined players
// racing to the end, and races that someone leaves before they are settled.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Money.h"
#include "core/RaceStep.h"
#include "online/LanHostScreens.h"
#include "online/LanHostSockets.h"
#include "online/LanPlayerScreens.h"
#include "online/MessageChannel.h"
#include "net/Socket.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"
#include "tests/online/LanRaceCopies.h"
#include "tests/support/RawSocket.h"
#include "tests/support/Screenshots.h"

namespace lan = online::lan;
using testing_support::CreateLanGame;
using testing_support::JoinLanGame;
using testing_support::kLanCharge;
using testing_support::kLanStartingMoney;
using testing_support::LanHorse;
using testing_support::RawSocket;
using testing_support::ResetOnClose;
using testing_support::RunFor;
using testing_support::RunLanRace;
using testing_support::RunUntil;

namespace {

constexpr double kStartingMoney = kLanStartingMoney;
constexpr double kCharge = kLanCharge;
using Copy = testing_support::LanCopy;

// The payout, once every player's system has acknowledged every frame (the
// host waits for that before it pays).
void PayOut(online::LanHostScreens& hosting) {
    EXPECT_TRUE(RunUntil([&] { return testing_support::LanPlayersCaughtUp(hosting); }));
    hosting.PayEm_Timer();
}

struct Outcome {
    const char* name;
    int hostSpeed;
    int annSpeed;
    bool hostWins;
};

class LanRaceEndToEnd : public ::testing::TestWithParam<Outcome> {
protected:
    LanRaceEndToEnd() {
        const Outcome& o = GetParam();
        host = std::make_unique<Copy>("hoster", o.hostSpeed);
        hosting = new online::LanHostScreens(host->form, 0, host->name.get());
        ann = std::make_unique<Copy>("ann", o.annSpeed);
        bob = std::make_unique<Copy>("bob", 100);
        carl = std::make_unique<Copy>("carl", 100);
    }

    online::LanPlayerScreens* Join(Copy& copy, std::uint16_t port) { return JoinLanGame(copy, port); }

    static bool RosterComplete(const online::LanPlayerScreens& p) {
        return !p.Session().RefreshRunning() && !p.Session().RefreshPending() && p.Contend->Count() == 4;
    }

    std::unique_ptr<Copy> host, ann, bob, carl;
    online::LanHostScreens* hosting = nullptr;
};

TEST_P(LanRaceEndToEnd, EveryCopyBooksItsOwnMoneyAndRecord) {
    const Outcome& o = GetParam();
    const std::uint16_t port = CreateLanGame(*hosting);

    // One after another, so each gets the next slot.
    online::LanPlayerScreens* annPlays = Join(*ann, port);
    online::LanPlayerScreens* bobPlays = Join(*bob, port);
    online::LanPlayerScreens* carlPlays = Join(*carl, port);
    ASSERT_EQ(hosting->Host().PlayerName(2), "ann");
    ASSERT_EQ(hosting->Host().PlayerName(4), "carl");
    // Every arrival asked every player to refresh its roster.
    ASSERT_TRUE(RunUntil([&] {
        return RosterComplete(*annPlays) && RosterComplete(*bobPlays) && RosterComplete(*carlPlays);
    }));
    EXPECT_EQ(annPlays->Contend->TextOf("H1"), "hoster's horse (F)");
    EXPECT_EQ(bobPlays->Contend->TextOf("H2"), "ann's horse (F)");
    for (Copy* c : {ann.get(), bob.get(), carl.get()}) {
        EXPECT_EQ(c->form.findChild<QLabel*>("Label41")->text(), platform::ToQString(core::FormatMoney(kCharge)));
    }

    // Carl spends his money elsewhere before the race: he drops out when it starts.
    carl->game.Money = 1000;
    hosting->Command23->click();
    host->form.Timer("LANrace").SetEnabled(false);
    ASSERT_TRUE(RunUntil([&] { return carlPlays->Label41->text() == platform::ToQString(lan::kDisconnected); }));
    ASSERT_TRUE(RunUntil([&] { return !hosting->Host().Runs(4); }));
    ASSERT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::Racing &&
                                      bobPlays->Session().State() == lan::PlayerState::Racing; }));
    EXPECT_EQ(ann->form.FrontPanel(), shell::Panel::WANtracks);
    EXPECT_EQ(annPlays->WANtit[3]->text(), "carl's horse (carl)") << "the roster as the start found it";

    RunLanRace(*hosting);
    PayOut(*hosting);
    ASSERT_TRUE(RunUntil([&] { return ann->game.LANwon + ann->game.LANlost == 1 && bob->game.LANlost == 1; }));
    RunFor(100);
    testing_support::SaveScreenshot(ann->form, std::string("lan-end-to-end-") + o.name);

    // The pot announced at the start held four charges; carl's never came.
    const double pot = 3 * kCharge;
    const double hostMoney = kStartingMoney - kCharge + (o.hostWins ? pot : 0);
    const double annMoney = kStartingMoney - kCharge + (o.hostWins ? 0 : pot);
    EXPECT_EQ(host->game.Money, hostMoney);
    EXPECT_EQ(ann->game.Money, annMoney);
    EXPECT_EQ(bob->game.Money, kStartingMoney - kCharge);
    EXPECT_EQ(carl->game.Money, 1000);
    EXPECT_EQ(host->game.Money + ann->game.Money + bob->game.Money, 3 * kStartingMoney) << "no money made or lost";

    EXPECT_EQ(host->game.LANwon, o.hostWins ? 1 : 0);
    EXPECT_EQ(host->game.LANlost, o.hostWins ? 0 : 1);
    EXPECT_EQ(ann->game.LANwon, o.hostWins ? 0 : 1);
    EXPECT_EQ(ann->game.LANlost, o.hostWins ? 1 : 0);
    EXPECT_EQ(bob->game.LANwon, 0);
    EXPECT_EQ(bob->game.LANlost, 1);
    EXPECT_EQ(carl->game.LANwon + carl->game.LANlost, 0);
    // The host records the pot it paid out; a winner the pot it was paid, a
    // loser the pot announced (carl's charge was in it).
    EXPECT_EQ(host->game.LANwager, pot);
    EXPECT_EQ(ann->game.LANwager, o.hostWins ? 4 * kCharge : pot);
    EXPECT_EQ(bob->game.LANwager, 4 * kCharge);
    EXPECT_EQ(carl->game.LANwager, 0);

    const std::string annResult = o.hostWins ? lan::kYouHaveLost + core::FormatMoney(kCharge)
                                             : lan::kYouHaveWon + core::FormatMoney(pot);
    EXPECT_EQ(annPlays->WanWinCap->text(), platform::ToQString(annResult));
    EXPECT_EQ(bobPlays->WanWinCap->text(), platform::ToQString(lan::kYouHaveLost + core::FormatMoney(kCharge)));
    // The winner's picture stands at the finish line on every player's screen.
    const int winnerPicture = o.hostWins ? 0 : 1;
    EXPECT_EQ(bobPlays->WANpic[static_cast<std::size_t>(winnerPicture)]->x(), platform::Pixels(lan::kLanFinish));
}

INSTANTIATE_TEST_SUITE_P(Outcomes, LanRaceEndToEnd,
                         ::testing::Values(Outcome{"host-wins", 300, 100, true}, Outcome{"player-wins", 100, 300, false}),
                         [](const ::testing::TestParamInfo<Outcome>& info) {
                             return info.param.hostWins ? std::string("HostWins") : std::string("PlayerWins");
                         });

// ---- Someone leaves before the race is settled --------------------------------

// A host with a slow horse and ann with a fast one: left alone, ann wins.
class LanRaceLeaving : public ::testing::Test {
protected:
    LanRaceLeaving() {
        host = std::make_unique<Copy>("hoster", 100);
        hosting = new online::LanHostScreens(host->form, 0, host->name.get());
        ann = std::make_unique<Copy>("ann", 300);
    }

    std::uint16_t Create() { return CreateLanGame(*hosting); }
    online::LanPlayerScreens* Join(Copy& copy, std::uint16_t port) { return JoinLanGame(copy, port); }

    // "START RACE!" and the first ticks, with ann racing.
    void StartRace() {
        hosting->Command23->click();
        host->form.Timer("LANrace").SetEnabled(false);
        ASSERT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::Racing; }));
        ASSERT_EQ(ann->game.Money, kStartingMoney - kCharge);
        ASSERT_EQ(host->game.Money, kStartingMoney - kCharge);
        for (int tick = 0; tick < 20; ++tick) {
            hosting->LANrace_Timer();
            RunFor(1);
        }
    }

    // The rest of the race and its payout.
    void FinishAndPay() {
        RunLanRace(*hosting);
        PayOut(*hosting);
        EXPECT_TRUE(RunUntil([&] { return hosting->Host().Phase() == lan::HostPhase::Lobby; }));
    }

    // Fresh copies: the host's game created, ann joined, the race started.
    void RaceAfresh() {
        host = std::make_unique<Copy>("hoster", 100);
        hosting = new online::LanHostScreens(host->form, 0, host->name.get());
        ann = std::make_unique<Copy>("ann", 300);
        annPlays = Join(*ann, Create());
        StartRace();
    }

    // The copy's game as it was before the race: nothing won, lost or paid.
    static void ExpectAsBeforeTheRace(const Copy& copy) {
        EXPECT_EQ(copy.game.Money, kStartingMoney);
        EXPECT_EQ(copy.game.LANwon, 0);
        EXPECT_EQ(copy.game.LANlost, 0);
        EXPECT_EQ(copy.game.LANwager, 0);
    }

    std::unique_ptr<Copy> host, ann;
    online::LanHostScreens* hosting = nullptr;
    online::LanPlayerScreens* annPlays = nullptr;
};

// One way for a copy to go mid-race, and what else it shows afterwards.
struct Way {
    const char* how;
    std::function<void()> go;
    std::function<void()> then = [] {};
};

// However the host goes mid-race, the player gets its stake back, the race
// counts neither as won nor lost, and both its screens say "DISCONNECTED".
TEST_F(LanRaceLeaving, APlayerWhoseHostGoesMidRaceGetsItsStakeBack) {
    const Way ways[] = {
        {"quits", [this] { emit host->form.Quitting(); }, [this] { ExpectAsBeforeTheRace(*host); }},
        {"is killed", [this] { host.reset(); }},
        {"resets",
         [this] {
             for (int i = 1; i < hosting->Sockets().Count(); ++i) {
                 const int fd = hosting->Sockets().Element(i).SocketHandle();
                 if (fd >= 0) ResetOnClose(fd);
             }
             host.reset();
         }},
        {"falls silent",
         [this] {
             // The host ticks no more and says nothing; what it said last
             // has reached the player.
             RunFor(400);
             const platform::Timer& quiet = annPlays->HostQuiet();
             ASSERT_TRUE(quiet.Running());
             ASSERT_EQ(quiet.Interval(), lan::kLongestRaceSilenceMs);
             annPlays->HostQuiet_Timer();
         },
         [this] {
             // The host's race goes on without the player, who is out of it.
             ASSERT_TRUE(RunUntil([&] { return !hosting->Host().Runs(2); }));
             FinishAndPay();
             EXPECT_EQ(host->game.Money, kStartingMoney) << "the host alone wins its own charge back";
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.how);
        RaceAfresh();
        way.go();
        ASSERT_TRUE(RunUntil([&] { return annPlays->Label41->text() == platform::ToQString(lan::kDisconnected); }));
        ExpectAsBeforeTheRace(*ann);
        EXPECT_EQ(annPlays->WanWinCap->text(), platform::ToQString(lan::kDisconnected));
        EXPECT_EQ(ann->form.FrontPanel(), shell::Panel::WANtracks) << "the player sees it where it watched the race";
        way.then();
        RunFor(50);
        ExpectAsBeforeTheRace(*ann);
    }
}

// A player who goes mid-race leaves the pot and the race: its fast horse
// cannot beat the host, who is left alone and wins its own charge back.
TEST_F(LanRaceLeaving, APlayerWhoGoesMidRaceLeavesThePotAndTheRace) {
    const Way ways[] = {
        {"quits", [this] { emit ann->form.Quitting(); }, [this] { ExpectAsBeforeTheRace(*ann); }},
        {"is killed", [this] { ann.reset(); }},
        {"resets",
         [this] {
             ResetOnClose(annPlays->Channel().Socket().SocketHandle());
             ann.reset();
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.how);
        RaceAfresh();
        way.go();
        ASSERT_TRUE(RunUntil([&] { return !hosting->Host().Runs(2); }));
        EXPECT_EQ(hosting->Host().LanPot(), kCharge);
        FinishAndPay();
        EXPECT_EQ(hosting->Host().Place(1), 1);
        EXPECT_EQ(host->game.Money, kStartingMoney);
        EXPECT_EQ(host->game.LANwon, 1);
        EXPECT_EQ(host->game.LANwager, kCharge) << "the pot paid out";
        EXPECT_EQ(hosting->LanWinCap->text(), platform::ToQString(lan::kYouHaveWon + core::FormatMoney(kCharge)));
        way.then();
    }
}

// Once a race is paid the host starts the next from its race screen, with
// the players still ready and nobody joining again; each pays again, and
// the players' screens follow as for the first race.
TEST_F(LanRaceLeaving, TheSamePlayersRaceAgain) {
    annPlays = Join(*ann, Create());
    QWidget* track = &host->form.PanelBox(shell::Panel::LANtracks);
    StartRace();
    EXPECT_FALSE(hosting->RaceAgain->isVisibleTo(track)) << "not while a race is on";
    FinishAndPay();
    ASSERT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::InLobby; }));
    EXPECT_EQ(ann->game.Money, kStartingMoney + kCharge);
    EXPECT_EQ(annPlays->WanWinCap->text(), platform::ToQString(lan::kYouHaveWon + core::FormatMoney(2 * kCharge)));

    for (int race = 2; race <= 3; ++race) {
        SCOPED_TRACE(race);
        EXPECT_EQ(host->form.FrontPanel(), shell::Panel::LANtracks);
        ASSERT_TRUE(hosting->RaceAgain->isVisibleTo(track));
        EXPECT_EQ(hosting->RaceAgain->text(), "START RACE!");
        hosting->RaceAgain->click();
        host->form.Timer("LANrace").SetEnabled(false);
        EXPECT_FALSE(hosting->RaceAgain->isVisibleTo(track));
        ASSERT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::Racing; }));
        EXPECT_EQ(annPlays->WanWinCap->text(), platform::ToQString(lan::kRaceIsOn));
        EXPECT_EQ(ann->form.FrontPanel(), shell::Panel::WANtracks);
        EXPECT_EQ(annPlays->WANpic[1]->x(), platform::Pixels(core::kStartLine)) << "back on the start line";
        EXPECT_EQ(annPlays->WANtit[1]->text(), "ann's horse (ann)");
        FinishAndPay();
        ASSERT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::InLobby; }));
    }
    EXPECT_EQ(ann->game.LANwon, 3);
    EXPECT_EQ(host->game.LANlost, 3);
    EXPECT_EQ(ann->game.Money, kStartingMoney + 3 * kCharge);
    EXPECT_EQ(host->game.Money, kStartingMoney - 3 * kCharge);
    EXPECT_EQ(hosting->Host().Connections().size(), 1u) << "one connection all along";
}

// A player whose host ends the game hears of it on the screen it looks at:
// the race screen after a race, the lobby before one.
TEST_F(LanRaceLeaving, APlayerSeesItsHostEndTheGameWhereItLooks) {
    annPlays = Join(*ann, Create());
    StartRace();
    FinishAndPay();
    ASSERT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::InLobby; }));
    ASSERT_EQ(ann->form.FrontPanel(), shell::Panel::WANtracks);
    hosting->Command22->click();  // "Create a Game" anew: the old players are let go
    ASSERT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::Ended; }));
    EXPECT_EQ(ann->form.Notice->text(), platform::ToQString(lan::kHostGone));
    EXPECT_EQ(annPlays->Label41->text(), platform::ToQString(lan::kDisconnected));
    EXPECT_EQ(ann->game.Money, kStartingMoney + kCharge) << "the race paid stays paid";

    // In the lobby the status line says it.
    Copy bob("bob", 100);
    online::LanPlayerScreens* bobPlays = Join(bob, static_cast<std::uint16_t>(hosting->Sockets().ListeningPort()));
    emit host->form.Quitting();
    ASSERT_TRUE(RunUntil([&] { return bobPlays->Label41->text() == platform::ToQString(lan::kDisconnected); }));
    EXPECT_EQ(bob.form.FrontPanel(), shell::Panel::Picture7);
    EXPECT_EQ(bob.form.Notice->text(), "");
}

// A player whose horse reaches the host just after "START RACE!" joins the
// lobby once that race is paid and runs in the next.
TEST_F(LanRaceLeaving, APlayerWhoJoinsAsTheRaceStartsIsTakenAfterThePayout) {
    const std::uint16_t port = Create();
    annPlays = Join(*ann, port);
    // The horse message has no end mark: the host takes it after a quiet
    // gap, made long enough here to press "START RACE!" before.
    hosting->Sockets().SetIdleGap(std::chrono::milliseconds(1500));
    Copy bob("bob", 50);
    auto* bobPlays = new online::LanPlayerScreens(bob.form, {port, bob.name});
    bobPlays->JoinGame("127.0.0.1");
    ASSERT_TRUE(RunUntil([&] { return bobPlays->Session().State() == lan::PlayerState::AwaitingAcceptance; }));
    ASSERT_FALSE(hosting->Host().HorseReady(3));
    StartRace();
    EXPECT_FALSE(hosting->Host().Runs(3));
    RunFor(1700);
    EXPECT_FALSE(hosting->Host().HorseReady(3)) << "no runner changes during a race";
    EXPECT_EQ(bobPlays->Label41->text(), platform::ToQString(lan::kTransferringData));

    FinishAndPay();
    ASSERT_TRUE(RunUntil([&] { return bobPlays->Session().State() == lan::PlayerState::InLobby; }));
    EXPECT_EQ(bobPlays->Label41->text(), platform::ToQString(core::FormatMoney(kCharge)));
    EXPECT_EQ(bob.game.Money, kStartingMoney) << "no stake for a race it did not run";
    EXPECT_TRUE(hosting->Host().HorseReady(3));

    // The next race has three runners, started from the race screen.
    EXPECT_EQ(host->form.FrontPanel(), shell::Panel::LANtracks);
    ASSERT_TRUE(hosting->RaceAgain->isVisibleTo(&host->form.PanelBox(shell::Panel::LANtracks)));
    hosting->RaceAgain->click();
    host->form.Timer("LANrace").SetEnabled(false);
    EXPECT_TRUE(hosting->Host().Runs(3));
    ASSERT_TRUE(RunUntil([&] { return bobPlays->Session().State() == lan::PlayerState::Racing; }));
    EXPECT_EQ(hosting->Host().LanPot(), 3 * kCharge);
}

// Connections that say "YES>" and nothing more hold every slot only until
// the sweeper has seen them silent for half a minute.
TEST_F(LanRaceLeaving, SilentConnectionsGiveTheirSlotsUpToRealPlayers) {
    const std::uint16_t port = Create();
    std::vector<RawSocket> silent;
    for (int i = 0; i < 4; ++i) silent.push_back(RawSocket::Connect(port));
    ASSERT_TRUE(RunUntil([&] { return hosting->Host().Connections().size() == 4; }));
    for (RawSocket& s : silent) s.SendAll("YES>silent");
    ASSERT_TRUE(RunUntil([&] { return hosting->Host().FindFreeLAN() == 0; }));
    annPlays = new online::LanPlayerScreens(ann->form, {port, ann->name});
    annPlays->JoinGame("127.0.0.1");
    ASSERT_TRUE(RunUntil([&] { return annPlays->Label41->text() == platform::ToQString(lan::kGameFull); }));

    for (int second = 0; second < lan::kSweepsToSendAHorse; ++second) hosting->Timer2_Timer();
    for (RawSocket& s : silent) EXPECT_TRUE(s.WaitForClose()) << "the host closes them";
    EXPECT_EQ(hosting->Host().FindFreeLAN(), 2);
    annPlays->JoinGame("127.0.0.1");
    EXPECT_TRUE(RunUntil([&] { return annPlays->Session().State() == lan::PlayerState::InLobby; }));
    EXPECT_EQ(hosting->Host().PlayerName(2), "ann");
}

}  // namespace
