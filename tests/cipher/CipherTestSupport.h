#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cipher/DABlowfish.h"
#include "cipher/Module1.h"
#include "runtime/Error.h"

// Helpers that build and open enciphered data block by block with the
// cipher's public block function, so tests can write layouts that
// EncryptByte never produces (odd length fields) and read the header that
// DecryptByte throws away.
namespace cipher_test {

inline std::string FromHex(std::string_view hex) {
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw std::invalid_argument("not hexadecimal");
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    }
    return bytes;
}

inline std::string ToHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

inline void PutLittleEndian(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

inline std::uint32_t GetLittleEndian(std::string_view bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

// A plain layout: two header words, a length field that need not match,
// the payload, zeros up to `total` bytes.
inline std::string Layout(std::uint32_t word1, std::uint32_t word2, std::int32_t lengthField,
                          std::string_view payload, std::size_t total) {
    std::string plain(total, '\0');
    PutLittleEndian(plain, 0, word1);
    PutLittleEndian(plain, 4, word2);
    PutLittleEndian(plain, 8, static_cast<std::uint32_t>(lengthField));
    plain.replace(12, payload.size(), payload);
    plain.resize(total);
    return plain;
}

// Cipher-block chaining over whole blocks with the cipher's current tables.
inline std::string ChainEncipher(const cipher::DABlowfish& blowfish, std::string bytes) {
    std::uint32_t l = 0;
    std::uint32_t r = 0;
    for (std::size_t o = 0; o + 8 <= bytes.size(); o += 8) {
        l ^= cipher::GetWord(bytes, o);
        r ^= cipher::GetWord(bytes, o + 4);
        blowfish.EncryptBlock(l, r);
        cipher::PutWord(l, bytes, o);
        cipher::PutWord(r, bytes, o + 4);
    }
    return bytes;
}

inline std::string ChainDecipher(const cipher::DABlowfish& blowfish, std::string bytes) {
    std::uint32_t previousL = 0;
    std::uint32_t previousR = 0;
    for (std::size_t o = 0; o + 8 <= bytes.size(); o += 8) {
        const std::uint32_t cl = cipher::GetWord(bytes, o);
        const std::uint32_t cr = cipher::GetWord(bytes, o + 4);
        std::uint32_t l = cl;
        std::uint32_t r = cr;
        blowfish.DecryptBlock(l, r);
        cipher::PutWord(l ^ previousL, bytes, o);
        cipher::PutWord(r ^ previousR, bytes, o + 4);
        previousL = cl;
        previousR = cr;
    }
    return bytes;
}

// Runs `call` and returns the description of the runtime::Error it raised,
// or "(no error)".
template <typename Call>
std::string ErrorText(Call call) {
    try {
        call();
    } catch (const runtime::Error& error) {
        return error.Description();
    }
    return "(no error)";
}

}  // namespace cipher_test
