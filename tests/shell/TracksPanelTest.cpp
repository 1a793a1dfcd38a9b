#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "core/BettingRace.h"
#include "core/Money.h"
#include "platform/PictureBox.h"
#include "platform/TextBox.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/TracksPanel.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedRandom.h"
#include "tests/support/Screenshots.h"

namespace {

using shell::Form1;
using shell::TracksPanel;
using testing_support::ScriptedRandom;

class TracksPanelTest : public ::testing::Test {
protected:
    TracksPanelTest() {
        for (std::size_t i = 0; i < game.TrackHorse.size(); ++i) {
            core::HorseRec& h = game.TrackHorse[i];
            h.Name = "Runner " + std::to_string(i);
            h.Speed = 40, h.Stamina = 40, h.Start = 50, h.End = 50;
            h.Health = h.HealthMAX = 100;
            h.OddsLeft = 5, h.OddsRight = 1;
            h.Colour = 101 + static_cast<int>(i % 45);
        }
        form.PaintBackgrounds();
        form.BringToFront(shell::Panel::Tracks);
    }

    static std::unique_ptr<runtime::RandomSource> Script(ScriptedRandom*& out) {
        auto rnd = std::make_unique<ScriptedRandom>();
        out = rnd.get();
        return rnd;
    }

    // The next "New Race" draws these horses into lanes 1 to 5 (no bonus).
    void ScriptLanes(std::initializer_list<int> horses) {
        for (int horse : horses) rnd->Push({ScriptedRandom::For(horse, 100), 0.0f, 0.0f});
    }

    QString NoticeText() const { return form.Notice->text(); }
    QString TitleText(int lane) const { return tracks.Title[static_cast<std::size_t>(lane)]->text(); }
    platform::TextBox* Wager(int lane) const { return tracks.Wager[static_cast<std::size_t>(lane)]; }
    platform::PictureBox* HorsePic(int lane) const { return tracks.HorsePic[static_cast<std::size_t>(lane)]; }
    platform::Timer& MoveHorses() const { return form.Timer("MoveHorses"); }

    // Ticks until the race ends; returns the number of ticks.
    int RunToTheFinish() {
        int ticks = 0;
        while (MoveHorses().Enabled() && ticks < 2000) {
            tracks.MoveHorses_Timer();
            ++ticks;
        }
        return ticks;
    }

    ScriptedRandom* rnd = nullptr;
    core::Game game{Script(rnd)};
    testing_support::RecordingDialogs dialogs;
    Form1 form{game, dialogs};
    TracksPanel tracks{form};
};

TEST_F(TracksPanelTest, TheScreenHasItsNamedControls) {
    QWidget* panel = &form.PanelBox(shell::Panel::Tracks);
    auto* track = panel->findChild<platform::PictureBox*>("Picture1");
    ASSERT_NE(track, nullptr);
    for (int lane = 1; lane <= 5; ++lane) {
        const QString n = QString::number(lane);
        auto* pic = panel->findChild<platform::PictureBox*>("HorsePic(" + n + ")");
        ASSERT_NE(pic, nullptr) << lane;
        EXPECT_EQ(pic->parentWidget(), track);
        auto* number = panel->findChild<QLabel*>("Label" + n);
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->text(), n);
        auto* title = panel->findChild<QLabel*>("Title" + n);
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text(), "");
        auto* wager = panel->findChild<QLineEdit*>("Wager(" + n + ")");
        ASSERT_NE(wager, nullptr);
        EXPECT_EQ(wager->text(), "0");
        EXPECT_EQ(wager->toolTip(), "Double-click to bet all your money");
    }
    auto* newRace = panel->findChild<QPushButton*>("Command3");
    ASSERT_NE(newRace, nullptr);
    EXPECT_EQ(newRace->text(), "New Race");
    EXPECT_EQ(newRace->toolTip(), QString::fromUtf8("Go to a new race - Fee of \u00A3250"));
    ASSERT_NE(panel->findChild<QPushButton*>("Command1"), nullptr);
    EXPECT_EQ(panel->findChild<QPushButton*>("Command1")->text(), "Start Race!");
    EXPECT_TRUE(panel->findChild<QRadioButton*>("Option1")->isChecked());
    EXPECT_EQ(panel->findChild<QRadioButton*>("Option2")->text(), "Chance of Winning");
    EXPECT_EQ(MoveHorses().Interval(), 50);
    EXPECT_FALSE(MoveHorses().Enabled());
    // every lane fits on the track, and the track and stakes in the panel
    for (int lane = 1; lane <= 5; ++lane) {
        EXPECT_TRUE(track->rect().contains(HorsePic(lane)->geometry())) << lane;
        EXPECT_TRUE(panel->rect().contains(Wager(lane)->geometry())) << lane;
    }
    EXPECT_TRUE(panel->rect().contains(track->geometry()));
    EXPECT_TRUE(panel->rect().contains(tracks.Option2->geometry()));
}

struct WinCase {
    const char* what;
    int oddsLeft, oddsRight;
    double inHandAtTheFinish;
    const char* stake;
    double stakeValue;
    double expected;
};

TEST_F(TracksPanelTest, ARaceRunsLaneByLaneToItsPayout) {
    const WinCase cases[] = {
        {"1 on 1/2", 1, 2, 1000, "1", 1, 1001},
        {"100 on 40/11", 40, 11, 900, "100", 100, 1364},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        core::HorseRec& favourite = game.TrackHorse[33];
        favourite.Speed = 200, favourite.OddsLeft = c.oddsLeft, favourite.OddsRight = c.oddsRight;
        game.Money = c.inHandAtTheFinish + 250 + c.stakeValue;
        ScriptLanes({10, 20, 33, 40, 50});
        tracks.Command3->click();
        EXPECT_EQ(HorsePic(3)->Tag, "33");
        EXPECT_EQ(TitleText(3), QString("Runner 33 (%1:%2)").arg(c.oddsLeft).arg(c.oddsRight));
        EXPECT_FALSE(tracks.Command3->isEnabled());
        EXPECT_TRUE(tracks.Command1->isEnabled());

        Wager(3)->setText(c.stake);
        tracks.Command1->click();
        EXPECT_EQ(game.Money, c.inHandAtTheFinish);
        EXPECT_TRUE(MoveHorses().Enabled());
        EXPECT_FALSE(tracks.Command1->isEnabled());
        EXPECT_FALSE(tracks.Command3->isEnabled());
        EXPECT_FALSE(Wager(1)->isEnabled());

        rnd->RepeatWhenEmpty(0.5f);
        for (int tick = 0; tick < 50; ++tick) tracks.MoveHorses_Timer();
        // Each picture stands where its runner is, in pixels; the favourite leads.
        for (int lane = 1; lane <= 5; ++lane) {
            EXPECT_EQ(HorsePic(lane)->x(), platform::Pixels(tracks.Race().LaneAt(lane).Runner.Left)) << lane;
            EXPECT_GT(HorsePic(lane)->x(), platform::Pixels(core::kStartLine)) << lane;
        }
        EXPECT_GT(HorsePic(3)->x(), HorsePic(1)->x());
        testing_support::SaveScreenshot(form, "tracks-mid-race");

        EXPECT_GT(RunToTheFinish(), 0);
        EXPECT_FALSE(MoveHorses().Enabled());
        EXPECT_EQ(game.Money, c.expected);
        EXPECT_EQ(NoticeText(), "Runner 33 has won the race!");
        EXPECT_TRUE(tracks.Command3->isEnabled());
        EXPECT_FALSE(tracks.Command1->isEnabled());  // until the next new race
        EXPECT_TRUE(Wager(3)->isEnabled());
        EXPECT_GE(tracks.Race().LaneAt(3).Runner.Left, 7800.0f);
        testing_support::SaveScreenshot(form, "tracks-finish");
    }
}

TEST_F(TracksPanelTest, TheHighestOfTheLanesThatFinishTogetherWins) {
    for (int horse : {20, 40}) game.TrackHorse[static_cast<std::size_t>(horse)].Speed = 32000;
    game.Money = 1000;
    ScriptLanes({10, 20, 30, 40, 50});
    tracks.Command3->click();
    Wager(2)->setText("100");
    Wager(4)->setText("100");
    tracks.Command1->click();
    rnd->Push({0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    tracks.MoveHorses_Timer();
    EXPECT_EQ(NoticeText(), "Runner 40 has won the race!");
    EXPECT_EQ(game.Money, 550 + 500 + 100);
}

struct RefusalCase {
    std::array<const char*, 5> stakes;
    double money;
    const char* notice;
};

TEST_F(TracksPanelTest, RefusedStakesChargeNothingAndTheRaceStaysReady) {
    const RefusalCase cases[] = {
        {{"", "0", "0", "0", "0"}, 1000, "Wagers must in numerical format!!!"},
        {{"0", "ten", "0", "0", "0"}, 1000, "Wagers must in numerical format!!!"},
        {{"-100", "200", "0", "0", "0"}, 1000, "Wagers cannot be negative!"},
        {{"50000000", "1", "0", "0", "0"}, 1e8, "Bets cannot exceed \u00A350,000,000"},
        {{"2000", "0", "0", "0", "0"}, 1000, "You do not have enough money to do that!"},
    };
    game.Money = 1e9;
    ScriptLanes({1, 2, 3, 4, 5});
    tracks.Command3->click();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.notice);
        game.Money = c.money;
        for (int lane = 1; lane <= 5; ++lane) Wager(lane)->setText(c.stakes[static_cast<std::size_t>(lane - 1)]);
        tracks.Command1->click();
        EXPECT_EQ(NoticeText(), QString::fromUtf8(c.notice));
        EXPECT_EQ(game.Money, c.money);
        EXPECT_FALSE(MoveHorses().Enabled());
        EXPECT_TRUE(tracks.Command1->isEnabled());
        EXPECT_TRUE(Wager(1)->isEnabled());
    }
}

TEST_F(TracksPanelTest, NewRaceWithoutTheFeeLeavesTheTrackAsItWas) {
    game.Money = 249;
    tracks.Command3->click();
    EXPECT_EQ(NoticeText(), "You do not have enough money to do that!");
    EXPECT_EQ(game.Money, 249);
    EXPECT_TRUE(tracks.Command3->isEnabled());
    EXPECT_EQ(TitleText(1), "");
    EXPECT_EQ(rnd->Used(), 0u);
}

TEST_F(TracksPanelTest, ADoubleClickBetsAllTheMoneyUpToTheLimit) {
    const std::pair<double, const char*> cases[] = {{60000000, "50000000"}, {1234, "1234"}};
    for (const auto& [money, text] : cases) {
        game.Money = money;
        QTest::mouseDClick(Wager(2), Qt::LeftButton);
        EXPECT_EQ(Wager(2)->text(), text);
        EXPECT_EQ(Wager(1)->text(), "0");
    }
}

TEST_F(TracksPanelTest, TheOptionsSwitchTheTitlesBetweenRatioAndChance) {
    tracks.Option2->click();  // before the first race: nothing to show
    EXPECT_EQ(TitleText(1), "");
    tracks.Option1->click();
    game.Money = 1000;
    game.TrackHorse[7].OddsLeft = 13, game.TrackHorse[7].OddsRight = 2;
    ScriptLanes({7, 1, 2, 3, 4});
    tracks.Command3->click();
    EXPECT_EQ(TitleText(1), "Runner 7 (13:2)");
    tracks.Option2->click();
    EXPECT_EQ(TitleText(1), "Runner 7 (15%)");
    EXPECT_EQ(TitleText(5), "Runner 4 (20%)");
    tracks.Option1->click();
    EXPECT_EQ(TitleText(1), "Runner 7 (13:2)");
}

TEST_F(TracksPanelTest, ANewGameStopsARaceAndClearsTheTrack) {
    game.Money = 1000;
    ScriptLanes({1, 2, 3, 4, 5});
    tracks.Command3->click();
    Wager(1)->setText("10");
    tracks.Command1->click();
    rnd->RepeatWhenEmpty(0.5f);
    tracks.MoveHorses_Timer();
    tracks.ResetForNewGame();
    EXPECT_FALSE(MoveHorses().Enabled());
    EXPECT_EQ(tracks.Race().State(), core::RaceState::Idle);
    EXPECT_TRUE(tracks.Command3->isEnabled());
    EXPECT_FALSE(tracks.Command1->isEnabled());
    for (int lane = 1; lane <= 5; ++lane) {
        EXPECT_EQ(TitleText(lane), "");
        EXPECT_EQ(HorsePic(lane)->Tag, "");
        EXPECT_TRUE(HorsePic(lane)->Picture().isNull());
        EXPECT_EQ(Wager(lane)->text(), "0");
        EXPECT_TRUE(Wager(lane)->isEnabled());
    }
    const double money = game.Money;
    tracks.MoveHorses_Timer();  // a late tick finds no race
    EXPECT_EQ(game.Money, money);
}

}  // namespace
