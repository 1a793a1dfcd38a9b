#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "runtime/Files.h"

// Whole-file reads and safe whole-file replacement for the cipher, over the
// runtime's (runtime/Files.h). Failures raise runtime::Error with the
// runtime's file error number and a text that names the file and the cause:
//   53 "File not found", 57 "Device I/O error", 61 "Disk full",
//   70 "Permission denied", 75 "Path/File access error", 76 "Path not found".
namespace cipher {

using runtime::kErrDeviceIO;
using runtime::kErrDiskFull;
using runtime::kErrFileNotFound;
using runtime::kErrPathFileAccess;
using runtime::kErrPathNotFound;
using runtime::kErrPermissionDenied;

// Every byte of the file, NUL bytes included, with room reserved for the
// block cipher's header and padding, so that enciphering it grows in place.
std::string ReadFileBytes(const std::filesystem::path& path);

// Replaces the file at `path` with `bytes` so that it is never missing or
// half written (runtime::WriteFileAtomically). When anything fails the old
// file stays as it was and the error is raised.
void ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace cipher
