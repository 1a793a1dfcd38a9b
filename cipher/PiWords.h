#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace cipher {

// The hexadecimal digits of the fractional part of pi, 32 bits a word, most
// significant first: Blowfish's published constants. Words 0 to 17 are its
// P-array, words 18 onwards its four S-boxes of 256 words one after another.
inline constexpr std::size_t kPiWordCount = 18 + 4 * 256;
extern const std::array<std::uint32_t, kPiWordCount> kPiWords;

}  // namespace cipher
