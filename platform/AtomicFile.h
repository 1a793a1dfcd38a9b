#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

// Whole-file reads and writes of bytes. A file the game rewrites is never
// left half written: the new bytes go to a temporary file in the same folder,
// which is flushed to disk and then renamed over the old file. Until the
// rename the old file is whole; after it the new one is.
namespace platform {

// Reads the whole file into `bytes`. An error (the file is missing, cannot
// be read, is a folder) leaves `bytes` empty.
std::error_code ReadFileBytes(const std::filesystem::path& file, std::string& bytes);

// Replaces `file` with `bytes`, creating it when it is missing. A new file
// gets the permissions of the old one (0666 less the umask when there was
// none). On failure the old file is as it was and no temporary file is left.
std::error_code WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

}  // namespace platform
