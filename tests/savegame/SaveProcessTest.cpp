// Saves and loads across processes: a writer killed at any moment, a folder
// it may not write (saving there, loading from there), a full disk, and a
// game that ends without a save.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include "savegame/SavedGame.h"
#include "tests/savegame/SaveFixtures.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakePorts.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using savegame::LoadResult;
using savegame::SaveResult;
using testing_support::RunInChild;
using testing_support::TempFolder;

struct Loader {
    testing_support::RecordingDialogs dialogs;
    testing_support::MemoryTree stable, market;
    save_test::RecordingLog log;
    savegame::LoadTargets targets{stable, market, {}};
    core::Game game;

    LoadResult From(const fs::path& folder) {
        savegame::SavedGame files(dialogs, folder);
        return files.Load(game, targets, log);
    }
};

// A game big enough that its file takes a while to write: a full stable.
void FillStable(core::GameState& game, const std::string& prefix) {
    for (int k = 0; k < core::kStableSlots; ++k) {
        game.OwnedHorse[static_cast<std::size_t>(k)] = save_test::Horse(prefix + std::to_string(k), 1 + k % 2, k);
    }
}

TEST(SaveProcesses, AWriterKilledAtAnyMomentLeavesTheOldGameOrTheNewOne) {
    TempFolder folder;
    core::Game first, second;
    FillStable(first, "First ");
    first.Money = 1;
    FillStable(second, "Second ");
    second.Money = 2;
    second.Contacts = {"a", "b"};
    testing_support::RecordingDialogs dialogs;
    save_test::RecordingLog log;
    ASSERT_EQ(savegame::SavedGame(dialogs, folder.Path()).Save(first, log).result, SaveResult::kSaved);

    std::mt19937 random(17);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            testing_support::RecordingDialogs childDialogs;
            savegame::SavedGame files(childDialogs, folder.Path());
            for (int i = 0;; ++i) files.Save(i % 2 ? first : second, log);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 30000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        Loader loader;
        ASSERT_EQ(loader.From(folder.Path()), LoadResult::kLoaded) << "round " << round;
        const bool isFirst = loader.game.Money == 1;
        ASSERT_TRUE(isFirst || loader.game.Money == 2) << "round " << round;
        const std::string prefix = isFirst ? "First " : "Second ";
        ASSERT_EQ(loader.stable.nodes.size(), 1001u) << "round " << round;
        ASSERT_EQ(loader.game.OwnedHorse[1000].Name, prefix + "1000") << "round " << round;
        ASSERT_EQ(loader.game.Contacts.size(), isFirst ? 0u : 2u) << "round " << round;
    }
    // The next save clears away what the killed writers left half written.
    ASSERT_EQ(savegame::SavedGame(dialogs, folder.Path()).Save(first, log).result, SaveResult::kSaved);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zirc.enc"});
}

// A folder with a saved game of £10 in it, which the player may no longer
// write; the child processes of a test drop root's rights to feel that.
struct ReadOnlySave {
    ReadOnlySave() {
        fs::create_directory(Folder());
        game.Money = 10;
        EXPECT_EQ(savegame::SavedGame(dialogs, Folder()).Save(game, log).result, SaveResult::kSaved);
        before = save_test::FileBytes(Folder() / "Zirc.enc");
        fs::permissions(Folder(), fs::perms(0555));
    }
    fs::path Folder() const { return folder / "ro"; }

    TempFolder folder;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    save_test::RecordingLog log;
    std::string before;  // the saved file's bytes
};

TEST(SaveProcesses, AFolderThatCannotBeWrittenIsReportedAndTheOldFileStays) {
    ReadOnlySave ro;
    ro.game.Money = 20;
    const int result = RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        savegame::SavedGame files(ro.dialogs, ro.Folder());
        const savegame::SaveOutcome outcome = files.Save(ro.game, ro.log);
        // The log stops at the step that failed.
        const bool stopped = ro.log.Last().ends_with("Saving Contacts.DONE\r\nEncypting Game Data.");
        return outcome.result == SaveResult::kFailed && outcome.reason == "Permission denied" && stopped ? 0 : 1;
    });
    if (result == testing_support::kChildSetupFailed) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(save_test::FileBytes(ro.Folder() / "Zirc.enc"), ro.before);
    EXPECT_EQ(ro.folder.Names("ro"), std::vector<std::string>{"Zirc.enc"});
}

// A game loaded from a folder the player may not write plays, but cannot be
// saved there: the box says so and what to do, and promises nothing.
TEST(SaveProcesses, ALoadFromAFolderThatCannotBeWrittenSaysItCannotBeSavedThere) {
    ReadOnlySave ro;
    const std::string expected = "The save file Zirc.enc in " + ro.Folder().string() +
                                 " could not be updated (Permission denied).\r\n"
                                 "The game has loaded and you can play, but it cannot be saved there until this is "
                                 "mended. Make the folder writable for you, then save with Game > \"Save Game\".";
    const int result = RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        Loader loader;
        if (loader.From(ro.Folder()) != LoadResult::kLoaded || loader.game.Money != 10) return 1;
        if (loader.dialogs.boxes.size() != 1) return 2;
        const auto& box = loader.dialogs.boxes[0];
        return box.title == "Save File Not Updated" && box.prompt == expected ? 0 : 3;
    });
    if (result == testing_support::kChildSetupFailed) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(save_test::FileBytes(ro.Folder() / "Zirc.enc"), ro.before);
}

TEST(SaveProcesses, AFullDiskIsReportedAndTheOldFileStays) {
    TempFolder folder;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    save_test::RecordingLog log;
    ASSERT_EQ(savegame::SavedGame(dialogs, folder.Path()).Save(game, log).result, SaveResult::kSaved);
    const std::string before = save_test::FileBytes(folder / "Zirc.enc");

    FillStable(game, "Big ");
    const int result = RunInChild([&] {
        if (!testing_support::LimitFileSize(64 * 1024)) return testing_support::kChildSetupFailed;
        const savegame::SaveOutcome outcome = savegame::SavedGame(dialogs, folder.Path()).Save(game, log);
        return outcome.result == SaveResult::kFailed && outcome.reason == "Disk full" ? 0 : 1;
    });
    ASSERT_NE(result, testing_support::kChildSetupFailed);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(save_test::FileBytes(folder / "Zirc.enc"), before);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zirc.enc"});
}

TEST(SaveProcesses, AGameKilledAfterItsLoadIsReportedAtTheNextStartOnce) {
    TempFolder folder;
    core::Game game;
    save_test::FillGame(game);
    testing_support::RecordingDialogs dialogs;
    save_test::RecordingLog log;
    ASSERT_EQ(savegame::SavedGame(dialogs, folder.Path()).Save(game, log).result, SaveResult::kSaved);

    // Start, load, and die with kill -9 while playing.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Loader loader;
        const bool loaded = loader.From(folder.Path()) == LoadResult::kLoaded && loader.dialogs.boxes.empty();
        if (!loaded) ::_exit(1);
        ::kill(::getpid(), SIGKILL);
        ::_exit(2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    Loader next;
    ASSERT_EQ(next.From(folder.Path()), LoadResult::kLoaded);
    ASSERT_EQ(next.dialogs.boxes.size(), 1u);
    EXPECT_EQ(next.dialogs.boxes[0].title, "Incorrect Termination Detected");
    EXPECT_EQ(next.game.Money, game.Money);  // the game itself loads as always

    // Played on, then ended with a save: the start after says nothing.
    ASSERT_EQ(savegame::SavedGame(dialogs, folder.Path()).Save(next.game, log).result, SaveResult::kSaved);
    Loader clean;
    ASSERT_EQ(clean.From(folder.Path()), LoadResult::kLoaded);
    EXPECT_TRUE(clean.dialogs.boxes.empty());
}

}  // namespace
