#pragma once

#include <cstdint>
#include <string>

// Five single operations on INI files, each one private-profile call on the
// file named: it is read, used, and for a change replaced atomically. The
// class keeps no state.
namespace savegame {

class clsINI {
public:
    // The key's value without blanks at either end, cut to 259 characters
    // and at a NUL byte; "" when the file, section or key is missing.
    std::string GetKeyStr(const std::string& strFile, const std::string& strSection, const std::string& strKey) const;
    // The whole number at the start of the value; 0 when the key is missing.
    std::int32_t GetKeyInt(const std::string& strFile, const std::string& strSection, const std::string& strKey) const;
    // The changes return true once the file holds them, false when it could
    // not be written (the old file is then as it was).
    bool SetKeyString(const std::string& strFile, const std::string& strSection, const std::string& strKey,
                      const std::string& strdata) const;
    bool DeleteSection(const std::string& strFile, const std::string& strSection) const;
    bool DeleteKey(const std::string& strFile, const std::string& strSection, const std::string& strKey) const;
};

}  // namespace savegame
