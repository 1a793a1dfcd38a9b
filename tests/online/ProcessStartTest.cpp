// Starting programs for real: which file starts, with which arguments, and
// which files are refused as the player's own program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "online/ProcessStart.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using online::ProgramFile;
using online::SystemProcessStarter;
using testing_support::RunUntil;

// A script that writes its arguments, one a line, to `out` once whole.
std::string RecordingScript(const fs::path& out) {
    return "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out.string() + ".part' && mv '" + out.string() + ".part' '" +
           out.string() + "'\n";
}

class ProcessStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (!folder.AllowsPrograms()) GTEST_SKIP() << "programs cannot run from " << folder.Path() << " here";
    }

    // A file written for the player alone, as the game fetches one.
    fs::path Program(const std::string& name, const std::string& content) {
        folder.Write(name, content);
        fs::permissions(folder / name, fs::perms(0600));
        return folder / name;
    }
    // What a started program wrote, once it is there.
    std::optional<std::string> Written(const fs::path& out) {
        if (!RunUntil([&] { return fs::exists(out); })) return std::nullopt;
        return folder.Read(out.filename().string());
    }

    testing_support::TempFolder folder;
    SystemProcessStarter starter;
};

// What starts is the file that was opened and checked, even when another
// was put at its name before the start.
TEST_F(ProcessStart, TheFileHeldOpenStartsNotOneSwappedInAtItsName) {
    const fs::path patch = Program("Patch.exe", RecordingScript(folder / "fetched-ran"));
    std::optional<ProgramFile> file = ProgramFile::OpenOwn(patch);
    ASSERT_TRUE(file);
    const fs::path swapped = Program("swapped", RecordingScript(folder / "swapped-ran"));
    fs::permissions(swapped, fs::perms(0755));
    fs::rename(swapped, patch);

    ASSERT_TRUE(starter.StartFileDetached(*file, {"/opt/trotwick/trotwick"}));
    EXPECT_EQ(Written(folder / "fetched-ran"), "/opt/trotwick/trotwick\n") << "the game's path, its one argument";
    EXPECT_FALSE(fs::exists(folder / "swapped-ran"));
}

// A program file, not only a script, runs from its descriptor, with its
// path as its own name and its arguments as they are: no shell reads them.
TEST_F(ProcessStart, ArgumentsReachTheProgramAsTheyAre) {
    const fs::path shell = folder / "Patch.exe";
    ASSERT_TRUE(fs::copy_file("/bin/sh", shell));
    fs::permissions(shell, fs::perms(0600));
    std::optional<ProgramFile> file = ProgramFile::OpenOwn(shell);
    ASSERT_TRUE(file);
    const auto writeName = [&](const fs::path& out) {
        return std::vector<std::string>{"-c", "printf '%s' \"$0\" > '" + out.string() + ".part' && mv '" +
                                                  out.string() + ".part' '" + out.string() + "'"};
    };
    ASSERT_TRUE(starter.StartFileDetached(*file, writeName(folder / "name")));
    EXPECT_EQ(Written(folder / "name"), shell.string());
    // A program started by its path gets that path as its name too.
    ASSERT_TRUE(starter.StartDetached(shell, writeName(folder / "name by path")));
    EXPECT_EQ(Written(folder / "name by path"), shell.string());

    const std::vector<std::string> odd = {"two words", "it's", "$(touch x)", "; rm -rf ~", "", "\"quoted\""};
    const fs::path script = Program("script", RecordingScript(folder / "arguments"));
    file = ProgramFile::OpenOwn(script);
    ASSERT_TRUE(file);
    ASSERT_TRUE(starter.StartFileDetached(*file, odd));
    std::string expected;
    for (const std::string& argument : odd) expected += argument + "\n";
    EXPECT_EQ(Written(folder / "arguments"), expected);
    EXPECT_FALSE(fs::exists(folder / "x"));
}

TEST_F(ProcessStart, AFileThatCannotRunIsNotStarted) {
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"no program at all", "just some text\n"},
        {"a script whose interpreter is missing", "#!/nonexistent/interpreter\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<ProgramFile> file = ProgramFile::OpenOwn(Program("Patch.exe", c.content));
        ASSERT_TRUE(file);
        EXPECT_FALSE(starter.StartFileDetached(*file, {"/opt/trotwick/trotwick"}));
    }
}

// The game waits for nothing it started: the program runs on its own, and
// no process is left for the game to reap.
TEST_F(ProcessStart, NothingIsLeftForTheGameToWaitFor) {
    std::optional<ProgramFile> file = ProgramFile::OpenOwn(Program("Patch.exe", "#!/bin/sh\nsleep 1\n"));
    ASSERT_TRUE(file);
    ASSERT_TRUE(starter.StartFileDetached(*file, {}));
    int status = 0;
    errno = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ProcessStart, ThePlayersOwnProgramIsARegularFileWithOneName) {
    const fs::path path = folder / "Patch.exe";
    const struct Case {
        const char* name;
        std::function<void()> make;
    } refused[] = {
        {"nothing there", [] {}},
        {"a link to the player's file", [&] { fs::create_symlink(Program("mine", "x"), path); }},
        {"a folder", [&] { fs::create_directory(path); }},
        {"a pipe, which must not hold the game up", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"a second name of the player's file", [&] { fs::create_hard_link(Program("mine", "x"), path); }},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        c.make();
        EXPECT_FALSE(ProgramFile::OpenOwn(path));
        if (fs::exists(folder / "mine")) {
            EXPECT_EQ(fs::status(folder / "mine").permissions(), fs::perms(0600)) << "it is not made runnable";
        }
        fs::remove(path);
        fs::remove(folder / "mine");
    }

    Program("Patch.exe", "the patch");
    fs::permissions(path, fs::perms(0644));
    const std::optional<ProgramFile> file = ProgramFile::OpenOwn(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Path(), path);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all) << "runnable by the player alone";
    char bytes[16] = {};
    EXPECT_EQ(::pread(file->Descriptor(), bytes, sizeof bytes, 0), 9);
    EXPECT_EQ(std::string(bytes), "the patch");
}

TEST_F(ProcessStart, AnotherUsersFileIsNotThePlayersProgram) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file that another user owns";
    const fs::path path = Program("Patch.exe", "#!/bin/sh\n");
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    EXPECT_FALSE(ProgramFile::OpenOwn(path));
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0600)) << "it is not made runnable";
}

}  // namespace
