#include <gtest/gtest.h>

#include "core/Money.h"
#include "core/Stable.h"
#include "core/TreeKeys.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using core::HorseRec;
using testing_support::MemoryTree;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;

HorseRec Horse(const std::string& name, int sex, double price) {
    HorseRec h;
    h.Name = name;
    h.Sex = sex;
    h.Speed = 80, h.Stamina = 70, h.Confidence = 60;
    h.Health = 150, h.HealthMAX = 200;
    h.MoJo = 12;
    h.Start = 30, h.End = 70;
    h.Colour = 123;
    h.OddsLeft = 5, h.OddsRight = 2;
    h.RRP = price;
    h.Mother = "Soft Honey", h.Father = "???";
    return h;
}

TEST(StableCards, ShowTheHorseLineByLine) {
    const HorseRec h = Horse("Happy Beauty", core::kMale, 1234567);
    EXPECT_EQ(core::StableCard(h, true),
              "Name: Happy Beauty\r\nSex: MALE\r\nSpeed Rating: 80%\r\nStamina Rating: 70%\r\n"
              "Confidence Rating: 60%\r\nHealth: 75%\r\nMoJo Score: 12\r\nPace Style: Strong Finish\r\n"
              "Mother: Soft Honey\r\nFather: ???\r\nRRP: \xA3" "1,234,567\r\n");
    EXPECT_EQ(core::MarketCard(h, false),
              "Name: Happy Beauty\r\nSex: FEMALE\r\nSpeed Rating: 80%\r\nStamina Rating: 70%\r\n"
              "MoJo Score: 12\r\n\r\nPrice: \xA3" "1,234,567\r\n");
}

TEST(StableCards, TheLanPlayerCardNamesThePlayerFirst) {
    HorseRec h = Horse("Happy Beauty", core::kFemale, 1);
    EXPECT_EQ(core::LanPlayerCard("bob", h),
              "Player: bob\r\n\r\nName: Happy Beauty\r\nSex: FEMALE\r\nSpeed Rating: 80%\r\n"
              "Stamina Rating: 70%\r\nConfidence Rating: 60%\r\nMoJo Score: 12\r\nMother: Soft Honey\r\n"
              "Father: ???\r\n");
    h.Sex = 3;
    EXPECT_EQ(core::LanPlayerCard("bob", h), std::nullopt);
}

TEST(StableCards, HealthGoesToTheNearestWholePercentHalvesToEven) {
    const std::tuple<int, int, const char*> cases[] = {
        {1, 8, "Health: 12%"},     // 12.5
        {3, 8, "Health: 38%"},     // 37.5
        {200, 200, "Health: 100%"},
        {5, 0, "Health: 0%"},      // no usable maximum
    };
    for (const auto& [health, max, line] : cases) {
        HorseRec h = Horse("A", core::kMale, 1);
        h.Health = health, h.HealthMAX = max;
        EXPECT_NE(core::StableCard(h, true).find(std::string(line) + "\r\n"), std::string::npos) << line;
    }
}

class StableTest : public ::testing::Test {
protected:
    void PutInMarket(int slot, const HorseRec& h) {
        game.MarketHorse[static_cast<std::size_t>(slot)] = h;
        market.AddNode(core::HorseKey(h, slot), h.Name, h.Colour - 100);
    }
    void PutInStable(int slot, const HorseRec& h) {
        game.OwnedHorse[static_cast<std::size_t>(slot)] = h;
        stable.AddNode(core::HorseKey(h, slot), h.Name, h.Colour - 100);
    }
    std::optional<int> Buy() { return core::BuyHorse(game, rnd, notices, market, stable); }
    std::optional<int> Sell() { return core::SellHorse(game, rnd, notices, stable, market); }

    core::GameState game;
    ScriptedRandom rnd;
    RecordingNotices notices;
    MemoryTree stable;
    MemoryTree market;
};

TEST_F(StableTest, AClickNamesTheCardAndTheBreedingBox) {
    PutInStable(4, Horse("Big Sky", core::kMale, 10));
    PutInStable(9, Horse("Soft Honey", core::kFemale, 10));
    const auto stallion = core::SelectStableHorse(game, "STUD4");
    ASSERT_TRUE(stallion);
    EXPECT_TRUE(stallion->Stallion);
    EXPECT_EQ(stallion->Name, "Big Sky");
    EXPECT_EQ(stallion->Slot, "4");
    EXPECT_EQ(stallion->Card, core::StableCard(game.OwnedHorse[4], true));
    const auto mare = core::SelectStableHorse(game, "MAIR9");
    ASSERT_TRUE(mare);
    EXPECT_FALSE(mare->Stallion);
    EXPECT_EQ(mare->Slot, "9");
    // the key's prefix, not the record, decides the sex line
    EXPECT_NE(core::SelectStableHorse(game, "MAIR4")->Card.find("Sex: FEMALE"), std::string::npos);
    for (const char* key : {"", "STUD", "STUD5", "HORS4", "STUD4x", "STUD1001", "STUD-1"}) {
        EXPECT_EQ(core::SelectStableHorse(game, key), std::nullopt) << key;
    }
    PutInMarket(7, Horse("Dark Star", core::kMale, 99));
    EXPECT_EQ(core::SelectMarketHorse(game, "STUD7"), core::MarketCard(game.MarketHorse[7], true));
    EXPECT_EQ(core::SelectMarketHorse(game, "STUD4"), std::nullopt);
}

TEST_F(StableTest, BuyingMovesTheHorseIntoTheLowestFreeSlotAtAFreshValuation) {
    game.Money = 1000;
    PutInMarket(7, Horse("Big Sky", core::kMale, 600));
    market.Select("STUD7");
    rnd.Push(0.5f);  // the stable valuation: (Round(0.75 * 100 * 0.5) + 1) * 210^2 = (38 + 1) * 44100
    EXPECT_EQ(Buy(), 0);
    EXPECT_EQ(game.Money, 400);
    const HorseRec& bought = game.OwnedHorse[0];
    EXPECT_EQ(bought.Name, "Big Sky");
    EXPECT_EQ(bought.RRP, 39.0 * 44100);
    ASSERT_NE(stable.Find("STUD0"), nullptr);
    EXPECT_EQ(stable.Find("STUD0")->text, "Big Sky");
    EXPECT_EQ(stable.Find("STUD0")->image, 23);
    EXPECT_FALSE(market.HasNode("STUD7"));
    EXPECT_TRUE(game.MarketHorse[7].IsFree());
    EXPECT_EQ(game.MarketHorse[7].RRP, 0);
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_EQ(market.SelectedKey(), "");
    EXPECT_EQ(Buy(), std::nullopt);  // nothing selected any more: a second click buys nothing
}

TEST_F(StableTest, ASoldSlotIsTheNextOneFilled) {
    game.Money = 1e9;
    for (int slot = 0; slot < 5; ++slot) PutInStable(slot, Horse("Own " + std::to_string(slot), core::kFemale, 100));
    stable.Select("MAIR2");
    rnd.Push(0.0f);
    EXPECT_EQ(Sell(), 2);
    PutInMarket(30, Horse("New One", core::kMale, 10));
    market.Select("STUD30");
    rnd.Push(0.0f);
    EXPECT_EQ(Buy(), 2);
    EXPECT_TRUE(stable.HasNode("STUD2"));
}

TEST_F(StableTest, SellingPaysTheStableValuationAndOffersTheHorseAfresh) {
    game.Money = 100;
    PutInMarket(0, Horse("Market One", core::kMale, 5));
    PutInStable(3, Horse("Soft Honey", core::kFemale, 2500));
    stable.Select("MAIR3");
    rnd.Push(0.0f);  // the market price: (0 + 1) * 210^2
    EXPECT_EQ(Sell(), 3);
    EXPECT_EQ(game.Money, 2600);
    EXPECT_EQ(notices.shown, std::vector<std::string>{"Your horse sold for \xA3" "2,500"});
    const HorseRec& offered = game.MarketHorse[1];
    EXPECT_EQ(offered.Name, "Soft Honey");
    EXPECT_EQ(offered.RRP, 44100);
    ASSERT_NE(market.Find("MAIR1"), nullptr);
    EXPECT_EQ(market.Find("MAIR1")->image, 23);
    EXPECT_FALSE(stable.HasNode("MAIR3"));
    EXPECT_TRUE(game.OwnedHorse[3].IsFree());
    EXPECT_EQ(stable.SelectedKey(), "");
    EXPECT_EQ(Sell(), std::nullopt);

    // bought straight back: it costs its newest valuation and is valued afresh
    game.Money = 50000;
    market.Select("MAIR1");
    rnd.Push(0.5f);
    EXPECT_EQ(Buy(), 0);
    EXPECT_EQ(game.Money, 50000 - 44100);
    EXPECT_EQ(game.OwnedHorse[0].RRP, 39.0 * 44100);
    EXPECT_TRUE(stable.HasNode("MAIR0"));
}

TEST_F(StableTest, NothingSelectedOrNotEnoughMoneyChangesNothing) {
    game.Money = 100;
    PutInMarket(2, Horse("Dear One", core::kFemale, 101));
    EXPECT_EQ(Buy(), std::nullopt);
    EXPECT_EQ(Sell(), std::nullopt);
    EXPECT_TRUE(notices.shown.empty());
    market.Select("MAIR2");
    EXPECT_EQ(Buy(), std::nullopt);
    EXPECT_EQ(notices.shown, std::vector<std::string>{core::kNotEnoughMoney});
    EXPECT_EQ(game.Money, 100);
    EXPECT_TRUE(market.HasNode("MAIR2"));
    EXPECT_TRUE(stable.nodes.empty());
    EXPECT_EQ(rnd.Used(), 0u);
}

TEST_F(StableTest, AFullStableOrMarketIsRefusedBeforeAnythingMoves) {
    game.Money = 1000;
    for (auto& h : game.OwnedHorse) h = Horse("Own", core::kMale, 1);
    for (auto& h : game.MarketHorse) h = Horse("Market", core::kMale, 1);
    market.AddNode("STUD5", "Market", 23);
    stable.AddNode("STUD6", "Own", 23);
    market.Select("STUD5");
    stable.Select("STUD6");
    EXPECT_EQ(Buy(), std::nullopt);
    EXPECT_EQ(Sell(), std::nullopt);
    EXPECT_EQ(notices.shown, (std::vector<std::string>{core::kStableFull, core::kMarketFull}));
    EXPECT_EQ(game.Money, 1000);
    EXPECT_TRUE(market.HasNode("STUD5"));
    EXPECT_TRUE(stable.HasNode("STUD6"));
    EXPECT_EQ(rnd.Used(), 0u);
}

}  // namespace
