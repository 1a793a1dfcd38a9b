#pragma once

#include <signal.h>
#include <sys/resource.h>

// For the length of a scope, writing any file of this process beyond
// `bytes` fails with EFBIG, as a full disk would fail it, instead of
// stopping the process. Only the soft limit moves, so the old one comes
// back; nothing else in the process may write big files meanwhile.
namespace testing_support {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        set_ = ::getrlimit(RLIMIT_FSIZE, &old_) == 0;
        if (!set_) return;
        const rlimit limit{bytes < old_.rlim_max ? bytes : old_.rlim_max, old_.rlim_max};
        set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        if (set_) ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the limit could not be put in place.
    bool InForce() const { return set_; }

private:
    rlimit old_{};
    bool set_ = false;
    sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace testing_support
