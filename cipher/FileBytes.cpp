#include "cipher/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "runtime/Error.h"

namespace cipher {

namespace {

struct FileFault {
    std::int32_t number;
    const char* text;
};

// The runtime's number and text for a failed system call.
FileFault FaultFor(int error, bool writing) {
    switch (error) {
        case ENOENT: return writing ? FileFault{kErrPathNotFound, "Path not found"} : FileFault{kErrFileNotFound, "File not found"};
        case ENOTDIR: return {kErrPathNotFound, "Path not found"};
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return {kErrDiskFull, "Disk full"};
        case EACCES:
        case EPERM:
        case EROFS: return {kErrPermissionDenied, "Permission denied"};
        case EIO: return {kErrDeviceIO, "Device I/O error"};
        default: return {kErrPathFileAccess, "Path/File access error"};
    }
}

// `action` is "read" or "write".
[[noreturn]] void Fail(const char* source, const std::string& action, const std::filesystem::path& path, int error) {
    const FileFault fault = FaultFor(error, action == "write");
    throw runtime::Error(fault.number, source,
                         "Could not " + action + " the file " + path.string() + " (" + fault.text + ").");
}

// Closes the descriptor when it goes out of scope, unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    // Closes now and reports whether the close (the last chance for a
    // delayed write error) succeeded.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A new, empty file next to `path` that no one else has opened. Created
// with the usual permissions (the umask applies), as a plain new file would be.
int CreateTemporaryBeside(const std::filesystem::path& path, std::filesystem::path& temporary) {
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path;
        temporary += "." + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".tmp";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes the rename itself durable; a folder that cannot be synced is no
// reason to report a failed write, since the file is already in place.
void SyncFolderOf(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string ReadFileBytes(const std::filesystem::path& path) {
    constexpr const char* kSource = "ReadFileBytes";
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) Fail(kSource, "read", path, errno);

    std::string bytes;
    struct stat info {};
    // Room for the block cipher's header and padding, so that enciphering
    // what was read grows it in place.
    constexpr std::size_t kRoom = 24;
    if (::fstat(file.Get(), &info) == 0 && info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size) + kRoom);
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            Fail(kSource, "read", path, errno);
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

void ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    constexpr const char* kSource = "ReplaceFileBytes";
    std::filesystem::path temporary;
    Descriptor file(CreateTemporaryBeside(path, temporary));
    if (file.Get() < 0) Fail(kSource, "write", path, errno);

    const auto discard = [&](int error) {
        ::unlink(temporary.c_str());
        Fail(kSource, "write", path, error);
    };
    if (!WriteAll(file.Get(), bytes)) discard(errno);
    if (::fsync(file.Get()) != 0) discard(errno);
    if (!file.Close()) discard(errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) discard(errno);
    SyncFolderOf(path);
}

}  // namespace cipher
