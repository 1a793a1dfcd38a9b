#pragma once

#include <filesystem>

namespace cipher {

// True when the length of the file at `path` can be read: an existing
// regular file (or a link to one). A folder, a missing file or any failure
// gives false; nothing is thrown.
bool FileExist(const std::filesystem::path& path) noexcept;

}  // namespace cipher
