#include <gtest/gtest.h>

#include "core/Horses.h"
#include "core/NameTables.h"
#include "runtime/Random.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using core::HorseRec;
using core::Odds;
using testing_support::ScriptedRandom;

TEST(OddsForRating, EveryBandEdge) {
    const std::pair<int, Odds> cases[] = {
        {-7, {100, 1}}, {0, {100, 1}},  {1, {100, 1}},  {2, {80, 1}},   {3, {80, 1}},   {4, {66, 1}},
        {7, {60, 1}},   {8, {50, 1}},   {13, {33, 1}},  {17, {25, 1}},  {20, {16, 1}},  {25, {14, 1}},
        {26, {12, 1}},  {35, {8, 1}},   {36, {7, 1}},   {38, {7, 1}},   {39, {7, 1}},   {40, {13, 2}},
        {45, {11, 2}},  {49, {9, 2}},   {53, {15, 4}},  {54, {40, 11}}, {55, {40, 11}}, {56, {7, 2}},
        {59, {13, 4}},  {61, {3, 1}},   {63, {5, 2}},   {64, {9, 4}},   {67, {2, 1}},   {68, {15, 8}},
        {71, {7, 4}},   {72, {13, 8}},  {74, {6, 4}},   {75, {6, 4}},   {77, {11, 8}},  {78, {5, 4}},
        {80, {10, 9}},  {83, {1, 1}},   {84, {9, 10}},  {87, {4, 5}},   {88, {8, 11}},  {90, {4, 6}},
        {91, {4, 6}},   {92, {8, 13}},  {95, {4, 7}},   {96, {8, 15}},  {97, {8, 15}},  {98, {1, 2}},
        {160, {1, 2}},  {250, {1, 2}},  {2147483647, {1, 2}}, {-2147483647 - 1, {100, 1}},
    };
    for (const auto& [rating, odds] : cases) {
        EXPECT_EQ(core::OddsForRating(rating), odds) << "rating " << rating;
    }
}

TEST(GenerateHorse, FollowsTheDrawOrderAndKeepsTheRaceBonus) {
    ScriptedRandom rnd{
        ScriptedRandom::For(30, 52),    // first word: the second "Happy"
        0.0f,                           // second word: "Beauty"
        0.5f,                           // health 150
        0.75f,                          // above one half: male
        ScriptedRandom::For(120, 135),  // speed 120
        0.8f,                           // stamina 80
        0.1f, 0.2f,                     // coat 10 + 20: too low, drawn again
        0.6f, 0.5f,                     // coat 60 + 50 = 110
        0.9f,                           // confidence 90
        0.7f,                           // start 70, end 30
        0.5f,                           // mojo 15
        0.5f,                           // price: k = 51
    };
    HorseRec horse;
    horse.RaceBonus = 42;
    core::GenerateHorse(horse, rnd);

    EXPECT_EQ(rnd.Used(), 14u);
    EXPECT_EQ(horse.Name, "Happy Beauty");
    EXPECT_EQ(horse.Mother, "???");
    EXPECT_EQ(horse.Father, "???");
    EXPECT_EQ(horse.Health, 150);
    EXPECT_EQ(horse.HealthMAX, 150);
    EXPECT_EQ(horse.Sex, core::kMale);
    EXPECT_EQ(horse.Speed, 120);
    EXPECT_EQ(horse.Stamina, 80);
    EXPECT_EQ(horse.Colour, 110);
    EXPECT_EQ(horse.Confidence, 90);
    EXPECT_EQ(horse.Start, 70);
    EXPECT_EQ(horse.End, 30);
    // Round((120 + 80 + 90) / 3) = 97
    EXPECT_EQ(horse.OddsLeft, 8);
    EXPECT_EQ(horse.OddsRight, 15);
    EXPECT_EQ(horse.MoJo, 15);
    EXPECT_EQ(horse.RRP, 51.0 * 290 * 290);
    EXPECT_EQ(horse.RaceBonus, 42);
}

TEST(GenerateHorse, ExactlyOneHalfIsAMareWithTheMaresRanges) {
    ScriptedRandom rnd{0.0f, 0.0f, 0.0f,
                       0.5f,           // exactly one half rounds to 0: female
                       0.999f, 0.999f, // speed 100 (not 135), stamina 110 (not 100)
                       0.73f, 0.73f,   // coat 73 + 73 = 146: one too many
                       0.5f, 0.95f,    // 50 + 95 = 145
                       0.0f, 0.0f, 0.0f, 0.0f};
    HorseRec horse;
    core::GenerateHorse(horse, rnd);
    EXPECT_EQ(horse.Sex, core::kFemale);
    EXPECT_EQ(horse.Speed, 100);
    EXPECT_EQ(horse.Stamina, 110);
    EXPECT_EQ(horse.Colour, 145);
    EXPECT_EQ(horse.Start, 0);
    EXPECT_EQ(horse.End, 100);
    EXPECT_EQ(horse.Name, "Happy Beauty");
    EXPECT_EQ(rnd.Remaining(), 0u);
}

TEST(GenerateHorse, RandomHorsesStayInTheirRanges) {
    runtime::LcgRandom rnd(4242);
    for (int i = 0; i < 2000; ++i) {
        HorseRec horse;
        core::GenerateHorse(horse, rnd);
        ASSERT_GE(horse.Colour, 101);
        ASSERT_LE(horse.Colour, 145);
        ASSERT_EQ(horse.Start + horse.End, 100);
        ASSERT_EQ(horse.Health, horse.HealthMAX);
        ASSERT_GE(horse.Health, 100);
        ASSERT_LE(horse.Health, 200);
        ASSERT_EQ(std::count(horse.Name.begin(), horse.Name.end(), ' '), 1);
        ASSERT_NE(horse.OddsLeft, 0);
        ASSERT_LE(horse.Speed, horse.Sex == core::kMale ? 135 : 100);
        ASSERT_LE(horse.Stamina, horse.Sex == core::kMale ? 100 : 110);
    }
}

HorseRec Rated(int speed, int stamina, int confidence, int health, int healthMax) {
    HorseRec h;
    h.Speed = speed, h.Stamina = stamina, h.Confidence = confidence;
    h.Health = health, h.HealthMAX = healthMax;
    return h;
}

TEST(HorsePrice, ScalesTheSquareOfTheRatingsByHealthAndOneDraw) {
    struct Case {
        HorseRec horse;
        float draw;
        std::int32_t price;
    };
    const Case cases[] = {
        {Rated(100, 100, 100, 200, 200), 0.0f, 90000},           // k = 1
        {Rated(100, 100, 100, 200, 200), 0.999999f, 9090000},    // k = 101
        {Rated(100, 100, 100, 100, 200), 0.5f, 26 * 90000},      // half health: Round(25) + 1
        {Rated(10, 0, 0, 100, 100), 0.125f, 1300},               // Round(12.5) = 12, ties to even
        {Rated(10, 0, 0, 100, 100), 0.375f, 3900},               // Round(37.5) = 38
        {Rated(0, 0, 0, 100, 100), 0.7f, 0},                     // no ratings, no price
        {Rated(100, 100, 100, 100, 0), 0.9f, 90000},             // no maximum health: no health
        {Rated(100, 100, 100, -50, 100), 0.9f, 90000},           // negative health counts as none
        {Rated(30000, 30000, 30000, 100, 100), 0.9f, 2147483647}, // beyond 32 bits: the limit
    };
    for (const auto& c : cases) {
        ScriptedRandom rnd{c.draw};
        EXPECT_EQ(core::HorsePrice(c.horse, rnd), c.price) << c.horse.Speed << " " << c.draw;
        EXPECT_EQ(rnd.Used(), 1u);
    }
}

TEST(PaceStyleName, TheLastMatchingRuleWins) {
    const std::tuple<int, int, const char*> cases[] = {
        {50, 50, "Steady Pace"},  {65, 35, "Steady Pace"},      {66, 34, "Strong Start"},
        {81, 19, "Aggressive Start"}, {20, 80, "Strong Finish"}, {19, 81, "Aggressive Finish"},
        {90, 70, "Strong Finish"}, {90, 90, "Aggressive Finish"},
    };
    for (const auto& [start, end, name] : cases) {
        HorseRec h;
        h.Start = static_cast<std::int16_t>(start);
        h.End = static_cast<std::int16_t>(end);
        EXPECT_EQ(core::PaceStyleName(h), name) << start << "/" << end;
    }
}

TEST(NameTables, HoldTheGeneratorsWords) {
    EXPECT_EQ(core::kFirstNames[0], "Happy");
    EXPECT_EQ(core::kFirstNames[30], "Happy");
    EXPECT_EQ(core::kFirstNames[52], "Majestic");
    EXPECT_EQ(core::kSecondNames[0], "Beauty");
    EXPECT_EQ(core::kSecondNames[25], "Pallidine");
    EXPECT_EQ(core::kSecondNames[51], "Jack");
}

}  // namespace
