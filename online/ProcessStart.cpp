#include "online/ProcessStart.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

extern char** environ;

namespace online {

namespace fs = std::filesystem;

// ---- ProgramFile -------------------------------------------------------------

std::optional<ProgramFile> ProgramFile::OpenOwn(const fs::path& path) {
    // No link is followed, and nothing but a regular file is waited for: a
    // pipe put at the name would otherwise hold the open until a writer came.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    ProgramFile file(fd, path);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return std::nullopt;
    // Another user's file, or a second name for one of the player's own
    // files, is nothing the game fetched.
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1) return std::nullopt;
    // It runs as the player: nobody else may run it.
    if (::fchmod(fd, S_IRWXU) != 0) return std::nullopt;
    return file;
}

ProgramFile::~ProgramFile() {
    if (fd_ >= 0) ::close(fd_);
}

ProgramFile::ProgramFile(ProgramFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

ProgramFile& ProgramFile::operator=(ProgramFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

// ---- Starting --------------------------------------------------------------

namespace {

// What to run: a file by its descriptor, or else by its path.
struct Program {
    int fd = -1;
    const char* path = nullptr;
    // A script: its interpreter opens it again through /dev/fd, so the
    // descriptor must outlive the start in the program's process.
    bool script = false;
};

void Report(int pipe, int error) {
    [[maybe_unused]] const ssize_t written = ::write(pipe, &error, sizeof error);
}

// In the new process, where only calls safe after fork are made. Tells the
// game through `report` why the program could not be run.
[[noreturn]] void Run(const Program& program, char* const argv[], int report) {
    // What the game blocked or ignored is not the program's business.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    ::sigemptyset(&plain.sa_mask);
    ::sigaction(SIGPIPE, &plain, nullptr);
    if (program.fd >= 0) {
        if (program.script) ::fcntl(program.fd, F_SETFD, 0);
        ::fexecve(program.fd, argv, environ);
    } else {
        ::execv(program.path, argv);
    }
    Report(report, errno);
    ::_exit(127);
}

// Runs the program in a grandchild of the game, in a session of its own,
// so the game never waits for it. True once the program runs: the report
// pipe closes at the start, unwritten.
bool Spawn(const Program& program, std::vector<std::string> arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) Run(program, argv.data(), report[1]);
        if (grandchild < 0) Report(report[1], errno);
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    // (With children reaped by the system there is no status to read.)
    const bool childEnded = waited != child || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return got == 0 && childEnded;
}

bool IsScript(int fd) {
    char start[2] = {};
    return ::pread(fd, start, sizeof start, 0) == 2 && start[0] == '#' && start[1] == '!';
}

}  // namespace

bool ProcessStarter::StartFileDetached(const ProgramFile& program, const std::vector<std::string>& arguments) {
    return StartDetached(fs::path("/proc/self/fd/" + std::to_string(program.Descriptor())), arguments);
}

bool SystemProcessStarter::StartDetached(const fs::path& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Spawn({-1, program.c_str(), false}, std::move(argv));
}

bool SystemProcessStarter::StartFileDetached(const ProgramFile& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program.Path().string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Spawn({program.Descriptor(), nullptr, IsScript(program.Descriptor())}, std::move(argv));
}

}  // namespace online
