#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>

#include "core/TreeKeys.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/NewGameQuestion.h"
#include "shell/TracksPanel.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"

namespace {

using shell::Form1;
using shell::Panel;

class NewGameQuestionTest : public ::testing::Test {
protected:
    NewGameQuestionTest() {
        for (auto& h : game.TrackHorse) {
            h.Name = "Runner", h.Speed = 10, h.Health = h.HealthMAX = 100, h.OddsLeft = 2, h.OddsRight = 1;
            h.Colour = 120;
        }
        for (int slot : {0, 1, 5}) {
            game.OwnedHorse[static_cast<std::size_t>(slot)].Name = "Old Horse";
            form.StableTree->AddNode(core::HorseKey(core::kMale, slot), "Old Horse", 3);
        }
        game.Money = 777;
        game.Level = 3;
        game.Server = "games.example";
        form.setWindowTitle("Trotwick - You Have Cheated 2 time(s)");
        game.Cheated = 2;
        // a betting race on
        tracks.Command3->click();
        tracks.Command1->click();
        tracks.MoveHorses_Timer();
    }

    core::Game game;
    testing_support::RecordingDialogs dialogs;
    Form1 form{game, dialogs};
    shell::TracksPanel tracks{form};
    shell::NewGameQuestion question{form, tracks};
};

TEST_F(NewGameQuestionTest, TheQuestionChangesNothingUntilYes) {
    ASSERT_TRUE(form.Timer("MoveHorses").Enabled());
    const double money = game.Money;
    form.new_->trigger();
    EXPECT_EQ(form.FrontPanel(), Panel::NewGamey);
    form.Command20->click();  // "No"
    EXPECT_EQ(form.FrontPanel(), Panel::Tracks);
    EXPECT_EQ(game.Money, money);
    EXPECT_EQ(form.StableTree->Count(), 3);
    EXPECT_TRUE(form.Timer("MoveHorses").Enabled());  // the race goes on
    EXPECT_EQ(tracks.Race().State(), core::RaceState::Running);
}

TEST_F(NewGameQuestionTest, YesStartsAFreshGameAndStopsTheRace) {
    QSignalSpy reset(&form, &Form1::GameReset);
    form.new_->trigger();
    form.Command26->click();
    EXPECT_EQ(game.Money, 5000);
    EXPECT_EQ(game.Cheated, 0);
    EXPECT_EQ(game.Level, 3);
    EXPECT_EQ(game.Server, "games.example");
    EXPECT_EQ(form.windowTitle(), "Trotwick");
    EXPECT_EQ(form.StableTree->Count(), 0);
    for (const auto& h : game.OwnedHorse) EXPECT_TRUE(h.IsFree());
    EXPECT_EQ(form.MarketTree->Count(), 251);
    EXPECT_EQ(form.MarketTree->KeyAt(250).substr(4), "250");
    EXPECT_EQ(form.legal->Count(), 5);
    EXPECT_EQ(form.illegal->Count(), 2);
    EXPECT_FALSE(form.Timer("MoveHorses").Enabled());
    EXPECT_EQ(tracks.Race().State(), core::RaceState::Idle);
    EXPECT_FALSE(tracks.Command1->isEnabled());
    EXPECT_TRUE(tracks.Command3->isEnabled());
    EXPECT_EQ(form.FrontPanel(), Panel::Tracks);
    EXPECT_EQ(reset.count(), 1);
    // a fresh race can be run on the new field
    tracks.Command3->click();
    EXPECT_EQ(game.Money, 4750);
    EXPECT_EQ(tracks.Race().State(), core::RaceState::SetUp);
}

}  // namespace
