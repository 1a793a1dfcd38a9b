#include <gtest/gtest.h>

#include "development/Exercises.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using development::SpeedExercise;
using development::StaminaExercise;
using development::StartResult;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;

TEST(ExercisePoints, TablesAtTheirEdges) {
    const std::tuple<std::int32_t, int, int> cases[] = {
        // ticks, speed points, stamina points
        {0, 15, 15},  {9, 15, 15},  {10, 15, 10}, {11, 15, 10}, {12, 10, 10}, {19, 10, 10},
        {20, 10, 6},  {23, 10, 6},  {24, 6, 6},   {29, 6, 6},   {30, 6, 3},   {35, 6, 3},
        {36, 3, 3},   {39, 3, 3},   {40, 3, 1},   {47, 3, 1},   {48, 1, 1},   {49, 1, 1},
        {50, 1, 0},   {59, 1, 0},   {60, 0, 0},   {INT32_MAX, 0, 0},
    };
    for (const auto& [ticks, speed, stamina] : cases) {
        EXPECT_EQ(development::SpeedPoints(ticks), speed) << ticks;
        EXPECT_EQ(development::StaminaPoints(ticks), stamina) << ticks;
    }
}

TEST(ExercisePoints, DistanceCaptionFromTheRating) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "10m"}, {45, "310m"}, {50, "343m"}, {110, "743m"}, {-10, "-57m"},
    };
    for (const auto& [stat, caption] : cases) EXPECT_EQ(development::DistanceCaption(stat), caption) << stat;
}

class ExerciseModelTest : public ::testing::Test {
protected:
    ExerciseModelTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        horse.Name = "Happy Beauty";
        horse.Speed = horse.Stamina = 50;
        horse.Health = horse.HealthMAX = 100;
    }
    ScriptedRandom* rnd;
    core::Game game;
    RecordingNotices notices;
    core::HorseRec horse;
};

TEST_F(ExerciseModelTest, OnlyHorsesUpTo110MayTrain) {
    SpeedExercise speed;
    StaminaExercise stamina;
    horse.Speed = horse.Stamina = 111;
    EXPECT_EQ(speed.Start(horse, notices), StartResult::TooGood);
    EXPECT_EQ(notices.shown, std::vector<std::string>{"Your horse is too good to train!"});
    EXPECT_EQ(stamina.Start(horse), StartResult::TooGood);
    EXPECT_EQ(notices.shown.size(), 1u);  // the stamina refusal says nothing
    EXPECT_FALSE(speed.Running());
    EXPECT_FALSE(stamina.Running());
    horse.Speed = horse.Stamina = 110;
    EXPECT_EQ(speed.Start(horse, notices), StartResult::Started);
    EXPECT_EQ(stamina.Start(horse), StartResult::Started);
    EXPECT_EQ(speed.Tag(), "START");
    EXPECT_EQ(stamina.Tag(), "OKAY");
    EXPECT_EQ(stamina.KeysTag(), "LEFT");
    EXPECT_EQ(stamina.KeysPicture(), 146);
}

TEST_F(ExerciseModelTest, OnlyTheRedButtonMovesAndThenTheRedMoves) {
    SpeedExercise speed;
    EXPECT_FALSE(speed.Click(0, horse, game, notices).moved);  // not started
    ASSERT_EQ(speed.Start(horse, notices), StartResult::Started);
    EXPECT_FALSE(speed.Click(4, horse, game, notices).moved);
    EXPECT_EQ(speed.HorseLeft(), 360.0f);
    rnd->Push(ScriptedRandom::For(7, 8));
    EXPECT_TRUE(speed.Click(0, horse, game, notices).moved);
    EXPECT_EQ(speed.HorseLeft(), 510.0f);  // 200 - 50
    EXPECT_EQ(speed.RedButton(), 7);
    rnd->Push(0.0625f);  // Round(0.5) = 0
    speed.Click(7, horse, game, notices);
    EXPECT_EQ(speed.RedButton(), 0);
    rnd->Push(0.5625f);  // Round(4.5) = 4
    speed.Click(0, horse, game, notices);
    EXPECT_EQ(speed.RedButton(), 4);
}

TEST_F(ExerciseModelTest, ArrowsCountOnlyInTurn) {
    StaminaExercise stamina;
    ASSERT_EQ(stamina.Start(horse), StartResult::Started);
    EXPECT_FALSE(stamina.KeyDown(development::kRightArrow, horse, game, notices).moved);
    EXPECT_TRUE(stamina.KeyDown(development::kLeftArrow, horse, game, notices).moved);
    EXPECT_FALSE(stamina.KeyDown(development::kLeftArrow, horse, game, notices).moved);
    EXPECT_EQ(stamina.HorseLeft(), 370.0f);
    EXPECT_EQ(stamina.KeysTag(), "RIGHT");
    EXPECT_EQ(stamina.KeysPicture(), 148);
    EXPECT_FALSE(stamina.KeyDown(65, horse, game, notices).moved);  // "A"
    EXPECT_TRUE(stamina.KeyDown(development::kRightArrow, horse, game, notices).moved);
    EXPECT_EQ(stamina.HorseLeft(), 445.0f);  // + 125 - 50
    EXPECT_EQ(stamina.KeysTag(), "LEFT");
}

TEST_F(ExerciseModelTest, AClockAtItsLimitAbandonsTheExercise) {
    SpeedExercise speed;
    StaminaExercise stamina;
    ASSERT_EQ(speed.Start(horse, notices), StartResult::Started);
    ASSERT_EQ(stamina.Start(horse), StartResult::Started);
    rnd->Push(0.0f);
    speed.Click(0, horse, game, notices);
    stamina.KeyDown(development::kLeftArrow, horse, game, notices);
    speed.SetSpeedTicks(INT32_MAX - 1);
    stamina.SetStamTicks(INT32_MAX - 1);
    EXPECT_TRUE(speed.Tick(notices));
    EXPECT_TRUE(stamina.Tick(notices));
    EXPECT_EQ(speed.SpeedTicks(), INT32_MAX);
    EXPECT_TRUE(notices.shown.empty());

    EXPECT_FALSE(speed.Tick(notices));
    EXPECT_FALSE(stamina.Tick(notices));
    EXPECT_EQ(notices.shown, (std::vector<std::string>{"You have taken too long!", "You have taken too long!"}));
    EXPECT_FALSE(speed.Running());
    EXPECT_FALSE(stamina.Running());
    EXPECT_EQ(speed.SpeedTicks(), INT32_MAX);
    EXPECT_EQ(speed.HorseLeft(), 510.0f);  // the horse stays where it was
    EXPECT_EQ(stamina.HorseLeft(), 370.0f);
    EXPECT_EQ(stamina.KeysPicture(), 147);
    EXPECT_EQ(horse.Speed, 50);
}

TEST_F(ExerciseModelTest, SetUpEndsARunningExerciseWithoutPoints) {
    SpeedExercise speed;
    ASSERT_EQ(speed.Start(horse, notices), StartResult::Started);
    rnd->Push(ScriptedRandom::For(3, 8));
    speed.Click(0, horse, game, notices);
    speed.Tick(notices);
    speed.SetUp();
    EXPECT_FALSE(speed.Running());
    EXPECT_EQ(speed.HorseLeft(), 360.0f);
    EXPECT_EQ(speed.SpeedTicks(), 1);  // kept until the next start
    EXPECT_EQ(speed.RedButton(), 3);
    EXPECT_EQ(horse.Speed, 50);
}

}  // namespace
