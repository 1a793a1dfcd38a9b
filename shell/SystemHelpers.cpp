#include "shell/SystemHelpers.h"

#include <system_error>

#include "platform/Dialogs.h"
#include "platform/UserName.h"

namespace shell {

bool FileExists(const std::filesystem::path& path) {
    if (path.empty()) return false;
    const std::string name = path.filename().string();
    if (name.empty() || name.front() == '.') return false;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string SlashFor(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? "" : "/";
}

std::string CurrentUserName(platform::UserNameSource& source, platform::Dialogs& dialogs) {
    if (auto name = source.Query()) return *name;
    dialogs.MsgBox("The Call Failed!", platform::kOkOnly, platform::kAppTitle);
    return "";
}

}  // namespace shell
