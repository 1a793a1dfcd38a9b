#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "cipher/DABlowfish.h"
#include "core/Game.h"
#include "core/Ports.h"

namespace platform {
class Dialogs;
}

// Saving the game into "Zirc.enc" and loading it back. The saved game is an
// INI text (section "Data" with the player's state, "OWNED0".. with the
// stable's horses, "CONTACTS") enciphered whole with the block cipher and the
// key "Pelmora".
//
// The INI text lives in memory only: it is built (or deciphered) as one
// document and goes to the disk enciphered, in one atomic replacement of
// "Zirc.enc". No plain "Data.ini" is ever written; one left behind by an
// older copy of the game is removed where that copy removed its own.
namespace savegame {

inline constexpr const char* kSaveFileName = "Zirc.enc";
inline constexpr const char* kPlainFileName = "Data.ini";
inline constexpr const char* kSaveKey = "Pelmora";

// The save and load windows' log box.
class StepLog {
public:
    virtual ~StepLog() = default;
    // The whole log so far, lines ending in CR LF; called after every change.
    virtual void ShowLog(const std::string& text) = 0;
};

// What a load fills besides the game itself.
struct LoadTargets {
    core::TreeNodes& StableTree;
    core::TreeNodes& MarketTree;
    // Sets the main window's caption (only when there were cheat attempts).
    std::function<void(const std::string&)> SetCaption;
};

enum class SaveResult {
    kSaved,
    kFailed,  // nothing replaced: "Zirc.enc" is as it was
    kBusy,    // a save or load is already running: nothing done
};
struct SaveOutcome {
    SaveResult result = SaveResult::kSaved;
    std::string reason;  // for kFailed: "Disk full", "Permission denied", ...
    // For kFailed: the file fault's number (runtime::kErrDiskFull, ...) when
    // the file system refused the file, 0 for any other failure.
    std::int32_t fault = 0;
    // For kFailed: an earlier save is there, whole and as it was.
    bool earlierSaveKept = false;
    // For kFailed: the folder, as the player reads it.
    std::string folder;
};

enum class LoadResult {
    kLoaded,
    kNoSaveFile,  // there is no "Zirc.enc": nothing done, nothing shown
    kOldGame,     // refused as a file from an old game: the program must end
    kUnreadable,  // refused as damaged or foreign: the program must end
    kBusy,        // a save or load is already running: nothing done
};

// The boxes of a save or a load. Game text.
extern const char* const kOldGameText;
extern const char* const kIncorrectTerminationTitle;
extern const char* const kIncorrectTerminationText;
extern const char* const kUnreadableTitle;
extern const char* const kUnreadableText;
extern const char* const kSaveFailedTitle;
extern const char* const kNotUpdatedTitle;
// "The game could not be saved in <folder> (<reason>).", whether an earlier
// save is still there, and what the player can do about it.
std::string SaveFailedText(const SaveOutcome& failed);
// The same at the end of a game, asking whether to quit without saving.
std::string SaveFailedOnQuitText(const SaveOutcome& failed);
// After a load whose rewrite of "Zirc.enc" failed: the game goes on, but it
// cannot be saved there until the player mends what stopped the rewrite.
std::string NotUpdatedText(const std::string& reason, std::int32_t fault, const std::string& folder);
// "Trotwick - You Have Cheated " & n & " time(s)".
std::string CheatCaption(std::int32_t cheated);

// The saved game of one folder (the current directory when none is given).
// One save or load at a time: another one asked for while one runs is
// refused with kBusy.
class SavedGame {
public:
    explicit SavedGame(platform::Dialogs& dialogs, std::filesystem::path folder = {});
    SavedGame(const SavedGame&) = delete;
    SavedGame& operator=(const SavedGame&) = delete;

    // The folder's "Zirc.enc" (the current directory's at the time of the call).
    std::filesystem::path SaveFile() const;
    bool Busy() const { return busy_; }

    // Writes a snapshot of `game` taken at the start, then replaces
    // "Zirc.enc" with it. Shows no box: a failure is returned, with the old
    // file whole.
    SaveOutcome Save(const core::GameState& game, StepLog& log);

    // Reads "Zirc.enc" into `game` (its stable, a freshly generated market,
    // the player's state and contacts) and fills the two trees, then marks the
    // file as in play ("Saved" = "FALSE"). A file from an old game, or one that
    // cannot be read, is refused with its box before anything is changed,
    // and "Zirc.enc" is left untouched. After a load the box
    // "Incorrect Termination Detected" follows when the file was in play.
    LoadResult Load(core::Game& game, const LoadTargets& targets, StepLog& log);

    // The block cipher of the save and the load (tests fix its header words).
    cipher::DABlowfish& DAB() { return dab_; }

private:
    // The save's steps and the file, once the save has begun.
    SaveOutcome WriteSave(const core::GameState& game, StepLog& log);
    std::filesystem::path Folder() const;
    void RemovePlainFile() const;

    platform::Dialogs& dialogs_;
    std::filesystem::path folder_;
    cipher::DABlowfish dab_;
    bool busy_ = false;
};

}  // namespace savegame
