#pragma once

#include <filesystem>
#include <string>

namespace platform {

// "Only one copy of the game runs at a time", kept with an advisory lock on a
// small file. The system drops the lock when the holding process ends in any
// way, a crash or `kill -9` included, so a stale lock never blocks the next
// start.
//
// The file lives in the user's runtime folder ($XDG_RUNTIME_DIR) when there
// is one, else in the temporary folder with the user id in its name. Tests
// take their own names so that they never meet a running game.
class InstanceLock {
public:
    enum class Result {
        Acquired,       // this process holds the lock now
        HeldElsewhere,  // another process holds it: another copy is running
        Unavailable,    // the lock file cannot be used; nothing is known
    };

    // `name` is a plain file-name word ("trotwick"); anything else in it is
    // replaced by "_".
    explicit InstanceLock(std::string name);
    ~InstanceLock();

    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock without waiting. Asking again while it is held answers
    // Acquired at once.
    Result Acquire();
    bool Held() const { return fd_ >= 0; }
    void Release();

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

// The folder lock files go to (see above), and the lock file of a name.
std::filesystem::path LockFilePath(const std::string& name);

}  // namespace platform
