#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "development/DrugsScreen.h"
#include "development/ProductShop.h"
#include "platform/PictureBox.h"
#include "platform/TextBox.h"
#include "shell/Form1.h"
#include "shell/StablePanel.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using shell::Panel;
using testing_support::ScriptedRandom;

class DrugsScreenTest : public ::testing::Test {
protected:
    DrugsScreenTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        core::HorseRec& horse = Horse();
        horse.Name = "Soft Honey";
        horse.Sex = core::kFemale;
        horse.Colour = 130;
        horse.Speed = 40;
        horse.Stamina = 30;
        horse.Confidence = 60;
        horse.MoJo = 4;
        horse.Health = 95;
        horse.HealthMAX = 100;
        game.Money = 10000000;
        form.FillProductTrees();
        form.StableTree->AddNode("MAIR4", horse.Name, 30);
        form.StableTree->ClickNode("MAIR4");
        form.BringToFront(Panel::Drugs);
        form.show();
    }

    core::HorseRec& Horse() { return game.OwnedHorse[4]; }
    std::string Notice() const { return form.Notice->text().toStdString(); }

    ScriptedRandom* rnd;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    shell::StablePanel* stable = new shell::StablePanel(form);  // the stable card
    development::DrugsScreen* shop = new development::DrugsScreen(form);
};

TEST_F(DrugsScreenTest, QuantityBoxesCorrectThemselvesAsTheyChange) {
    const std::tuple<QLineEdit*, const char*, const char*> cases[] = {
        {shop->Text6, "11", "10"},  {shop->Text6, "0", "1"},     {shop->Text6, "abc", "1"},
        {shop->Text6, "2.5", "2.5"}, {shop->Text6, "10.5", "10"}, {shop->Text6, "", "1"},
        {shop->Text6, "-4", "1"},   {shop->Text7, "6", "5"},     {shop->Text7, "5", "5"},
        {shop->Text7, "abc", "1"},
    };
    for (const auto& [box, typed, shown] : cases) {
        box->setText(QString::fromLatin1(typed));
        EXPECT_EQ(box->text(), shown) << box->objectName().toStdString() << " " << typed;
    }
    // Typed key by key, each change is checked as it comes.
    shop->Text6->clear();
    QTest::keyClicks(shop->Text6, "12");
    EXPECT_EQ(shop->Text6->text(), "10");
    shop->Text7->selectAll();
    QTest::keyClicks(shop->Text7, "4.5");
    EXPECT_EQ(shop->Text7->text(), "4.5");
}

TEST_F(DrugsScreenTest, ClickingAProductQuotesItsPriceInItsShop) {
    shop->Text6->setText("2");
    shop->Text7->setText("2");
    form.legal->ClickNode("STAM1");
    EXPECT_EQ(shop->Text5->text(), QString::fromUtf8("\u00A3126,000"));
    form.illegal->ClickNode("STAM1");
    EXPECT_EQ(shop->Text4->text(), QString::fromUtf8("\u00A3162,000"));
    shop->Text6->setText("3");
    EXPECT_EQ(shop->Text5->text(), QString::fromUtf8("\u00A3126,000"));  // until clicked again
    form.legal->ClickNode("VIAGRA");
    EXPECT_EQ(shop->Text5->text(), QString::fromUtf8("\u00A360,000"));
    form.legal->ClickNode("HEALTH");
    EXPECT_EQ(shop->Text5->text(), QString::fromUtf8("\u00A345,000"));
    form.StableTree->ClearSelection();
    form.legal->ClickNode("SPEED1");
    EXPECT_EQ(shop->Text5->text(), QString::fromUtf8("\u00A345,000"));
}

TEST_F(DrugsScreenTest, BuyingAtThePharmacyRaisesTheHorse) {
    QTest::mouseClick(shop->Command18, Qt::LeftButton);
    EXPECT_EQ(Notice(), "You must select a product to buy!");
    form.legal->ClickNode("HEALTH");
    shop->Text6->setText("3");
    rnd->Push(0.0f);  // the new price
    QTest::mouseClick(shop->Command18, Qt::LeftButton);
    EXPECT_EQ(Notice(), "Horse stats improved by 3!");
    EXPECT_EQ(Horse().Health, 98);
    EXPECT_EQ(game.Money, 10000000 - 45000);
    EXPECT_EQ(rnd->Remaining(), 0u);
    EXPECT_TRUE(form.Text1->toPlainText().contains("\nHealth: 98%\n"));  // the card follows its horse
}

TEST_F(DrugsScreenTest, TheStableCardShowsTheRatingsADrugGave) {
    ASSERT_TRUE(form.Text1->toPlainText().contains("\nSpeed Rating: 40%\n"));
    form.illegal->ClickNode("SPEED1");
    rnd->Push({0.5f, 0.0f, 0.9f});  // gain 2, price, not caught
    QTest::mouseClick(shop->Command12, Qt::LeftButton);
    ASSERT_EQ(Horse().Speed, 42);
    EXPECT_TRUE(form.Text1->toPlainText().contains("\nSpeed Rating: 42%\n"));
    EXPECT_EQ(form.FemalePart->text(), "Soft Honey");
}

TEST_F(DrugsScreenTest, CaughtByThePoliceTheHorseGoesToTheMarketAndNothingStaysSelected) {
    form.illegal->ClickNode("SPEED1");
    rnd->Push({0.5f, 0.0f, 0.05f});  // gain 2, price, caught
    QTest::mouseClick(shop->Command12, Qt::LeftButton);
    EXPECT_EQ(Notice(), development::kCaughtByPolice);
    EXPECT_FALSE(form.StableTree->HasNode("MAIR4"));
    EXPECT_FALSE(core::HasSelectedNode(*form.StableTree));
    EXPECT_TRUE(form.MarketTree->HasNode("MAIR0"));
    EXPECT_EQ(game.MarketHorse[0].Speed, 42);
    EXPECT_EQ(form.FrontPanel(), Panel::Drugs);
    EXPECT_EQ(form.Text1->toPlainText(), "");  // the card and the mare's box let go of her
    EXPECT_EQ(form.FemalePart->text(), "");

    // The shop stays in front; buying again has no horse to act on.
    const double money = game.Money;
    form.Notice->clear();
    QTest::mouseClick(shop->Command12, Qt::LeftButton);
    QTest::mouseClick(shop->Command18, Qt::LeftButton);
    form.illegal->ClickNode("STAM1");
    EXPECT_EQ(game.Money, money);
    EXPECT_TRUE(form.Notice->text().isEmpty());
    EXPECT_EQ(rnd->Remaining(), 0u);
}

TEST_F(DrugsScreenTest, TheQuantityCaptionsPassTheFocusOn) {
    QApplication::setActiveWindow(&form);
    shop->Text11->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(shop->Text6->hasFocus());
    // Passed over, the caption is not left looking selected.
    EXPECT_FALSE(shop->Text11->hasSelectedText());
    shop->Text12->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(shop->Text7->hasFocus());
    EXPECT_FALSE(shop->Text12->hasSelectedText());
}

TEST_F(DrugsScreenTest, PictureOfTheShop) {
    form.PaintBackgrounds();
    form.legal->ClickNode("STAM2");
    form.illegal->ClickNode("SPEED1");
    testing_support::SaveScreenshot(form, "drugs-shop");
    EXPECT_EQ(shop->Label22->text(), "Pharmacy:");
    EXPECT_EQ(shop->Label23->text(), "Drug Dealer:");
    EXPECT_EQ(form.legal->Count(), 5);
    EXPECT_EQ(form.illegal->Count(), 2);
}

}  // namespace
