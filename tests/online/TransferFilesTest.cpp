// The files around a transfer: path helpers, the sender's temporary copy and
// the receiver's file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "online/TransferFiles.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScriptedRandom.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace online::transfer;
namespace fs = std::filesystem;
using testing_support::TempFolder;

struct PathCase {
    const char* path;
    const char* file;
    const char* folder;
    const char* slash;
};

TEST(TransferFiles, PathHelpersTakeEitherSeparatorAndTheWholePath) {
    const std::string longFolder = "/" + std::string(150, 'a');
    const PathCase cases[] = {
        {"C:\\a\\b.txt", "b.txt", "C:\\a", "/"},
        {"/home/bob/Patch.exe", "Patch.exe", "/home/bob", "/"},
        {"C:\\a\\", "", "C:\\a", ""},
        {"/srv/game/", "", "/srv/game", ""},
        {"mixed\\dir/name", "name", "mixed\\dir", "/"},
        {"Patch.exe", "", "/NO FOLDER>", "/"},
        {"", "", "/NO FOLDER>", "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileFromPath(c.path), c.file);
        EXPECT_EQ(FolderFromPath(c.path), c.folder);
        EXPECT_EQ(slashval(c.path), c.slash);
    }
    // A separator far from the end still counts.
    const std::string deep = longFolder + "/" + std::string(120, 'f');
    EXPECT_EQ(FileFromPath(deep), std::string(120, 'f'));
    EXPECT_EQ(FolderFromPath(deep), longFolder);
}

TEST(TransferFiles, IfExistTellsFoldersWithoutMovingTheWorkingDirectory) {
    TempFolder folder;
    folder.Write("file", "x");
    const fs::path before = fs::current_path();
    EXPECT_TRUE(IfExist(folder.Path().string()));
    EXPECT_FALSE(IfExist((folder / "file").string())) << "a file is no folder";
    EXPECT_FALSE(IfExist((folder / "missing").string()));
    EXPECT_FALSE(IfExist(""));
    EXPECT_EQ(fs::current_path(), before);
}

TEST(TransferFiles, TemporaryCopiesTakeAFreeNameBesideTheFileAndGoAway) {
    TempFolder folder;
    folder.Write("Patch.exe", "patch");
    // 0.04711 * 100000 = 4711 in single precision; the second draw finds it
    // taken and draws again.
    testing_support::ScriptedRandom random{testing_support::ScriptedRandom::For(4711, 100000),
                                           testing_support::ScriptedRandom::For(4711, 100000), 0.5f};
    const auto first = MakeTempFile(folder / "Patch.exe", random);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, folder / "Patch.exeTRAN" / "4711.TMP");
    const auto second = MakeTempFile(folder / "Patch.exe", random);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, folder / "Patch.exeTRAN" / "50000.TMP");
    EXPECT_EQ(random.Used(), 3u);

    RemoveTempFile(*first);
    EXPECT_TRUE(fs::exists(folder / "Patch.exeTRAN")) << "the other copy still lives there";
    RemoveTempFile(*second);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Patch.exe"});

    testing_support::ScriptedRandom any{0.25f};
    EXPECT_FALSE(MakeTempFile(folder / "absent" / "Patch.exe", any)) << "no folder to put it in";
}

TEST(TransferFiles, DownloadReplacesTheSavedFileOnlyWhenWhole) {
    TempFolder folder;
    const fs::path save = folder / "Patch.exe";
    folder.Write("Patch.exe", "old patch");
    folder.Write("Patch.exe.TMP", "left over from a crash");

    DownloadFile download;
    ASSERT_FALSE(download.Open(save));
    EXPECT_EQ(folder.Read("Patch.exe.TMP"), "") << "a left-over receive file starts empty";
    ASSERT_FALSE(download.Append(std::string("new\0pa", 6)));
    ASSERT_FALSE(download.Append("tch"));
    EXPECT_EQ(folder.Read("Patch.exe"), "old patch") << "whole until the new one is";
    ASSERT_FALSE(download.Commit());
    EXPECT_EQ(folder.Read("Patch.exe"), std::string("new\0patch", 9));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Patch.exe"});

    ASSERT_FALSE(download.Open(save));
    ASSERT_FALSE(download.Append("half"));
    download.Abandon();
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Patch.exe"}) << "the partial file is removed";
    EXPECT_EQ(folder.Read("Patch.exe"), std::string("new\0patch", 9));

    {
        DownloadFile dropped;
        ASSERT_FALSE(dropped.Open(save));
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Patch.exe"}) << "nor does a dropped one stay";
    EXPECT_TRUE(download.Open(folder / "absent" / "Patch.exe"));
    EXPECT_FALSE(download.IsOpen());
}

TEST(TransferFiles, TheReceiveFileIsANewFileOfItsOwnNeverALinkedOne) {
    TempFolder folder;
    const fs::path save = folder / "Patch.exe";
    const fs::path receive = folder / "Patch.exe.TMP";
    folder.Write("precious", "the player's own file");
    struct Case {
        const char* name;
        fs::path target;  // what a link planted at the receive file's name points to
    };
    const Case cases[] = {
        {"a link to a file", folder / "precious"},
        {"a link to no file yet", folder / "made-through-the-link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_symlink(c.target, receive);
        DownloadFile download;
        ASSERT_FALSE(download.Open(save));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(receive))) << "the link is gone";
        EXPECT_EQ(fs::status(receive).permissions(), fs::perms::owner_read | fs::perms::owner_write)
            << "only the player may read it while it arrives";
        ASSERT_FALSE(download.Append("patch"));
        ASSERT_FALSE(download.Commit());
        EXPECT_EQ(folder.Read("Patch.exe"), "patch");
        EXPECT_EQ(folder.Read("precious"), "the player's own file") << "the linked file is untouched";
        EXPECT_FALSE(fs::exists(folder / "made-through-the-link"));
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Patch.exe", "precious"}));
        fs::remove(save);
    }
    // Something at the name that cannot be removed: no file is opened.
    fs::create_directory(receive);
    folder.Write("Patch.exe.TMP/inside", "x");
    DownloadFile download;
    EXPECT_TRUE(download.Open(save));
    EXPECT_FALSE(download.IsOpen());
    EXPECT_EQ(folder.Read("Patch.exe.TMP/inside"), "x");
}

TEST(TransferFiles, AFolderTheUserCannotWriteIsToldApart) {
    TempFolder folder;
    EXPECT_TRUE(FolderIsWritable(folder.Path()));
    EXPECT_TRUE(folder.Names().empty()) << "the test leaves nothing behind";
    EXPECT_FALSE(FolderIsWritable(folder / "absent"));
    EXPECT_FALSE(FolderIsWritable(""));
    fs::permissions(folder.Path(), fs::perms(0555));
    // In a child without root rights, so that the folder's permissions bind.
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        return FolderIsWritable(folder.Path()) ? 1 : 0;
    });
    fs::permissions(folder.Path(), fs::perms(0755));
    if (result == testing_support::kChildSetupFailed) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, 0);
}

}  // namespace
