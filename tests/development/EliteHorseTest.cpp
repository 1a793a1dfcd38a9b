#include <gtest/gtest.h>

#include "core/Game.h"
#include "core/Horses.h"
#include "development/EliteHorse.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using development::CreateEliteHorse;
using development::CreateResult;
using development::EliteDesign;
using testing_support::MemoryTree;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;

class EliteHorseTest : public ::testing::Test {
protected:
    core::GameState game;
    RecordingNotices notices;
    MemoryTree stable;
    ScriptedRandom rnd;

    static EliteDesign Design(std::string name, std::string key) {
        EliteDesign design;
        design.name = std::move(name);
        design.appearanceKey = std::move(key);
        return design;
    }
    int HorsesInStable() const {
        int count = 0;
        for (const auto& horse : game.OwnedHorse) count += horse.IsFree() ? 0 : 1;
        return count;
    }
};

TEST_F(EliteHorseTest, EveryFieldComesFromTheDesignAndTheDrawsInTheirOrder) {
    EliteDesign design = Design("golden BOLT", "K107");
    design.sexChoice = 1;
    design.speed = 300;
    design.stamina = 130;
    design.start = 70;
    design.end = 30;
    rnd.Push({ScriptedRandom::For(417, 1000),   // the father's tube
              ScriptedRandom::For(83, 1000),    // the mother's tube
              0.25f});                          // the price: k = 26

    const auto outcome = CreateEliteHorse(game, notices, stable, design, rnd);

    ASSERT_EQ(outcome.result, CreateResult::Created);
    EXPECT_EQ(outcome.slot, 0);
    EXPECT_EQ(rnd.Used(), 3u);
    const core::HorseRec& horse = game.OwnedHorse[0];
    EXPECT_EQ(horse.Name, "Golden Bolt");
    EXPECT_EQ(horse.Confidence, 50);
    EXPECT_EQ(horse.Father, "Tube No.417");
    EXPECT_EQ(horse.Mother, "Tube No.83");
    EXPECT_EQ(horse.MoJo, 10);
    EXPECT_EQ(horse.Sex, core::kFemale);
    EXPECT_EQ(horse.Colour, 107);
    EXPECT_EQ(horse.Speed, 300);
    EXPECT_EQ(horse.Stamina, 130);
    EXPECT_EQ(horse.Start, 70);
    EXPECT_EQ(horse.End, 30);
    EXPECT_EQ(horse.Health, 200);
    EXPECT_EQ(horse.HealthMAX, 200);
    EXPECT_EQ(horse.OddsLeft, 1);  // rating (300 + 130 + 50) / 3 = 160: the top band
    EXPECT_EQ(horse.OddsRight, 2);
    EXPECT_DOUBLE_EQ(horse.RRP, 26.0 * 480 * 480);
    EXPECT_EQ(horse.RaceBonus, 0);

    ASSERT_EQ(stable.nodes.size(), 1u);
    EXPECT_EQ(stable.nodes[0].key, "MAIR0");
    EXPECT_EQ(stable.nodes[0].text, "Golden Bolt");
    EXPECT_EQ(stable.nodes[0].image, 7);
    EXPECT_TRUE(notices.shown.empty());
}

TEST_F(EliteHorseTest, OddsAreRatedWithAConfidenceOfFifty) {
    struct Case {
        int speed, stamina;
        core::Odds odds;
    };
    const Case cases[] = {
        {215, 215, {1, 2}},  // 480 / 3 = 160
        {0, 0, {25, 1}},     // 50 / 3 = 16.7 -> 17
        {40, 35, {6, 1}},    // 125 / 3 = 41.7 -> 42, not 41 (13/2)
        {60, 49, {15, 4}},   // 159 / 3 = 53
        {5, 0, {20, 1}},     // 55 / 3 = 18.3 -> 18
    };
    for (const auto& c : cases) {
        EliteDesign design = Design("Canterloo", "K101");
        design.speed = c.speed;
        design.stamina = c.stamina;
        ScriptedRandom draws{0.5f, 0.5f, 0.5f};
        const core::HorseRec horse = development::MakeEliteHorse(design, draws);
        EXPECT_EQ((core::Odds{horse.OddsLeft, horse.OddsRight}), c.odds) << c.speed << "/" << c.stamina;
    }
}

TEST_F(EliteHorseTest, GoesIntoTheLowestFreeSlotAsAStallionByDefault) {
    for (int slot : {0, 1, 3}) game.OwnedHorse[static_cast<std::size_t>(slot)].Name = "Taken";
    rnd.Push({0.0f, 0.9999f, 0.0f});

    const auto outcome = CreateEliteHorse(game, notices, stable, Design("canterloo", "K145"), rnd);

    ASSERT_EQ(outcome.result, CreateResult::Created);
    EXPECT_EQ(outcome.slot, 2);
    const core::HorseRec& horse = game.OwnedHorse[2];
    EXPECT_EQ(horse.Name, "Canterloo");
    EXPECT_EQ(horse.Sex, core::kMale);
    EXPECT_EQ(horse.Colour, 145);
    EXPECT_EQ(horse.Father, "Tube No.0");
    EXPECT_EQ(horse.Mother, "Tube No.1000");
    EXPECT_EQ(horse.Speed, 215);
    EXPECT_EQ(horse.Stamina, 215);
    EXPECT_EQ(horse.Start, 50);
    EXPECT_EQ(horse.End, 50);
    EXPECT_DOUBLE_EQ(horse.RRP, 1.0 * 480 * 480);  // k = Round(0) + 1
    ASSERT_EQ(stable.nodes.size(), 1u);
    EXPECT_EQ(stable.nodes[0].key, "STUD2");
    EXPECT_EQ(stable.nodes[0].image, 45);
    EXPECT_EQ(game.OwnedHorse[3].Name, "Taken");
}

TEST_F(EliteHorseTest, NothingHappensWithoutANameOrAnAppearance) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "K101"},        {"   ", "K101"},         {"Canterloo", ""},      {"Canterloo", "K100"},
        {"Canterloo", "K146"}, {"Canterloo", "STUD0"}, {"Canterloo", "K"},    {"Canterloo", "K10x"},
    };
    for (const auto& [name, key] : cases) {
        const auto outcome = CreateEliteHorse(game, notices, stable, Design(name, key), rnd);
        EXPECT_EQ(outcome.result, CreateResult::Ignored) << "'" << name << "' " << key;
    }
    EXPECT_EQ(rnd.Used(), 0u);
    EXPECT_EQ(HorsesInStable(), 0);
    EXPECT_TRUE(stable.nodes.empty());
    EXPECT_TRUE(notices.shown.empty());
}

TEST_F(EliteHorseTest, AFullStableIsRefusedWithANoticeAndNothingDrawn) {
    for (auto& horse : game.OwnedHorse) horse.Name = "Taken";
    const auto outcome = CreateEliteHorse(game, notices, stable, Design("Canterloo", "K101"), rnd);
    EXPECT_EQ(outcome.result, CreateResult::StableFull);
    EXPECT_EQ(notices.shown, std::vector<std::string>{development::kStableFullForElite});
    EXPECT_EQ(rnd.Used(), 0u);
    EXPECT_TRUE(stable.nodes.empty());
    EXPECT_EQ(game.OwnedHorse[1000].Name, "Taken");

    // Once a slot is free the same design goes in.
    game.OwnedHorse[1000].Name.clear();
    rnd.Push({0.5f, 0.5f, 0.5f});
    const auto retried = CreateEliteHorse(game, notices, stable, Design("Canterloo", "K101"), rnd);
    EXPECT_EQ(retried.result, CreateResult::Created);
    EXPECT_EQ(retried.slot, 1000);
    EXPECT_EQ(stable.nodes.at(0).key, "STUD1000");
}

TEST(Appearances, KeysTextsAndCoats) {
    EXPECT_EQ(development::AppearanceKey(101), "K101");
    EXPECT_EQ(development::AppearanceText(101), "Horse Mask No.1");
    EXPECT_EQ(development::AppearanceKey(145), "K145");
    EXPECT_EQ(development::AppearanceText(145), "Horse Mask No.45");
    EXPECT_EQ(development::CoatOfAppearance("K101"), 101);
    EXPECT_EQ(development::CoatOfAppearance("K145"), 145);
    EXPECT_EQ(development::CoatOfAppearance("K99"), std::nullopt);
    EXPECT_EQ(development::CoatOfAppearance("k101"), std::nullopt);
    EXPECT_EQ(development::CoatOfAppearance("K+101"), std::nullopt);
}

}  // namespace
