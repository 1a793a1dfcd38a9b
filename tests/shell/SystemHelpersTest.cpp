#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/UserName.h"
#include "shell/SystemHelpers.h"
#include "tests/support/RecordingDialogs.h"

namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() : path_(fs::temp_directory_path() / fs::path("trotwick-helpers-" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }
    void Touch(const std::string& name) const { std::ofstream(path_ / name) << "x"; }

private:
    fs::path path_;
};

TEST(FileExists, OnlyVisiblePlainFilesByTheirLiteralName) {
    TempFolder folder;
    folder.Touch("Zirc.enc");
    folder.Touch(".hidden");
    folder.Touch("star*");
    fs::create_directory(folder.Path() / "Patch.exe");
    EXPECT_TRUE(shell::FileExists(folder.Path() / "Zirc.enc"));
    EXPECT_FALSE(shell::FileExists(folder.Path() / "Data.ini"));
    EXPECT_FALSE(shell::FileExists(folder.Path() / "Patch.exe"));   // a folder
    EXPECT_FALSE(shell::FileExists(folder.Path() / ".hidden"));
    EXPECT_FALSE(shell::FileExists(folder.Path() / "Zirc.*"));      // no wildcards
    EXPECT_TRUE(shell::FileExists(folder.Path() / "star*"));        // a literal star
    EXPECT_FALSE(shell::FileExists(""));
}

TEST(SlashFor, OnlyAFolderEndingInASlashNeedsNone) {
    EXPECT_EQ(shell::SlashFor("/"), "");
    EXPECT_EQ(shell::SlashFor("/home/player/"), "");
    EXPECT_EQ(shell::SlashFor("/home/player"), "/");
    EXPECT_EQ(shell::SlashFor(""), "/");
    EXPECT_EQ(shell::SlashFor("C:\\"), "/");
}

class FixedUserName final : public platform::UserNameSource {
public:
    explicit FixedUserName(std::optional<std::string> name) : name_(std::move(name)) {}
    std::optional<std::string> Query() override {
        ++calls;
        return name_;
    }
    int calls = 0;

private:
    std::optional<std::string> name_;
};

TEST(CurrentUserName, AsksAgainEveryTimeAndReportsAFailure) {
    testing_support::RecordingDialogs dialogs;
    FixedUserName player{std::string("jenny")};
    EXPECT_EQ(shell::CurrentUserName(player, dialogs), "jenny");
    EXPECT_EQ(shell::CurrentUserName(player, dialogs), "jenny");
    EXPECT_EQ(player.calls, 2);
    EXPECT_TRUE(dialogs.boxes.empty());

    FixedUserName broken{std::nullopt};
    EXPECT_EQ(shell::CurrentUserName(broken, dialogs), "");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].prompt, "The Call Failed!");
    EXPECT_EQ(dialogs.boxes[0].style, platform::kOkOnly);
    EXPECT_EQ(dialogs.boxes[0].title, "Trotwick");
}

TEST(CurrentUserName, TheSystemKnowsWhoRunsTheTests) {
    platform::SystemUserName system;
    const auto name = system.Query();
    ASSERT_TRUE(name.has_value());
    EXPECT_FALSE(name->empty());
}

}  // namespace
