#pragma once

#include <filesystem>
#include <string>

namespace platform {
class Dialogs;
class UserNameSource;
}  // namespace platform

namespace shell {

// True when the path names an ordinary, visible file (not a folder, not a
// hidden dot-file). The path is taken literally: "*", "?" and "[" are
// ordinary characters in Linux file names.
bool FileExists(const std::filesystem::path& path);

// The separator to put between a folder and a file name: "" when the folder
// already ends with "/", else "/".
std::string SlashFor(const std::string& folder);

// The player's name, asked afresh at every call. When the query fails the
// box "The Call Failed!" is shown and the name is empty.
std::string CurrentUserName(platform::UserNameSource& source, platform::Dialogs& dialogs);

}  // namespace shell
