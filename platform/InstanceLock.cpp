#include "platform/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

std::string SafeName(std::string name) {
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        if (!plain) c = '_';
    }
    if (name.empty() || name.front() == '.') name.insert(0, "_");
    return name;
}

bool IsUsableFolder(const char* folder) {
    if (folder == nullptr || folder[0] != '/') return false;
    std::error_code error;
    return std::filesystem::is_directory(folder, error);
}

}  // namespace

std::filesystem::path LockFilePath(const std::string& name) {
    const std::string file = SafeName(name);
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); IsUsableFolder(runtime)) {
        return std::filesystem::path(runtime) / (file + ".lock");
    }
    // A shared folder: the user id keeps users apart.
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error || temp.empty()) temp = "/tmp";
    return temp / (file + "-" + std::to_string(geteuid()) + ".lock");
}

InstanceLock::InstanceLock(std::string name) : path_(LockFilePath(name)) {}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Acquire() {
    if (fd_ >= 0) return Result::Acquired;
    // No link is followed and the file must be our own: a file planted by
    // someone else in a shared folder can neither be written through nor
    // keep this user's game from starting.
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Unavailable;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return Result::Unavailable;
    }
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::HeldElsewhere : Result::Unavailable;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    // Closing drops the lock. The file stays: removing it could let a third
    // copy lock a new file while a second one still holds the old one.
    ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
