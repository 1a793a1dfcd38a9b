#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "savegame/clsINI.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

using savegame::clsINI;
using testing_support::TempFolder;

class ClsIni : public ::testing::Test {
protected:
    ClsIni() {
        folder_.Write("Game.ini",
                      "[Player]\r\n"
                      "Name=   Ann Other   \r\n"
                      "Level=42\r\n"
                      "Nul=before" + std::string(1, '\0') + "after\r\n"
                      "Long=" + std::string(299, 'x') + "y\r\n"
                      "Words=12 horses\r\n"
                      "[Other]\r\n"
                      "Key=1\r\n");
    }
    std::string File() const { return (folder_ / "Game.ini").string(); }

    TempFolder folder_;
    clsINI ini_;
};

TEST_F(ClsIni, GetKeyStrGivesTheTrimmedTextUpToAZeroAnd259Characters) {
    EXPECT_EQ(ini_.GetKeyStr(File(), "player", "NAME"), "Ann Other");
    EXPECT_EQ(ini_.GetKeyStr(File(), "Player", "Nul"), "before");
    EXPECT_EQ(ini_.GetKeyStr(File(), "Player", "Long"), std::string(259, 'x'));
    EXPECT_EQ(ini_.GetKeyStr(File(), "Player", "Missing"), "");
    EXPECT_EQ(ini_.GetKeyStr(File(), "Missing", "Name"), "");
    EXPECT_EQ(ini_.GetKeyStr((folder_ / "Missing.ini").string(), "Player", "Name"), "");
}

TEST_F(ClsIni, GetKeyIntGivesTheLeadingNumberOrZero) {
    EXPECT_EQ(ini_.GetKeyInt(File(), "Player", "Level"), 42);
    EXPECT_EQ(ini_.GetKeyInt(File(), "Player", "Words"), 12);
    EXPECT_EQ(ini_.GetKeyInt(File(), "Player", "Name"), 0);
    EXPECT_EQ(ini_.GetKeyInt(File(), "Player", "Missing"), 0);
    EXPECT_EQ(ini_.GetKeyInt((folder_ / "Missing.ini").string(), "Player", "Level"), 0);
}

TEST_F(ClsIni, SetsAndDeletesKeysAndSections) {
    EXPECT_TRUE(ini_.SetKeyString(File(), "Player", "Level", "43"));
    EXPECT_TRUE(ini_.SetKeyString(File(), "New", "Key", "  padded  "));
    EXPECT_EQ(ini_.GetKeyInt(File(), "Player", "Level"), 43);
    EXPECT_EQ(ini_.GetKeyStr(File(), "New", "Key"), "padded");

    EXPECT_TRUE(ini_.DeleteKey(File(), "Player", "Level"));
    EXPECT_EQ(ini_.GetKeyStr(File(), "Player", "Level"), "");
    EXPECT_EQ(ini_.GetKeyStr(File(), "Player", "Name"), "Ann Other");

    EXPECT_TRUE(ini_.DeleteSection(File(), "player"));
    EXPECT_EQ(ini_.GetKeyStr(File(), "Player", "Name"), "");
    EXPECT_EQ(folder_.Read("Game.ini"), "[Other]\r\nKey=1\r\n[New]\r\nKey=  padded  \r\n");

    // A new file is made for a value, never for a deletion.
    const std::string fresh = (folder_ / "Fresh.ini").string();
    EXPECT_TRUE(ini_.DeleteKey(fresh, "A", "b"));
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_TRUE(ini_.SetKeyString(fresh, "A", "b", "c"));
    EXPECT_EQ(folder_.Read("Fresh.ini"), "[A]\r\nb=c\r\n");
}

TEST_F(ClsIni, ReportsAFileItCouldNotWrite) {
    std::filesystem::create_directory(folder_ / "ro");
    folder_.Write("ro/Game.ini", "[A]\r\nb=c\r\n");
    std::filesystem::permissions(folder_ / "ro", std::filesystem::perms(0555));
    const std::string file = (folder_ / "ro" / "Game.ini").string();
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        const bool set = ini_.SetKeyString(file, "A", "b", "changed");
        const bool key = ini_.DeleteKey(file, "A", "b");
        const bool section = ini_.DeleteSection(file, "A");
        return !set && !key && !section ? 0 : 1;
    });
    if (result == testing_support::kChildSetupFailed) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(folder_.Read("ro/Game.ini"), "[A]\r\nb=c\r\n");
    EXPECT_EQ(folder_.Names("ro"), std::vector<std::string>{"Game.ini"});
}

}  // namespace
