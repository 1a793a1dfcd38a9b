#pragma once

#include <cstdint>

#include "core/HorseRec.h"
#include "runtime/Random.h"

// The horse's part of every race: the start line and one step per tick.
// Positions are single-precision twips from the track's left edge.
namespace core {

inline constexpr float kStartLine = 360.0f;

// A runner on a track: its position and its coat picture.
struct RunnerPosition {
    float Left = 0.0f;
    std::int32_t Picture = 0;
};

// Puts the horse on the start line with its coat and rolls its race-day
// bonus (two draws).
void PrepareRaceHorse(RunnerPosition& runner, HorseRec& horse, runtime::RandomSource& rnd);

// One tick: a horse at or past the distance stays and draws nothing;
// otherwise it moves by its pace, its bonus and a random 0 to 30 twips.
void MoveHorseStep(RunnerPosition& runner, const HorseRec& horse, std::int16_t distance,
                   runtime::RandomSource& rnd);

}  // namespace core
