#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/HorseRec.h"

// Tree keys of horses: "STUD" (male) or "MAIR" (female) followed by the
// horse's slot number in its array, in decimal.
namespace core {

inline constexpr std::string_view kStudPrefix = "STUD";
inline constexpr std::string_view kMarePrefix = "MAIR";

// "STUD" & index for Sex 1, otherwise "MAIR" & index.
std::string HorseKey(std::int32_t sex, int index);
std::string HorseKey(const HorseRec& horse, int index);
// A key with another sex prefix's four characters kept ("STUD7" -> "STUD" & index).
std::string KeyWithIndex(std::string_view key, int index);

// The slot number of a key: its characters after the first four, read as a
// whole number. Nothing when they are not one, or the slot is out of range.
std::optional<int> KeyIndex(std::string_view key, int slots);

// The image of a horse's node: its coat less 100.
inline int CoatImage(const HorseRec& horse) { return horse.Colour - 100; }

}  // namespace core
