#include "savegame/modRegistry.h"

#include <cerrno>
#include <filesystem>
#include <string>

#include "runtime/Text.h"

namespace savegame {

namespace {

// A read value holds at most this many characters: the buffer of 255 keeps
// one place for its terminating zero.
constexpr std::size_t kValueBuffer = kLongestReadValue + 1;

bool TypeIs(std::string_view type, char letter) {
    return type.size() == 1 && (type[0] == letter || type[0] == letter + ('a' - 'A'));
}

std::int32_t StatusFor(bool converted) { return converted ? kStatusDone : kStatusNotConverted; }

std::string LittleEndian32(std::uint32_t n) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xFFu);
    return bytes;
}

std::int32_t FromLittleEndian32(const unsigned char* bytes) {
    const std::uint32_t n = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                            (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    return static_cast<std::int32_t>(n);
}

}  // namespace

std::int32_t StatusForFileError(std::error_code error) {
    if (error.category() != std::generic_category() && error.category() != std::system_category()) return 31;
    switch (error.value()) {
        case ENOENT: return 2;         // ERROR_FILE_NOT_FOUND
        case ENOTDIR: return 3;        // ERROR_PATH_NOT_FOUND
        case EMFILE:
        case ENFILE: return 4;         // ERROR_TOO_MANY_OPEN_FILES
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return 5;         // ERROR_ACCESS_DENIED
        case EINVAL: return 87;        // ERROR_INVALID_PARAMETER
        case ENOSPC:
        case EDQUOT: return 112;       // ERROR_DISK_FULL
        case ENAMETOOLONG: return 206; // ERROR_FILENAME_EXCED_RANGE
        case EFBIG: return 223;        // ERROR_FILE_TOO_LARGE
        default: return 31;            // ERROR_GEN_FAILURE
    }
}

modRegistry::modRegistry() : own_(std::make_unique<platform::Registry>()), registry_(own_.get()) {}
modRegistry::modRegistry(platform::Registry& registry) : registry_(&registry) {}
modRegistry::~modRegistry() = default;

RootKey modRegistry::RootKeyFromName(std::string_view root) {
    struct Name {
        const char* name;
        platform::RegKey key;
    };
    static constexpr Name kRoots[] = {
        {"HKCU", platform::kHkeyCurrentUser}, {"HKLM", platform::kHkeyLocalMachine},
        {"HKU", platform::kHkeyUsers},        {"HKDD", platform::kHkeyDynData},
        {"HKCC", platform::kHkeyCurrentConfig}, {"HKCR", platform::kHkeyClassesRoot},
    };
    const std::string upper = runtime::UpperCase(root);
    for (const Name& entry : kRoots) {
        if (upper == entry.name) return {RootKey::Kind::kRegistry, entry.key};
    }
    std::error_code ignored;
    if (!root.empty() && std::filesystem::is_regular_file(std::filesystem::path(std::string(root)), ignored)) {
        return {RootKey::Kind::kIniFile, 0};
    }
    return {};
}

// --- INI mode ---------------------------------------------------------------

std::int32_t modRegistry::ReadValue(const platform::IniDocument& ini, std::string_view section, std::string_view key,
                                    std::string_view type, const SettingValue& defaultValue, SettingReceiver value) {
    const bool defaultFits = ConvertSetting(defaultValue, value);
    const auto found = ini.Find(section, key);
    if (TypeIs(type, 'S')) {
        // A missing key gives the default's text, to a text receiver cut as
        // a read value is; any other receiver keeps the default as it is.
        if (!found && !value.IsText()) return StatusFor(defaultFits);
        const std::string text = found ? std::string(found->substr(0, kValueBuffer - 1))
                                       : defaultValue.Text().substr(0, kValueBuffer - 1);
        return StatusFor(ConvertSetting(SettingValue(text), value));
    }
    if (TypeIs(type, 'D') || TypeIs(type, 'B')) {
        if (!found || found->empty()) return StatusFor(defaultFits);
        const std::int32_t number = ini.GetInt(section, key, 0);
        const SettingValue read = TypeIs(type, 'D') ? SettingValue(number) : SettingValue(number != 0);
        return StatusFor(ConvertSetting(read, value));
    }
    return StatusFor(defaultFits);
}

std::int32_t modRegistry::ReadValue(const platform::IniDocument& ini, std::string_view section, std::string_view key,
                                    std::string_view type, SettingReceiver value) {
    return ReadValue(ini, section, key, type, SettingValue(), value);
}

std::int32_t modRegistry::WriteValue(platform::IniDocument& ini, std::string_view section, std::string_view key,
                                     std::string_view type, const SettingValue& value) {
    if (!TypeIs(type, 'S')) return kStatusNothingDone;
    return ini.SetString(section, key, value.Text()) ? kStatusDone : kStatusBadName;
}

// --- Either mode, chosen by the root ----------------------------------------

std::int32_t modRegistry::ReadValue(std::string_view root, std::string_view path, std::string_view name,
                                    std::string_view type, const SettingValue& defaultValue, SettingReceiver value) {
    const bool defaultFits = ConvertSetting(defaultValue, value);
    const RootKey rootKey = RootKeyFromName(root);
    switch (rootKey.kind) {
        case RootKey::Kind::kNone: return kStatusNothingDone;
        case RootKey::Kind::kIniFile: {
            platform::IniDocument ini;
            if (const std::error_code error = platform::IniDocument::Load(std::string(root), ini)) {
                return StatusForFileError(error);
            }
            return ReadValue(ini, path, name, type, defaultValue, value);
        }
        case RootKey::Kind::kRegistry: {
            const std::int32_t status = ReadRegistry(rootKey.key, path, name, type, value);
            // A type that reads nothing leaves the default, which may not fit.
            const bool readsNothing = !TypeIs(type, 'S') && !TypeIs(type, 'B') && !TypeIs(type, 'D');
            return status == kStatusDone && readsNothing ? StatusFor(defaultFits) : status;
        }
    }
    return kStatusNothingDone;
}

std::int32_t modRegistry::ReadValue(std::string_view root, std::string_view path, std::string_view name,
                                    std::string_view type, SettingReceiver value) {
    return ReadValue(root, path, name, type, SettingValue(), value);
}

std::int32_t modRegistry::WriteValue(std::string_view root, std::string_view path, std::string_view name,
                                     std::string_view type, const SettingValue& value) {
    const RootKey rootKey = RootKeyFromName(root);
    switch (rootKey.kind) {
        case RootKey::Kind::kNone: return kStatusNothingDone;
        case RootKey::Kind::kIniFile: {
            if (!TypeIs(type, 'S')) return kStatusNothingDone;
            const std::filesystem::path file{std::string(root)};
            platform::IniDocument ini;
            if (const std::error_code error = platform::IniDocument::Load(file, ini)) return StatusForFileError(error);
            if (const std::int32_t status = WriteValue(ini, path, name, type, value)) return status;
            if (const std::error_code error = ini.Save(file)) return StatusForFileError(error);
            return kStatusDone;
        }
        case RootKey::Kind::kRegistry: return WriteRegistry(rootKey.key, path, name, type, value);
    }
    return kStatusNothingDone;
}

// --- Registry mode ----------------------------------------------------------

std::int32_t modRegistry::ReadRegistry(platform::RegKey root, std::string_view path, std::string_view name,
                                       std::string_view type, SettingReceiver value) {
    platform::RegKey key = 0;
    if (const std::int32_t status = registry_->OpenKey(root, path, platform::kKeyQueryValue, key)) return status;
    const std::int32_t status = ReadRegistryValue(key, name, type, value);
    const std::int32_t closed = registry_->CloseKey(key);
    return status ? status : closed;
}

std::int32_t modRegistry::ReadRegistryValue(platform::RegKey key, std::string_view name, std::string_view type,
                                            SettingReceiver value) {
    std::uint32_t valueType = 0;
    if (TypeIs(type, 'S')) {
        // First the size, then the text.
        char probe = 0;
        std::uint32_t size = 0;
        std::int32_t status = registry_->QueryValue(key, name, &valueType, &probe, &size);
        std::string text;
        if (status == platform::kErrorMoreData) {
            text.assign(size, '\0');
            status = registry_->QueryValue(key, name, &valueType, text.data(), &size);
            text.resize(size);
        }
        if (status) return status;
        if (valueType != platform::kRegSz) return kStatusNotConverted;
        // The text is stored with its terminating zero, which is no part of it.
        if (!text.empty() && text.back() == '\0') text.pop_back();
        return StatusFor(ConvertSetting(SettingValue(std::move(text)), value));
    }
    if (TypeIs(type, 'B')) {
        unsigned char bytes[2] = {0, 0};
        std::uint32_t size = sizeof bytes;
        if (const auto status = registry_->QueryValue(key, name, &valueType, reinterpret_cast<char*>(bytes), &size)) {
            return status;
        }
        if (valueType != platform::kRegBinary) return kStatusNotConverted;
        return StatusFor(ConvertSetting(SettingValue(bytes[0] != 0 || bytes[1] != 0), value));
    }
    if (TypeIs(type, 'D')) {
        unsigned char bytes[4] = {0, 0, 0, 0};
        std::uint32_t size = sizeof bytes;
        if (const auto status = registry_->QueryValue(key, name, &valueType, reinterpret_cast<char*>(bytes), &size)) {
            return status;
        }
        if (valueType != platform::kRegDword) return kStatusNotConverted;
        return StatusFor(ConvertSetting(SettingValue(FromLittleEndian32(bytes)), value));
    }
    return kStatusDone;  // another type reads nothing
}

std::int32_t modRegistry::WriteRegistry(platform::RegKey root, std::string_view path, std::string_view name,
                                        std::string_view type, const SettingValue& value) {
    // The bytes are made first, so that a value that does not convert
    // leaves the registry as it was.
    std::uint32_t valueType = 0;
    std::string data;
    bool write = true;
    if (TypeIs(type, 'S')) {
        valueType = platform::kRegSz;
        data = value.Text();
        data += '\0';
    } else if (TypeIs(type, 'B')) {
        bool truth = false;
        if (!ConvertSetting(value, truth)) return kStatusNotConverted;
        valueType = platform::kRegBinary;
        data.assign(2, truth ? '\xFF' : '\0');
    } else if (TypeIs(type, 'D')) {
        std::int32_t number = 0;
        if (!ConvertSetting(value, number)) return kStatusNotConverted;
        valueType = platform::kRegDword;
        data = LittleEndian32(static_cast<std::uint32_t>(number));
    } else {
        write = false;  // another type writes nothing
    }

    platform::RegKey key = 0;
    if (const std::int32_t status = registry_->CreateKey(root, path, platform::kKeySetValue | platform::kKeyCreateSubKey,
                                                         key)) {
        return status;
    }
    const std::int32_t status = write ? registry_->SetValue(key, name, valueType, data) : platform::kErrorSuccess;
    const std::int32_t closed = registry_->CloseKey(key);
    return status ? status : closed;
}

}  // namespace savegame
