#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Whole-file reads and safe whole-file replacement. Failures raise
// runtime::Error with the runtime's file error number and a text that names
// the file and the cause:
//   53 "File not found", 57 "Device I/O error", 61 "Disk full",
//   70 "Permission denied", 75 "Path/File access error", 76 "Path not found".
namespace cipher {

inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrDeviceIO = 57;
inline constexpr std::int32_t kErrDiskFull = 61;
inline constexpr std::int32_t kErrPermissionDenied = 70;
inline constexpr std::int32_t kErrPathFileAccess = 75;
inline constexpr std::int32_t kErrPathNotFound = 76;

// Every byte of the file, NUL bytes included.
std::string ReadFileBytes(const std::filesystem::path& path);

// Replaces the file at `path` with `bytes` so that it is never missing or
// half written: the bytes go to a new file in the same folder, which is
// flushed to the disk and then renamed over the old one. When anything fails
// the temporary file is removed, the old file stays as it was, and the error
// is raised.
void ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace cipher
