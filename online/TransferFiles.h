#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "runtime/Random.h"

// The files around a transfer: the path helpers of the transfer control,
// the temporary copy a sender serves, and the file a receiver writes.
namespace online::transfer {

// Paths are game text. A separator is "/" or "\"; the whole path is looked
// at, however long.

// "" when the path ends in a separator, else "/".
std::string slashval(std::string_view path);
// The text after the last separator; "" when there is none.
std::string FileFromPath(std::string_view path);
// The text before the last separator; "/NO FOLDER>" when there is none.
std::string FolderFromPath(std::string_view path);
// True when the path names an existing folder. The working directory (where
// the saved game lives) is never changed to find out.
bool IfExist(const std::string& path);

// Creates an empty file for a temporary copy of `path`, in the folder
// <folder>/<file>TRAN beside it (made when missing), named by a random
// number from 0 to 100000 and ".TMP": /game/Patch.exe gets a copy such as
// /game/Patch.exeTRAN/4711.TMP. Nothing when no name could be taken.
std::optional<std::filesystem::path> MakeTempFile(const std::filesystem::path& path, runtime::RandomSource& random);
// Removes a temporary copy, and its folder once it is empty.
void RemoveTempFile(const std::filesystem::path& copy) noexcept;

// The file a receiver writes. The bytes go to <save path>.TMP, a file made
// afresh for them; only a whole transfer replaces the save path (by a
// rename, so a file already there is whole until then); an abandoned one is
// removed.
class DownloadFile {
public:
    DownloadFile() = default;
    ~DownloadFile() { Abandon(); }
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // Starts the receive file as a new file that only its owner may read
    // (a left-over one, or a link, at its name is removed first and the
    // file made once more). An error when it cannot be made (no such folder,
    // no right to write there, something put back at its name at once).
    std::error_code Open(const std::filesystem::path& savePath);
    std::error_code Append(std::string_view bytes);
    // Writes the file to the disk and puts it at the save path.
    std::error_code Commit();
    // Closes and removes the receive file, if one is open.
    void Abandon() noexcept;

    bool IsOpen() const { return fd_ >= 0; }
    const std::filesystem::path& ReceivePath() const { return receivePath_; }

private:
    int fd_ = -1;
    std::filesystem::path savePath_;
    std::filesystem::path receivePath_;
};

// Whether a file can be created in the folder (the player may run a copy
// installed where they cannot write). Leaves nothing behind.
bool FolderIsWritable(const std::filesystem::path& folder);

}  // namespace online::transfer
