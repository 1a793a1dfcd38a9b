#pragma once

#include <cstdint>
#include <string>

#include "core/HorseRec.h"
#include "runtime/Random.h"

// Making and rating horses.
namespace core {

struct Odds {
    std::int32_t Left;
    std::int32_t Right;
    bool operator==(const Odds&) const = default;
};

// Overwrites every field but RaceBonus with a new random horse. The draws
// come in a fixed order (first word, second word, health, sex, speed,
// stamina, coat pairs until one lands in 101..145, confidence, start, mojo,
// then the price's draw), so a scripted source gives a known horse.
void GenerateHorse(HorseRec& horse, runtime::RandomSource& rnd);

// The fractional-odds ladder for a rating, unreduced (6/4 stays 6/4).
Odds OddsForRating(std::int32_t rating);
void OddsForRating(std::int32_t rating, std::int32_t& oddsLeft, std::int32_t& oddsRight);

// The price of a horse, drawing one random number: between s^2 and 101 s^2
// for a healthy horse, s being speed + stamina + confidence. A horse without
// a usable maximum health counts as having no health; a price beyond the
// 32-bit range stops at its limit.
std::int32_t HorsePrice(const HorseRec& horse, runtime::RandomSource& rnd);

// "Steady Pace", "Strong Start", "Aggressive Start", "Strong Finish" or
// "Aggressive Finish"; the finish tests come last and win.
std::string PaceStyleName(const HorseRec& horse);

// Health / HealthMAX as the price and the race step use it: 0 when the
// maximum is not positive, never below 0.
double HealthRatio(const HorseRec& horse);

}  // namespace core
