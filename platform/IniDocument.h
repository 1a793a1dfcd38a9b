#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

// Our private-profile (INI) files: "[Section]" lines, each followed by
// "Key=Value" lines. Everything is bytes (Windows-1252); section and key
// names are matched without regard to case and with blanks around them
// ignored; values are read without the blanks around them.
//
// An IniDocument is the whole file in memory. Load it once, read and change
// as many values as needed, and write it once: a save of thousands of keys
// never touches the disk per key. Lines the document does not understand
// (comments, blank lines, stray text) are kept as they were.
namespace platform {

class IniDocument {
public:
    IniDocument() = default;

    // Reads a file's bytes. Line breaks may be CR LF, LF or CR.
    static IniDocument Parse(std::string_view bytes);
    // The file's bytes: every line ends with CR LF.
    std::string Serialize() const;

    // Loads a file; on error `document` is left empty. A missing file gives
    // std::errc::no_such_file_or_directory.
    static std::error_code Load(const std::filesystem::path& file, IniDocument& document);
    // Replaces the file atomically (see AtomicFile.h); on failure the old
    // file is as it was.
    std::error_code Save(const std::filesystem::path& file) const;

    // The value of a key, or nothing when the section or the key is missing.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;

    // As GetPrivateProfileString reads: the value, or `defaultValue` when the
    // key is missing, cut to `bufferSize` - 1 characters (the buffer keeps
    // one place for its terminating zero).
    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          std::size_t bufferSize) const;
    // As GetPrivateProfileInt reads: the whole number at the start of the
    // value (an optional sign and decimal digits, clamped to 32 bits; 0 when
    // the value does not start with one), or `defaultValue` when the key is
    // missing or its value is empty.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t defaultValue) const;

    // Writes a value: an existing key keeps its place and gets the new value;
    // a new key goes at the end of its section; a new section goes at the end
    // of the document. A CR or LF in a name or value becomes a blank, so that
    // no write can split a line. Returns false, changing nothing, for a key
    // that the file could not give back as written (one holding "=" or
    // starting with "[").
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    // Remove a key, or a section with all its lines; false when it was not there.
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

private:
    struct Line {
        std::string text;  // as in the file, without its line break
        bool isKey = false;
        // For a key line: the trimmed key and value inside `text`.
        std::uint32_t keyBegin = 0, keyLength = 0, valueBegin = 0, valueLength = 0;

        std::string_view Key() const { return std::string_view(text).substr(keyBegin, keyLength); }
        std::string_view Value() const { return std::string_view(text).substr(valueBegin, valueLength); }
    };
    // Names hash and compare without regard to case, so that lookups need
    // no folded copy of the name.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    using NameIndex = std::unordered_map<std::string, std::size_t, NameHash, NameEqual>;

    struct KeyRef {
        std::size_t hash;
        std::size_t line;
    };
    struct Section {
        std::string header;  // the "[Name]" line; empty for the lines before the first section
        std::vector<Line> lines;
        // Every key line in file order. A saved game's sections hold a few
        // dozen keys at most, which a scan finds fastest; a section with
        // many keys gets an index as well.
        std::vector<KeyRef> keys;
        std::unique_ptr<NameIndex> bigIndex;  // key as in the file -> first line holding it

        std::optional<std::size_t> FindKey(std::string_view key) const;
        void AddKey(std::size_t line);
    };

    static Line ParseLine(std::string text);
    static bool IsSectionHeader(std::string_view text, std::string_view* name);
    void AppendLine(std::string text);
    void IndexSection(std::size_t index);
    void IndexNames();
    const Section* FindSection(std::string_view section) const;
    Section* FindSection(std::string_view section);
    const Line* FindLine(std::string_view section, std::string_view key) const;

    // sections_[0] holds the lines before the first section header, which no
    // section name reaches.
    std::vector<Section> sections_ = std::vector<Section>(1);
    NameIndex index_;  // section name as in the file -> first section
};

// One private-profile call on a file, as the system functions make it: the
// file is read, used, and for a write replaced whole. Use an IniDocument
// directly for more than a few values.
//
// A missing or unreadable file reads as one without the key.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferSize);
std::int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                            std::int32_t defaultValue);
// Sets a key; no key deletes the section, a key without a value deletes the
// key. A missing file is created for a value (never for a deletion); a file
// that exists but cannot be read is left alone and its error returned.
// A refused key gives std::errc::invalid_argument.
std::error_code WriteProfileString(const std::filesystem::path& file, std::string_view section,
                                   std::optional<std::string_view> key, std::optional<std::string_view> value);

}  // namespace platform
