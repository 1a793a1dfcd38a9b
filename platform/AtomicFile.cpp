#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace platform {

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

// Closes a descriptor once, whatever path the caller leaves by.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Closes now and reports the result: a deferred write error can show up
    // only here.
    std::error_code Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? std::error_code{} : LastError();
    }

private:
    int fd_;
};

std::error_code WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return LastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// A name no other writer uses at the same time: the process id and a count.
std::filesystem::path TemporaryName(const std::filesystem::path& file, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned serial = counter.fetch_add(1) + attempt;
    std::string name = "." + file.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                       std::to_string(serial);
    return file.parent_path() / name;
}

// The directory entry for the rename must reach the disk too; a folder that
// cannot be synced (some file systems refuse) is no reason to fail the write.
void SyncFolder(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? "." : folder.string();
    Descriptor dir(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

}  // namespace

std::error_code ReadFileBytes(const std::filesystem::path& file, std::string& bytes) {
    bytes.clear();
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return LastError();
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return LastError();
    if (S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::is_a_directory);
    if (info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            const std::error_code error = LastError();
            bytes.clear();
            return error;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return {};
}

std::error_code WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    if (file.filename().empty()) return std::make_error_code(std::errc::is_a_directory);
    struct stat old {};
    const bool hadOld = ::stat(file.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) return std::make_error_code(std::errc::is_a_directory);

    std::filesystem::path temporary;
    int raw = -1;
    for (unsigned attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temporary = TemporaryName(file, attempt);
        raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST) return LastError();
    }
    if (raw < 0) return std::make_error_code(std::errc::file_exists);
    Descriptor fd(raw);

    std::error_code error = WriteAll(fd.Get(), bytes);
    if (!error && hadOld && ::fchmod(fd.Get(), old.st_mode & 07777) != 0) error = LastError();
    if (!error && ::fsync(fd.Get()) != 0) error = LastError();
    if (const std::error_code closed = fd.Close(); !error) error = closed;
    if (!error && ::rename(temporary.c_str(), file.c_str()) != 0) error = LastError();
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    SyncFolder(file.parent_path());
    return {};
}

}  // namespace platform
