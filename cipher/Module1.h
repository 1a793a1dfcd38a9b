#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Word operations of the block cipher: a word is 32 bits, kept in byte
// arrays most significant byte first.
namespace cipher {

// The big-endian word in bytes[0..3]. Each byte is widened before it is
// shifted: a byte of 0x80 or more shifted by 24 would overflow an int.
inline std::uint32_t GetWord(const unsigned char* bytes) noexcept {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) | (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

// Writes the word back into bytes[0..3] in the same order.
inline void PutWord(std::uint32_t value, unsigned char* bytes) noexcept {
    bytes[0] = static_cast<unsigned char>(value >> 24);
    bytes[1] = static_cast<unsigned char>(value >> 16);
    bytes[2] = static_cast<unsigned char>(value >> 8);
    bytes[3] = static_cast<unsigned char>(value);
}

// The same on byte strings at an offset; std::out_of_range when the four
// bytes do not all lie inside the string.
inline std::uint32_t GetWord(std::string_view bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) throw std::out_of_range("GetWord");
    return GetWord(reinterpret_cast<const unsigned char*>(bytes.data()) + offset);
}

inline void PutWord(std::uint32_t value, std::string& bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) throw std::out_of_range("PutWord");
    PutWord(value, reinterpret_cast<unsigned char*>(bytes.data()) + offset);
}

// (a + b) modulo 2^32: unsigned arithmetic wraps and never traps.
constexpr std::uint32_t UnsignedAdd(std::uint32_t a, std::uint32_t b) noexcept { return a + b; }

}  // namespace cipher
