#include "savegame/SaveSeal.h"

#include <array>

namespace savegame {

namespace {

constexpr std::string_view kHeader = "[Data]\r\n";
constexpr std::string_view kKey = "Checksum=";
constexpr std::string_view kZeros = "00000000";
constexpr std::size_t kDigitsAt = kHeader.size() + kKey.size();
constexpr std::size_t kLineEnd = kDigitsAt + kZeros.size();

// Eight tables, so that the sum runs eight bytes at a time: a full stable is
// over half a megabyte of text.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
    Tables t{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][b] = c;
    }
    for (std::size_t b = 0; b < 256; ++b) {
        for (std::size_t s = 1; s < 8; ++s) t[s][b] = (t[s - 1][b] >> 8) ^ t[0][t[s - 1][b] & 0xFFu];
    }
    return t;
}
constexpr Tables kTables = MakeTables();

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::string HexDigits(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15u];
    return text;
}

bool HasCheckLine(std::string_view text) {
    return text.substr(0, kHeader.size()) == kHeader && text.substr(kHeader.size(), kKey.size()) == kKey;
}

// The sum of the text with the check digits as zeros.
std::uint32_t SumWithoutDigits(std::string_view text) {
    std::uint32_t crc = Crc32(text.substr(0, kDigitsAt));
    crc = Crc32(kZeros, crc);
    return Crc32(text.substr(kLineEnd), crc);
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    crc = ~crc;
    while (n >= 8) {
        const std::uint32_t low = crc ^ (static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
        crc = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^ kTables[5][(low >> 16) & 0xFFu] ^
              kTables[4][low >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
        p += 8;
        n -= 8;
    }
    while (n-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFFu];
    return ~crc;
}

void SealSaveText(std::string& text) {
    if (text.compare(0, kHeader.size(), kHeader) != 0) return;
    const bool lineThere = HasCheckLine(text) && text.size() >= kLineEnd + 2 &&
                           text.compare(kLineEnd, 2, "\r\n") == 0;
    if (!lineThere) text.insert(kHeader.size(), std::string(kKey) + std::string(kZeros) + "\r\n");
    text.replace(kDigitsAt, kZeros.size(), HexDigits(SumWithoutDigits(text)));
}

SealState CheckSaveSeal(std::string_view text) noexcept {
    if (!HasCheckLine(text)) return SealState::kNone;
    if (text.size() < kLineEnd + 2 || text.substr(kLineEnd, 2) != "\r\n") return SealState::kBroken;
    std::uint32_t written = 0;
    for (std::size_t i = kDigitsAt; i < kLineEnd; ++i) {
        if (!IsHexDigit(text[i])) return SealState::kBroken;
        written = written << 4 | static_cast<std::uint32_t>(text[i] <= '9' ? text[i] - '0' : text[i] - 'A' + 10);
    }
    return written == SumWithoutDigits(text) ? SealState::kIntact : SealState::kBroken;
}

}  // namespace savegame
