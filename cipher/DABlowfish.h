#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>

namespace cipher {

// Error number of every failure the block cipher raises itself (the base of
// object-defined error numbers, hexadecimal 80040000).
inline constexpr std::int32_t kErrObjectDefined = -2147221504;
// The enciphered data does not hold a plain length that fits its size: a
// wrong key, or a damaged or foreign file.
inline constexpr std::string_view kSizeDescriptorText = "Incorrect size descriptor in Blowfish decryption";
// EncryptFile and DecryptFile both name EncryptFile here.
inline constexpr std::string_view kSourceMissingText =
    "Error in Skipjack EncryptFile procedure (Source file does not exist).";

// The cipher's key-dependent state: an 18-word P-array and four S-boxes of
// 256 words, S[box][entry].
struct BlowfishTables {
    std::uint32_t P[18];
    std::uint32_t S[4][256];

    friend bool operator==(const BlowfishTables&, const BlowfishTables&) = default;
};

// The tables before any key: pi's digits, with the P-array as published
// and S(box, entry) = published S-box constant number 4 * entry + box
// (not the published layout, which is 256 * box + entry).
const BlowfishTables& InitialTables() noexcept;

// The save file's block cipher: 16-round Blowfish with its own S-box layout
// and key packing, in cipher-block chaining over a header of two random
// words and the plain length. Enciphered layout, before chaining:
//   bytes 0..3, 4..7  two random words 0..2147483647, little-endian
//   bytes 8..11       n, the plain length, signed 32-bit little-endian
//   bytes 12..12+n-1  the plain bytes
//   then 0 to 7 zero bytes, to a multiple of 8.
// The chaining reads each 8-byte block as two big-endian words.
//
// Failures raise runtime::Error: kErrObjectDefined with kSizeDescriptorText
// or kSourceMissingText, or a file error of cipher/FileBytes.h. A failed
// call leaves its array or destination file as it was.
//
// Not for concurrent use: one operation at a time per instance.
class DABlowfish {
public:
    // Receives 0..100 while data is enciphered or deciphered: 0 after the
    // first block, about one call per further per cent, and 100 at the end.
    // Called from inside the block loop: it must not throw or use the cipher.
    using ProgressHandler = std::function<void(std::int32_t percent)>;
    // Returns one header word per call; only its low 31 bits are used.
    using HeaderWordSource = std::function<std::uint32_t()>;

    // Initial tables, no key, header words from a generator of its own
    // seeded from the system's entropy source.
    DABlowfish();

    // Replaces the plain bytes by their enciphered form. A non-empty key is
    // set first (see Key); an empty one keeps the current tables.
    void EncryptByte(std::string& ByteArray, std::string_view key = {});
    // Replaces the enciphered bytes by the plain bytes. A length that is not
    // a multiple of 8 or is below 16, or a length field that leaves other
    // than 12 to 19 bytes of overhead, is refused with kSizeDescriptorText.
    void DecryptByte(std::string& ByteArray, std::string_view key = {});

    // The same on a text of Windows-1252 bytes, returned as bytes.
    std::string EncryptString(std::string_view Text, std::string_view key = {});
    std::string DecryptString(std::string_view Text, std::string_view key = {});

    // Reads SourceFile whole, enciphers or deciphers it and replaces DestFile
    // with the result (see ReplaceFileBytes: DestFile is whole, old or new,
    // at every moment). Source and destination may be the same file. A
    // missing source raises kSourceMissingText and touches nothing.
    void EncryptFile(const std::filesystem::path& SourceFile, const std::filesystem::path& DestFile,
                     std::string_view key = {});
    void DecryptFile(const std::filesystem::path& SourceFile, const std::filesystem::path& DestFile,
                     std::string_view key = {});

    // Sets the key: the tables become the initial tables with this key mixed
    // in once, however many keys came before. The same key again changes
    // nothing; the empty text is ignored and keeps the current key.
    void Key(std::string_view New_Value);

    void SetProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }
    // Fixes the header words, for known-answer tests; an empty source goes
    // back to the cipher's own generator.
    void SetHeaderWordSource(HeaderWordSource source) { headerWords_ = std::move(source); }

    // The block function and its round function on the current tables.
    std::uint32_t F(std::uint32_t x) const noexcept;
    void EncryptBlock(std::uint32_t& L, std::uint32_t& R) const noexcept;
    void DecryptBlock(std::uint32_t& L, std::uint32_t& R) const noexcept;

    const BlowfishTables& Tables() const noexcept { return tables_; }

private:
    std::uint32_t NextHeaderWord();
    std::string ReadSource(const std::filesystem::path& SourceFile);

    BlowfishTables tables_;
    std::string lastKey_;
    ProgressHandler progress_;
    HeaderWordSource headerWords_;
    std::mt19937 generator_;
};

}  // namespace cipher
