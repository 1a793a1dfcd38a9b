#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "development/TrainingScreens.h"
#include "platform/PictureBox.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using shell::Panel;
using testing_support::ScriptedRandom;

class TrainingScreensTest : public ::testing::Test {
protected:
    TrainingScreensTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        core::HorseRec& horse = Horse();
        horse.Name = "Happy Beauty";
        horse.Sex = core::kMale;
        horse.Colour = 120;
        horse.Speed = 50;
        horse.Stamina = 45;
        horse.Confidence = 10;
        horse.Health = horse.HealthMAX = 100;
        form.StableTree->AddNode("STUD5", horse.Name, 20);
        form.StableTree->ClickNode("STUD5");
        form.BringToFront(Panel::Stables);
        // The red button wanders over the grid; the new price draws 0.
        for (int i = 0; i < 2000; ++i) rnd->Push(static_cast<float>((i * 37) % 100) / 100.0f);
        form.show();
    }

    core::HorseRec& Horse() { return game.OwnedHorse[5]; }

    QPushButton* RedButton() const {
        for (QPushButton* button : screens->Clicky) {
            if (button->property("backColor").toUInt() == 0x0000FF) return button;
        }
        return nullptr;
    }

    // Clicks the highlighted button as a player would until the exercise ends.
    int ClickToTheFinish() {
        int clicks = 0;
        while (screens->Speed().Running() && clicks < 1000) {
            QPushButton* red = RedButton();
            if (!red) break;
            QTest::mouseClick(red, Qt::LeftButton);
            ++clicks;
        }
        return clicks;
    }

    // Presses the keys into the window, where Qt would route them.
    void Press(Qt::Key key) { QTest::keyClick(form.windowHandle(), key); }

    int PressToTheFinish() {
        int presses = 0;
        while (screens->Stamina().Running() && presses < 1000) {
            Press(screens->Stamina().KeysTag() == "LEFT" ? Qt::Key_Left : Qt::Key_Right);
            ++presses;
        }
        return presses;
    }

    ScriptedRandom* rnd;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    development::TrainingScreens* screens = new development::TrainingScreens(form);
};

TEST_F(TrainingScreensTest, ImproveHorseNeedsASelectedHorse) {
    form.StableTree->ClearSelection();
    form.Command15->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Stables);
    screens->Command17->click();
    screens->Command16->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Stables);
    form.StableTree->ClickNode("STUD5");
    form.Command15->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Improve);
    form.PaintBackgrounds();
    testing_support::SaveScreenshot(form, "improve");
    screens->Command13->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Drugs);
}

TEST_F(TrainingScreensTest, SpeedExerciseByClicksToItsFinishAtEachEdgeOfThePointsTable) {
    const std::pair<int, int> cases[] = {{0, 15}, {11, 15}, {12, 10}, {59, 1}, {60, 0}};
    form.Command15->click();
    for (const auto& [seconds, points] : cases) {
        SCOPED_TRACE(seconds);
        screens->Command17->click();
        EXPECT_EQ(form.FrontPanel(), Panel::SpeedImp);
        EXPECT_EQ(screens->Label30->text(), "15");
        EXPECT_EQ(screens->SpeedHorse->x(), platform::Pixels(360));
        const int speed = Horse().Speed;
        EXPECT_EQ(screens->Dist->text(), QString::fromStdString(development::DistanceCaption(speed)));
        QTest::mouseClick(screens->Command19, Qt::LeftButton);
        EXPECT_EQ(form.PanelBox(Panel::SpeedImp).Tag, "START");
        EXPECT_FALSE(screens->Command19->isEnabled());
        EXPECT_TRUE(form.Timer("SpeedTimer").Running());
        for (int s = 0; s < seconds; ++s) screens->SpeedTimer_Timer();
        screens->Timer5_Timer();
        EXPECT_EQ(screens->Label30->text(), QString::number(points));

        // A light-red button moves nothing.
        QPushButton* other = screens->Clicky[RedButton() == screens->Clicky[0] ? 1 : 0];
        QTest::mouseClick(other, Qt::LeftButton);
        EXPECT_EQ(screens->Speed().HorseLeft(), 360.0f);

        const int clicks = ClickToTheFinish();
        EXPECT_EQ(clicks, (9800 - 360 + (200 - speed) - 1) / (200 - speed));
        EXPECT_FALSE(screens->Speed().Running());
        EXPECT_EQ(Horse().Speed, speed + points);
        EXPECT_EQ(form.Notice->text(), QString("You have earned %1 points.").arg(points));
        EXPECT_EQ(screens->Dist->text(), QString::fromStdString(development::DistanceCaption(speed + points)));
        EXPECT_TRUE(screens->Command19->isEnabled());
        EXPECT_FALSE(form.Timer("SpeedTimer").Enabled());
        EXPECT_EQ(form.PanelBox(Panel::SpeedImp).Tag, "");
        EXPECT_EQ(screens->SpeedHorse->x(), platform::Pixels(360));
        const double s = Horse().Speed + Horse().Stamina + Horse().Confidence;
        EXPECT_GE(Horse().RRP, s * s);  // valued afresh
    }
}

TEST_F(TrainingScreensTest, PictureOfTheSpeedExerciseUnderWay) {
    form.Command15->click();
    screens->Command17->click();
    screens->Command19->click();
    for (int i = 0; i < 30; ++i) QTest::mouseClick(RedButton(), Qt::LeftButton);
    for (int s = 0; s < 13; ++s) screens->SpeedTimer_Timer();
    screens->Timer5_Timer();
    testing_support::SaveScreenshot(form, "speed-exercise");
}

TEST_F(TrainingScreensTest, StaminaExerciseByArrowKeysToItsFinishAtEachEdgeOfThePointsTable) {
    const std::pair<int, int> cases[] = {{9, 15}, {10, 10}, {49, 1}, {50, 0}};
    form.Command15->click();
    for (const auto& [seconds, points] : cases) {
        SCOPED_TRACE(seconds);
        screens->Command16->click();
        EXPECT_EQ(form.FrontPanel(), Panel::StamImp);
        EXPECT_EQ(screens->Keys->Tag, seconds == 9 ? "" : "LEFT");
        const int stamina = Horse().Stamina;
        EXPECT_EQ(screens->Distance->text(), QString::fromStdString(development::DistanceCaption(stamina)));
        screens->Command14->setFocus();  // where a click would leave it
        QTest::mouseClick(screens->Command14, Qt::LeftButton);
        EXPECT_EQ(form.PanelBox(Panel::StamImp).Tag, "OKAY");
        EXPECT_EQ(screens->Keys->Tag, "LEFT");
        EXPECT_TRUE(form.PanelBox(Panel::StamImp).hasFocus() || form.focusWidget() == &form.PanelBox(Panel::StamImp));
        for (int s = 0; s < seconds; ++s) screens->StamTimer_Timer();
        screens->Timer4_Timer();
        EXPECT_EQ(screens->Label28->text(), QString::number(points));

        // Out of turn and other keys move nothing.
        Press(Qt::Key_Right);
        Press(Qt::Key_Up);
        EXPECT_EQ(screens->Stamina().HorseLeft(), 360.0f);
        Press(Qt::Key_Left);
        Press(Qt::Key_Left);
        EXPECT_EQ(screens->Stamina().HorseLeft(), 370.0f);
        EXPECT_EQ(screens->Keys->Tag, "RIGHT");
        Press(Qt::Key_Right);
        EXPECT_EQ(screens->Stamina().HorseLeft(), 370.0f + 125 - stamina);

        PressToTheFinish();
        EXPECT_FALSE(screens->Stamina().Running());
        EXPECT_EQ(Horse().Stamina, stamina + points);
        EXPECT_EQ(form.Notice->text(), QString("You have gained %1 points.").arg(points));
        EXPECT_TRUE(screens->Command14->isEnabled());
        EXPECT_FALSE(form.Timer("StamTimer").Enabled());
        EXPECT_EQ(form.PanelBox(Panel::StamImp).Tag, "");
        EXPECT_EQ(screens->StaminaHorse->x(), platform::Pixels(360));
    }
}

TEST_F(TrainingScreensTest, PictureOfTheStaminaExerciseUnderWay) {
    form.Command15->click();
    screens->Command16->click();
    screens->Command14->click();
    for (int i = 0; i < 61; ++i) Press(i % 2 ? Qt::Key_Right : Qt::Key_Left);
    screens->Timer4_Timer();
    testing_support::SaveScreenshot(form, "stamina-exercise");
}

TEST_F(TrainingScreensTest, HorsesAbove110AreSentToTheDrugs) {
    Horse().Speed = 111;
    Horse().Stamina = 111;
    form.Command15->click();
    screens->Command17->click();
    screens->Command19->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Drugs);
    EXPECT_EQ(form.Notice->text(), "Your horse is too good to train!");
    form.Notice->clear();
    screens->Command16->click();
    screens->Command14->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Drugs);
    EXPECT_TRUE(form.Notice->text().isEmpty());
    EXPECT_FALSE(form.Timer("SpeedTimer").Enabled());
    EXPECT_FALSE(form.Timer("StamTimer").Enabled());
}

TEST_F(TrainingScreensTest, NothingMovesWithoutARunningExerciseOrASelectedHorse) {
    form.Command15->click();
    screens->Command17->click();
    QTest::mouseClick(RedButton(), Qt::LeftButton);
    EXPECT_EQ(screens->Speed().HorseLeft(), 360.0f);
    screens->Command19->click();
    form.StableTree->ClearSelection();  // the horse was taken away
    QTest::mouseClick(RedButton(), Qt::LeftButton);
    EXPECT_EQ(screens->Speed().HorseLeft(), 360.0f);
    screens->StamImp_KeyDown(37, 0);
    EXPECT_EQ(screens->Stamina().HorseLeft(), 360.0f);
}

TEST_F(TrainingScreensTest, ANewGameEndsTheExercisesWithoutPoints) {
    form.Command15->click();
    screens->Command17->click();
    screens->Command19->click();
    QTest::mouseClick(RedButton(), Qt::LeftButton);
    screens->Command16->click();
    screens->Command14->click();
    emit form.GameReset();
    EXPECT_FALSE(screens->Speed().Running());
    EXPECT_FALSE(screens->Stamina().Running());
    EXPECT_FALSE(form.Timer("SpeedTimer").Enabled());
    EXPECT_FALSE(form.Timer("StamTimer").Enabled());
    EXPECT_TRUE(screens->Command19->isEnabled());
    EXPECT_TRUE(screens->Command14->isEnabled());
    EXPECT_EQ(Horse().Speed, 50);
}

}  // namespace
