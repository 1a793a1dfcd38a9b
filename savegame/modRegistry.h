#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <system_error>

#include "platform/IniDocument.h"
#include "platform/Registry.h"
#include "savegame/SettingValue.h"

// The settings store: single named values read and written either in the
// registry stand-in or in an INI file, behind one pair of operations. The
// first argument decides which: a root name ("HKCU", "HKLM", "HKU", "HKDD",
// "HKCC", "HKCR", in any case) means the registry; the path of an existing
// file means that INI file. The store never throws: every operation returns
// a status number.
namespace savegame {

// Status numbers.
inline constexpr std::int32_t kStatusDone = 0;
// The root is neither a root name nor an existing file, or an INI write of
// a type other than "S".
inline constexpr std::int32_t kStatusNothingDone = 99;
// The value read (or the default) does not convert to the receiver's type,
// or a value to write does not convert to the type asked for; the receiver
// keeps the default and nothing is written.
inline constexpr std::int32_t kStatusNotConverted = 13;
// An INI key that the file could not give back (one holding "=" or starting
// with "["); nothing is written.
inline constexpr std::int32_t kStatusBadName = 87;
// Any other number is a Windows error code: from the registry stand-in
// (platform/Registry.h: 2 no such key or value, 5 access denied, ...), or
// for a file that cannot be read or written the code StatusForFileError
// gives (5 access denied, 112 disk full, ...).

// The Windows error code for a failed file operation; never 0, 13 or 99.
std::int32_t StatusForFileError(std::error_code error);

// What a root names.
struct RootKey {
    enum class Kind { kNone, kRegistry, kIniFile };
    Kind kind = Kind::kNone;
    platform::RegKey key = 0;  // the predefined key, for kRegistry
};

// An INI value comes back with at most this many characters. A text the
// player types and the game saves (a horse's name, a contact, the server
// address) is held to it where it is typed, so what is saved is what loads.
inline constexpr std::size_t kLongestReadValue = 254;

class modRegistry {
public:
    // A store with a registry of its own (empty at the start).
    modRegistry();
    // A store over a registry shared with others.
    explicit modRegistry(platform::Registry& registry);
    ~modRegistry();
    modRegistry(const modRegistry&) = delete;
    modRegistry& operator=(const modRegistry&) = delete;

    // Reads `name` under `path` (INI: the key in the section `path`) into
    // `value`. The receiver gets the default first, so every path that reads
    // nothing leaves the default there. `type` is "S" text, "B" truth value
    // or "D" 32-bit whole number, in either case. An INI value arrives with
    // at most 254 characters. An INI file is read once per call: for many
    // values, load an IniDocument and use the forms below.
    std::int32_t ReadValue(std::string_view root, std::string_view path, std::string_view name, std::string_view type,
                           const SettingValue& defaultValue, SettingReceiver value);
    std::int32_t ReadValue(std::string_view root, std::string_view path, std::string_view name, std::string_view type,
                           SettingReceiver value);
    // Writes `value` as its text (SettingValue::Text) for "S", as a truth
    // value for "B", as a 32-bit whole number for "D". An INI file is read
    // and replaced atomically once per call; a failed replacement is
    // reported with its error code and leaves the old file whole.
    std::int32_t WriteValue(std::string_view root, std::string_view path, std::string_view name,
                            std::string_view type, const SettingValue& value);

    // The same on an INI document already in memory (INI mode with the file
    // test done): `section` and `key` as above. Writing changes only the
    // document; save it once with IniDocument::Save.
    static std::int32_t ReadValue(const platform::IniDocument& ini, std::string_view section, std::string_view key,
                                  std::string_view type, const SettingValue& defaultValue, SettingReceiver value);
    static std::int32_t ReadValue(const platform::IniDocument& ini, std::string_view section, std::string_view key,
                                  std::string_view type, SettingReceiver value);
    static std::int32_t WriteValue(platform::IniDocument& ini, std::string_view section, std::string_view key,
                                   std::string_view type, const SettingValue& value);

    // The predefined key for a root name, the INI marker for the path of an
    // existing regular file, or none.
    static RootKey RootKeyFromName(std::string_view root);

private:
    std::int32_t ReadRegistry(platform::RegKey root, std::string_view path, std::string_view name,
                              std::string_view type, SettingReceiver value);
    std::int32_t ReadRegistryValue(platform::RegKey key, std::string_view name, std::string_view type,
                                   SettingReceiver value);
    std::int32_t WriteRegistry(platform::RegKey root, std::string_view path, std::string_view name,
                               std::string_view type, const SettingValue& value);

    std::unique_ptr<platform::Registry> own_;
    platform::Registry* registry_;
};

}  // namespace savegame
