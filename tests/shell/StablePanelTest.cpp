#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "core/Money.h"
#include "core/Stable.h"
#include "core/TreeKeys.h"
#include "platform/QtText.h"
#include "platform/TextBox.h"
#include "shell/Form1.h"
#include "shell/StablePanel.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedRandom.h"
#include "tests/support/Screenshots.h"

namespace {

using shell::Form1;
using shell::Panel;
using testing_support::ScriptedRandom;

core::HorseRec Horse(const std::string& name, int sex, int colour, double price) {
    core::HorseRec h;
    h.Name = name, h.Sex = sex, h.Colour = colour, h.RRP = price;
    h.Speed = 90, h.Stamina = 60, h.Confidence = 50, h.Health = h.HealthMAX = 150, h.MoJo = 20;
    h.Start = 70, h.End = 30, h.OddsLeft = 2, h.OddsRight = 1;
    h.Mother = h.Father = "???";
    return h;
}

class StablePanelTest : public ::testing::Test {
protected:
    StablePanelTest() {
        form.PaintBackgrounds();
        AddToMarket(0, Horse("Happy Beauty", core::kMale, 110, 2000));
        AddToMarket(1, Horse("Soft Honey", core::kFemale, 131, 3000));
        AddToMarket(2, Horse("Dark Star", core::kMale, 144, 1500));
        game.Money = 10000;
    }

    static std::unique_ptr<runtime::RandomSource> Script(ScriptedRandom*& out) {
        auto rnd = std::make_unique<ScriptedRandom>();
        out = rnd.get();
        return rnd;
    }

    void AddToMarket(int slot, const core::HorseRec& h) {
        game.MarketHorse[static_cast<std::size_t>(slot)] = h;
        form.MarketTree->AddNode(core::HorseKey(h, slot), h.Name, h.Colour - 100);
    }

    void Buy(const std::string& key) {
        form.MarketTree->ClickNode(key);
        rnd->Push(0.0f);
        form.Command10->click();
    }

    QString Lines(const std::string& card) const { return platform::ToQStringLines(card); }

    ScriptedRandom* rnd = nullptr;
    core::Game game{Script(rnd)};
    testing_support::RecordingDialogs dialogs;
    Form1 form{game, dialogs};
    shell::StablePanel stable{form};
};

TEST_F(StablePanelTest, AMarketClickShowsTheCardLineByLine) {
    form.Command2_Click();
    form.MarketTree->ClickNode("MAIR1");
    EXPECT_EQ(form.Text2->toPlainText(), Lines(core::MarketCard(game.MarketHorse[1], false)));
    EXPECT_TRUE(form.Text2->toPlainText().startsWith("Name: Soft Honey\nSex: FEMALE\nSpeed Rating: 90%\n"));
    EXPECT_TRUE(form.Text2->toPlainText().endsWith(QString::fromUtf8("\n\nPrice: \u00A33,000\n")));
    testing_support::SaveScreenshot(form, "market-card");
}

TEST_F(StablePanelTest, BuyingMovesTheNodeAndLeavesNothingSelected) {
    Buy("STUD0");
    EXPECT_EQ(game.Money, 8000);
    EXPECT_FALSE(form.MarketTree->HasNode("STUD0"));
    EXPECT_EQ(form.StableTree->TextOf("STUD0"), "Happy Beauty");
    EXPECT_EQ(form.StableTree->ImageOf("STUD0"), 10);
    EXPECT_EQ(form.MarketTree->SelectedKey(), "");
    // Qt would have moved the selection to the next horse: a second click
    // must not buy that one.
    form.Command10->click();
    EXPECT_EQ(game.Money, 8000);
    EXPECT_TRUE(form.MarketTree->HasNode("MAIR1"));
    Buy("MAIR1");
    EXPECT_EQ(form.StableTree->TextOf("MAIR1"), "Soft Honey");
    EXPECT_EQ(form.Notice->text(), "");
}

TEST_F(StablePanelTest, AStableClickShowsTheCardAndFillsTheBreedingBox) {
    Buy("STUD0");
    Buy("MAIR1");
    Buy("STUD2");
    form.Command4_Click();
    form.StableTree->ClickNode("STUD0");
    EXPECT_EQ(form.Text1->toPlainText(), Lines(core::StableCard(game.OwnedHorse[0], true)));
    EXPECT_EQ(form.MalePart->text(), "Happy Beauty");
    EXPECT_EQ(form.MalePart->Tag, "0");
    form.StableTree->ClickNode("MAIR1");
    EXPECT_EQ(form.FemalePart->text(), "Soft Honey");
    EXPECT_EQ(form.FemalePart->Tag, "1");
    EXPECT_EQ(form.MalePart->text(), "Happy Beauty");  // the other box keeps its horse
    testing_support::SaveScreenshot(form, "stable-card");
    // the arrow keys move the selection, and the card and box follow it
    form.StableTree->setFocus();
    QTest::keyClick(form.StableTree, Qt::Key_Down);
    EXPECT_EQ(form.StableTree->SelectedKey(), "STUD2");
    EXPECT_TRUE(form.Text1->toPlainText().startsWith("Name: Dark Star\n"));
    EXPECT_EQ(form.MalePart->text(), "Dark Star");
    EXPECT_EQ(form.MalePart->Tag, "2");
}

TEST_F(StablePanelTest, SellingCreditsTheValuationAndReturnsToTheStable) {
    Buy("MAIR1");
    const double valuation = game.OwnedHorse[0].RRP;
    form.StableTree->ClickNode("MAIR0");
    form.Command6->click();
    ASSERT_EQ(form.FrontPanel(), Panel::SellHor);
    const double money = game.Money;
    rnd->Push(0.0f);
    form.Command25->click();
    EXPECT_EQ(game.Money, money + valuation);
    EXPECT_EQ(form.Notice->text(), platform::ToQString(core::kHorseSoldFor + core::FormatMoney(valuation)));
    EXPECT_EQ(form.FrontPanel(), Panel::Stables);
    EXPECT_TRUE(form.MarketTree->HasNode("MAIR1"));  // the lowest free market slot
    EXPECT_FALSE(form.StableTree->HasNode("MAIR0"));
    // "Yes" again with nothing selected: the question stays, nothing is sold
    form.Command6->click();
    form.Command25->click();
    EXPECT_EQ(form.FrontPanel(), Panel::SellHor);
    EXPECT_EQ(game.Money, money + valuation);
}

// A card or box that shows a horse follows it: emptied when the horse
// leaves its tree, never showing a neighbour in its place.
TEST_F(StablePanelTest, TheCardsAndTheBreedingBoxOfAHorseThatLeavesAreEmptied) {
    Buy("STUD0");
    Buy("MAIR1");
    Buy("STUD2");
    form.StableTree->ClickNode("STUD0");
    form.StableTree->ClickNode("MAIR1");
    form.Command6->click();
    rnd->Push(0.0f);
    form.Command25->click();
    ASSERT_FALSE(form.StableTree->HasNode("MAIR1"));
    EXPECT_EQ(form.StableTree->SelectedKey(), "");
    EXPECT_EQ(form.Text1->toPlainText(), "");
    EXPECT_EQ(form.FemalePart->text(), "");
    EXPECT_EQ(form.FemalePart->Tag, "");
    // The stallion box keeps the stallion the player chose.
    EXPECT_EQ(form.MalePart->text(), "Happy Beauty");
    EXPECT_EQ(form.MalePart->Tag, "0");

    // A horse bought into the sold mare's slot is not the mare.
    AddToMarket(3, Horse("Quiet Dawn", core::kFemale, 120, 1000));
    AddToMarket(4, Horse("Loud Dusk", core::kMale, 121, 1000));
    form.MarketTree->ClickNode("MAIR4");  // a card shown, then another horse bought
    form.MarketTree->ClickNode("MAIR3");
    rnd->Push(0.0f);
    form.Command10->click();
    ASSERT_FALSE(form.MarketTree->HasNode("MAIR3"));
    ASSERT_TRUE(form.StableTree->HasNode("MAIR1"));
    EXPECT_EQ(form.Text2->toPlainText(), "");
    EXPECT_EQ(form.FemalePart->text(), "");
    EXPECT_EQ(form.Text1->toPlainText(), "");

    // A card whose horse stays is kept, and written afresh when it changes.
    form.StableTree->ClickNode("STUD0");
    game.OwnedHorse[0].Health = 75;
    Buy("STUD4");
    EXPECT_TRUE(form.Text1->toPlainText().startsWith("Name: Happy Beauty\n"));
    EXPECT_TRUE(form.Text1->toPlainText().contains("\nHealth: 50%\n"));
    EXPECT_EQ(form.MalePart->text(), "Happy Beauty");
    AddToMarket(5, Horse("Grey Mist", core::kMale, 122, 1000));
    form.MarketTree->ClickNode("STUD5");
    form.StableTree->ClickNode("STUD2");
    form.Command6->click();
    rnd->Push(0.0f);
    form.Command25->click();
    EXPECT_TRUE(form.Text2->toPlainText().startsWith("Name: Grey Mist\n"));
    EXPECT_EQ(form.MalePart->text(), "");
}

TEST_F(StablePanelTest, AFullStableRefusesAPurchaseBeforeTakingTheMoney) {
    for (auto& h : game.OwnedHorse) h = Horse("Own", core::kMale, 101, 1);
    form.MarketTree->ClickNode("STUD2");
    form.Command10->click();
    EXPECT_EQ(form.Notice->text().toStdString(), core::kStableFull);
    EXPECT_EQ(game.Money, 10000);
    EXPECT_TRUE(form.MarketTree->HasNode("STUD2"));
}

}  // namespace
