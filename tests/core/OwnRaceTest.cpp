#include <gtest/gtest.h>

#include <memory>

#include "core/OwnRace.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using core::EnterResult;
using core::OwnRace;
using core::StartResult;
using core::TickResult;
using testing_support::MemoryTree;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;

constexpr int kSlot = 3;

// A game with one stable horse in slot 3, selected in the stable tree.
class OwnRaceTest : public ::testing::Test {
protected:
    OwnRaceTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        core::HorseRec& horse = game.OwnedHorse[kSlot];
        horse.Name = "Happy Beauty";
        horse.Sex = core::kMale;
        horse.Colour = 120;
        horse.Speed = 40;
        horse.Stamina = 40;
        horse.Start = 50;
        horse.End = 50;
        horse.Health = 150;
        horse.HealthMAX = 150;
        horse.Confidence = 50;
        horse.Mother = horse.Father = "???";
        game.Money = 100000;
        stable.AddNode("STUD3", horse.Name, 20);
        stable.Select("STUD3");
    }

    core::HorseRec& Runner() { return game.OwnedHorse[kSlot]; }

    // The draws of one generated opponent: its coat at the first try, Start 50.
    void PushGeneratedHorse() {
        rnd->Push({0.1f, 0.1f, 0.5f, 0.9f, 0.5f, 0.5f, 0.6f, 0.6f, 0.5f, 0.5f, 0.5f, 0.5f});
    }

    // Enters a race with stake 2500 (band 16..65) whose opponents get the
    // given speed and stamina, every bonus 0, and every later draw 0.
    EnterResult EnterWith(const std::array<int, 4>& ratings) {
        for (int rating : ratings) {
            rnd->Push(ScriptedRandom::For(rating, 66));  // speed
            rnd->Push(ScriptedRandom::For(rating, 66));  // stamina
        }
        for (int i = 0; i < 4; ++i) {
            PushGeneratedHorse();
            rnd->Push({0.0f, 0.0f});  // race-day bonus 0
        }
        rnd->Push({0.0f, 0.0f});  // the runner's bonus
        rnd->RepeatWhenEmpty(0.0f);
        EXPECT_TRUE(race.ChooseHorse(game, stable));
        return race.Enter(game, notices, "2500");
    }

    TickResult RunToTheEnd() {
        TickResult result = TickResult::Running;
        for (int tick = 0; tick < 5000 && result == TickResult::Running; ++tick) result = race.Tick(game, notices);
        return result;
    }

    ScriptedRandom* rnd;
    core::Game game;
    RecordingNotices notices;
    MemoryTree stable;
    OwnRace race;
};

TEST_F(OwnRaceTest, OpponentsAreDrawnInsideTheStakesBandByRejection) {
    struct BandCase {
        const char* stake;
        int lo;
    };
    const BandCase cases[] = {{"0", 0}, {"2500", 16}, {"1000000", 316}, {"2500000", 500}};
    for (const auto& c : cases) {
        const int hi = c.lo + 50;
        for (int i = 0; i < 4; ++i) {
            // Speed: hi itself and lo - 1 are refused, then lo is taken.
            rnd->Push(0.99999f);
            if (c.lo > 0) rnd->Push(ScriptedRandom::For(c.lo - 1, hi));
            rnd->Push(ScriptedRandom::For(c.lo, hi));
            // Stamina: hi - 1, the top of the band, is taken at once.
            rnd->Push(ScriptedRandom::For(hi - 1, hi));
        }
        for (int i = 0; i < 4; ++i) {
            PushGeneratedHorse();
            rnd->Push({0.0f, 0.0f});
        }
        rnd->Push({0.0f, 0.0f});
        game.Money = 3000000;
        ASSERT_TRUE(race.ChooseHorse(game, stable));
        ASSERT_EQ(race.Enter(game, notices, c.stake), EnterResult::Entered) << c.stake;
        EXPECT_EQ(rnd->Remaining(), 0u) << c.stake;
        for (const core::HorseRec& opponent : game.OpponentHorse) {
            EXPECT_EQ(opponent.Speed, c.lo) << c.stake;
            EXPECT_EQ(opponent.Stamina, hi - 1) << c.stake;
            EXPECT_EQ(opponent.Confidence, 50);
            EXPECT_EQ(opponent.Name, "Double Water");  // the rest as generated
        }
    }
}

TEST_F(OwnRaceTest, EnteringChargesTheStakeAndSetsThePrizes) {
    ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
    EXPECT_EQ(game.Money, 100000 - 2500);
    EXPECT_EQ(race.OwnRaceBet(), 2500);
    EXPECT_EQ(race.Prize(1), 17500);
    EXPECT_EQ(race.Prize(2), 7500);
    EXPECT_EQ(race.Prize(3), 3750);
    EXPECT_EQ(race.NextPlace(), 1);
    for (int lane = 6; lane <= 10; ++lane) EXPECT_EQ(race.Lane(lane).Left, 360.0f);
    EXPECT_EQ(race.Lane(10).Picture, 120);
    EXPECT_TRUE(race.Ready());
    EXPECT_FALSE(race.Running());
}

// n opponents as good as the runner arrive with it in the same tick and take
// the places before it (lower lanes first); the others are far slower.
TEST_F(OwnRaceTest, PlacesPayoutsAndConfidenceByArrival) {
    struct PlaceCase {
        int equals;
        std::int16_t place;  // the runner's place
        double paid;         // prize and stake back
        int confidence;
        const char* notice;
    };
    const PlaceCase cases[] = {
        {0, 1, 17500 + 2500, 53, "First place! You have Won \xA3" "17,500"},
        {1, 2, 7500 + 2500, 52, "Second place! You have Won \xA3" "7,500"},
        {2, 3, 3750 + 2500, 51, "Third place! You have Won \xA3" "3,750"},
        {3, 4, 0, 47, nullptr},
        {4, 5, 0, 47, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.equals);
        Runner().Confidence = 50;
        Runner().Health = Runner().HealthMAX;
        notices.shown.clear();
        std::array<int, 4> ratings{16, 16, 16, 16};
        for (int i = 0; i < c.equals; ++i) ratings[static_cast<std::size_t>(i)] = 40;
        ASSERT_EQ(EnterWith(ratings), EnterResult::Entered);
        const double afterStake = game.Money;
        ASSERT_EQ(race.Start(game), StartResult::Started);
        EXPECT_EQ(Runner().Health, 150);  // the health cost drew 0
        ASSERT_EQ(RunToTheEnd(), TickResult::Finished);
        EXPECT_EQ(race.Place(c.place), 10);
        for (int p = 1; p < c.place; ++p) EXPECT_EQ(race.Place(p), 5 + p);
        EXPECT_EQ(race.NextPlace(), c.place == 5 ? 5 : c.place + 1);
        EXPECT_EQ(game.Money, afterStake + c.paid);
        EXPECT_EQ(Runner().Confidence, c.confidence);
        if (c.notice) {
            EXPECT_EQ(notices.shown, std::vector<std::string>{c.notice});
        } else {
            EXPECT_TRUE(notices.shown.empty());
        }
        EXPECT_FALSE(race.Running());
        EXPECT_EQ(race.Tick(game, notices), TickResult::Idle);  // paid once
        EXPECT_GE(race.Lane(10).Left, 9600.0f);
    }
}

TEST_F(OwnRaceTest, TheRaceEndsWithTheRunnerAndOpponentsStayShort) {
    ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
    ASSERT_EQ(race.Start(game), StartResult::Started);
    ASSERT_EQ(RunToTheEnd(), TickResult::Finished);
    for (int lane = 6; lane <= 9; ++lane) EXPECT_LT(race.Lane(lane).Left, 9600.0f);
    EXPECT_EQ(race.Place(2), 0);
}

TEST_F(OwnRaceTest, ConfidenceOf99EndsAbove100AfterAWin) {
    Runner().Confidence = 99;
    ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
    ASSERT_EQ(race.Start(game), StartResult::Started);
    ASSERT_EQ(RunToTheEnd(), TickResult::Finished);
    EXPECT_EQ(Runner().Confidence, 102);
}

TEST_F(OwnRaceTest, RefusalsChargeNothingAndKeepTheOldRace) {
    ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
    const auto opponents = game.OpponentHorse;
    const double money = game.Money;
    const std::size_t drawn = rnd->Used();
    struct RefusalCase {
        const char* stake;
        EnterResult result;
        const char* notice;
    };
    const RefusalCase cases[] = {
        {"abc", EnterResult::NotANumber, nullptr},
        {"", EnterResult::NotANumber, nullptr},
        {"-5", EnterResult::NotANumber, nullptr},
        {"2500000.01", EnterResult::TooHigh, "Bets cannot exceed \xA3" "2,500,000"},
    };
    for (const auto& c : cases) {
        notices.shown.clear();
        EXPECT_EQ(race.Enter(game, notices, c.stake), c.result) << c.stake;
        EXPECT_EQ(notices.Last(), c.notice ? c.notice : "") << c.stake;
    }
    EXPECT_EQ(rnd->Used(), drawn);
    EXPECT_EQ(game.Money, money);
    EXPECT_EQ(game.OpponentHorse, opponents);
    EXPECT_EQ(race.OwnRaceBet(), 2500);
}

TEST_F(OwnRaceTest, NotEnoughMoneyKeepsTheOldOpponentsAndPrizes) {
    ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
    const auto opponents = game.OpponentHorse;
    game.Money = 100;
    for (int i = 0; i < 8; ++i) rnd->Push(ScriptedRandom::For(20, 66));
    for (int i = 0; i < 4; ++i) {
        PushGeneratedHorse();
        rnd->Push({0.0f, 0.0f});
    }
    notices.shown.clear();
    EXPECT_EQ(race.Enter(game, notices, "2500"), EnterResult::NotEnoughMoney);
    EXPECT_EQ(notices.Last(), "You do not have enough money to do that!");
    EXPECT_EQ(game.Money, 100);
    EXPECT_EQ(game.OpponentHorse, opponents);
    EXPECT_EQ(race.Prize(1), 17500);
}

TEST_F(OwnRaceTest, AnEmptyChosenSlotEntersNothing) {
    EXPECT_FALSE(race.ChooseHorse(game, MemoryTree{}));  // nothing selected
    ASSERT_TRUE(race.ChooseHorse(game, stable));
    core::ClearHorse(Runner());
    EXPECT_EQ(race.Enter(game, notices, "2500"), EnterResult::NoHorse);
    EXPECT_EQ(game.Money, 100000);
    EXPECT_EQ(rnd->Used(), 0u);
}

TEST_F(OwnRaceTest, AWornOutHorseDoesNotStartAndLosesTheStake) {
    Runner().Health = 5;
    ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
    rnd->Push(0.5f);  // Round(5) = 5: health 0
    EXPECT_EQ(race.Start(game), StartResult::TooTired);
    EXPECT_EQ(Runner().Health, 0);
    EXPECT_EQ(game.Money, 100000 - 2500);
    EXPECT_FALSE(race.Running());
    EXPECT_EQ(race.Start(game), StartResult::NotReady);
}

TEST_F(OwnRaceTest, ARunningRaceKeepsItsRunnerAndRefusesAnotherEntry) {
    core::HorseRec& other = game.OwnedHorse[7];
    other = Runner();
    other.Name = "Soft Honey";
    other.Sex = core::kFemale;
    stable.AddNode("MAIR7", other.Name, 20);
    ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
    ASSERT_EQ(race.Start(game), StartResult::Started);
    EXPECT_EQ(race.Start(game), StartResult::NotReady);
    race.Tick(game, notices);

    stable.Select("MAIR7");
    ASSERT_TRUE(race.ChooseHorse(game, stable));  // "Race Horse" mid-race
    EXPECT_EQ(race.OwnRaceHorse(), 7);
    EXPECT_EQ(race.Runner(), kSlot);
    const double money = game.Money;
    EXPECT_EQ(race.Enter(game, notices, "2500"), EnterResult::RaceRunning);
    EXPECT_EQ(game.Money, money);
    ASSERT_EQ(RunToTheEnd(), TickResult::Finished);
    EXPECT_EQ(Runner().Confidence, 53);
    EXPECT_EQ(other.Confidence, 50);
}

TEST_F(OwnRaceTest, ARunnerThatLeavesTheStableStopsTheRaceUnpaid) {
    struct GoneCase {
        const char* what;
        void (*leave)(core::HorseRec&);
    };
    const GoneCase cases[] = {
        {"sold", [](core::HorseRec& h) { core::ClearHorse(h); }},
        {"slot taken by another horse", [](core::HorseRec& h) { h.Name = "Tricky Jack"; }},
        {"sold after the race was entered", [](core::HorseRec& h) { core::ClearHorse(h); }},
    };
    for (std::size_t n = 0; n < std::size(cases); ++n) {
        SCOPED_TRACE(cases[n].what);
        core::HorseRec& runner = Runner();
        runner.Name = "Happy Beauty";
        runner.Sex = core::kMale;
        runner.Colour = 120;
        runner.Speed = runner.Stamina = 40;
        runner.Health = runner.HealthMAX = 150;
        runner.Mother = runner.Father = "???";
        ASSERT_EQ(EnterWith({16, 16, 16, 16}), EnterResult::Entered);
        if (n == 2) {
            cases[n].leave(runner);
            EXPECT_EQ(race.Start(game), StartResult::RunnerGone);
            EXPECT_FALSE(race.Ready());
            continue;
        }
        ASSERT_EQ(race.Start(game), StartResult::Started);
        race.Tick(game, notices);
        const double money = game.Money;
        notices.shown.clear();
        cases[n].leave(runner);
        EXPECT_EQ(race.Tick(game, notices), TickResult::RunnerGone);
        EXPECT_FALSE(race.Running());
        EXPECT_EQ(race.Tick(game, notices), TickResult::Idle);
        EXPECT_EQ(game.Money, money);
        EXPECT_TRUE(notices.shown.empty());
    }
}

}  // namespace
