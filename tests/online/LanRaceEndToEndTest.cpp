// Whole LAN races between copies of the game in one process: a host and
// three joined players, each with its own game and main window, over
// loopback. One player cannot pay when the race starts and drops out; the
// others race to the end and every copy books its own money and record.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <string>

#include "core/Money.h"
#include "online/LanHostScreens.h"
#include "online/LanHostSockets.h"
#include "online/LanPlayerScreens.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"
#include "tests/online/LanTestHorses.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FixedUserName.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/ScriptedRandom.h"

namespace lan = online::lan;
using testing_support::LanHorse;
using testing_support::FixedUserName;
using testing_support::RunFor;
using testing_support::RunUntil;
using testing_support::ScriptedRandom;

namespace {

constexpr double kStartingMoney = 10000;
constexpr double kCharge = 2500;

// One copy of the game: its game, with every random draw 0 (no race-day
// luck, so the faster horse wins), its main window and the horse it races.
struct Copy {
    explicit Copy(const std::string& playerName, int speed)
        : name(std::make_shared<FixedUserName>(playerName)) {
        rnd->RepeatWhenEmpty(0.0f);
        game.Money = kStartingMoney;
        game.OwnedHorse[3] = LanHorse(playerName + "'s horse", 101 + speed % 40, speed, speed);
        form.StableTree->AddNode("MAIR3", game.OwnedHorse[3].Name, 1);
        form.StableTree->ClickNode("MAIR3");
    }

    ScriptedRandom* rnd = new ScriptedRandom;
    core::Game game{std::unique_ptr<runtime::RandomSource>(rnd)};
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    std::shared_ptr<FixedUserName> name;
};

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

    online::LanPlayerScreens* Join(Copy& copy, std::uint16_t port) {
        auto* screens = new online::LanPlayerScreens(copy.form, {port, copy.name});
        screens->JoinGame("127.0.0.1");
        EXPECT_TRUE(RunUntil([&] { return screens->Session().State() == lan::PlayerState::InLobby; }));
        return screens;
    }

    static bool RosterComplete(const online::LanPlayerScreens& p) {
        return !p.Session().RefreshRunning() && !p.Session().RefreshPending() && p.Contend->Count() == 4;
    }

    std::unique_ptr<Copy> host, ann, bob, carl;
    online::LanHostScreens* hosting = nullptr;
};

TEST_P(LanRaceEndToEnd, EveryCopyBooksItsOwnMoneyAndRecord) {
    const Outcome& o = GetParam();
    hosting->Text14->setText("2500");
    hosting->Command22->click();
    ASSERT_TRUE(hosting->Sockets().Listening());
    const auto port = static_cast<std::uint16_t>(hosting->Sockets().ListeningPort());

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

    // The race, tick by tick, with the players reading the frames between.
    for (int tick = 0; hosting->Host().Phase() == lan::HostPhase::Racing && tick < 2000; ++tick) {
        hosting->LANrace_Timer();
        RunFor(1);
    }
    ASSERT_EQ(hosting->Host().Phase(), lan::HostPhase::Paying);
    hosting->PayEm_Timer();
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
    for (Copy* c : {host.get(), ann.get(), bob.get()}) EXPECT_EQ(c->game.LANwager, 4 * kCharge);
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

}  // namespace
