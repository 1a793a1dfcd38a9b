#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/InstanceLock.h"

namespace {

using platform::InstanceLock;
using Result = platform::InstanceLock::Result;

// Each test takes a name of its own, so runs never meet each other or a game;
// the lock files go when the test ends.
class InstanceLockTest : public ::testing::Test {
protected:
    ~InstanceLockTest() override {
        std::error_code error;
        for (const auto& name : names_) std::filesystem::remove(platform::LockFilePath(name), error);
    }
    std::string TestLockName(const char* what) {
        names_.push_back(std::string("trotwick-test-") + std::to_string(::getpid()) + "-" + what);
        return names_.back();
    }

private:
    std::vector<std::string> names_;
};

// Puts XDG_RUNTIME_DIR to a folder of the test's own for the test's length.
class RuntimeFolder {
public:
    RuntimeFolder() {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old) saved_ = old, hadOld_ = true;
        folder_ = std::filesystem::temp_directory_path() / ("trotwick-lock-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    ~RuntimeFolder() {
        if (hadOld_) {
            ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    std::string saved_;
    bool hadOld_ = false;
};

TEST_F(InstanceLockTest, OneHolderAtATimeUntilItLetsGo) {
    const std::string name = TestLockName("one-holder");
    InstanceLock first(name);
    InstanceLock second(name);
    InstanceLock other(TestLockName("other-name"));
    EXPECT_EQ(first.Acquire(), Result::Acquired);
    EXPECT_EQ(first.Acquire(), Result::Acquired);  // asking again changes nothing
    EXPECT_EQ(second.Acquire(), Result::HeldElsewhere);
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(other.Acquire(), Result::Acquired);
    first.Release();
    EXPECT_EQ(second.Acquire(), Result::Acquired);
}

TEST_F(InstanceLockTest, AProcessKilledOutrightLeavesNoStaleLock) {
    const std::string name = TestLockName("killed");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock lock(name);
        const char answer = lock.Acquire() == Result::Acquired ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(ready[1], &answer, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(answer, 'y');

    InstanceLock lock(name);
    EXPECT_EQ(lock.Acquire(), Result::HeldElsewhere);

    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(std::filesystem::exists(lock.Path()));  // the file stays, its lock does not
    EXPECT_EQ(lock.Acquire(), Result::Acquired);
}

TEST(InstanceLock, LivesInTheRuntimeFolderOrElseInTempWithTheUserId) {
    {
        RuntimeFolder runtime;
        EXPECT_EQ(platform::LockFilePath("trotwick"), runtime.Folder() / "trotwick.lock");
        // Whatever the name holds, the file stays in the folder.
        EXPECT_EQ(platform::LockFilePath("../x/y").parent_path(), runtime.Folder());
        EXPECT_EQ(platform::LockFilePath("").parent_path(), runtime.Folder());
    }
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    const auto path = platform::LockFilePath("trotwick");
    if (saved) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
    EXPECT_EQ(path.parent_path(), std::filesystem::temp_directory_path());
    EXPECT_EQ(path.filename().string(), "trotwick-" + std::to_string(::geteuid()) + ".lock");
}

TEST_F(InstanceLockTest, APlantedLinkIsNeitherFollowedNorABlock) {
    RuntimeFolder runtime;
    const std::string name = TestLockName("planted");
    const auto target = runtime.Folder() / "victim";
    std::filesystem::create_symlink(target, platform::LockFilePath(name));
    InstanceLock lock(name);
    EXPECT_EQ(lock.Acquire(), Result::Unavailable);
    EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
