#pragma once

#include <string>

#include "core/HorseRec.h"
#include "online/Brambly.h"

// Horses for the LAN race tests: full health and no race-day luck of their
// own, so with every random draw 0 a horse of speed and stamina 100 moves
// exactly 50.5 twips a tick.
namespace testing_support {

inline core::HorseRec LanHorse(const std::string& name, int colour, int speed = 100, int stamina = 100) {
    core::HorseRec h;
    h.Name = name;
    h.Colour = colour;
    h.Sex = core::kFemale;
    h.Speed = speed;
    h.Stamina = stamina;
    h.Confidence = 40;
    h.Start = h.End = 50;
    h.Health = h.HealthMAX = 100;
    h.MoJo = 7;
    h.Mother = "Old Nell";
    h.Father = "???";
    return h;
}

// The same horse as a stallion.
inline core::HorseRec Male(core::HorseRec horse) {
    horse.Sex = core::kMale;
    return horse;
}

// A player's "HORSE>" message for the horse.
inline std::string HorseOffer(const core::HorseRec& horse) { return "HORSE>" + online::EncodeHorseCode(horse); }

}  // namespace testing_support
