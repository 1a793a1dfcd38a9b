#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

// Runs part of a test in a child process, for conditions the test process
// must not put on itself: no write permission although the tests run as
// root, or a disk that fills up.
namespace testing_support {

// The body's result (0 to 255) as the child's exit status; -1 when the child
// did not end normally. The body must not use gtest assertions: it reports
// through its result, and the parent checks.
inline int RunInChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int result = 125;
        try {
            result = body();
        } catch (...) {
        }
        ::_exit(result);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In a child: becomes the unprivileged user "nobody" when running as root,
// so folder permissions hold. False when that is not possible.
inline bool DropPrivileges() {
    if (::geteuid() != 0) return true;
    constexpr uid_t kNobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && ::geteuid() == kNobody;
}

// In a child: writing a file beyond `bytes` fails with EFBIG, as a full disk
// would fail it, instead of stopping the process.
inline bool LimitFileSize(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// Exit status a child body uses when it could not set up its condition.
inline constexpr int kChildSetupFailed = 254;

}  // namespace testing_support
