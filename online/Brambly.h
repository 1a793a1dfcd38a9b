#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/HorseRec.h"

// The two codes that carry a horse (LAN races) and a player's record (the
// leader's board) over the network: their fields as text, each followed by
// ":", enciphered with the text cipher under the game's fixed key. Other
// copies of the game and the online-services servers read exactly this form,
// so it never changes.
namespace online {

inline constexpr std::string_view kCodeKey = "Pelmora";

// The fields of a horse code: everything a horse is but its health, MoJo and
// race-day bonus.
inline constexpr int kHorseCodeFields = 13;
inline constexpr int kScoreCodeFields = 5;

// A player's record as the leader's board knows it.
struct ScoreRecord {
    std::string Name;
    std::int32_t Level = 0;
    std::int32_t LANwon = 0;
    std::int32_t LANlost = 0;
    double LANwager = 0;
    bool operator==(const ScoreRecord&) const = default;
};

std::string EncodeHorseCode(const core::HorseRec& horse);
// Sets the 13 carried fields of `horse` and returns true; returns false and
// leaves `horse` as it was when the code does not decipher, runs out of
// fields or holds a field that does not fit its type. Text after the 13th
// field is ignored. Health, HealthMAX, MoJo and RaceBonus are never touched.
bool DecodeHorseCode(std::string_view code, core::HorseRec& horse);

std::string EncodeScoreCode(const ScoreRecord& score);
std::optional<ScoreRecord> DecodeScoreCode(std::string_view code);

// Framing tests: true when `code` is exactly one whole code as a copy of the
// game writes it: it deciphers with its length marker intact and holds
// exactly the code's fields, each readable, and nothing after them. A code
// that merely begins with a valid code is not whole.
bool IsWholeHorseCode(std::string_view code);
bool IsWholeScoreCode(std::string_view code);

// The plain text of a code, or nothing when `code` is no cipher text of the
// game's key (wrong length, a code out of range, no length marker, or a
// marker that does not match the length).
std::optional<std::string> DecipherCode(std::string_view code);

// Cheap test on the first three bytes of a code: whether any code starting
// with them can decipher. Lets a reader give up on a stream at once.
bool CouldStartCode(std::string_view firstBytes);

// How far `bytes` can hold a code: the longest prefix of whole groups of
// three bytes that deciphers to characters at all. A group whose bytes
// spell a code out of range spoils every longer prefix that holds it, so
// no code that begins with `bytes` is longer. A slot digit, a capital or a
// keyword that begins a group spoils it: a reader need only try a code's end
// there, and never again further on, however a peer spreads its bytes.
std::size_t DecipherableLength(std::string_view bytes);

}  // namespace online
