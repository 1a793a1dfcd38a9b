#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A check line that tells a damaged save file from a whole one. The block
// cipher has no check of its own: a flipped byte garbles eight bytes of the
// plain text and may leave a file that still reads, with a horse or the money
// silently gone. So the plain text of a save starts with
//   [Data]
//   Checksum=XXXXXXXX
// where XXXXXXXX is the CRC-32 (8 upper-case hexadecimal digits) of the whole
// text with those digits written as "00000000". Readers that do not know the
// key ignore it; files without it (written by older copies) read as before.
// Being the first key, the line sits between "[Data]" and "Zircona": damage
// to it that hides the line also breaks one of those two, which the load
// refuses anyway.
namespace savegame {

// CRC-32 (the polynomial of zip and PNG) of `bytes`, continuing from `crc`.
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0) noexcept;

// Writes or renews the check line of a save's plain text. A text that does
// not begin with the "[Data]" line is left as it is, without a check.
void SealSaveText(std::string& text);

enum class SealState {
    kIntact,  // the check line is there and matches
    kBroken,  // the check line is there but damaged, or does not match
    kNone,    // no check line: a file of an older copy
};
SealState CheckSaveSeal(std::string_view text) noexcept;

}  // namespace savegame
