#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cipher/DABlowfish.h"
#include "core/Game.h"
#include "runtime/Files.h"
#include "savegame/SavedGame.h"

// Games, save files and logs shared by the saved-game tests.
namespace save_test {

// Records every text the log box was given.
class RecordingLog final : public savegame::StepLog {
public:
    void ShowLog(const std::string& text) override {
        shown.push_back(text);
        if (onShow) onShow(text);
    }
    std::string Last() const { return shown.empty() ? std::string() : shown.back(); }
    std::vector<std::string> shown;
    std::function<void(const std::string&)> onShow;
};

inline core::HorseRec Horse(const std::string& name, std::int32_t sex, std::int32_t base) {
    core::HorseRec h;
    h.Name = name;
    h.Confidence = base + 1;
    h.Health = base + 2;
    h.HealthMAX = base + 3;
    h.Speed = base + 4;
    h.Stamina = base + 5;
    h.OddsLeft = base + 6;
    h.OddsRight = base + 7;
    h.Colour = 101 + base % 45;
    h.MoJo = base + 8;
    h.Sex = sex;
    h.RRP = 1234.5 + base;
    h.Mother = "Mum of " + name;
    h.Father = "???";
    h.Start = static_cast<std::int16_t>(base % 100);
    h.End = static_cast<std::int16_t>(100 - base % 100);
    return h;
}

// A game with horses in scattered slots (0, 5, 7, 998), unusual text and
// numbers, and three contacts.
inline void FillGame(core::GameState& game) {
    game.OwnedHorse[0] = Horse("Happy Beauty", core::kMale, 10);
    game.OwnedHorse[5] = Horse("Caf\xE9 \x80 Wind", core::kFemale, 20);
    game.OwnedHorse[7] = Horse("Evil Sausage", core::kMale, -40);
    game.OwnedHorse[7].RaceBonus = 9;  // never saved
    game.OwnedHorse[998] = Horse("Royal Jack", core::kFemale, 2000000000);
    game.Money = 98765.25;
    game.Level = 3;
    game.LANwon = 12;
    game.LANlost = -1;
    game.LANwager = 1.5e6;
    game.Server = "games.example.org/trotwick";
    game.Cheated = 2;
    game.Contacts = {"alice", "Bob Smith", "\xA3pounds"};
}

// The stable as a load gives it back: the horses in slots 0 to n - 1 in
// their old order, with no race-day bonus.
inline std::vector<core::HorseRec> Compacted(const core::GameState& game) {
    std::vector<core::HorseRec> horses;
    for (core::HorseRec horse : game.OwnedHorse) {
        if (horse.IsFree()) continue;
        horse.RaceBonus = 0;
        horses.push_back(horse);
    }
    return horses;
}

// The plain text inside an enciphered file.
inline std::string PlainOf(const std::filesystem::path& file) {
    std::string bytes;
    if (runtime::ReadFileBytes(file, bytes)) return "(unreadable)";
    cipher::DABlowfish().DecryptByte(bytes, savegame::kSaveKey);
    return bytes;
}

inline std::string FileBytes(const std::filesystem::path& file) {
    std::string bytes;
    runtime::ReadFileBytes(file, bytes);
    return bytes;
}

// Writes a save file holding `plain`, as an older copy of the game would.
inline void WriteSave(const std::filesystem::path& file, std::string plain) {
    cipher::DABlowfish().EncryptByte(plain, savegame::kSaveKey);
    runtime::WriteFileAtomically(file, plain);
}

}  // namespace save_test
