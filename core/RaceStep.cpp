#include "core/RaceStep.h"

#include "core/Horses.h"
#include "runtime/Rounding.h"

namespace core {

using runtime::Round;
using runtime::SaturateInt;

void PrepareRaceHorse(RunnerPosition& runner, HorseRec& horse, runtime::RandomSource& rnd) {
    runner.Left = kStartLine;
    runner.Picture = horse.Colour;
    const float a = rnd.Rnd();
    const float b = rnd.Rnd();
    const std::int64_t reach = static_cast<std::int64_t>(horse.Confidence) + 1;
    const double bonus = Round(static_cast<double>(a) * static_cast<double>(reach)) + Round(b * 30.0f);
    horse.RaceBonus = SaturateInt(bonus);
}

void MoveHorseStep(RunnerPosition& runner, const HorseRec& horse, std::int16_t distance,
                   runtime::RandomSource& rnd) {
    const float left = runner.Left;
    if (left >= distance) return;
    const float progressF = left / static_cast<float>(distance) * 100.0f;
    const std::int16_t p = SaturateInt(Round(progressF));
    std::int16_t v = SaturateInt(Round(horse.Speed / 2.0) + 1);
    // The products are 32-bit in spirit; computed wide so extreme ratings
    // cannot wrap.
    const std::int64_t endWork = static_cast<std::int64_t>(horse.End) * horse.Stamina * p;
    v = SaturateInt(static_cast<std::int64_t>(Round(endWork / 10000.0)) + v);
    const std::int16_t rest = SaturateInt(static_cast<std::int64_t>(100) - p);
    const std::int64_t startWork = static_cast<std::int64_t>(horse.Start) * horse.Stamina * rest;
    v = SaturateInt(static_cast<std::int64_t>(Round(startWork / 10000.0)) + v);
    v = SaturateInt(HealthRatio(horse) * v);
    const float r = rnd.Rnd();
    const std::int16_t push = SaturateInt(static_cast<std::int64_t>(horse.RaceBonus) + v);
    runner.Left = static_cast<float>(runner.Left + push / 2.0 + Round(r * 30.0f));
}

}  // namespace core
