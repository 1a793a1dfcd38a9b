#include <gtest/gtest.h>

#include "core/Horses.h"
#include "core/Stable.h"
#include "development/Breeding.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using core::HorseRec;
using development::BreedHorses;
using development::BreedingPair;
using development::NameFoal;
using development::NamingResult;
using testing_support::MemoryTree;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;

HorseRec Parent(const char* name, int sex) {
    HorseRec h;
    h.Name = name;
    h.Sex = sex;
    h.Speed = 50;
    h.Stamina = 50;
    h.Start = 50;
    h.End = 50;
    h.Health = h.HealthMAX = 150;
    h.MoJo = 10;
    h.Colour = 110;
    h.Mother = h.Father = "???";
    return h;
}

// A stallion in slot 0 and a mare in slot 1, both chosen in the breeding boxes.
class BreedingTest : public ::testing::Test {
protected:
    BreedingTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        Stallion() = Parent("Happy Beauty", core::kMale);
        Mare() = Parent("Soft Honey", core::kFemale);
        stable.AddNode("STUD0", "Happy Beauty", 10);
        stable.AddNode("MAIR1", "Soft Honey", 10);
        pair = {"0", "Happy Beauty", "1", "Soft Honey"};
    }

    HorseRec& Stallion() { return game.OwnedHorse[0]; }
    HorseRec& Mare() { return game.OwnedHorse[1]; }

    std::optional<development::BredFoal> Breed() { return BreedHorses(game, notices, stable, pair); }

    // The draws of a foal after the mare's health loss, with a coat at the
    // first try, a filly, and a delivery delay of 30 s.
    void PushFilly() {
        rnd->Push({0.0f, 0.0f, 0.0f, 0.6f, 0.6f, 0.0f, 0.0f, 0.25f, 0.0f, 0.0f, 0.5f});
    }

    ScriptedRandom* rnd;
    core::Game game;
    RecordingNotices notices;
    MemoryTree stable;
    BreedingPair pair;
};

TEST_F(BreedingTest, TheFoalTakesEveryFieldInTheOrderOfItsDraws) {
    Stallion().Speed = 60, Mare().Speed = 41;      // mean 50.5
    Stallion().Stamina = 42, Mare().Stamina = 50;  // mean 46
    Stallion().Start = 33, Mare().Start = 34;      // mean 33.5
    Stallion().End = 67, Mare().End = 66;          // mean 66.5
    Mare().Health = 120;
    game.OwnedHorse[2].Name = "Tricky Jack";  // the foal goes to the lowest free slot, 3
    rnd->Push({
        ScriptedRandom::For(5, 20),  // the mare loses 5 health
        ScriptedRandom::For(1, 3),   // speed up, stamina down
        0.25f,                       // speed 50.5 + 2.5 = 53
        0.35f,                       // stamina 46 - 3.5 = 42.5 in single precision, so 42
        0.1f, 0.1f,                  // coat 20: drawn again
        0.6f, 0.6f,                  // coat 120
        ScriptedRandom::For(12, 30), // MoJo 12
        0.77f,                       // confidence 77
        0.75f,                       // a colt
        0.5f,                        // speed bonus Round(2.5) = 2
        0.0f,                        // price factor 1
        0.5f,                        // delay 30000 ms
    });

    const auto bred = Breed();
    ASSERT_TRUE(bred);
    EXPECT_EQ(rnd->Remaining(), 0u);
    EXPECT_EQ(bred->foal.slot, 3);
    EXPECT_EQ(bred->delayMs, 30000);
    const HorseRec& foal = game.OwnedHorse[3];
    EXPECT_EQ(foal.Name, "UN-NAMED");
    EXPECT_EQ(foal.Speed, 55);
    EXPECT_EQ(foal.Stamina, 42);
    EXPECT_EQ(foal.Colour, 120);
    EXPECT_EQ(foal.Start, 34);
    EXPECT_EQ(foal.End, 66);
    EXPECT_EQ(foal.MoJo, 12);
    EXPECT_EQ(foal.Confidence, 77);
    EXPECT_EQ(foal.HealthMAX, 132);  // (150 + 115) / 2 = 132.5, ties to even
    EXPECT_EQ(foal.Health, 132);
    EXPECT_EQ(foal.Father, "Happy Beauty");
    EXPECT_EQ(foal.Mother, "Soft Honey");
    // Odds from Round((53 + 42) / 2) = 48, before the colt's bonus.
    EXPECT_EQ(foal.OddsLeft, 9);
    EXPECT_EQ(foal.OddsRight, 2);
    EXPECT_EQ(foal.Sex, core::kMale);
    EXPECT_EQ(foal.RRP, (55.0 + 42 + 77) * (55 + 42 + 77));
    EXPECT_EQ(Mare().Health, 115);
    EXPECT_EQ(Mare().MoJo, 9);
    EXPECT_EQ(Stallion().MoJo, 9);
    EXPECT_EQ(Stallion().Health, 150);
    EXPECT_EQ(notices.shown, std::vector<std::string>{"Fresh New Horse On Its Way!!!"});
    EXPECT_FALSE(stable.HasNode("STUD3"));  // no node until it is named
}

TEST_F(BreedingTest, AFillyGetsTheStaminaBonusAndHalvesGoToEven) {
    Stallion().Start = 32, Mare().Start = 33;  // 32.5 -> 32
    rnd->Push(0.0f);  // no health lost
    rnd->Push({ScriptedRandom::For(2, 3), 0.0f, 0.0f, 0.6f, 0.6f, 0.0f, 0.0f, 0.5f, 0.999f, 0.0f, 0.0f});
    const auto bred = Breed();
    ASSERT_TRUE(bred);
    const HorseRec& foal = game.OwnedHorse[2];
    EXPECT_EQ(foal.Sex, core::kFemale);  // Round(0.5) = 0: a colt needs a draw above one half
    EXPECT_EQ(foal.Speed, 50);
    EXPECT_EQ(foal.Stamina, 53);  // 50 + Round(0.999 * 3)
    EXPECT_EQ(foal.Start, 32);
    EXPECT_EQ(bred->delayMs, 1);  // a drawn 0 would never tick
}

TEST_F(BreedingTest, ParentsWithoutRatingsCanGiveANegativeFoal) {
    Stallion().Speed = Mare().Speed = 0;
    rnd->Push(0.0f);
    rnd->Push({0.0f, 0.999f, 0.0f, 0.6f, 0.6f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    ASSERT_TRUE(Breed());
    EXPECT_EQ(game.OwnedHorse[2].Speed, -10);
}

TEST_F(BreedingTest, AFoalOfWornOutParentsKeepsAtLeastOneHealth) {
    Stallion().Health = -40;  // after a failed race start
    Mare().Health = 30;
    rnd->Push(0.0f);
    PushFilly();
    ASSERT_TRUE(Breed());
    EXPECT_EQ(game.OwnedHorse[2].HealthMAX, 1);
    EXPECT_EQ(game.OwnedHorse[2].Health, 1);
}

struct RefusalCase {
    const char* what;
    void (*arrange)(core::GameState&, BreedingPair&);
    const char* notice;
};

TEST_F(BreedingTest, PairsAreRefusedInOrderBeforeAnythingChanges) {
    const RefusalCase cases[] = {
        {"stallion box holds a mare", [](core::GameState& g, BreedingPair&) { g.OwnedHorse[0].Sex = core::kFemale; },
         development::kWrongSex},
        {"mare box holds a stallion and the names are wrong too",
         [](core::GameState& g, BreedingPair& p) {
             g.OwnedHorse[1].Sex = core::kMale;
             p.mareText = "Nobody";
         },
         development::kWrongSex},
        {"untouched boxes on an empty slot 0",
         [](core::GameState& g, BreedingPair& p) {
             core::ClearHorse(g.OwnedHorse[0]);
             p = {"0", "", "0", ""};
         },
         development::kSelectPair},
        {"mare sold", [](core::GameState& g, BreedingPair&) { core::ClearHorse(g.OwnedHorse[1]); },
         development::kSelectPair},
        {"a tag that names no slot", [](core::GameState&, BreedingPair& p) { p.stallionTag = "5000"; },
         development::kSelectPair},
        {"stallion's name typed in another case",
         [](core::GameState&, BreedingPair& p) { p.stallionText = "happy beauty"; }, development::kCouldNotBreed},
        {"mare's name edited", [](core::GameState&, BreedingPair& p) { p.mareText = "Soft Honey "; },
         development::kCouldNotBreed},
        {"the mare is the stallion's mother",
         [](core::GameState& g, BreedingPair&) { g.OwnedHorse[0].Mother = "Soft Honey"; }, development::kInterBreed},
        {"the stallion is the mare's father",
         [](core::GameState& g, BreedingPair&) { g.OwnedHorse[1].Father = "Happy Beauty"; },
         development::kInterBreed},
        {"full siblings",
         [](core::GameState& g, BreedingPair&) {
             g.OwnedHorse[0].Father = g.OwnedHorse[1].Father = "Tricky Jack";
             g.OwnedHorse[0].Mother = g.OwnedHorse[1].Mother = "Lazy Bear";
         },
         development::kInterBreed},
    };
    const auto original = game.OwnedHorse;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        game.OwnedHorse = original;
        pair = {"0", "Happy Beauty", "1", "Soft Honey"};
        c.arrange(game, pair);
        const auto before = game.OwnedHorse;
        notices.shown.clear();
        EXPECT_FALSE(Breed());
        EXPECT_EQ(notices.shown, std::vector<std::string>{c.notice});
        EXPECT_EQ(game.OwnedHorse, before);
        EXPECT_EQ(rnd->Used(), 0u);
    }
}

TEST_F(BreedingTest, HalfSiblingsAndUnrecordedParentsMayBreed) {
    const std::pair<const char*, const char*> fathers[] = {{"Tricky Jack", "Lazy Bear"}, {"???", "???"}};
    for (const auto& [stallionFather, mareFather] : fathers) {
        Stallion().Mother = Mare().Mother = "Round Moon";  // one parent in common
        Stallion().Father = stallionFather;
        Mare().Father = mareFather;
        if (std::string(stallionFather) == "???") Stallion().Mother = Mare().Mother = "???";
        for (int slot = 2; slot < 4; ++slot) core::ClearHorse(game.OwnedHorse[static_cast<std::size_t>(slot)]);
        rnd->Push(0.0f);
        PushFilly();
        EXPECT_TRUE(Breed()) << stallionFather;
    }
}

TEST_F(BreedingTest, NoMoJoIsRefusedAfterTheMareHasPaidHerHealth) {
    Mare().MoJo = 0;
    rnd->Push(ScriptedRandom::For(20, 20));
    EXPECT_FALSE(Breed());
    EXPECT_EQ(notices.Last(), development::kNoMoJo);
    EXPECT_EQ(Mare().Health, 130);
    EXPECT_EQ(Mare().MoJo, 0);
    EXPECT_EQ(Stallion().MoJo, 10);
    EXPECT_TRUE(game.OwnedHorse[2].IsFree());
}

TEST_F(BreedingTest, AMareWorkedToDeathLeavesTheStableAndNoFoalComes) {
    Mare().Health = 1;
    Mare().MoJo = 0;  // she dies before the MoJo test
    rnd->Push(ScriptedRandom::For(1, 20));
    EXPECT_FALSE(Breed());
    EXPECT_EQ(notices.shown, std::vector<std::string>{"Soft Honey has died - You worked it too hard!"});
    EXPECT_TRUE(Mare().IsFree());
    EXPECT_FALSE(stable.HasNode("MAIR1"));
    EXPECT_EQ(Stallion().MoJo, 10);
    EXPECT_TRUE(game.OwnedHorse[2].IsFree());
}

TEST_F(BreedingTest, AFullStableIsRefusedBeforeTheMarePaysAnything) {
    for (std::size_t slot = 2; slot < game.OwnedHorse.size(); ++slot) game.OwnedHorse[slot].Name = "Filler";
    EXPECT_FALSE(Breed());
    EXPECT_EQ(notices.shown, std::vector<std::string>{core::kStableFull});
    EXPECT_EQ(Mare().Health, 150);
    EXPECT_EQ(Mare().MoJo, 10);
    EXPECT_EQ(rnd->Used(), 0u);
}

TEST(FoalArrives, OneTickInFourOnAverageTheHalvesGoToEven) {
    const std::pair<float, bool> cases[] = {
        {0.0f, false}, {0.125f, false}, {0.12501f, true}, {0.25f, true},
        {0.37499f, true}, {0.375f, false}, {0.9f, false},
    };
    for (const auto& [draw, arrives] : cases) {
        ScriptedRandom rnd{draw};
        EXPECT_EQ(development::FoalArrives(rnd), arrives) << draw;
    }
}

TEST_F(BreedingTest, NamingStoresProperCaseAndAddsTheNodeOnce) {
    rnd->Push(0.0f);
    PushFilly();
    const auto bred = Breed();
    ASSERT_TRUE(bred);
    EXPECT_EQ(NameFoal(game, stable, bred->foal, ""), NamingResult::Empty);
    EXPECT_EQ(NameFoal(game, stable, bred->foal, "   "), NamingResult::Empty);
    EXPECT_EQ(game.OwnedHorse[2].Name, "UN-NAMED");
    EXPECT_EQ(NameFoal(game, stable, bred->foal, "sea BREEZE"), NamingResult::Named);
    EXPECT_EQ(game.OwnedHorse[2].Name, "Sea Breeze");
    const auto* node = stable.Find("MAIR2");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text, "Sea Breeze");
    EXPECT_EQ(node->image, 20);
    EXPECT_EQ(NameFoal(game, stable, bred->foal, "Again"), NamingResult::Gone);
    EXPECT_EQ(stable.nodes.size(), 3u);
}

TEST_F(BreedingTest, AFoalWhoseSlotWasClearedOrReusedIsDroppedQuietly) {
    rnd->Push(0.0f);
    PushFilly();
    const auto bred = Breed();
    ASSERT_TRUE(bred);
    core::ClearHorse(game.OwnedHorse[2]);  // a new game
    EXPECT_FALSE(development::FoalStillWaiting(game, stable, bred->foal));
    EXPECT_EQ(NameFoal(game, stable, bred->foal, "Sea Breeze"), NamingResult::Gone);
    game.OwnedHorse[2] = Parent("Bought Later", core::kFemale);
    EXPECT_EQ(NameFoal(game, stable, bred->foal, "Sea Breeze"), NamingResult::Gone);
    EXPECT_EQ(game.OwnedHorse[2].Name, "Bought Later");
    EXPECT_FALSE(stable.HasNode("MAIR2"));
}

}  // namespace
