#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "development/BreedingScreen.h"
#include "development/Form2.h"
#include "platform/PictureBox.h"
#include "platform/TextBox.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/StablePanel.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using development::Form2;
using testing_support::ScriptedRandom;

core::HorseRec Parent(const char* name, int sex, int colour) {
    core::HorseRec h;
    h.Name = name;
    h.Sex = sex;
    h.Speed = h.Stamina = 50;
    h.Start = h.End = 50;
    h.Health = h.HealthMAX = 150;
    h.MoJo = 10;
    h.Colour = colour;
    h.Mother = h.Father = "???";
    return h;
}

class BreedingScreenTest : public ::testing::Test {
protected:
    BreedingScreenTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        game.OwnedHorse[0] = Parent("Happy Beauty", core::kMale, 110);
        game.OwnedHorse[1] = Parent("Soft Honey", core::kFemale, 130);
        form.StableTree->AddNode("STUD0", "Happy Beauty", 10);
        form.StableTree->AddNode("MAIR1", "Soft Honey", 30);
        form.MalePart->setText("Happy Beauty");
        form.MalePart->Tag = "0";
        form.FemalePart->setText("Soft Honey");
        form.FemalePart->Tag = "1";
        form.EnableDesignTimeTimers();
    }
    ~BreedingScreenTest() override {
        for (Form2* window : breeding->OpenFoalWindows()) window->Dismiss();
    }

    // Breeds a foal of the given sex: no health lost, coat 120, delay 30 s.
    void Breed(bool colt) {
        rnd->Push({0.0f, 0.0f, 0.0f, 0.0f, 0.6f, 0.6f, 0.0f, 0.0f, colt ? 0.75f : 0.25f, 0.0f, 0.0f, 0.5f});
        form.Command5->click();
    }

    Form2* Deliver() {
        rnd->Push(0.25f);  // Round(1) = 1: it comes
        breeding->Baby_Timer();
        const auto windows = breeding->OpenFoalWindows();
        return windows.empty() ? nullptr : windows.back();
    }

    platform::Timer& Baby() { return form.Timer("Baby"); }

    ScriptedRandom* rnd;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    development::BreedingScreen* breeding = new development::BreedingScreen(form);
};

TEST_F(BreedingScreenTest, BreedingStartsTheBabyTimerAndWaitsForTheFoal) {
    Breed(false);
    EXPECT_EQ(form.Notice->text(), "Fresh New Horse On Its Way!!!");
    EXPECT_FALSE(form.Command5->isEnabled());
    EXPECT_TRUE(Baby().Running());
    EXPECT_EQ(Baby().Interval(), 30000);
    EXPECT_EQ(Baby().Tag, "2");
    EXPECT_EQ(game.OwnedHorse[2].Name, "UN-NAMED");
    EXPECT_FALSE(form.StableTree->HasNode("MAIR2"));

    form.Command5->click();  // disabled: nothing
    EXPECT_EQ(rnd->Remaining(), 0u);
    breeding->Command5_Click();  // and a direct call cannot start a second one
    EXPECT_EQ(rnd->Remaining(), 0u);

    for (float draw : {0.0f, 0.125f, 0.375f, 0.9f}) {
        rnd->Push(draw);
        breeding->Baby_Timer();
        EXPECT_TRUE(Baby().Running()) << draw;
        EXPECT_TRUE(breeding->OpenFoalWindows().empty());
    }
    Form2* window = Deliver();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(Baby().Enabled());
    EXPECT_TRUE(form.Command5->isEnabled());
    EXPECT_EQ(window->ID, 2);
    EXPECT_EQ(window->Tag, "0");
    EXPECT_EQ(breeding->FoalWindow(0), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Congratulations!!!");
    EXPECT_EQ(window->Label1->text(), "Whey!!! You got yourself a new horse - what would you like to call it?");
    EXPECT_EQ(window->Label2->text(), "(P.S. It's A Girl)");
    EXPECT_FALSE(window->HorsePic->Picture().isNull());
    EXPECT_TRUE(window->Client->HasCanvas());  // the gradient was painted
    testing_support::SaveScreenshot(*window, "foal-window-girl");
}

TEST_F(BreedingScreenTest, TheFoalWindowRefusesToCloseUntilTheFoalIsNamed) {
    Breed(true);
    form.move(60, 40);
    form.show();
    Form2* window = Deliver();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Label2->text(), "(P.S. It's A Boy)");
    EXPECT_LE((window->frameGeometry().center() - form.frameGeometry().center()).manhattanLength(), 2);
    testing_support::SaveScreenshot(*window, "foal-window-boy");

    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    for (const char* typed : {"", "   "}) {
        window->Text1->setText(typed);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        EXPECT_TRUE(window->isVisible()) << '"' << typed << '"';
    }
    EXPECT_EQ(game.OwnedHorse[2].Name, "UN-NAMED");

    QTest::keyClicks(window->Text1, QString(300, 'w'));  // no more than the save file gives back
    EXPECT_EQ(window->Text1->text().size(), 254);
    window->Text1->clear();
    QTest::keyClicks(window->Text1, "sea BREEZE");
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Tag, "CLOSE");
    EXPECT_EQ(game.OwnedHorse[2].Name, "Sea Breeze");
    ASSERT_TRUE(form.StableTree->HasNode("STUD2"));
    EXPECT_EQ(form.StableTree->TextOf("STUD2"), "Sea Breeze");
    EXPECT_EQ(form.StableTree->ImageOf("STUD2"), 20);
    EXPECT_TRUE(breeding->OpenFoalWindows().empty());
}

TEST_F(BreedingScreenTest, SeveralFoalWindowsEachNameTheirOwnFoal) {
    Breed(false);
    Form2* first = Deliver();
    Breed(true);
    Form2* second = Deliver();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first, second);
    EXPECT_EQ(breeding->OpenFoalWindows().size(), 2u);
    EXPECT_EQ(first->Tag, "0");
    EXPECT_EQ(second->Tag, "1");
    EXPECT_EQ(second->ID, 3);

    QTest::keyClicks(second->Text1, "Young Jack");
    QTest::keyClick(second->Text1, Qt::Key_Return);  // Enter is "Okay"
    QTest::keyClicks(first->Text1, "little bird");
    first->Command1->click();
    EXPECT_EQ(game.OwnedHorse[2].Name, "Little Bird");
    EXPECT_EQ(game.OwnedHorse[3].Name, "Young Jack");
    EXPECT_TRUE(form.StableTree->HasNode("MAIR2"));
    EXPECT_TRUE(form.StableTree->HasNode("STUD3"));
    EXPECT_EQ(form.StableTree->Count(), 4);
}

TEST_F(BreedingScreenTest, ANewGameCancelsTheFoalOnItsWayAndClosesTheWindows) {
    Breed(false);
    Form2* open = Deliver();
    ASSERT_NE(open, nullptr);
    Breed(true);
    ASSERT_TRUE(Baby().Running());

    // The new game empties the stable, then says so.
    for (auto& horse : game.OwnedHorse) core::ClearHorse(horse);
    form.StableTree->Clear();
    emit form.GameReset();
    EXPECT_FALSE(Baby().Enabled());
    EXPECT_TRUE(form.Command5->isEnabled());
    EXPECT_FALSE(open->isVisible());
    EXPECT_TRUE(breeding->OpenFoalWindows().empty());

    const std::size_t used = rnd->Used();
    breeding->Baby_Timer();  // a late tick delivers nothing
    EXPECT_EQ(rnd->Used(), used);
    EXPECT_EQ(form.StableTree->Count(), 0);
}

TEST_F(BreedingScreenTest, AFoalWhoseSlotWasTakenIsDroppedQuietlyAtDelivery) {
    Breed(false);
    game.OwnedHorse[2] = Parent("Bought Meanwhile", core::kFemale, 140);
    form.Notice->clear();
    EXPECT_EQ(Deliver(), nullptr);
    EXPECT_FALSE(Baby().Enabled());
    EXPECT_TRUE(form.Command5->isEnabled());
    EXPECT_EQ(game.OwnedHorse[2].Name, "Bought Meanwhile");
    EXPECT_TRUE(form.Notice->text().isEmpty());
}

TEST_F(BreedingScreenTest, AFoalWindowWhoseFoalVanishedClosesWithoutNaming) {
    Breed(false);
    Form2* window = Deliver();
    ASSERT_NE(window, nullptr);
    core::ClearHorse(game.OwnedHorse[2]);
    game.OwnedHorse[2] = Parent("Another Horse", core::kFemale, 140);
    window->Text1->setText("Sea Breeze");
    window->Command1->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(game.OwnedHorse[2].Name, "Another Horse");
    EXPECT_FALSE(form.StableTree->HasNode("MAIR2"));
}

TEST_F(BreedingScreenTest, AStallionSoldFromItsBoxLeavesItEmptyAndBreedingAsksForAPair) {
    shell::StablePanel stable(form);
    form.StableTree->ClickNode("STUD0");
    rnd->Push(0.0f);  // the market price
    form.Command25->click();  // "Yes" on "SELL HORSE?"
    ASSERT_FALSE(form.StableTree->HasNode("STUD0"));
    EXPECT_EQ(form.MalePart->text(), "");
    EXPECT_EQ(form.FemalePart->text(), "Soft Honey");
    // A mare bought into the stallion's slot is not taken for him.
    game.OwnedHorse[0] = Parent("Quiet Dawn", core::kFemale, 120);
    form.StableTree->AddNode("MAIR0", "Quiet Dawn", 20);
    form.Command5->click();
    EXPECT_EQ(form.Notice->text(), "You must select a pair of horses (one male, and one female) to breed with.");
    EXPECT_FALSE(Baby().Enabled());
}

}  // namespace
