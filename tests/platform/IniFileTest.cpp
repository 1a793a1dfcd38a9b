#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/IniDocument.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

using platform::IniDocument;
using testing_support::TempFolder;

const char kOldFile[] = "[Data]\r\nMoney=5000\r\n";

// A document large enough that no write of it fits in a small limit.
IniDocument BigDocument() {
    IniDocument ini;
    for (int horse = 0; horse < 200; ++horse) {
        for (int key = 0; key < 16; ++key) {
            ini.SetString("OWNED" + std::to_string(horse), "Key" + std::to_string(key), std::string(40, 'v'));
        }
    }
    return ini;
}

TEST(IniFile, LoadsWhatItSaved) {
    TempFolder folder;
    IniDocument ini;
    ini.SetString("Data", "Name", "Caf\xE9 \x80");
    ASSERT_FALSE(ini.Save(folder / "Data.ini"));
    EXPECT_EQ(folder.Read("Data.ini"), "[Data]\r\nName=Caf\xE9 \x80\r\n");
    IniDocument loaded;
    ASSERT_FALSE(IniDocument::Load(folder / "Data.ini", loaded));
    EXPECT_EQ(loaded.Find("data", "name").value_or(""), "Caf\xE9 \x80");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Data.ini"});  // no temporary file stays
}

TEST(IniFile, AMissingFileIsReportedAndReadsAsEmpty) {
    TempFolder folder;
    IniDocument loaded = IniDocument::Parse("[Old]\r\nx=1\r\n");
    EXPECT_EQ(IniDocument::Load(folder / "Missing.ini", loaded), std::errc::no_such_file_or_directory);
    EXPECT_EQ(loaded.Serialize(), "");
    EXPECT_EQ(platform::ReadProfileString(folder / "Missing.ini", "Data", "Money", "0", 255), "0");
    EXPECT_EQ(platform::ReadProfileInt(folder / "Missing.ini", "Data", "Money", 7), 7);
}

TEST(IniFile, AFailedSaveIsReportedAndKeepsTheOldFile) {
    TempFolder folder;
    folder.Write("Data.ini", kOldFile);
    // Into a folder that is not there, and over a folder.
    EXPECT_TRUE(BigDocument().Save(folder / "Nowhere" / "Data.ini"));
    std::filesystem::create_directory(folder / "Folder.ini");
    EXPECT_EQ(BigDocument().Save(folder / "Folder.ini"), std::errc::is_a_directory);
    EXPECT_EQ(folder.Read("Data.ini"), kOldFile);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Data.ini", "Folder.ini"}));
}

TEST(IniFile, AReadOnlyFolderIsReportedAndTheOldFileStaysWhole) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "ro");
    folder.Write("ro/Data.ini", kOldFile);
    std::filesystem::permissions(folder / "ro", std::filesystem::perms(0555));
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        const std::error_code saved = BigDocument().Save(folder / "ro" / "Data.ini");
        const std::error_code written =
            platform::WriteProfileString(folder / "ro" / "Data.ini", "Data", std::string_view("Money"), std::string_view("1"));
        return saved == std::errc::permission_denied && written == std::errc::permission_denied ? 0 : 1;
    });
    if (result == testing_support::kChildSetupFailed) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(folder.Read("ro/Data.ini"), kOldFile);
    EXPECT_EQ(folder.Names("ro"), std::vector<std::string>{"Data.ini"});
}

TEST(IniFile, AFullDiskIsReportedAndTheOldFileStaysWhole) {
    TempFolder folder;
    folder.Write("Data.ini", kOldFile);
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::LimitFileSize(4096)) return testing_support::kChildSetupFailed;
        return BigDocument().Save(folder / "Data.ini") ? 0 : 1;
    });
    ASSERT_NE(result, testing_support::kChildSetupFailed);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(folder.Read("Data.ini"), kOldFile);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Data.ini"});
}

TEST(IniFile, AReplacedFileKeepsItsPermissions) {
    TempFolder folder;
    folder.Write("Private.ini", kOldFile);
    std::filesystem::permissions(folder / "Private.ini", std::filesystem::perms(0600));
    ASSERT_FALSE(platform::WriteFileAtomically(folder / "Private.ini", "new"));
    struct stat info {};
    ASSERT_EQ(::stat((folder / "Private.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.Read("Private.ini"), "new");
}

TEST(ProfileCalls, WriteOneValueAndLeaveTheRestOfTheFile) {
    TempFolder folder;
    const auto file = folder / "Settings.ini";
    folder.Write("Settings.ini", "; mine\r\n[Data]\r\nMoney=5000\r\nLevel=2\r\n");
    ASSERT_FALSE(platform::WriteProfileString(file, "data", std::string_view("money"), std::string_view("6000")));
    ASSERT_FALSE(platform::WriteProfileString(file, "Data", std::string_view("Saved"), std::string_view("TRUE")));
    EXPECT_EQ(folder.Read("Settings.ini"), "; mine\r\n[Data]\r\nMoney=6000\r\nLevel=2\r\nSaved=TRUE\r\n");
    EXPECT_EQ(platform::ReadProfileString(file, "DATA", "MONEY", "", 255), "6000");
    EXPECT_EQ(platform::ReadProfileInt(file, "Data", "Level", 0), 2);

    ASSERT_FALSE(platform::WriteProfileString(file, "Data", std::string_view("Level"), std::nullopt));
    ASSERT_FALSE(platform::WriteProfileString(file, "Other", std::string_view("x"), std::string_view("1")));
    ASSERT_FALSE(platform::WriteProfileString(file, "Data", std::nullopt, std::nullopt));
    EXPECT_EQ(folder.Read("Settings.ini"), "; mine\r\n[Other]\r\nx=1\r\n");
    EXPECT_EQ(platform::WriteProfileString(file, "Other", std::string_view("a=b"), std::string_view("1")),
              std::errc::invalid_argument);
}

TEST(ProfileCalls, CreateAMissingFileOnlyToWriteAValue) {
    TempFolder folder;
    ASSERT_FALSE(platform::WriteProfileString(folder / "New.ini", "Data", std::string_view("x"), std::nullopt));
    ASSERT_FALSE(platform::WriteProfileString(folder / "New.ini", "Data", std::nullopt, std::nullopt));
    EXPECT_TRUE(folder.Names().empty());
    ASSERT_FALSE(platform::WriteProfileString(folder / "New.ini", "Data", std::string_view("x"), std::string_view("1")));
    EXPECT_EQ(folder.Read("New.ini"), "[Data]\r\nx=1\r\n");
}

TEST(ProfileCalls, NeverReplaceAFileTheyCouldNotRead) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "Data.ini");  // there, but no file to read
    EXPECT_TRUE(platform::WriteProfileString(folder / "Data.ini", "Data", std::string_view("x"), std::string_view("1")));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "Data.ini"));
}

}  // namespace
