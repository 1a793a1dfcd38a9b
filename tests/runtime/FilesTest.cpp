#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "runtime/Files.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::TempFolder;

// The process id of a child that has already ended, so no process has it.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST(Files, ReadsEveryByteAndReportsWhatItCannotRead) {
    TempFolder folder;
    const std::string bytes("a\0b\r\n\xFF", 6);
    ASSERT_FALSE(runtime::WriteFileAtomically(folder / "f.bin", bytes));
    std::string read = "stale";
    ASSERT_FALSE(runtime::ReadFileBytes(folder / "f.bin", read, 24));
    EXPECT_EQ(read, bytes);
    EXPECT_GE(read.capacity(), bytes.size() + 24);

    read = "stale";
    EXPECT_EQ(runtime::ReadFileBytes(folder / "missing", read), std::errc::no_such_file_or_directory);
    EXPECT_EQ(read, "");
    EXPECT_EQ(runtime::ReadFileBytes(folder.Path(), read), std::errc::is_a_directory);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"f.bin"});
}

TEST(Files, ErrorsCarryTheRuntimeNumbersAndTexts) {
    struct Case {
        std::errc error;
        bool writing;
        std::int32_t number;
        std::string text;
    };
    const Case cases[] = {
        {std::errc::no_such_file_or_directory, false, 53, "File not found"},
        {std::errc::no_such_file_or_directory, true, 76, "Path not found"},
        {std::errc::no_space_on_device, true, 61, "Disk full"},
        {std::errc::file_too_large, true, 61, "Disk full"},
        {std::errc::permission_denied, true, 70, "Permission denied"},
        {std::errc::read_only_file_system, true, 70, "Permission denied"},
        {std::errc::io_error, false, 57, "Device I/O error"},
        {std::errc::is_a_directory, true, 75, "Path/File access error"},
    };
    for (const Case& c : cases) {
        const runtime::Error error = runtime::FileError("Here", std::make_error_code(c.error), c.writing, "/x/Zirc.enc");
        EXPECT_EQ(error.Number(), c.number) << c.text;
        EXPECT_EQ(error.Source(), "Here");
        EXPECT_EQ(error.Description(), std::string("Could not ") + (c.writing ? "write" : "read") +
                                           " the file /x/Zirc.enc (" + c.text + ").");
    }
}

TEST(Files, LeftoversOfStoppedWritersGoAndOthersStay) {
    TempFolder folder;
    const std::string dead = std::to_string(EndedProcess());
    const std::string alive = std::to_string(::getppid());  // the test runner's parent is running
    folder.Write("Zirc.enc", "the save");
    folder.Write(".Zirc.enc.tmp-" + dead + "-0", "half");
    folder.Write(".Zirc.enc.tmp-" + dead + "-7", "half");
    folder.Write(".Zirc.enc.tmp-" + alive + "-3", "being written");
    folder.Write(".Other.tmp-" + dead + "-0", "another file's");
    folder.Write(".Zirc.enc.tmp-notapid", "not ours");

    runtime::RemoveLeftoverTemporaries(folder / "Zirc.enc");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{".Other.tmp-" + dead + "-0", ".Zirc.enc.tmp-" + alive + "-3",
                                                        ".Zirc.enc.tmp-notapid", "Zirc.enc"}));
    runtime::RemoveLeftoverTemporaries(folder / "absent" / "Zirc.enc");  // no folder: nothing happens
}

}  // namespace
