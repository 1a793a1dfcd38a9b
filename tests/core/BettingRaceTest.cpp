#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/BettingRace.h"
#include "core/Money.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using core::BettingRace;
using core::RaceState;
using core::TitleStyle;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;

using Stakes = std::array<std::string, core::kLanes>;
const Stakes kNoStakes = {"0", "0", "0", "0", "0"};

// A betting field of slow horses, numbered by name; a "flyer" crosses the
// whole track in one step.
class BettingRaceTest : public ::testing::Test {
protected:
    BettingRaceTest() {
        for (std::size_t i = 0; i < game.TrackHorse.size(); ++i) {
            core::HorseRec& h = game.TrackHorse[i];
            h.Name = "Horse " + std::to_string(i);
            h.Health = h.HealthMAX = 100;
            h.OddsLeft = 2, h.OddsRight = 1;
            h.Colour = 101 + static_cast<int>(i % 45);
        }
        game.Money = 10000;
    }

    void MakeFlyer(int horse, int oddsLeft = 2, int oddsRight = 1) {
        core::HorseRec& h = game.TrackHorse[static_cast<std::size_t>(horse)];
        h.Speed = 32000;  // moves about 8000 twips a step
        h.OddsLeft = oddsLeft, h.OddsRight = oddsRight;
    }

    // Scripts a new race whose lanes draw these horses (each lane's tag, then
    // its two bonus draws).
    void ScriptLanes(const std::vector<int>& horses) {
        for (int horse : horses) rnd.Push({ScriptedRandom::For(horse, 100), 0.0f, 0.0f});
    }

    // New race on horses 0..4 (lane n runs horse n - 1), stakes placed.
    void SetUpAndStart(const Stakes& stakes) {
        ScriptLanes({0, 1, 2, 3, 4});
        ASSERT_TRUE(race.NewRace());
        ASSERT_TRUE(race.StartRace(stakes));
    }

    std::optional<int> OneTick() {
        for (int lane = 1; lane <= core::kLanes; ++lane) {
            if (race.LaneAt(lane).Runner.Left < core::kBettingFinish) rnd.Push(0.0f);
        }
        return race.Tick();
    }

    core::GameState game;
    ScriptedRandom rnd;
    RecordingNotices notices;
    BettingRace race{game, rnd, notices};
};

TEST_F(BettingRaceTest, NewRaceChargesTheFeeAndPutsFiveRunnersOnTheStartLine) {
    game.TrackHorse[3].Confidence = 9;
    rnd.Push({ScriptedRandom::For(3, 100), 0.5f, 0.5f});  // bonus Round(0.5 * 10) + Round(15) = 5 + 15 = 20
    ScriptLanes({10, 20, 30, 40});
    ASSERT_TRUE(race.NewRace());
    EXPECT_EQ(game.Money, 9750);
    EXPECT_EQ(race.State(), RaceState::SetUp);
    const std::array<const char*, 5> tags = {"3", "10", "20", "30", "40"};
    for (int lane = 1; lane <= 5; ++lane) {
        EXPECT_EQ(race.Tag(lane), tags[static_cast<std::size_t>(lane - 1)]);
        EXPECT_EQ(race.LaneAt(lane).Runner.Left, core::kStartLine);
    }
    EXPECT_EQ(race.LaneAt(1).Runner.Picture, game.TrackHorse[3].Colour);
    EXPECT_EQ(game.TrackHorse[3].RaceBonus, 20);
    EXPECT_EQ(rnd.Remaining(), 0u);
    EXPECT_TRUE(notices.shown.empty());
}

TEST_F(BettingRaceTest, LanesTwoToFiveDrawAgainWhileTheyShareAHorse) {
    // Lane 2 shares horse 4 with lane 4 (a later lane), lane 5 shares horse
    // 1 with lane 1; each redraw prepares the new horse again (tag, two bonus
    // draws), and a redraw may land on a taken horse again.
    ScriptLanes({1, 4, 3, 4, 1});
    ScriptLanes({6});     // lane 2: 4 -> 6
    ScriptLanes({3, 7});  // lane 5: 1 -> 3 (lane 3's) -> 7
    ASSERT_TRUE(race.NewRace());
    const std::array<const char*, 5> tags = {"1", "6", "3", "4", "7"};
    for (int lane = 1; lane <= 5; ++lane) EXPECT_EQ(race.Tag(lane), tags[static_cast<std::size_t>(lane - 1)]);
    EXPECT_EQ(rnd.Used(), 24u);
    EXPECT_EQ(rnd.Remaining(), 0u);
}

TEST_F(BettingRaceTest, NewRaceWithoutTheFeeChangesNothing) {
    game.Money = 249;
    EXPECT_FALSE(race.NewRace());
    EXPECT_EQ(game.Money, 249);
    EXPECT_EQ(race.State(), RaceState::Idle);
    EXPECT_EQ(race.Tag(1), "");
    EXPECT_EQ(rnd.Used(), 0u);
    EXPECT_EQ(notices.shown, std::vector<std::string>{core::kNotEnoughMoney});
}

struct PayoutCase {
    const char* what;
    int oddsLeft, oddsRight;
    double moneyBeforeStart;
    Stakes stakes;
    double expected;
};

TEST_F(BettingRaceTest, TheWinningLanesStakeComesBackWithItsWinnings) {
    const PayoutCase cases[] = {
        // 1000 in hand at the finish: Round(1000 + 0.5) + 1, the half going to even
        {"1 on 1/2", 1, 2, 1001, {"0", "0", "1", "0", "0"}, 1001},
        // 900 in hand: Round(900 + 363.636...) + 100
        {"100 on 40/11", 40, 11, 1000, {"0", "0", "100", "0", "0"}, 1364},
        {"100 on 13/2", 13, 2, 5000, {"0", "0", "100", "0", "0"}, 4900 + 650 + 100},
        // the other lanes' stakes are lost
        {"losers pay", 13, 2, 5000, {"50", "0", "100", "25", "0"}, 4825 + 650 + 100},
        {"a losing bet", 13, 2, 5000, {"100", "0", "0", "0", "0"}, 4900},
        // nothing staked: the money is only rounded, ties to even
        {"no stakes, .5 down", 3, 1, 1001.5, kNoStakes, 1002},
        {"no stakes, .5 up", 3, 1, 1002.5, kNoStakes, 1002},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        core::GameState fresh = game;
        BettingRace caseRace(fresh, rnd, notices);
        fresh.Money = c.moneyBeforeStart + core::kNewRaceFee;
        core::HorseRec& winner = fresh.TrackHorse[2];  // runs in lane 3
        winner.Speed = 32000, winner.OddsLeft = c.oddsLeft, winner.OddsRight = c.oddsRight;
        ScriptLanes({0, 1, 2, 3, 4});
        ASSERT_TRUE(caseRace.NewRace());
        ASSERT_TRUE(caseRace.StartRace(c.stakes));
        rnd.Push({0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
        EXPECT_EQ(caseRace.Tick(), 3);
        EXPECT_EQ(fresh.Money, c.expected);
        EXPECT_EQ(notices.Last(), "Horse 2 has won the race!");
        EXPECT_EQ(caseRace.State(), RaceState::Idle);
    }
}

TEST_F(BettingRaceTest, OfLanesReachingTheFinishInOneTickTheHighestWins) {
    const std::vector<std::vector<int>> flyerLanes = {{2, 4}, {1, 5}, {1, 2, 3, 4, 5}, {3}};
    for (const auto& lanes : flyerLanes) {
        core::GameState fresh = game;
        BettingRace caseRace(fresh, rnd, notices);
        for (int lane : lanes) fresh.TrackHorse[static_cast<std::size_t>(lane - 1)].Speed = 32000;
        ScriptLanes({0, 1, 2, 3, 4});
        ASSERT_TRUE(caseRace.NewRace());
        ASSERT_TRUE(caseRace.StartRace(kNoStakes));
        rnd.Push({0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
        EXPECT_EQ(caseRace.Tick(), lanes.back());
    }
}

TEST_F(BettingRaceTest, TheFinishIsAnnouncedAndPaidOnce) {
    MakeFlyer(4);  // lane 5, but it only gets going after a few slow ticks
    game.TrackHorse[4].Health = 0;
    SetUpAndStart({"0", "0", "0", "0", "10"});
    EXPECT_EQ(game.Money, 10000 - 250 - 10);
    for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(OneTick(), std::nullopt);
    EXPECT_EQ(race.State(), RaceState::Running);
    game.TrackHorse[4].Health = 100;
    EXPECT_EQ(OneTick(), 5);
    EXPECT_EQ(game.Money, 10000 - 250 - 10 + 20 + 10);
    const std::size_t used = rnd.Used();
    EXPECT_EQ(race.Tick(), std::nullopt);  // over: nothing moves, nothing is paid
    EXPECT_EQ(rnd.Used(), used);
    EXPECT_EQ(game.Money, 10000 - 250 - 10 + 20 + 10);
    EXPECT_EQ(std::count(notices.shown.begin(), notices.shown.end(), "Horse 4 has won the race!"), 1);
}

TEST_F(BettingRaceTest, AWholeRaceOfOrdinaryHorsesEndsWithOneWinner) {
    core::GameState fresh = game;
    runtime::LcgRandom lcg(12345);
    RecordingNotices heard;
    BettingRace realRace(fresh, lcg, heard);
    for (auto& h : fresh.TrackHorse) h.Speed = 60, h.Stamina = 50, h.Start = 50, h.End = 50;
    ASSERT_TRUE(realRace.NewRace());
    ASSERT_TRUE(realRace.StartRace(kNoStakes));
    std::optional<int> winner;
    int ticks = 0;
    while (!winner && ticks < 1000) winner = realRace.Tick(), ++ticks;
    ASSERT_TRUE(winner);
    EXPECT_GT(ticks, 20);  // the horses are seen running, not teleported
    EXPECT_GE(realRace.LaneAt(*winner).Runner.Left, core::kBettingFinish);
    for (int lane = *winner + 1; lane <= core::kLanes; ++lane) {
        EXPECT_LT(realRace.LaneAt(lane).Runner.Left, core::kBettingFinish);
    }
    EXPECT_EQ(heard.shown.size(), 1u);
}

struct RefusalCase {
    Stakes stakes;
    double money;
    const char* notice;
};

TEST_F(BettingRaceTest, StakesThatCannotBeTakenAreRefusedBeforeAnythingIsCharged) {
    const RefusalCase cases[] = {
        {{"", "0", "0", "0", "0"}, 10000, core::kWagersNotNumbers},
        {{"0", "ten", "0", "0", "0"}, 10000, core::kWagersNotNumbers},
        {{"0", "0", "inf", "0", "0"}, 10000, core::kWagersNotNumbers},
        {{"0", "0", "0", "1e999", "0"}, 10000, core::kWagersNotNumbers},
        {{"0", "0", "0", "0", "1,000"}, 10000, core::kWagersNotNumbers},
        // a negative stake would pay for the others
        {{"-100", "200", "0", "0", "0"}, 10000, core::kWagersNegative},
        {{"0", "0", "-100", "0", "0"}, 10000, core::kWagersNegative},
        {{"10000000.01", "10000000", "10000000", "10000000", "10000000"}, 6e7, core::kBetsTooHigh},
        {{"50000001", "0", "0", "0", "0"}, 6e7, core::kBetsTooHigh},
        {{"600", "0", "0", "0", "0"}, 500, core::kNotEnoughMoney},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stakes[0] + "|" + c.stakes[1] + "|" + c.stakes[2] + "|" + c.stakes[3] + "|" + c.stakes[4]);
        core::GameState fresh = game;
        fresh.Money = c.money + core::kNewRaceFee;
        RecordingNotices heard;
        BettingRace caseRace(fresh, rnd, heard);
        ScriptLanes({0, 1, 2, 3, 4});
        ASSERT_TRUE(caseRace.NewRace());
        EXPECT_FALSE(caseRace.StartRace(c.stakes));
        EXPECT_EQ(fresh.Money, c.money);
        EXPECT_EQ(caseRace.State(), RaceState::SetUp);
        EXPECT_EQ(heard.shown, std::vector<std::string>{c.notice});
    }
}

TEST_F(BettingRaceTest, TheLimitItselfIsAccepted) {
    game.Money = 5e7 + 250;
    SetUpAndStart({"10000000", "10000000", "10000000", "1e7", " 10000000 "});
    EXPECT_EQ(game.Money, 0);
    EXPECT_EQ(race.State(), RaceState::Running);
}

TEST_F(BettingRaceTest, StartAndTickDoNothingOutsideTheirState) {
    EXPECT_FALSE(race.StartRace(kNoStakes));  // no race set up
    EXPECT_EQ(race.Tick(), std::nullopt);
    SetUpAndStart(kNoStakes);
    const double money = game.Money;
    EXPECT_FALSE(race.NewRace());  // a race is on: no second fee
    EXPECT_FALSE(race.StartRace(kNoStakes));
    EXPECT_EQ(game.Money, money);
}

TEST_F(BettingRaceTest, StopEndsTheRaceWithoutAPayout) {
    MakeFlyer(0);
    SetUpAndStart({"100", "0", "0", "0", "0"});
    race.Stop();
    EXPECT_EQ(race.State(), RaceState::Idle);
    EXPECT_EQ(race.Tick(), std::nullopt);
    EXPECT_EQ(race.Tag(1), "");
    EXPECT_EQ(race.Title(1, TitleStyle::WinningsRatio), std::nullopt);
    EXPECT_EQ(game.Money, 10000 - 250 - 100);
}

TEST_F(BettingRaceTest, ADoubleClickStakesAllTheMoneyUpToTheLimit) {
    const std::pair<double, const char*> cases[] = {
        {60000000, "50000000"}, {50000000, "50000000"}, {1234, "1234"}, {0, "0"}, {1234.5, "1234.5"}};
    for (const auto& [money, text] : cases) {
        game.Money = money;
        EXPECT_EQ(race.AllMoneyStake(), text) << money;
    }
}

TEST_F(BettingRaceTest, TitlesShowTheOddsAsARatioOrAChance) {
    EXPECT_EQ(race.Title(1, TitleStyle::WinningsRatio), std::nullopt);  // before the first race
    const std::tuple<int, int, const char*, const char*> cases[] = {
        {13, 2, "Horse 0 (13:2)", "Horse 0 (15%)"},
        {8, 15, "Horse 0 (8:15)", "Horse 0 (188%)"},
        {1, 2, "Horse 0 (1:2)", "Horse 0 (200%)"},
        {100, 1, "Horse 0 (100:1)", "Horse 0 (1%)"},
        {8, 1, "Horse 0 (8:1)", "Horse 0 (12%)"},  // 12.5 goes to the even 12
    };
    SetUpAndStart(kNoStakes);
    for (const auto& [left, right, ratio, chance] : cases) {
        game.TrackHorse[0].OddsLeft = left, game.TrackHorse[0].OddsRight = right;
        EXPECT_EQ(race.Title(1, TitleStyle::WinningsRatio), ratio);
        EXPECT_EQ(race.Title(1, TitleStyle::ChanceOfWinning), chance);
    }
}

}  // namespace
