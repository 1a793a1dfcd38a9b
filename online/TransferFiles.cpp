#include "online/TransferFiles.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/Files.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace online::transfer {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

// Tries enough names that a folder crowded with copies still yields one,
// and gives up instead of drawing for ever.
constexpr int kNameDraws = 1000;

}  // namespace

std::string slashval(std::string_view path) {
    return !path.empty() && IsSeparator(path.back()) ? std::string() : std::string("/");
}

std::string FileFromPath(std::string_view path) {
    const std::size_t at = LastSeparator(path);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(at + 1));
}

std::string FolderFromPath(std::string_view path) {
    const std::size_t at = LastSeparator(path);
    return at == std::string_view::npos ? std::string("/NO FOLDER>") : std::string(path.substr(0, at));
}

bool IfExist(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(std::filesystem::path(path), error);
}

std::optional<std::filesystem::path> MakeTempFile(const std::filesystem::path& path, runtime::RandomSource& random) {
    const std::string text = path.string();
    const std::string folder = FolderFromPath(text);
    const std::string copies = folder + slashval(folder) + FileFromPath(text) + "TRAN";
    if (!IfExist(copies)) {
        std::error_code error;
        std::filesystem::create_directory(copies, error);
        if (error) return std::nullopt;
    }
    for (int draw = 0; draw < kNameDraws; ++draw) {
        const double number = runtime::Round(random.Rnd() * 100000.0f);
        const std::string name = copies + "/" + runtime::NumberText(static_cast<std::int64_t>(number)) + ".TMP";
        // Taken only if nobody else has it, so two senders never share one.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return std::filesystem::path(name);
        }
        if (errno != EEXIST) break;
    }
    std::error_code ignored;
    std::filesystem::remove(copies, ignored);  // only if it is empty
    return std::nullopt;
}

void RemoveTempFile(const std::filesystem::path& copy) noexcept {
    if (copy.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(copy, ignored);
    std::filesystem::remove(copy.parent_path(), ignored);  // only if it is empty now
}

// ---- DownloadFile ----------------------------------------------------------

std::error_code DownloadFile::Open(const std::filesystem::path& savePath) {
    Abandon();
    savePath_ = savePath;
    const std::filesystem::path receive(savePath.string() + ".TMP");
    // Only a file made now will do, readable by the player alone: never one
    // left at the name, nor whatever a link planted there (the program's
    // folder may be shared) points to.
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    fd_ = ::open(receive.c_str(), kFlags, 0600);
    if (fd_ < 0 && errno == EEXIST) {
        // A left-over (or a link: removing it leaves its target alone), once.
        std::error_code ignored;
        std::filesystem::remove(receive, ignored);
        fd_ = ::open(receive.c_str(), kFlags, 0600);
    }
    if (fd_ < 0) return LastError();
    receivePath_ = receive;
    return {};
}

std::error_code DownloadFile::Append(std::string_view bytes) {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    return runtime::WriteAll(fd_, bytes);
}

std::error_code DownloadFile::Commit() {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    std::error_code error;
    if (::fsync(fd_) != 0) error = LastError();
    if (::close(fd_) != 0 && !error) error = LastError();
    fd_ = -1;
    if (!error && ::rename(receivePath_.c_str(), savePath_.c_str()) != 0) error = LastError();
    if (!error) runtime::SyncFolder(savePath_.parent_path());
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(receivePath_, ignored);
    }
    receivePath_.clear();
    return error;
}

void DownloadFile::Abandon() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!receivePath_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(receivePath_, ignored);
        receivePath_.clear();
    }
}

bool FolderIsWritable(const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::string probe = (folder / ".trotwick-write-test-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace online::transfer
