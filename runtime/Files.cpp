#include "runtime/Files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>

namespace runtime {

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

// Temporary files of `file` are ".<name>.tmp-<process id>-<serial>": hidden,
// and telling which process wrote them.
std::string TemporaryPrefix(const std::filesystem::path& file) { return "." + file.filename().string() + ".tmp-"; }

std::filesystem::path TemporaryName(const std::filesystem::path& file, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned serial = counter.fetch_add(1) + attempt;
    return file.parent_path() /
           (TemporaryPrefix(file) + std::to_string(::getpid()) + "-" + std::to_string(serial));
}

// The writer's process id in a temporary name after its prefix, or 0.
pid_t WriterOf(std::string_view rest) {
    const auto dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0) return 0;
    long pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, pid);
    if (error != std::errc() || end != rest.data() + dash || pid <= 0) return 0;
    return static_cast<pid_t>(pid);
}

}  // namespace

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

void SyncFolder(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? "." : folder.string();
    Descriptor dir(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

std::error_code ReadFileBytes(const std::filesystem::path& file, std::string& bytes, std::size_t room) {
    bytes.clear();
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return LastError();
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return LastError();
    if (S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::is_a_directory);
    if (info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size) + room);
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

void RemoveLeftoverTemporaries(const std::filesystem::path& file) noexcept {
    try {
        const std::string prefix = TemporaryPrefix(file);
        const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            const pid_t writer = WriterOf(std::string_view(name).substr(prefix.size()));
            // A writer that is still there may be about to rename its file.
            if (writer == 0 || writer == ::getpid() || ::kill(writer, 0) == 0 || errno != ESRCH) continue;
            if (!it->is_regular_file(error)) continue;
            ::unlink(it->path().c_str());
        }
    } catch (...) {
        // Leftovers are only clutter: never a reason to fail.
    }
}

FileFault FileFaultFor(std::error_code error, bool writing) noexcept {
    if (error.category() != std::generic_category() && error.category() != std::system_category()) {
        return {kErrPathFileAccess, "Path/File access error"};
    }
    switch (error.value()) {
        case ENOENT:
            return writing ? FileFault{kErrPathNotFound, "Path not found"} : FileFault{kErrFileNotFound, "File not found"};
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

Error FileError(const char* source, std::error_code error, bool writing, const std::filesystem::path& file) {
    const FileFault fault = FileFaultFor(error, writing);
    return Error(fault.number, source,
                 std::string("Could not ") + (writing ? "write" : "read") + " the file " + file.string() + " (" +
                     fault.text + ").");
}

}  // namespace runtime
