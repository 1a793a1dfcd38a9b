#include "savegame/SavedGame.h"

#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/Horses.h"
#include "core/TreeKeys.h"
#include "platform/Dialogs.h"
#include "platform/IniDocument.h"
#include "runtime/Error.h"
#include "runtime/Files.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"
#include "runtime/Text.h"
#include "savegame/SaveSeal.h"
#include "savegame/SettingValue.h"
#include "savegame/modRegistry.h"

namespace savegame {

const char* const kOldGameText = "Zirc.enc file is from an old game - delete Zirc.enc and re-open game!";
const char* const kIncorrectTerminationTitle = "Incorrect Termination Detected";
const char* const kIncorrectTerminationText =
    "Trotwick has detected that the program was closed down incorrectly last time you were playing the game.\r\n"
    "This may have been for a number of reasons, but if it happened due to an unexpected in-game error, then "
    "Kestrane is truely sorry for any inconvinience this has caused.";
const char* const kUnreadableTitle = "Unreadable Save File";
const char* const kUnreadableText =
    "The save file Zirc.enc could not be read: it is damaged, or it was not written by Trotwick.\r\n"
    "Remove Zirc.enc or replace it with a good copy, then start the game again. Zirc.enc has not been changed.";
const char* const kSaveFailedTitle = "Save Failed";
const char* const kNotUpdatedTitle = "Save File Not Updated";

namespace {

// What the player can do about a file fault, or nothing when there is no
// advice to give.
std::string Remedy(std::int32_t fault) {
    switch (fault) {
        case runtime::kErrDiskFull: return "Free some space on its disk";
        case runtime::kErrPermissionDenied: return "Make the folder writable for you";
        case runtime::kErrPathNotFound: return "The folder is gone: make it again";
        default: return {};
    }
}

}  // namespace

std::string SaveFailedText(const SaveOutcome& failed) {
    std::string text = "The game could not be saved in " + failed.folder + " (" + failed.reason + ").\r\n";
    text += failed.earlierSaveKept ? "The game last saved in Zirc.enc has not been changed."
                                   : "There is no saved game there: this game has not been saved yet.";
    const std::string remedy = Remedy(failed.fault);
    if (!remedy.empty()) text += "\r\n" + remedy + ", then save again with Game > \"Save Game\".";
    return text;
}

std::string SaveFailedOnQuitText(const SaveOutcome& failed) {
    return SaveFailedText(failed) + "\r\n\r\nQuit without saving?";
}

std::string NotUpdatedText(const std::string& reason, std::int32_t fault, const std::string& folder) {
    std::string text = "The save file Zirc.enc in " + folder + " could not be updated (" + reason +
                       ").\r\nThe game has loaded and you can play, but it cannot be saved there";
    const std::string remedy = Remedy(fault);
    if (remedy.empty()) return text + " while this lasts.";
    return text + " until this is mended. " + remedy + ", then save with Game > \"Save Game\".";
}

std::string CheatCaption(std::int32_t cheated) {
    return "Trotwick - You Have Cheated " + runtime::NumberText(cheated) + " time(s)";
}

namespace {

constexpr std::string_view kData = "Data";
constexpr std::string_view kContactsSection = "CONTACTS";
constexpr std::string_view kEditionMarker = "Hell Yeah";
constexpr std::string_view kSkippedName = "Anomoly Resultant BRAM";
constexpr std::int16_t kRedrawPace = 2025;
// Far more than a full stable's save (about 600 KB): anything larger is no
// save of ours, and is not read into memory.
constexpr std::uintmax_t kLargestSaveFile = 64u << 20;
// As many entries as a list box holds: a count beyond them is no count the
// game wrote.
constexpr std::int32_t kMostContacts = 32767;

// The log rule: each step's message follows "DONE" and a line break left by
// the step before.
class LogBook {
public:
    explicit LogBook(StepLog& log) : log_(log) {}
    void Step(std::string_view message) {
        if (!text_.empty()) text_ += "DONE\r\n";
        text_ += message;
        log_.ShowLog(text_);
    }
    void Finish(std::string_view tail) {
        text_ += "DONE\r\n";
        text_ += tail;
        log_.ShowLog(text_);
    }

private:
    StepLog& log_;
    std::string text_;
};

class BusyGuard {
public:
    explicit BusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyGuard() { busy_ = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    bool& busy_;
};

std::string OwnedSection(std::size_t k) { return "OWNED" + runtime::NumberText(static_cast<std::int64_t>(k)); }
std::string ContactKey(std::size_t i) { return "Contact" + runtime::NumberText(static_cast<std::int64_t>(i)); }

// What a save writes, copied when the save starts.
struct Snapshot {
    double Money = 0;
    std::int32_t Level = 0, LANwon = 0, LANlost = 0;
    double LANwager = 0;
    std::string Server;
    std::int32_t Cheated = 0;
    std::vector<std::string> Contacts;
};

// Every value of the save as type "S"; the first value the store refuses
// ends the writing.
class IniWriter {
public:
    void Write(std::string_view section, std::string_view key, const SettingValue& value) {
        if (!failedKey_.empty()) return;
        if (modRegistry::WriteValue(ini_, section, key, "S", value) != kStatusDone) failedKey_ = key;
    }
    bool Failed() const { return !failedKey_.empty(); }
    const std::string& FailedKey() const { return failedKey_; }
    platform::IniDocument& Document() { return ini_; }

private:
    platform::IniDocument ini_;
    std::string failedKey_;
};

void WriteHorse(IniWriter& ini, const std::string& section, const core::HorseRec& horse) {
    ini.Write(section, "Father", horse.Father);
    ini.Write(section, "Colour", horse.Colour);
    ini.Write(section, "Mother", horse.Mother);
    ini.Write(section, "Name", horse.Name);
    ini.Write(section, "OddsLeft", horse.OddsLeft);
    ini.Write(section, "OddsRight", horse.OddsRight);
    ini.Write(section, "RRP", horse.RRP);
    ini.Write(section, "Sex", horse.Sex);
    ini.Write(section, "Speed", horse.Speed);
    ini.Write(section, "Stamina", horse.Stamina);
    ini.Write(section, "Confidence", horse.Confidence);
    ini.Write(section, "MoJo", horse.MoJo);
    ini.Write(section, "Start", horse.Start);
    ini.Write(section, "End", horse.End);
    ini.Write(section, "Health", horse.Health);
    ini.Write(section, "HealthMAX", horse.HealthMAX);
}

// A value read with the store: the default when the key is missing or its
// text does not convert to T.
template <class T>
T Read(const platform::IniDocument& ini, std::string_view section, std::string_view key, const SettingValue& fallback) {
    T value{};
    modRegistry::ReadValue(ini, section, key, "S", fallback, value);
    return value;
}

std::string ReadText(const platform::IniDocument& ini, std::string_view section, std::string_view key,
                     std::string_view fallback) {
    return Read<std::string>(ini, section, key, SettingValue(fallback));
}

// A horse section as it reads: the texts, and the pace pair as numbers.
struct HorseSection {
    std::string Father, Colour, Mother, Name, OddsLeft, OddsRight, RRP, Sex, Speed, Stamina, Confidence, MoJo,
        Health, HealthMAX;
    std::int16_t Start = 0, End = 0;
};

HorseSection ReadHorseSection(const platform::IniDocument& ini, const std::string& section) {
    HorseSection h;
    h.Father = ReadText(ini, section, "Father", core::kUnknownParent);
    h.Colour = ReadText(ini, section, "Colour", "110");
    h.Mother = ReadText(ini, section, "Mother", core::kUnknownParent);
    h.Name = ReadText(ini, section, "Name", kSkippedName);
    h.OddsLeft = ReadText(ini, section, "OddsLeft", "1");
    h.OddsRight = ReadText(ini, section, "OddsRight", "1");
    h.RRP = ReadText(ini, section, "RRP", "1");
    h.Sex = ReadText(ini, section, "Sex", "1");
    h.Speed = ReadText(ini, section, "Speed", "1");
    h.Stamina = ReadText(ini, section, "Stamina", "1");
    h.Confidence = ReadText(ini, section, "Confidence", "1");
    h.MoJo = ReadText(ini, section, "MoJo", "1");
    // Straight into numbers: a pace that does not convert keeps 2025 and is
    // drawn afresh.
    h.Start = Read<std::int16_t>(ini, section, "Start", SettingValue(kRedrawPace));
    h.End = Read<std::int16_t>(ini, section, "End", SettingValue(kRedrawPace));
    h.Health = ReadText(ini, section, "Health", "100");
    h.HealthMAX = ReadText(ini, section, "HealthMAX", "100");
    return h;
}

// The record from its texts; nothing when a number does not convert (the
// save file cannot be read).
std::optional<core::HorseRec> HorseFrom(const HorseSection& h) {
    core::HorseRec horse;
    horse.Name = h.Name;
    horse.Father = h.Father;
    horse.Mother = h.Mother;
    horse.Start = h.Start;
    horse.End = h.End;
    const auto whole = [](const std::string& text, std::int32_t& field) {
        return ConvertSetting(SettingValue(text), field);
    };
    const bool converted = whole(h.Colour, horse.Colour) && whole(h.OddsLeft, horse.OddsLeft) &&
                           whole(h.OddsRight, horse.OddsRight) && ConvertSetting(SettingValue(h.RRP), horse.RRP) &&
                           whole(h.Sex, horse.Sex) && whole(h.Speed, horse.Speed) && whole(h.Stamina, horse.Stamina) &&
                           whole(h.Confidence, horse.Confidence) && whole(h.MoJo, horse.MoJo) &&
                           whole(h.Health, horse.Health) && whole(h.HealthMAX, horse.HealthMAX);
    if (!converted) return std::nullopt;
    return horse;
}

// Everything a load reads, kept aside until the whole file has read well.
struct LoadedGame {
    std::string Saved;
    double Money = 0;
    std::int32_t Level = 0, LANwon = 0, LANlost = 0;
    double LANwager = 0;
    std::int16_t OwnedHorses = 0;
    std::string Server;
    std::int32_t Cheated = 0;
    std::vector<core::HorseRec> Market;
    std::vector<std::string> Contacts;
    std::vector<std::optional<core::HorseRec>> Stable;  // by slot; nothing for an empty slot
};

void ReadData(const platform::IniDocument& ini, LogBook& log, LoadedGame& loaded) {
    log.Step("Reading money amount.");
    loaded.Money = Read<double>(ini, kData, "Money", 0);
    log.Step("Reading profile.");
    loaded.Level = Read<std::int32_t>(ini, kData, "Level", 0);
    loaded.LANwon = Read<std::int32_t>(ini, kData, "LANwon", 0);
    loaded.LANlost = Read<std::int32_t>(ini, kData, "LANlost", 0);
    loaded.LANwager = Read<double>(ini, kData, "LANwager", 0);
    log.Step("Reading amount of owned horses.");
    loaded.OwnedHorses = Read<std::int16_t>(ini, kData, "OwnedHorses", 0);
    log.Step("Loading Update Server Address.");
    loaded.Server = ReadText(ini, kData, "Server", core::kDefaultServer);
    log.Step("Counting Cheat Attempts.");
    loaded.Cheated = Read<std::int32_t>(ini, kData, "CheatAttempt", 0);
}

void ReadContacts(const platform::IniDocument& ini, LoadedGame& loaded) {
    const std::int32_t count = Read<std::int32_t>(ini, kContactsSection, "Qauntity", 0);
    for (std::int32_t i = 0; i < count && i < kMostContacts; ++i) {
        loaded.Contacts.push_back(ReadText(ini, kContactsSection, ContactKey(static_cast<std::size_t>(i)), "???"));
    }
}

// False when a horse's numbers do not convert.
bool ReadStable(const platform::IniDocument& ini, runtime::RandomSource& rnd, LoadedGame& loaded) {
    // The stable has 1,001 slots: sections beyond them, or a negative count,
    // are not read.
    const int count = std::min<int>(loaded.OwnedHorses, core::kStableSlots);
    for (int k = 0; k < count; ++k) {
        HorseSection section = ReadHorseSection(ini, OwnedSection(static_cast<std::size_t>(k)));
        if (section.Start == kRedrawPace || section.End == kRedrawPace) {
            section.Start = static_cast<std::int16_t>(runtime::Round(rnd.Rnd() * 100.0f));
            section.End = static_cast<std::int16_t>(100 - section.Start);
        }
        // A section without a name (or with a blank one) leaves its slot
        // empty: a nameless record would be a free slot with a tree node.
        if (section.Name == kSkippedName || section.Name.empty()) {
            loaded.Stable.emplace_back();
            continue;
        }
        std::optional<core::HorseRec> horse = HorseFrom(section);
        if (!horse) return false;
        loaded.Stable.push_back(std::move(horse));
    }
    return true;
}

void Commit(LoadedGame& loaded, core::GameState& game, const LoadTargets& targets) {
    game.Money = loaded.Money;
    game.Level = loaded.Level;
    game.LANwon = loaded.LANwon;
    game.LANlost = loaded.LANlost;
    game.LANwager = loaded.LANwager;
    game.Server = loaded.Server;
    game.Cheated = loaded.Cheated;
    if (game.Cheated > 0 && targets.SetCaption) targets.SetCaption(CheatCaption(game.Cheated));

    targets.MarketTree.Clear();
    for (core::HorseRec& horse : game.MarketHorse) core::ClearHorse(horse);
    for (std::size_t i = 0; i < loaded.Market.size(); ++i) {
        game.MarketHorse[i] = loaded.Market[i];
        targets.MarketTree.AddNode(core::HorseKey(game.MarketHorse[i], static_cast<int>(i)), game.MarketHorse[i].Name,
                                   core::CoatImage(game.MarketHorse[i]));
    }

    game.Contacts = std::move(loaded.Contacts);

    targets.StableTree.Clear();
    for (core::HorseRec& horse : game.OwnedHorse) horse = core::HorseRec{};
    for (std::size_t k = 0; k < loaded.Stable.size(); ++k) {
        if (!loaded.Stable[k]) continue;
        core::HorseRec& horse = game.OwnedHorse[k];
        horse = std::move(*loaded.Stable[k]);
        targets.StableTree.AddNode(core::HorseKey(horse, static_cast<int>(k)), horse.Name, core::CoatImage(horse));
    }
}

// The plain text of a document, sealed and enciphered.
std::string Encipher(cipher::DABlowfish& dab, const platform::IniDocument& ini) {
    std::string bytes = ini.Serialize();
    SealSaveText(bytes);
    dab.EncryptByte(bytes, kSaveKey);
    return bytes;
}

SaveOutcome Outcome(SaveResult result, std::string reason = {}, std::int32_t fault = 0) {
    SaveOutcome outcome;
    outcome.result = result;
    outcome.reason = std::move(reason);
    outcome.fault = fault;
    return outcome;
}

// A failed file write, as a save reports it.
SaveOutcome WriteFailed(std::error_code error) {
    const runtime::FileFault fault = runtime::FileFaultFor(error, true);
    return Outcome(SaveResult::kFailed, fault.text, fault.number);
}

// The folder's name as the player reads it (its bytes are UTF-8 here).
std::string FolderText(const std::filesystem::path& folder) { return runtime::Utf8ToCp1252(folder.string()); }

}  // namespace

SavedGame::SavedGame(platform::Dialogs& dialogs, std::filesystem::path folder)
    : dialogs_(dialogs), folder_(std::move(folder)) {}

std::filesystem::path SavedGame::Folder() const {
    if (!folder_.empty()) return folder_;
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::filesystem::path(".") : current;
}

std::filesystem::path SavedGame::SaveFile() const { return Folder() / kSaveFileName; }

void SavedGame::RemovePlainFile() const {
    // Only a file (or a link) of that name: never a folder someone made.
    const std::filesystem::path plain = Folder() / kPlainFileName;
    std::error_code error;
    const auto status = std::filesystem::symlink_status(plain, error);
    if (!error && (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status))) {
        std::filesystem::remove(plain, error);
    }
}

SaveOutcome SavedGame::Save(const core::GameState& game, StepLog& log) {
    if (busy_) return Outcome(SaveResult::kBusy);
    BusyGuard guard(busy_);
    SaveOutcome outcome = WriteSave(game, log);
    if (outcome.result == SaveResult::kFailed) {
        std::error_code error;
        outcome.earlierSaveKept = std::filesystem::is_regular_file(SaveFile(), error);
        outcome.folder = FolderText(Folder());
    }
    return outcome;
}

SaveOutcome SavedGame::WriteSave(const core::GameState& game, StepLog& log) {
    const Snapshot snapshot{game.Money,  game.Level,  game.LANwon,  game.LANlost,
                            game.LANwager, game.Server, game.Cheated, game.Contacts};
    // The stable's horses in slot order, listed before anything is shown,
    // so that nothing a window does while the steps show mixes in.
    std::vector<core::HorseRec> stable;
    for (const core::HorseRec& horse : game.OwnedHorse) {
        if (!horse.IsFree()) stable.push_back(horse);
    }
    LogBook book(log);

    book.Step("Calculating amount of owned horses.");

    book.Step("Deleting old game data.");
    RemovePlainFile();
    runtime::RemoveLeftoverTemporaries(SaveFile());

    IniWriter ini;
    book.Step("Saving Version Restrictor.");
    ini.Write(kData, "Zircona", kEditionMarker);
    book.Step("Storing money.");
    ini.Write(kData, "Money", snapshot.Money);
    book.Step("Saving profile.");
    ini.Write(kData, "Level", snapshot.Level);
    ini.Write(kData, "LANwon", snapshot.LANwon);
    ini.Write(kData, "LANlost", snapshot.LANlost);
    ini.Write(kData, "LANwager", snapshot.LANwager);
    book.Step("Storing amount of owned horses.");
    ini.Write(kData, "OwnedHorses", static_cast<std::int64_t>(stable.size()));
    book.Step("Saving Update Server Address.");
    ini.Write(kData, "Server", snapshot.Server);
    book.Step("Storing amount cheat attempts.");
    ini.Write(kData, "CheatAttempt", snapshot.Cheated);
    book.Step("Storing amount of market horses.");
    ini.Write(kData, "MarketHorses", 0);
    book.Step("Storing information on owned horses.");
    for (std::size_t k = 0; k < stable.size(); ++k) WriteHorse(ini, OwnedSection(k), stable[k]);
    book.Step("Saving Contacts.");
    ini.Write(kContactsSection, "Qauntity", static_cast<std::int64_t>(snapshot.Contacts.size()));
    for (std::size_t i = 0; i < snapshot.Contacts.size(); ++i) {
        ini.Write(kContactsSection, ContactKey(i), snapshot.Contacts[i]);
    }
    ini.Write(kData, "Saved", "TRUE");
    if (ini.Failed()) return Outcome(SaveResult::kFailed, "the value " + ini.FailedKey() + " could not be stored");

    book.Step("Encypting Game Data.");
    std::string bytes;
    try {
        bytes = Encipher(dab_, ini.Document());
    } catch (const runtime::Error& error) {
        return Outcome(SaveResult::kFailed, error.Description());
    }
    if (const std::error_code error = runtime::WriteFileAtomically(SaveFile(), bytes)) return WriteFailed(error);
    book.Finish("");
    return Outcome(SaveResult::kSaved);
}

LoadResult SavedGame::Load(core::Game& game, const LoadTargets& targets, StepLog& log) {
    if (busy_) return LoadResult::kBusy;
    BusyGuard guard(busy_);
    const std::filesystem::path saveFile = SaveFile();
    std::error_code error;
    if (!std::filesystem::exists(saveFile, error)) return LoadResult::kNoSaveFile;

    const auto refuseUnreadable = [&] {
        RemovePlainFile();
        dialogs_.MsgBox(kUnreadableText, platform::kCritical, kUnreadableTitle);
        return LoadResult::kUnreadable;
    };

    LogBook book(log);
    book.Step("Decrypting Data File.");
    platform::IniDocument ini;
    try {
        const std::uintmax_t size = std::filesystem::file_size(saveFile, error);
        if (error || size > kLargestSaveFile) return refuseUnreadable();
        std::string bytes;
        if (runtime::ReadFileBytes(saveFile, bytes)) return refuseUnreadable();
        dab_.DecryptByte(bytes, kSaveKey);
        if (CheckSaveSeal(bytes) == SealState::kBroken) return refuseUnreadable();
        ini = platform::IniDocument::Parse(bytes);
    } catch (const std::exception&) {
        // The size descriptor of a damaged or foreign file, or no memory for it.
        return refuseUnreadable();
    }

    LoadedGame loaded;
    loaded.Saved = ReadText(ini, kData, "Saved", "0");

    book.Step("Checking Version Restrictor.");
    if (ReadText(ini, kData, "Zircona", "NO") != kEditionMarker) {
        RemovePlainFile();
        dialogs_.MsgBox(kOldGameText, platform::kOkOnly, platform::kAppTitle);
        return LoadResult::kOldGame;
    }

    ReadData(ini, book, loaded);

    book.Step("Generating Market Horses.");
    loaded.Market.resize(core::kMarketHorsesGenerated);
    for (core::HorseRec& horse : loaded.Market) core::GenerateHorse(horse, game.Random());

    book.Step("Retrieving Contacts.");
    ReadContacts(ini, loaded);

    book.Step("Retreiving owned horses.");
    if (!ReadStable(ini, game.Random(), loaded)) return refuseUnreadable();
    Commit(loaded, game, targets);

    book.Step("Deleting Temporary Files.");
    // In play until the next save: a game that ends without one leaves
    // "FALSE" for the next start to find.
    modRegistry::WriteValue(ini, kData, "Saved", "S", "FALSE");
    runtime::RemoveLeftoverTemporaries(saveFile);
    SaveOutcome rewrite;
    try {
        const std::string bytes = Encipher(dab_, ini);
        if (const std::error_code failed = runtime::WriteFileAtomically(saveFile, bytes)) rewrite = WriteFailed(failed);
    } catch (const runtime::Error& failed) {
        rewrite = Outcome(SaveResult::kFailed, failed.Description());
    }
    RemovePlainFile();
    if (rewrite.result == SaveResult::kFailed) {
        dialogs_.MsgBox(NotUpdatedText(rewrite.reason, rewrite.fault, FolderText(Folder())), platform::kExclamation,
                        kNotUpdatedTitle);
    }

    book.Finish("Game Loaded!");
    if (loaded.Saved == "FALSE") {
        dialogs_.MsgBox(kIncorrectTerminationText, platform::kInformation, kIncorrectTerminationTitle);
    }
    return LoadResult::kLoaded;
}

}  // namespace savegame
