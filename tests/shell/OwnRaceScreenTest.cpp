#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>

#include "platform/PictureBox.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/OwnRaceScreen.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using shell::Panel;
using testing_support::ScriptedRandom;

class OwnRaceScreenTest : public ::testing::Test {
protected:
    OwnRaceScreenTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        core::HorseRec& horse = game.OwnedHorse[3];
        horse.Name = "Happy Beauty";
        horse.Sex = core::kMale;
        horse.Colour = 120;
        horse.Speed = horse.Stamina = 40;
        horse.Start = horse.End = 50;
        horse.Health = horse.HealthMAX = 150;
        horse.Confidence = 50;
        horse.Mother = horse.Father = "???";
        game.Money = 100000;
        form.StableTree->AddNode("STUD3", horse.Name, 20);
        form.StableTree->ClickNode("STUD3");
        form.BringToFront(Panel::Stables);
    }

    // Opponents of speed and stamina 16, every bonus 0, later draws 0.
    void ScriptEntry() {
        for (int i = 0; i < 8; ++i) rnd->Push(ScriptedRandom::For(16, 66));
        for (int i = 0; i < 4; ++i) {
            rnd->Push({0.1f, 0.1f, 0.5f, 0.9f, 0.5f, 0.5f, 0.6f, 0.6f, 0.5f, 0.5f, 0.5f, 0.5f});
            rnd->Push({0.0f, 0.0f});
        }
        rnd->Push({0.0f, 0.0f});
        rnd->RepeatWhenEmpty(0.0f);
    }

    void EnterAndStart() {
        form.Command7->click();
        ScriptEntry();
        screen->Command9->click();
        ASSERT_EQ(form.FrontPanel(), Panel::RaceOwn2);
        screen->Command11->click();
    }

    ScriptedRandom* rnd;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    shell::OwnRaceScreen* screen = new shell::OwnRaceScreen(form);
};

TEST_F(OwnRaceScreenTest, RaceHorseNeedsASelectedStableHorse) {
    form.StableTree->ClearSelection();
    form.Command7->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Stables);
    form.StableTree->ClickNode("STUD3");
    form.Command7->click();
    EXPECT_EQ(form.FrontPanel(), Panel::RaceOwn1);
    EXPECT_TRUE(screen->Option6->isChecked());
    EXPECT_EQ(screen->Text3->text(), "2500");
    EXPECT_EQ(screen->Text16->text(), QString::fromUtf8("Charge per Player: \u00A3"));
    form.PaintBackgrounds();
    form.show();
    testing_support::SaveScreenshot(form, "own-race-mode");
}

// The player types into the stake box, then presses "Enter Race" once or
// twice: what the box shows while typing, after each press, and what the
// presses charge.
TEST_F(OwnRaceScreenTest, TheStakeBoxKeepsWhatIsTypedAndEnterRaceChargesOnlyAnAmountThePlayerHasSeen) {
    struct Case {
        const char* name;
        std::function<void(QLineEdit*)> type;
        QString whileTyping;
        QString afterFirstPress;
        double chargedByFirstPress;
        double chargedBySecondPress;
    };
    const auto replaceWith = [](const char* keys) {
        return [keys](QLineEdit* box) {
            box->selectAll();
            QTest::keyClicks(box, keys);
        };
    };
    const Case cases[] = {
        {"minus fifty", replaceWith("-50"), "-50", "2000", 0, 2000},
        {"grouped thousand", replaceWith("1,000"), "1,000", "2000", 0, 2000},
        {"letters", replaceWith("abc"), "abc", "2000", 0, 2000},
        {"backspaced to empty",
         [](QLineEdit* box) {
             box->end(false);
             for (int i = 0; i < 4; ++i) QTest::keyClick(box, Qt::Key_Backspace);
         },
         "", "2000", 0, 2000},
        {"seven hundred and fifty", replaceWith("750"), "750", "750", 750, 0},
        {"a fraction", replaceWith("12.5"), "12.5", "12.5", 12.5, 0},
        {"nothing", replaceWith("0"), "0", "0", 0, 0},
        {"the initial stake", [](QLineEdit*) {}, "2500", "2500", 2500, 0},
    };
    form.show();
    QApplication::setActiveWindow(&form);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen->Text3->setText("2500");
        game.Money = 100000;
        form.Command7->click();
        screen->Text3->setFocus();
        ASSERT_TRUE(screen->Text3->hasFocus());
        c.type(screen->Text3);
        EXPECT_EQ(screen->Text3->text(), c.whileTyping);

        ScriptEntry();
        QTest::mouseClick(screen->Command9, Qt::LeftButton);
        EXPECT_EQ(screen->Text3->text(), c.afterFirstPress);
        ASSERT_EQ(game.Money, 100000 - c.chargedByFirstPress);
        if (c.chargedBySecondPress == 0) continue;
        EXPECT_EQ(form.FrontPanel(), Panel::RaceOwn1);  // the player sees the amount first
        screen->Command9->click();
        EXPECT_EQ(game.Money, 100000 - c.chargedBySecondPress);
        EXPECT_EQ(form.FrontPanel(), Panel::RaceOwn2);
    }
}

TEST_F(OwnRaceScreenTest, LeavingTheStakeBoxShowsTheStakeThatWillBeCharged) {
    form.Command7->click();
    form.BringToFront(Panel::RaceOwn1);
    form.show();
    screen->Text3->setFocus();
    screen->Text3->selectAll();
    QTest::keyClicks(screen->Text3, "-50");
    EXPECT_EQ(screen->Text3->text(), "-50");
    QTest::keyClick(screen->Text3, Qt::Key_Return);
    EXPECT_EQ(screen->Text3->text(), "2000");
    screen->Text3->selectAll();
    QTest::keyClicks(screen->Text3, "x");
    emit screen->Text3->editingFinished();  // the focus moved on
    EXPECT_EQ(screen->Text3->text(), "2000");
    EXPECT_EQ(game.Money, 100000);
}

TEST_F(OwnRaceScreenTest, AStakeAboveTheLimitIsRefusedAsTypedAndTheLanModeLeadsToItsScreen) {
    form.Command7->click();
    screen->Text3->setText("2500000.01");
    screen->Command9->click();
    EXPECT_EQ(form.Notice->text(), QString::fromUtf8("Bets cannot exceed \u00A32,500,000"));
    EXPECT_EQ(screen->Text3->text(), "2500000.01");
    EXPECT_EQ(game.Money, 100000);

    screen->Option7->click();
    EXPECT_FALSE(screen->Text3->isEnabled());
    screen->Command9->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Picture2);
    EXPECT_EQ(game.Money, 100000);
    EXPECT_EQ(rnd->Used(), 0u);
    screen->Option6->click();
    EXPECT_TRUE(screen->Text3->isEnabled());
}

TEST_F(OwnRaceScreenTest, ARaceRunsOnScreenToItsPrize) {
    EnterAndStart();
    EXPECT_EQ(game.Money, 100000 - 2500);
    EXPECT_EQ(screen->Tit[0]->text(), "Double Water");
    EXPECT_EQ(screen->Tit[4]->text(), "Happy Beauty");
    EXPECT_EQ(screen->HorsePic[2]->Tag, "2");
    EXPECT_EQ(screen->HorsePic[4]->Tag, "3");
    EXPECT_FALSE(screen->Command11->isEnabled());
    EXPECT_TRUE(form.Timer("HorseMover").Enabled());
    EXPECT_EQ(screen->HorsePic[4]->x(), platform::Pixels(360));

    for (int tick = 0; tick < 200; ++tick) screen->HorseMover_Timer();
    EXPECT_EQ(screen->HorsePic[4]->x(), platform::Pixels(screen->Race().Lane(10).Left));
    EXPECT_GT(screen->HorsePic[4]->x(), screen->HorsePic[0]->x());
    form.show();
    testing_support::SaveScreenshot(form, "own-race-mid-race");

    for (int tick = 0; tick < 1000 && form.Timer("HorseMover").Enabled(); ++tick) screen->HorseMover_Timer();
    EXPECT_FALSE(form.Timer("HorseMover").Enabled());
    EXPECT_EQ(form.Notice->text(), QString::fromUtf8("First place! You have Won \u00A317,500"));
    EXPECT_EQ(game.Money, 100000 + 17500);
    EXPECT_EQ(game.OwnedHorse[3].Confidence, 53);
    EXPECT_EQ(form.FrontPanel(), Panel::RaceOwn2);
    EXPECT_FALSE(screen->Command11->isEnabled());
}

TEST_F(OwnRaceScreenTest, EnterRaceMidRaceShowsTheRunningRaceAndChargesNothing) {
    EnterAndStart();
    screen->HorseMover_Timer();
    form.Command4->click();
    form.Command7->click();
    const double money = game.Money;
    screen->Command9->click();
    EXPECT_EQ(form.FrontPanel(), Panel::RaceOwn2);
    EXPECT_EQ(game.Money, money);
    EXPECT_TRUE(form.Timer("HorseMover").Enabled());
}

TEST_F(OwnRaceScreenTest, SellingTheRunnerMidRaceStopsTheRaceUnpaid) {
    EnterAndStart();
    for (int tick = 0; tick < 10; ++tick) screen->HorseMover_Timer();
    // The sale: the node leaves the stable tree and the slot is emptied.
    form.StableTree->RemoveNode("STUD3");
    core::ClearHorse(game.OwnedHorse[3]);
    const double money = game.Money;
    form.Notice->clear();
    screen->HorseMover_Timer();
    EXPECT_FALSE(form.Timer("HorseMover").Enabled());
    EXPECT_FALSE(screen->Race().Running());
    EXPECT_EQ(game.Money, money);
    EXPECT_TRUE(form.Notice->text().isEmpty());
}

TEST_F(OwnRaceScreenTest, AHorseTooWeakToRaceSendsThePlayerBackToTheStableWithAWord) {
    game.OwnedHorse[3].Health = 3;
    form.Command7->click();
    ScriptEntry();
    screen->Command9->click();
    rnd->Push(0.5f);  // it costs 5
    screen->Command11->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Stables);
    EXPECT_FALSE(form.Timer("HorseMover").Enabled());
    EXPECT_EQ(game.OwnedHorse[3].Health, -2);
    EXPECT_EQ(game.Money, 100000 - 2500);
    EXPECT_EQ(form.Notice->text(), "Happy Beauty is too weak to race, and the stake is lost. Give it First AID "
                                   "before racing it again.");
}

TEST_F(OwnRaceScreenTest, ANewGameStopsTheRace) {
    EnterAndStart();
    emit form.GameReset();
    EXPECT_FALSE(form.Timer("HorseMover").Enabled());
    EXPECT_FALSE(screen->Race().Running());
}

}  // namespace
