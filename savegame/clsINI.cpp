#include "savegame/clsINI.h"

#include <optional>
#include <string_view>

#include "platform/IniDocument.h"
#include "runtime/Text.h"

namespace savegame {

namespace {
// The buffer of 260 keeps one place for its terminating zero.
constexpr std::size_t kKeyBuffer = 260;
}  // namespace

std::string clsINI::GetKeyStr(const std::string& strFile, const std::string& strSection,
                              const std::string& strKey) const {
    std::string text = platform::ReadProfileString(strFile, strSection, strKey, "", kKeyBuffer);
    if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return std::string(runtime::Trim(text));
}

std::int32_t clsINI::GetKeyInt(const std::string& strFile, const std::string& strSection,
                               const std::string& strKey) const {
    return platform::ReadProfileInt(strFile, strSection, strKey, 0);
}

bool clsINI::SetKeyString(const std::string& strFile, const std::string& strSection, const std::string& strKey,
                          const std::string& strdata) const {
    return !platform::WriteProfileString(strFile, strSection, std::string_view(strKey), std::string_view(strdata));
}

bool clsINI::DeleteSection(const std::string& strFile, const std::string& strSection) const {
    return !platform::WriteProfileString(strFile, strSection, std::nullopt, std::nullopt);
}

bool clsINI::DeleteKey(const std::string& strFile, const std::string& strSection, const std::string& strKey) const {
    return !platform::WriteProfileString(strFile, strSection, std::string_view(strKey), std::nullopt);
}

}  // namespace savegame
