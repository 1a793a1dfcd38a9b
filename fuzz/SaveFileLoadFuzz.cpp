// Loads whole save files: deciphering, the check line, the INI reader and
// the load itself. The first input byte chooses what the rest is:
//   even: the bytes of "Zirc.enc" as they stand (the cipher's refusals);
//   odd:  a plain text that the harness enciphers first (bit 1: and seals),
//         so that the fuzzer reaches the INI and the game values.
// Any input is refused with one box and leaves the file as it was, or loads
// a game that holds together and that loads again from the file it wrote.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cipher/DABlowfish.h"
#include "core/Game.h"
#include "core/TreeKeys.h"
#include "platform/Dialogs.h"
#include "runtime/Files.h"
#include "savegame/SaveSeal.h"
#include "savegame/SavedGame.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

class CountingDialogs final : public platform::Dialogs {
public:
    int MsgBox(const std::string&, int, const std::string&) override { return ++boxes, platform::kOk; }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    int boxes = 0;
};

class CountingTree final : public core::TreeNodes {
public:
    void AddNode(const std::string& key, const std::string&, int) override {
        Check(key.size() > 4);
        ++nodes;
    }
    void RemoveNode(const std::string&) override {}
    void Clear() override { nodes = 0; }
    bool HasNode(const std::string&) const override { return false; }
    std::string SelectedKey() const override { return {}; }
    void ClearSelection() override {}
    int nodes = 0;
};

class NoLog final : public savegame::StepLog {
public:
    void ShowLog(const std::string&) override {}
};

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path base =
            std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::filesystem::path made = base / ("trotwick-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        return made;
    }();
    return folder;
}

savegame::LoadResult LoadOnce(core::Game& game, CountingDialogs& dialogs, CountingTree& stable) {
    CountingTree market;
    NoLog log;
    savegame::SavedGame files(dialogs, Folder());
    return files.Load(game, savegame::LoadTargets{stable, market, {}}, log);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned mode = data[0];
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (mode & 1u) {
        if (mode & 2u) savegame::SealSaveText(bytes);
        static cipher::DABlowfish writer;
        writer.EncryptByte(bytes, savegame::kSaveKey);
    }
    const std::filesystem::path file = Folder() / savegame::kSaveFileName;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    core::Game game;
    CountingDialogs dialogs;
    CountingTree stable;
    const savegame::LoadResult result = LoadOnce(game, dialogs, stable);
    if (result != savegame::LoadResult::kLoaded) {
        Check(result == savegame::LoadResult::kOldGame || result == savegame::LoadResult::kUnreadable);
        Check(dialogs.boxes == 1);
        std::string after;
        Check(!runtime::ReadFileBytes(file, after) && after == bytes);
        Check(game.OwnedHorse[0].IsFree() && game.Money == 0);
        return 0;
    }

    // The stable holds together: one node per horse, none in a free slot.
    int horses = 0;
    for (const core::HorseRec& horse : game.OwnedHorse) horses += horse.IsFree() ? 0 : 1;
    Check(horses == stable.nodes);
    Check(game.Contacts.size() <= 32767);
    for (const core::HorseRec& horse : game.OwnedHorse) {
        if (!horse.IsFree() && (horse.Start == 2025 || horse.End == 2025)) std::abort();
    }

    // What the load wrote back reads again, to the same stable.
    core::Game again;
    CountingDialogs againDialogs;
    CountingTree againStable;
    Check(LoadOnce(again, againDialogs, againStable) == savegame::LoadResult::kLoaded);
    Check(againStable.nodes == stable.nodes && again.Money == game.Money && again.Contacts == game.Contacts);
    for (std::size_t k = 0; k < game.OwnedHorse.size(); ++k) Check(again.OwnedHorse[k] == game.OwnedHorse[k]);
    return 0;
}
