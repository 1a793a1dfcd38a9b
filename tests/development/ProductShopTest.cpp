#include <gtest/gtest.h>

#include "development/ProductShop.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using core::Shop;
using development::BuyProduct;
using development::PurchaseResult;
using testing_support::MemoryTree;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;

TEST(QuantityBox, KeepsTheQuantityInRange) {
    struct Case {
        const char* text;
        int limit;
        std::optional<std::string> becomes;
    };
    const Case cases[] = {
        {"1", 10, std::nullopt},   {"10", 10, std::nullopt}, {"11", 10, "10"},  {"0", 10, "1"},
        {"-3", 10, "1"},           {"abc", 10, "1"},         {"", 10, "1"},     {"2.5", 10, std::nullopt},
        {"10.5", 10, "10"},        {"0.4", 10, "1"},         {"1,5", 10, "1"},  {"99999999999", 10, "1"},
        {" 7 ", 10, std::nullopt}, {"5", 5, std::nullopt},   {"6", 5, "5"},     {"1e1", 5, "5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(development::CorrectedQuantity(c.text, c.limit), c.becomes) << '"' << c.text << '"';
        // The corrected text is left alone when the change comes round again.
        if (c.becomes) {
            EXPECT_EQ(development::CorrectedQuantity(*c.becomes, c.limit), std::nullopt);
        }
    }
}

TEST(ProductPrice, EveryProductAtChosenRatings) {
    core::HorseRec horse;
    horse.Stamina = 30;
    horse.Speed = 40;
    horse.MoJo = 4;
    horse.Health = 95;
    horse.HealthMAX = 100;
    const std::tuple<Shop, const char*, double> cases[] = {
        {Shop::Pharmacy, "STAM1", 2.5 * 900 * 70},   {Shop::Pharmacy, "STAM2", 2.5 * 900 * 110},
        {Shop::Pharmacy, "SPEED1", 2.5 * 1600 * 90}, {Shop::Pharmacy, "VIAGRA", 50000},
        {Shop::Pharmacy, "HEALTH", 2.5 * 6 * 2500},  {Shop::Dealer, "STAM1", 2.5 * 900 * 90},
        {Shop::Dealer, "SPEED1", 2.5 * 1600 * 125},
    };
    for (const auto& [shop, key, price] : cases) {
        const core::Product* product = development::FindProduct(shop, key);
        ASSERT_NE(product, nullptr) << key;
        EXPECT_EQ(development::ProductPrice(*product, horse, 2.5), price) << key;
    }
    EXPECT_EQ(development::FindProduct(Shop::Dealer, "VIAGRA"), nullptr);
    EXPECT_EQ(development::FindProduct(Shop::Dealer, "STAM1")->text, "Adrenaline Shots");
    EXPECT_EQ(development::FindProduct(Shop::Pharmacy, "STAM1")->text, "Stamo-matic");
}

// One stable horse in slot 4 (a mare), selected; five market horses.
class ShopTest : public ::testing::Test {
protected:
    ShopTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        core::HorseRec& h = Horse();
        h.Name = "Soft Honey";
        h.Sex = core::kFemale;
        h.Colour = 130;
        h.Speed = 40;
        h.Stamina = 30;
        h.Confidence = 60;
        h.MoJo = 4;
        h.Health = 95;
        h.HealthMAX = 100;
        h.Start = 40;
        h.End = 60;
        stable.AddNode("MAIR4", h.Name, 30);
        stable.Select("MAIR4");
        for (int i = 0; i < 5; ++i) game.MarketHorse[static_cast<std::size_t>(i)].Name = "For Sale";
        game.Money = 10000000;
    }

    core::HorseRec& Horse() { return game.OwnedHorse[4]; }

    development::Purchase Buy(Shop shop, const char* product, const char* quantity) {
        MemoryTree& tree = shop == Shop::Pharmacy ? legal : illegal;
        tree.Select(product);
        return BuyProduct(game, notices, stable, market, tree, shop, quantity);
    }

    ScriptedRandom* rnd;
    core::Game game;
    RecordingNotices notices;
    MemoryTree stable, market, legal, illegal;
};

TEST_F(ShopTest, UnitGainsRoundAsTheyGoAndTiesGoToEven) {
    struct GainCase {
        Shop shop;
        const char* key;
        int stat;  // the stat the product raises, before the purchase
        const char* quantity;
        std::vector<float> draws;  // one per whole unit
        int gain;
        double priceFactor;  // per stat squared
    };
    // With stat + 1 equal to the product's A, each unit adds exactly its draw.
    const GainCase cases[] = {
        {Shop::Pharmacy, "STAM1", 149, "3", {0.5f, 0.75f, 0.5f}, 2, 70},   // 0.5 -> 0, 0.75 -> 1, 1.5 -> 2
        {Shop::Pharmacy, "STAM2", 199, "2.5", {0.5f, 0.5f}, 0, 110},  // two units for 2.5
        {Shop::Pharmacy, "SPEED1", 149, "10", std::vector<float>(10, 0.999f), 10, 90},
        {Shop::Dealer, "STAM1", 249, "1", {0.5f}, 0, 90},
        {Shop::Dealer, "SPEED1", 199, "5", {0.6f, 0.6f, 0.6f, 0.6f, 0.6f}, 5, 125},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const bool stamina = std::string(c.key).starts_with("STAM");
        Horse().Stamina = stamina ? c.stat : 30;
        Horse().Speed = stamina ? 40 : c.stat;
        game.Money = 1e9;
        const double money = game.Money;
        for (float d : c.draws) rnd->Push(d);
        rnd->Push(0.0f);                     // the new price
        if (c.shop == Shop::Dealer) rnd->Push(0.9f);  // the police look away
        const auto bought = Buy(c.shop, c.key, c.quantity);
        EXPECT_EQ(bought.result, PurchaseResult::Improved);
        EXPECT_EQ(bought.gain, c.gain);
        EXPECT_EQ(rnd->Remaining(), 0u);
        EXPECT_EQ(stamina ? Horse().Stamina : Horse().Speed, c.stat + c.gain);
        const double q = *runtime::ParseNumber(c.quantity);
        EXPECT_EQ(money - game.Money, q * c.stat * c.stat * c.priceFactor);
        EXPECT_EQ(notices.Last(), "Horse stats improved by " + std::to_string(c.gain) + "!");
        const double s = Horse().Speed + Horse().Stamina + Horse().Confidence;
        EXPECT_EQ(Horse().RRP, s * s);
    }
}

TEST_F(ShopTest, ViagraAndFirstAid) {
    struct Case {
        const char* what;
        int mojo, health, healthMax;
        const char* product;
        const char* quantity;
        double price;
        int gain;
        int mojoAfter, healthAfter;
    };
    const Case cases[] = {
        {"no MoJo, 7 units", 0, 95, 100, "VIAGRA", "7", 700000, 0, 0, 95},
        {"no MoJo, 8 units", 0, 95, 100, "VIAGRA", "8", 800000, 1, 1, 95},
        {"MoJo 29", 29, 95, 100, "VIAGRA", "1", 3333, 2, 31, 95},
        {"2.5 units in price and effect", 4, 95, 100, "VIAGRA", "2.5", 50000, 1, 5, 95},
        {"MoJo near the limit", INT32_MAX - 5, 95, 100, "VIAGRA", "10", 0, 5, INT32_MAX, 95},
        {"MoJo below zero", -7, 95, 100, "VIAGRA", "3", 300000, 0, -7, 95},
        {"three units", 4, 95, 100, "HEALTH", "3", 3 * 6 * 2500, 3, 4, 98},
        {"more than is missing", 4, 95, 100, "HEALTH", "10", 10 * 6 * 2500, 5, 4, 100},
        {"2.5 units", 4, 95, 100, "HEALTH", "2.5", 2.5 * 6 * 2500, 2, 4, 98},
        {"full health", 4, 100, 100, "HEALTH", "1", 2500, 0, 4, 100},
        {"above the maximum", 4, 120, 100, "HEALTH", "2", 5000, 0, 4, 120},
    };
    rnd->RepeatWhenEmpty(0.0f);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Horse().MoJo = c.mojo;
        Horse().Health = c.health;
        Horse().HealthMAX = c.healthMax;
        const double money = game.Money;
        const auto bought = Buy(Shop::Pharmacy, c.product, c.quantity);
        EXPECT_EQ(bought.result, PurchaseResult::Improved);
        EXPECT_EQ(money - game.Money, c.price);
        EXPECT_EQ(bought.gain, c.gain);
        EXPECT_EQ(Horse().MoJo, c.mojoAfter);
        EXPECT_EQ(Horse().Health, c.healthAfter);
    }
}

TEST_F(ShopTest, RefusalsInOrderChargeNothingAndCallNoPolice) {
    struct Case {
        const char* what;
        Shop shop;
        const char* product;  // "" selects nothing
        const char* quantity;
        int stamina, speed;
        double money;
        PurchaseResult result;
        const char* notice;
    };
    const Case cases[] = {
        {"no product", Shop::Dealer, "", "1", 30, 40, 1e7, PurchaseResult::NoProduct,
         "You must select a product to buy!"},
        {"too many at the dealer", Shop::Dealer, "STAM1", "6", 30, 40, 1e7, PurchaseResult::TooMany,
         "Your Horse cannot consume that many drugs in one sitting!!!"},
        {"too many and too weak", Shop::Pharmacy, "STAM1", "11", 5, 40, 1e7, PurchaseResult::TooMany,
         "Your Horse cannot consume that many drugs in one sitting!!!"},
        {"none", Shop::Pharmacy, "HEALTH", "0.5", 30, 40, 1e7, PurchaseResult::TooFew,
         "You must buy at least 1 of those products!"},
        {"not a number", Shop::Pharmacy, "HEALTH", "abc", 30, 40, 1e7, PurchaseResult::TooFew,
         "You must buy at least 1 of those products!"},
        {"stamina 19", Shop::Pharmacy, "STAM2", "1", 19, 40, 1e7, PurchaseResult::TooWeak,
         development::kTooWeakForDrugs},
        {"speed 19 at the dealer", Shop::Dealer, "SPEED1", "1", 30, 19, 1e7, PurchaseResult::TooWeak,
         development::kTooWeakForDrugs},
        {"too little money", Shop::Dealer, "SPEED1", "1", 30, 40, 100, PurchaseResult::NotEnoughMoney,
         "You do not have enough money to do that!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Horse().Stamina = c.stamina;
        Horse().Speed = c.speed;
        game.Money = c.money;
        const core::HorseRec before = Horse();
        notices.shown.clear();
        if (std::string(c.product).empty()) (c.shop == Shop::Pharmacy ? legal : illegal).ClearSelection();
        const auto bought = std::string(c.product).empty()
                                ? BuyProduct(game, notices, stable, market, illegal, c.shop, c.quantity)
                                : Buy(c.shop, c.product, c.quantity);
        EXPECT_EQ(bought.result, c.result);
        EXPECT_EQ(notices.shown, std::vector<std::string>{c.notice});
        EXPECT_EQ(Horse(), before);
        EXPECT_EQ(game.Money, c.money);
        EXPECT_EQ(rnd->Used(), 0u);
    }
}

TEST_F(ShopTest, TheWeakLimitIs20AndViagraHasNone) {
    Horse().Stamina = 20;
    Horse().Speed = 0;
    rnd->RepeatWhenEmpty(0.0f);
    EXPECT_EQ(Buy(Shop::Pharmacy, "STAM1", "1").result, PurchaseResult::Improved);
    EXPECT_EQ(Buy(Shop::Pharmacy, "VIAGRA", "1").result, PurchaseResult::Improved);
    EXPECT_EQ(Buy(Shop::Pharmacy, "SPEED1", "1").result, PurchaseResult::TooWeak);
}

TEST_F(ShopTest, WithoutAStableHorseNothingHappens) {
    stable.ClearSelection();
    EXPECT_EQ(Buy(Shop::Pharmacy, "HEALTH", "1").result, PurchaseResult::NoHorse);
    stable.Select("MAIR9");  // a node whose slot is empty
    EXPECT_EQ(Buy(Shop::Pharmacy, "HEALTH", "1").result, PurchaseResult::NoHorse);
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_EQ(game.Money, 1e7);
    EXPECT_EQ(development::QuoteProduct(game, stable, Shop::Pharmacy, "HEALTH", "1"), std::nullopt);
}

TEST_F(ShopTest, QuoteUsesTheShopsOwnProduct) {
    EXPECT_EQ(development::QuoteProduct(game, stable, Shop::Pharmacy, "STAM1", "2"), "\xA3" "126,000");
    EXPECT_EQ(development::QuoteProduct(game, stable, Shop::Dealer, "STAM1", "2"), "\xA3" "162,000");
    EXPECT_EQ(development::QuoteProduct(game, stable, Shop::Dealer, "HEALTH", "2"), std::nullopt);
}

TEST_F(ShopTest, ThePoliceDrawIsSinglePrecisionAtItsEdge) {
    // 0.055f * 100 is 5.5 in single precision, which rounds to 6; the same
    // product in double precision would be 5.4999... and caught.
    ASSERT_EQ(runtime::Round(static_cast<double>(0.055f) * 100.0), 5);
    const std::pair<float, bool> cases[] = {
        {0.0f, true}, {0.05f, true}, {0.054f, true}, {0.055f, false}, {0.06f, false}, {0.9f, false},
    };
    for (const auto& [draw, caught] : cases) {
        Horse().Stamina = 30;
        rnd->Push({0.0f, 0.0f, draw});  // one unit, the price, the police
        const auto bought = Buy(Shop::Dealer, "STAM1", "1");
        EXPECT_EQ(bought.result, caught ? PurchaseResult::Caught : PurchaseResult::Improved) << draw;
        if (caught) {
            // Put her back for the next case.
            game.OwnedHorse[4] = game.MarketHorse[5];
            core::ClearHorse(game.MarketHorse[5]);
            market.Clear();
            stable.AddNode("MAIR4", "Soft Honey", 30);
            stable.Select("MAIR4");
        }
    }
}

TEST_F(ShopTest, ACaughtHorseGoesToTheMarketWithItsRaisedStat) {
    Horse().Stamina = 249;
    rnd->Push({0.999f, 0.5f, 0.04f});  // gain 1; price factor 51; caught
    notices.shown.clear();
    const auto bought = Buy(Shop::Dealer, "STAM1", "1");
    EXPECT_EQ(bought.result, PurchaseResult::Caught);
    EXPECT_EQ(notices.shown, std::vector<std::string>{development::kCaughtByPolice});
    const core::HorseRec& taken = game.MarketHorse[5];
    EXPECT_EQ(taken.Name, "Soft Honey");
    EXPECT_EQ(taken.Stamina, 250);
    const double s = 40 + 250 + 60;
    EXPECT_EQ(taken.RRP, 49 * s * s);  // Round(0.95 * 100 * 0.5) + 1 = 49
    const auto* node = market.Find("MAIR5");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text, "Soft Honey");
    EXPECT_EQ(node->image, 30);
    EXPECT_FALSE(stable.HasNode("MAIR4"));
    EXPECT_FALSE(core::HasSelectedNode(stable));
    const core::HorseRec& left = game.OwnedHorse[4];
    EXPECT_TRUE(left.IsFree());
    EXPECT_EQ(left.Stamina, 0);
    EXPECT_EQ(left.HealthMAX, 0);
    EXPECT_EQ(left.Confidence, 60);  // as it always was: these two stay behind
    EXPECT_EQ(left.MoJo, 4);
    // The shop stays open, but there is no horse to dose any more.
    EXPECT_EQ(Buy(Shop::Dealer, "STAM1", "1").result, PurchaseResult::NoHorse);
}

TEST_F(ShopTest, AFullMarketLeavesTheCaughtHorseInTheStable) {
    for (auto& horse : game.MarketHorse) horse.Name = "For Sale";
    rnd->Push({0.5f, 0.0f, 0.0f});
    const auto bought = Buy(Shop::Dealer, "SPEED1", "1");
    EXPECT_EQ(bought.result, PurchaseResult::Improved);
    EXPECT_EQ(Horse().Name, "Soft Honey");
    EXPECT_TRUE(stable.HasNode("MAIR4"));
    EXPECT_EQ(notices.Last(), "Horse stats improved by 2!");  // Round(0.5 * 200 / 41)
}

}  // namespace
