#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "development/Form9.h"
#include "development/LabWindows.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using development::Form9;
using testing_support::ScriptedRandom;

class Form9Test : public ::testing::Test {
protected:
    Form9Test() : random(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(random)) {}

    // Reaching a new level opens the window.
    Form9* LevelUp() {
        game.Money = 1000000000;
        form.Timer1_Timer();
        return lab.EliteHorse();
    }
    int HorsesInStable() const {
        int count = 0;
        for (const auto& horse : game.OwnedHorse) count += horse.IsFree() ? 0 : 1;
        return count;
    }

    ScriptedRandom* random;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    development::LabWindows& lab = development::LabWindows::Install(form);
};

TEST_F(Form9Test, OpensAtALevelUpWithItsStartingValues) {
    Form9* window = LevelUp();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Create Elite Horse");
    EXPECT_EQ(window->Label12->text(), "Genetical Engineering Lab");
    EXPECT_EQ(window->Text4->text(), "Canterloo");
    ASSERT_EQ(window->Combo1->count(), 2);
    EXPECT_EQ(window->Combo1->itemText(0), "Male");
    EXPECT_EQ(window->Combo1->itemText(1), "Female");
    EXPECT_EQ(window->Combo1->currentIndex(), 0);

    const std::tuple<QScrollBar*, const char*, const char*, int, int> bars[] = {
        {window->Speed, "Label6", "Speed:", 430, 215},
        {window->Stamina, "Label5", "Stamina:", 430, 215},
        {window->HScroll1, "Label3", "Pace Style (Start):", 100, 50},
        {window->HScroll2, "Label4", "Pace Style (Finish):", 100, 50},
    };
    for (const auto& [bar, labelName, label, maximum, value] : bars) {
        EXPECT_EQ(bar->orientation(), Qt::Horizontal);
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), maximum);
        EXPECT_EQ(bar->value(), value);
        auto* caption = window->findChild<QLabel*>(labelName);
        ASSERT_NE(caption, nullptr) << labelName;
        EXPECT_EQ(caption->text(), label);
    }
    EXPECT_EQ(window->findChild<QLabel*>("Label1")->text(), "Choose Appearance:");
    EXPECT_EQ(window->Command22->text(), "Create Horse");

    ASSERT_EQ(window->StableTree->Count(), 45);
    for (int i = 0; i < 45; ++i) {
        const std::string key = "K" + std::to_string(101 + i);
        EXPECT_EQ(window->StableTree->KeyAt(i), key);
        EXPECT_EQ(window->StableTree->TextOf(key), "Horse Mask No." + std::to_string(i + 1));
        EXPECT_EQ(window->StableTree->ImageOf(key), i + 1);
    }
    EXPECT_FALSE(core::HasSelectedNode(*window->StableTree));
    testing_support::SaveScreenshot(*window, "form9-elite-horse");
}

TEST_F(Form9Test, CoupledBarsKeepTheirBudgetsOverEveryMove) {
    Form9* window = LevelUp();
    const auto speedAndStamina = [&] { return std::pair(window->Speed->value(), window->Stamina->value()); };
    const auto startAndEnd = [&] { return std::pair(window->HScroll1->value(), window->HScroll2->value()); };

    window->Speed->setValue(430);
    EXPECT_EQ(speedAndStamina(), std::pair(430, 0));
    window->Stamina->setValue(100);
    EXPECT_EQ(speedAndStamina(), std::pair(330, 100));
    window->Stamina->setValue(101);
    EXPECT_EQ(speedAndStamina(), std::pair(329, 101));
    for (int step = 0; step < 5; ++step) window->Speed->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(speedAndStamina(), std::pair(334, 96));
    window->Stamina->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(speedAndStamina(), std::pair(324, 106));
    window->Speed->setValue(0);
    EXPECT_EQ(speedAndStamina(), std::pair(0, 430));

    window->HScroll2->setValue(0);
    EXPECT_EQ(startAndEnd(), std::pair(100, 0));
    window->HScroll1->setValue(30);
    EXPECT_EQ(startAndEnd(), std::pair(30, 70));
    window->HScroll2->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(startAndEnd(), std::pair(31, 69));
    window->HScroll1->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(startAndEnd(), std::pair(100, 0));

    // The numbers beside the labels follow both bars of a pair.
    EXPECT_EQ(window->findChild<QLabel*>("SpeedValue")->text(), "0");
    EXPECT_EQ(window->findChild<QLabel*>("StaminaValue")->text(), "430");
    EXPECT_EQ(window->findChild<QLabel*>("HScroll1Value")->text(), "100");
    EXPECT_EQ(window->findChild<QLabel*>("HScroll2Value")->text(), "0");
}

TEST_F(Form9Test, TheNameBoxTakesNoMoreThanTheSaveFileGivesBack) {
    Form9* window = LevelUp();
    window->Text4->clear();
    QTest::keyClicks(window->Text4, QString(300, 'q'));
    EXPECT_EQ(window->Text4->text(), QString(254, 'q'));
    window->StableTree->ClickNode("K107");
    random->Push({0.0f, 0.0f, 0.25f});
    QTest::mouseClick(window->Command22, Qt::LeftButton);
    EXPECT_EQ(game.OwnedHorse[0].Name.size(), 254u);
}

TEST_F(Form9Test, CreateHorsePutsTheDesignInTheStableAndClosesTheWindow) {
    Form9* window = LevelUp();
    window->Text4->setText("golden BOLT");
    window->Combo1->setCurrentIndex(1);
    window->Speed->setValue(300);
    window->HScroll1->setValue(70);
    window->StableTree->ClickNode("K107");
    testing_support::SaveScreenshot(*window, "form9-designed");
    random->Push({ScriptedRandom::For(417, 1000), ScriptedRandom::For(83, 1000), 0.25f});

    QTest::mouseClick(window->Command22, Qt::LeftButton);

    const core::HorseRec& horse = game.OwnedHorse[0];
    EXPECT_EQ(horse.Name, "Golden Bolt");
    EXPECT_EQ(horse.Sex, core::kFemale);
    EXPECT_EQ(horse.Colour, 107);
    EXPECT_EQ(horse.Speed, 300);
    EXPECT_EQ(horse.Stamina, 130);
    EXPECT_EQ(horse.Start, 70);
    EXPECT_EQ(horse.End, 30);
    EXPECT_EQ(horse.Father, "Tube No.417");
    EXPECT_EQ(horse.Mother, "Tube No.83");
    EXPECT_DOUBLE_EQ(horse.RRP, 26.0 * 480 * 480);
    EXPECT_EQ(form.StableTree->Count(), 1);
    EXPECT_EQ(form.StableTree->TextOf("MAIR0"), "Golden Bolt");
    EXPECT_EQ(form.StableTree->ImageOf("MAIR0"), 7);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(lab.EliteHorse(), nullptr);
}

TEST_F(Form9Test, AClickOnAnAppearanceChoosesIt) {
    Form9* window = LevelUp();
    const QRect row = window->StableTree->visualItemRect(window->StableTree->topLevelItem(1));
    QTest::mouseClick(window->StableTree->viewport(), Qt::LeftButton, {}, row.center());
    random->Push({0.5f, 0.5f, 0.5f});
    window->Command22_Click();
    EXPECT_EQ(game.OwnedHorse[0].Colour, 102);
    EXPECT_EQ(form.StableTree->ImageOf("STUD0"), 2);
}

TEST_F(Form9Test, FocusOnTheAppearancesChoosesNone) {
    Form9* window = LevelUp();
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(window->StableTree, &focusIn);
    ASSERT_NE(window->StableTree->currentItem(), nullptr);  // the first mask is current...

    window->Command22_Click();  // ...but none was chosen

    EXPECT_EQ(HorsesInStable(), 0);
    EXPECT_EQ(form.StableTree->Count(), 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(random->Used(), 0u);
    EXPECT_EQ(form.Notice->text(), "");
}

TEST_F(Form9Test, ABlankNameDoesNothing) {
    Form9* window = LevelUp();
    window->StableTree->ClickNode("K101");
    for (const char* name : {"", "    "}) {
        window->Text4->setText(name);
        window->Command22_Click();
        EXPECT_TRUE(window->isVisible()) << "'" << name << "'";
    }
    EXPECT_EQ(HorsesInStable(), 0);
    EXPECT_EQ(random->Used(), 0u);
}

TEST_F(Form9Test, TwoLevelUpsGiveOneWindowAndOneHorse) {
    Form9* first = LevelUp();
    first->Text4->setText("Kept Name");
    Form9* second = LevelUp();
    EXPECT_EQ(game.Level, 2);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->Text4->text(), "Kept Name");
    int open = 0;
    for (Form9* window : form.findChildren<Form9*>()) open += window->isVisible() ? 1 : 0;
    EXPECT_EQ(open, 1);

    second->StableTree->ClickNode("K120");
    random->Push({0.5f, 0.5f, 0.5f});
    second->Command22_Click();
    EXPECT_EQ(HorsesInStable(), 1);
    EXPECT_EQ(form.StableTree->Count(), 1);
    EXPECT_EQ(lab.EliteHorse(), nullptr);

    // The next level loads the window afresh.
    Form9* next = LevelUp();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->Text4->text(), "Canterloo");
    EXPECT_FALSE(core::HasSelectedNode(*next->StableTree));
    EXPECT_EQ(next->StableTree->Count(), 45);
}

TEST_F(Form9Test, AFullStableKeepsTheWindowOpenUntilThereIsRoom) {
    for (auto& horse : game.OwnedHorse) horse.Name = "Taken";
    Form9* window = LevelUp();
    window->StableTree->ClickNode("K101");

    window->Command22_Click();

    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(lab.EliteHorse(), window);
    EXPECT_EQ(form.Notice->text().toStdString(), development::kStableFullForElite);
    EXPECT_EQ(form.StableTree->Count(), 0);
    EXPECT_EQ(random->Used(), 0u);

    game.OwnedHorse[500].Name.clear();
    random->Push({0.5f, 0.5f, 0.5f});
    window->Command22_Click();
    EXPECT_EQ(game.OwnedHorse[500].Name, "Canterloo");
    EXPECT_TRUE(form.StableTree->HasNode("STUD500"));
    EXPECT_EQ(lab.EliteHorse(), nullptr);
}

TEST_F(Form9Test, ClosingTheWindowCreatesNothing) {
    Form9* window = LevelUp();
    window->StableTree->ClickNode("K101");
    window->close();
    EXPECT_EQ(lab.EliteHorse(), nullptr);
    EXPECT_EQ(HorsesInStable(), 0);
    EXPECT_EQ(random->Used(), 0u);
}

}  // namespace
