#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "runtime/Error.h"

// Whole-file reads and writes of bytes. A file the game rewrites is never
// left half written: the new bytes go to a temporary file in the same folder,
// which is flushed to the disk and then renamed over the old file. Until the
// rename the old file is whole; after it the new one is.
namespace runtime {

// Reads the whole file into `bytes`, NUL bytes included, with room for
// `room` more bytes reserved beyond the file's size (so that a caller that
// grows the bytes in place does not copy them). A missing file gives
// no_such_file_or_directory, a folder is_a_directory; on any error `bytes`
// is left empty.
std::error_code ReadFileBytes(const std::filesystem::path& file, std::string& bytes, std::size_t room = 0);

// Replaces `file` with `bytes`, creating it when it is missing. A new file
// gets the permissions of the old one (0666 less the umask when there was
// none). On failure the old file is as it was and no temporary file is left.
std::error_code WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Removes the temporary files that writers of `file` stopped mid-write left
// beside it (a process killed before its rename). A temporary file of a
// writer that is still running is left alone. Nothing is reported.
void RemoveLeftoverTemporaries(const std::filesystem::path& file) noexcept;

// Writes every byte to the descriptor, going on after interruptions.
std::error_code WriteAll(int fd, std::string_view bytes);

// Puts a folder's entries (a rename into it) on the disk. A folder that
// cannot be synced (some file systems refuse) is no reason to fail a write,
// so nothing is reported.
void SyncFolder(const std::filesystem::path& folder);

// The runtime's file error numbers.
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrDeviceIO = 57;
inline constexpr std::int32_t kErrDiskFull = 61;
inline constexpr std::int32_t kErrPermissionDenied = 70;
inline constexpr std::int32_t kErrPathFileAccess = 75;
inline constexpr std::int32_t kErrPathNotFound = 76;

// A failed file operation as the runtime names it: 53 "File not found",
// 57 "Device I/O error", 61 "Disk full", 70 "Permission denied",
// 75 "Path/File access error", 76 "Path not found" (a missing file is
// "Path not found" when writing: its folder is what is missing).
struct FileFault {
    std::int32_t number;
    const char* text;
};
FileFault FileFaultFor(std::error_code error, bool writing) noexcept;

// The error to raise for a failed read or write of `file`: the fault's
// number, `source`, and "Could not read the file <file> (<text>)." (or
// "write").
Error FileError(const char* source, std::error_code error, bool writing, const std::filesystem::path& file);

}  // namespace runtime
