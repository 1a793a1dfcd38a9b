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
#include "shell/StablePanel.h"
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
    for (const auto* picture : screen->HorsePic) EXPECT_EQ(picture->x(), screen->HorsePic[4]->x()) << "one start line";

    for (int tick = 0; tick < 200; ++tick) screen->HorseMover_Timer();
    ASSERT_GT(screen->Race().Lane(10).Left, screen->Race().Lane(6).Left);
    EXPECT_GT(screen->HorsePic[4]->x(), screen->HorsePic[0]->x());
    form.show();
    testing_support::SaveScreenshot(form, "own-race-mid-race");

    for (int tick = 0; tick < 1000 && form.Timer("HorseMover").Enabled(); ++tick) screen->HorseMover_Timer();
    EXPECT_FALSE(form.Timer("HorseMover").Enabled());
    // At the post: the winner's nose at the track's right edge, where the post
    // stands (it arrived past the finish), and every horse on the track.
    ASSERT_GT(screen->Race().Lane(10).Left, core::kOwnRaceFinish);
    const QRect track = screen->Picture3->rect();
    EXPECT_EQ(screen->HorsePic[4]->geometry().right(), track.right());
    for (const auto* picture : screen->HorsePic) {
        EXPECT_TRUE(track.contains(picture->geometry())) << picture->objectName().toStdString();
    }
    for (std::size_t i = 0; i < 4; ++i) EXPECT_LT(screen->HorsePic[i]->x(), screen->HorsePic[4]->x());
    testing_support::SaveScreenshot(form, "own-race-at-the-post");
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

// Sold before its race starts or while it runs: the race stops, nothing is
// paid, and the notice says so after the sale's own.
TEST_F(OwnRaceScreenTest, SellingTheRunnerStopsItsRaceAndSaysSo) {
    new shell::StablePanel(form);
    const QString stopped = QString::fromUtf8(
        ". Happy Beauty is no longer in your stable: its race is stopped and the \u00A32,500 stake is lost.");
    const core::HorseRec horse = game.OwnedHorse[3];
    for (const bool started : {false, true}) {
        SCOPED_TRACE(started);
        if (started) {  // the same horse again in its slot
            game.OwnedHorse[3] = horse;
            form.StableTree->AddNode("STUD3", horse.Name, 20);
        }
        form.StableTree->ClickNode("STUD3");
        form.Command7->click();
        ScriptEntry();
        screen->Command9->click();
        ASSERT_EQ(form.FrontPanel(), Panel::RaceOwn2);
        if (started) {
            screen->Command11->click();
            for (int tick = 0; tick < 10; ++tick) screen->HorseMover_Timer();
        }
        const double money = game.Money;
        form.StableTree->ClickNode("STUD3");
        form.Command6->click();   // "Sell Horse"
        form.Command25->click();  // "Yes"
        ASSERT_TRUE(game.OwnedHorse[3].IsFree());
        EXPECT_FALSE(form.Timer("HorseMover").Enabled());
        EXPECT_FALSE(screen->Race().Running());
        EXPECT_FALSE(screen->Race().Ready());
        EXPECT_FALSE(screen->Command11->isEnabled());
        EXPECT_TRUE(form.Notice->text().startsWith(QString::fromUtf8("Your horse sold for \u00A3")));
        EXPECT_TRUE(form.Notice->text().endsWith(stopped)) << form.Notice->text().toStdString();
        const double sold = game.Money - money;

        // Nothing more comes of the race.
        const QString told = form.Notice->text();
        for (int tick = 0; tick < 300; ++tick) screen->HorseMover_Timer();
        screen->Command11_Click();
        EXPECT_EQ(game.Money, money + sold);
        EXPECT_EQ(form.Notice->text(), told);
    }
}

// A runner whose slot empties with no word to the screens is found at the
// race's next step.
TEST_F(OwnRaceScreenTest, ARunnerGoneWithoutAWordStopsTheRaceAtItsNextStep) {
    EnterAndStart();
    for (int tick = 0; tick < 10; ++tick) screen->HorseMover_Timer();
    form.StableTree->RemoveNode("STUD3");
    core::ClearHorse(game.OwnedHorse[3]);
    const double money = game.Money;
    form.Notice->clear();
    screen->HorseMover_Timer();
    EXPECT_FALSE(form.Timer("HorseMover").Enabled());
    EXPECT_FALSE(screen->Race().Running());
    EXPECT_EQ(game.Money, money);
    EXPECT_EQ(form.Notice->text(), QString::fromUtf8("Happy Beauty is no longer in your stable: its race is stopped "
                                                     "and the \u00A32,500 stake is lost."));
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
