#include "cipher/DABlowfish.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cipher/FileBytes.h"
#include "cipher/Module1.h"
#include "cipher/PiWords.h"
#include "cipher/modHEX.h"
#include "runtime/Error.h"
#include "runtime/Rounding.h"

namespace cipher {

namespace {

constexpr std::size_t kBlock = 8;
constexpr std::size_t kHeader = 12;
// The largest plain length whose enciphered form still fits the signed
// 32-bit length field with its overhead.
constexpr std::size_t kMaxPlain = 2147483647u - 19u;

[[noreturn]] void SizeDescriptorError() {
    throw runtime::Error(kErrObjectDefined, "", std::string(kSizeDescriptorText));
}

// The block function is written once, on a table reference, so the chaining
// loops below can run it on a local copy of the tables: the compiler then
// knows that writing the data bytes cannot change them.
inline std::uint32_t Feistel(const BlowfishTables& t, std::uint32_t x) noexcept {
    return ((t.S[0][x >> 24] + t.S[1][(x >> 16) & 0xFF]) ^ t.S[2][(x >> 8) & 0xFF]) + t.S[3][x & 0xFF];
}

// The rounds as the definition states them (L ^= P(i); R ^= F(L); R ^= P(i + 1);
// L ^= F(R)), with each P word combined into the half that F is about to
// change rather than the half F reads: the same value, but the P word no
// longer waits on the round before it.
inline void Encipher(const BlowfishTables& t, std::uint32_t& left, std::uint32_t& right) noexcept {
    std::uint32_t l = left ^ t.P[0];
    std::uint32_t r = right;
#pragma GCC unroll 8
    for (int i = 1; i < 17; i += 2) {
        r ^= t.P[i];
        r ^= Feistel(t, l);
        l ^= t.P[i + 1];
        l ^= Feistel(t, r);
    }
    left = r ^ t.P[17];
    right = l;
}

inline void Decipher(const BlowfishTables& t, std::uint32_t& left, std::uint32_t& right) noexcept {
    std::uint32_t l = right;
    std::uint32_t r = left ^ t.P[17];
#pragma GCC unroll 8
    for (int i = 16; i > 0; i -= 2) {
        l ^= t.P[i];
        l ^= Feistel(t, r);
        r ^= t.P[i - 1];
        r ^= Feistel(t, l);
    }
    left = l ^ t.P[0];
    right = r;
}

// The previous cipher block of the chain.
struct Chain {
    std::uint32_t left = 0;
    std::uint32_t right = 0;
};

// Enciphers the blocks at offsets [begin, end) in place.
void EncipherBlocks(const BlowfishTables& tables, unsigned char* data, std::size_t begin, std::size_t end,
                    Chain& chain) {
    const BlowfishTables t = tables;
    std::uint32_t l = chain.left;
    std::uint32_t r = chain.right;
    for (std::size_t o = begin; o < end; o += kBlock) {
        l ^= GetWord(data + o);
        r ^= GetWord(data + o + 4);
        Encipher(t, l, r);
        PutWord(l, data + o);
        PutWord(r, data + o + 4);
    }
    chain = {l, r};
}

void DecipherBlocks(const BlowfishTables& tables, unsigned char* data, std::size_t begin, std::size_t end,
                    Chain& chain) {
    const BlowfishTables t = tables;
    Chain previous = chain;
    for (std::size_t o = begin; o < end; o += kBlock) {
        const Chain cipherBlock{GetWord(data + o), GetWord(data + o + 4)};
        std::uint32_t l = cipherBlock.left;
        std::uint32_t r = cipherBlock.right;
        Decipher(t, l, r);
        PutWord(l ^ previous.left, data + o);
        PutWord(r ^ previous.right, data + o + 4);
        previous = cipherBlock;
    }
    chain = previous;
}

// Runs `blocks(begin, end)` over all blocks of `total` bytes and raises the
// progress events: after the block at offset o when o has reached the
// threshold, with the per cent that o is of the total, the next threshold
// lying one per cent further on. The blocks between events run in one go.
template <typename Blocks>
void RunWithProgress(std::size_t total, const DABlowfish::ProgressHandler& progress, Blocks blocks) {
    if (!progress) {
        blocks(std::size_t{0}, total);
        return;
    }
    double threshold = 0.0;
    std::size_t o = 0;
    while (o < total) {
        // The first block whose offset reaches the threshold.
        std::size_t due = o;
        if (static_cast<double>(o) < threshold) {
            due = static_cast<std::size_t>(std::ceil(threshold / kBlock)) * kBlock;
        }
        const std::size_t last = std::min(due, total - kBlock);
        blocks(o, last + kBlock);
        if (static_cast<double>(last) >= threshold) {
            const auto percent =
                static_cast<std::int32_t>(std::floor(static_cast<double>(last) / static_cast<double>(total) * 100.0));
            threshold = runtime::Round((percent + 1) / 100.0 * static_cast<double>(total) + 1.0);
            progress(percent);
        }
        o = last + kBlock;
    }
}

void PutLittleEndian(std::uint32_t value, unsigned char* bytes) noexcept {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::int32_t GetLittleEndian(std::uint32_t bigEndianWord) noexcept {
    // The word was read most significant byte first from bytes that hold a
    // little-endian number: reverse its bytes.
    const std::uint32_t value = ((bigEndianWord & 0xFFu) << 24) | ((bigEndianWord & 0xFF00u) << 8) |
                                ((bigEndianWord >> 8) & 0xFF00u) | (bigEndianWord >> 24);
    return static_cast<std::int32_t>(value);
}

// Mixes a key into the tables: each P word is combined with four key bytes
// taken cyclically, each lower byte of the word carrying the OR of its own
// key byte and all earlier ones of the word; then the tables are replaced
// by the chain of encipherments of a zero block.
void MixKey(BlowfishTables& t, std::string_view key) noexcept {
    std::size_t j = 0;
    for (auto& p : t.P) {
        std::uint32_t w = 0;
        for (int k = 0; k < 4; ++k) {
            w = ((w << 8) | (w & 0xFFu)) | static_cast<unsigned char>(key[j]);
            if (++j >= key.size()) j = 0;
        }
        p ^= w;
    }
    std::uint32_t l = 0;
    std::uint32_t r = 0;
    for (int i = 0; i < 18; i += 2) {
        Encipher(t, l, r);
        t.P[i] = l;
        t.P[i + 1] = r;
    }
    for (auto& box : t.S) {
        for (int j2 = 0; j2 < 256; j2 += 2) {
            Encipher(t, l, r);
            box[j2] = l;
            box[j2 + 1] = r;
        }
    }
}

}  // namespace

const BlowfishTables& InitialTables() noexcept {
    static const BlowfishTables tables = [] {
        BlowfishTables t{};
        for (int i = 0; i < 18; ++i) t.P[i] = kPiWords[i];
        for (int box = 0; box < 4; ++box) {
            for (int entry = 0; entry < 256; ++entry) t.S[box][entry] = kPiWords[18 + 4 * entry + box];
        }
        return t;
    }();
    return tables;
}

DABlowfish::DABlowfish() : tables_(InitialTables()), generator_(std::random_device{}()) {}

void DABlowfish::Key(std::string_view New_Value) {
    if (New_Value.empty() || New_Value == lastKey_) return;
    BlowfishTables fresh = InitialTables();
    MixKey(fresh, New_Value);
    tables_ = fresh;
    lastKey_.assign(New_Value);
}

std::uint32_t DABlowfish::F(std::uint32_t x) const noexcept { return Feistel(tables_, x); }

void DABlowfish::EncryptBlock(std::uint32_t& L, std::uint32_t& R) const noexcept { Encipher(tables_, L, R); }

void DABlowfish::DecryptBlock(std::uint32_t& L, std::uint32_t& R) const noexcept { Decipher(tables_, L, R); }

std::uint32_t DABlowfish::NextHeaderWord() {
    const std::uint32_t word = headerWords_ ? headerWords_() : static_cast<std::uint32_t>(generator_());
    return word & 0x7FFFFFFFu;
}

void DABlowfish::EncryptByte(std::string& ByteArray, std::string_view key) {
    if (ByteArray.size() > kMaxPlain) {
        throw runtime::Error(kErrObjectDefined, "", "Data too large for Blowfish encryption");
    }
    Key(key);
    const std::size_t n = ByteArray.size();
    const std::size_t m = (n + kHeader + kBlock - 1) / kBlock * kBlock;
    ByteArray.resize(m);  // the new bytes, and so the padding, are zero
    auto* data = reinterpret_cast<unsigned char*>(ByteArray.data());
    std::memmove(data + kHeader, data, n);
    PutLittleEndian(NextHeaderWord(), data);
    PutLittleEndian(NextHeaderWord(), data + 4);
    PutLittleEndian(static_cast<std::uint32_t>(n), data + 8);

    Chain chain;
    RunWithProgress(m, progress_, [&](std::size_t begin, std::size_t end) {
        EncipherBlocks(tables_, data, begin, end, chain);
    });
    if (progress_) progress_(100);
}

void DABlowfish::DecryptByte(std::string& ByteArray, std::string_view key) {
    Key(key);
    const std::size_t total = ByteArray.size();
    if (total % kBlock != 0 || total < 2 * kBlock) SizeDescriptorError();
    auto* data = reinterpret_cast<unsigned char*>(ByteArray.data());

    // The length field lies in the second block: check it before anything
    // is changed, so a refused array stays as it was.
    std::uint32_t l = GetWord(data + 8);
    std::uint32_t r = GetWord(data + 12);
    Decipher(tables_, l, r);
    const std::int64_t n = GetLittleEndian(l ^ GetWord(data));
    const auto overhead = static_cast<std::int64_t>(total) - n;
    if (n < 0 || overhead < 12 || overhead > 19) SizeDescriptorError();

    Chain chain;
    RunWithProgress(total, progress_, [&](std::size_t begin, std::size_t end) {
        DecipherBlocks(tables_, data, begin, end, chain);
    });
    std::memmove(data, data + kHeader, static_cast<std::size_t>(n));
    ByteArray.resize(static_cast<std::size_t>(n));
    if (progress_) progress_(100);
}

std::string DABlowfish::EncryptString(std::string_view Text, std::string_view key) {
    std::string bytes(Text);
    EncryptByte(bytes, key);
    return bytes;
}

std::string DABlowfish::DecryptString(std::string_view Text, std::string_view key) {
    std::string bytes(Text);
    DecryptByte(bytes, key);
    return bytes;
}

std::string DABlowfish::ReadSource(const std::filesystem::path& SourceFile) {
    const auto missing = [] { return runtime::Error(kErrObjectDefined, "", std::string(kSourceMissingText)); };
    if (!FileExist(SourceFile)) throw missing();
    try {
        return ReadFileBytes(SourceFile);
    } catch (const runtime::Error& error) {
        // Removed between the test and the read.
        if (error.Number() == kErrFileNotFound) throw missing();
        throw;
    }
}

void DABlowfish::EncryptFile(const std::filesystem::path& SourceFile, const std::filesystem::path& DestFile,
                             std::string_view key) {
    std::string bytes = ReadSource(SourceFile);
    EncryptByte(bytes, key);
    ReplaceFileBytes(DestFile, bytes);
}

void DABlowfish::DecryptFile(const std::filesystem::path& SourceFile, const std::filesystem::path& DestFile,
                             std::string_view key) {
    std::string bytes = ReadSource(SourceFile);
    DecryptByte(bytes, key);
    ReplaceFileBytes(DestFile, bytes);
}

}  // namespace cipher
