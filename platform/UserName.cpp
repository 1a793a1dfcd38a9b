#include "platform/UserName.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "runtime/Text.h"

namespace platform {

std::optional<std::string> SystemUserName::Query() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_name == nullptr || found->pw_name[0] == '\0') {
        return std::nullopt;
    }
    // Login names are UTF-8 on this system; the game carries Windows-1252.
    return runtime::Utf8ToCp1252(found->pw_name);
}

}  // namespace platform
