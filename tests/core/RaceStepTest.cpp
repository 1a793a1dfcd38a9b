#include <gtest/gtest.h>

#include "core/RaceStep.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using core::HorseRec;
using core::RunnerPosition;
using testing_support::ScriptedRandom;

HorseRec Runner(int speed, int stamina, int start, int end, int health, int healthMax, int bonus) {
    HorseRec h;
    h.Speed = speed, h.Stamina = stamina;
    h.Start = static_cast<std::int16_t>(start), h.End = static_cast<std::int16_t>(end);
    h.Health = health, h.HealthMAX = healthMax;
    h.RaceBonus = static_cast<std::int16_t>(bonus);
    h.Colour = 120;
    return h;
}

TEST(PrepareRaceHorse, PutsTheHorseOnTheStartLineWithItsBonus) {
    HorseRec horse = Runner(0, 0, 50, 50, 100, 100, 0);
    horse.Confidence = 0;
    RunnerPosition runner{5000.0f, 0};
    ScriptedRandom rnd{0.999f, 0.999f};  // Round(0.999 * 1) + Round(29.97) = 1 + 30
    core::PrepareRaceHorse(runner, horse, rnd);
    EXPECT_EQ(runner.Left, 360.0f);
    EXPECT_EQ(runner.Picture, 120);
    EXPECT_EQ(horse.RaceBonus, 31);

    horse.Confidence = 100;
    ScriptedRandom half{0.5f, 0.5f};  // Round(50.5) = 50, Round(15) = 15
    core::PrepareRaceHorse(runner, horse, half);
    EXPECT_EQ(horse.RaceBonus, 65);
}

struct StepCase {
    HorseRec horse;
    float left;
    float draw;
    float expected;
};

TEST(MoveHorseStep, MovesByPaceBonusAndDraw) {
    const StepCase cases[] = {
        // v = Round(100 / 2) + 1 + 25 + 25 = 101 at every progress; (60 + 101) / 2 = 80.5
        {Runner(100, 100, 50, 50, 100, 100, 60), 360.0f, 0.0f, 440.5f},
        {Runner(100, 100, 50, 50, 100, 100, 60), 4000.0f, 0.5f, 4000.0f + 80.5f + 15.0f},
        // no ratings: v = 1; (0 + 1) / 2 keeps its half
        {Runner(0, 0, 50, 50, 100, 100, 0), 360.0f, 0.0f, 360.5f},
        // half health: v = 101 * 0.5 = 50.5 -> 50 (ties to even); (0 + 50) / 2 = 25
        {Runner(100, 100, 50, 50, 50, 100, 0), 360.0f, 0.0f, 385.0f},
        // speed 103: Round(51.5) + 1 = 53
        {Runner(103, 0, 50, 50, 100, 100, 1), 360.0f, 0.0f, 360.0f + 27.0f},
        // no usable maximum health: the pace counts as nothing, the bonus still moves it
        {Runner(100, 100, 50, 50, 100, 0, 10), 360.0f, 0.0f, 365.0f},
    };
    for (const auto& c : cases) {
        RunnerPosition runner{c.left, 0};
        ScriptedRandom rnd{c.draw};
        core::MoveHorseStep(runner, c.horse, 7800, rnd);
        EXPECT_FLOAT_EQ(runner.Left, c.expected) << c.horse.Speed << " from " << c.left;
        EXPECT_EQ(rnd.Used(), 1u);
    }
}

TEST(MoveHorseStep, StartAndEndCarryTheWeightByProgress) {
    // Start 100 / End 0 with stamina 100: at the start line p = Round(360 / 7800 * 100) = 5,
    // so v = 1 + 0 + Round(100 * 100 * 95 / 10000) = 96.
    const HorseRec sprinter = Runner(0, 100, 100, 0, 100, 100, 0);
    RunnerPosition runner{360.0f, 0};
    ScriptedRandom rnd{0.0f};
    core::MoveHorseStep(runner, sprinter, 7800, rnd);
    EXPECT_FLOAT_EQ(runner.Left, 360.0f + 48.0f);
}

TEST(MoveHorseStep, AnArrivedHorseStaysAndDrawsNothing) {
    const HorseRec horse = Runner(100, 100, 50, 50, 100, 100, 60);
    for (float left : {7800.0f, 9000.0f}) {
        RunnerPosition runner{left, 0};
        ScriptedRandom rnd;
        core::MoveHorseStep(runner, horse, 7800, rnd);
        EXPECT_EQ(runner.Left, left);
        EXPECT_EQ(rnd.Used(), 0u);
    }
}

}  // namespace
