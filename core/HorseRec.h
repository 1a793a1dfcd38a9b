#pragma once

#include <cstdint>
#include <string>

namespace core {

// One horse, wherever it is: stable, market, betting field, opponents or a LAN
// race. Copying a record copies every field. A record whose Name is empty
// marks a free slot.
struct HorseRec {
    std::string Name;
    std::int32_t Confidence = 0;  // percent
    std::int32_t Health = 0;
    std::int32_t HealthMAX = 0;
    std::int32_t Speed = 0;
    std::int32_t Stamina = 0;
    std::int32_t OddsLeft = 0;    // odds L/R: a stake of R wins L
    std::int32_t OddsRight = 0;
    std::int32_t Colour = 0;      // coat picture 101..145
    std::int32_t MoJo = 0;        // breeding capacity
    std::int32_t Sex = 0;         // 1 male, 2 female
    double RRP = 0.0;             // price in pounds
    std::string Mother;           // "???" when not recorded
    std::string Father;
    std::int16_t Start = 0;       // effort at the start of a race, 0..100
    std::int16_t End = 0;         // effort at the end
    std::int16_t RaceBonus = 0;   // rolled on the start line, never saved

    bool IsFree() const { return Name.empty(); }
    bool operator==(const HorseRec&) const = default;
};

inline constexpr std::int32_t kMale = 1;
inline constexpr std::int32_t kFemale = 2;
inline constexpr const char* kUnknownParent = "???";

// Frees a slot: every field back to empty and zero, except the race-day bonus,
// which belongs to the race the slot was last in.
inline void ClearHorse(HorseRec& horse) {
    const std::int16_t bonus = horse.RaceBonus;
    horse = HorseRec{};
    horse.RaceBonus = bonus;
}

}  // namespace core
