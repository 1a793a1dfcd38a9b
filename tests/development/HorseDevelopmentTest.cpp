#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "core/TreeKeys.h"
#include "development/BreedingScreen.h"
#include "development/DrugsScreen.h"
#include "development/Form2.h"
#include "development/HorseDevelopment.h"
#include "development/TrainingScreens.h"
#include "platform/TextBox.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/OwnRaceScreen.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"

namespace {

using shell::Panel;

// Every screen of horse development and the own race on one window.
class HorseDevelopmentTest : public ::testing::Test {
protected:
    HorseDevelopmentTest() {
        game.Randomize();
        game.Money = 5000000;
        form.FillProductTrees();
        form.EnableDesignTimeTimers();
    }

    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    shell::OwnRaceScreen* race = new shell::OwnRaceScreen(form);
    development::HorseDevelopment* development = new development::HorseDevelopment(form);
};

TEST_F(HorseDevelopmentTest, EveryNamedControlIsFoundOnceOnTheWindow) {
    const char* names[] = {
        "Option6",    "Option7",    "Text3",      "Text16",     "Command9",   "Command11",  "Picture3",
        "HorsePic(6)", "HorsePic(10)", "Tit1",     "Tit5",       "Command17",  "Command16",  "Command13",
        "Picture5",   "HorsePic(0)", "Clicky(0)", "Clicky(8)",  "Command19",  "Dist",       "Label30",
        "Label31",    "Label33",    "Picture4",   "HorsePic(11)", "Keys",     "Command14",  "Distance",
        "Label28",    "Label26",    "Label25",    "Label22",    "Label23",    "Label24",    "Text4",
        "Text5",      "Text6",      "Text7",      "Text11",     "Text12",     "Command18",  "Command12",
    };
    for (const char* name : names) EXPECT_EQ(form.findChildren<QWidget*>(name).size(), 1) << name;
}

// A foal bred, named, trained, dosed and raced with the game's own random
// numbers: nothing is scripted, so only what always holds is checked.
TEST_F(HorseDevelopmentTest, AFoalFromBirthToItsFirstRace) {
    core::HorseRec stallion;
    stallion.Name = "Happy Beauty";
    stallion.Sex = core::kMale;
    stallion.Speed = stallion.Stamina = 60;
    stallion.Start = stallion.End = 50;
    stallion.Health = stallion.HealthMAX = 200;
    stallion.MoJo = 20;
    stallion.Colour = 110;
    stallion.Mother = stallion.Father = "???";
    core::HorseRec mare = stallion;
    mare.Name = "Soft Honey";
    mare.Sex = core::kFemale;
    game.OwnedHorse[0] = stallion;
    game.OwnedHorse[1] = mare;
    form.StableTree->AddNode("STUD0", stallion.Name, 10);
    form.StableTree->AddNode("MAIR1", mare.Name, 10);
    form.MalePart->setText("Happy Beauty");
    form.MalePart->Tag = "0";
    form.FemalePart->setText("Soft Honey");
    form.FemalePart->Tag = "1";

    form.Command5->click();
    ASSERT_EQ(game.OwnedHorse[2].Name, "UN-NAMED");
    ASSERT_GE(form.Timer("Baby").Interval(), 1);
    while (development->Breeding().OpenFoalWindows().empty()) development->Breeding().Baby_Timer();
    development::Form2* window = development->Breeding().OpenFoalWindows().front();
    window->Text1->setText("first light");
    window->Command1->click();
    const std::string key = core::HorseKey(game.OwnedHorse[2].Sex, 2);
    ASSERT_TRUE(form.StableTree->HasNode(key));

    form.StableTree->ClickNode(key);
    form.Command15->click();
    ASSERT_EQ(form.FrontPanel(), Panel::Improve);
    development->Training().Command17->click();
    development->Training().Command19->click();
    const int speed = game.OwnedHorse[2].Speed;
    while (development->Training().Speed().Running()) {
        development->Training().Clicky_Click(development->Training().Speed().RedButton());
    }
    EXPECT_EQ(game.OwnedHorse[2].Speed, speed + 15);

    development->Training().Command13->click();
    form.legal->ClickNode("HEALTH");
    development->Drugs().Command18->click();
    EXPECT_EQ(form.Notice->text(), "Horse stats improved by 0!");

    form.Command4->click();
    form.Command7->click();
    race->Text3->setText("100");
    race->Command9->click();
    ASSERT_EQ(form.FrontPanel(), Panel::RaceOwn2);
    race->Command11->click();
    for (int tick = 0; tick < 5000 && form.Timer("HorseMover").Enabled(); ++tick) race->HorseMover_Timer();
    EXPECT_FALSE(form.Timer("HorseMover").Enabled());
    EXPECT_FALSE(race->Race().Running());
    EXPECT_GE(race->Race().Lane(10).Left, 9600.0f);
}

}  // namespace
