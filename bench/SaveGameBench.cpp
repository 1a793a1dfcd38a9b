// A full game saved and loaded as the game does it: 1,001 stable horses and
// 20 contacts, through the INI document, the check line, the block cipher
// and the atomic replacement of "Zirc.enc" (with its flush to the disk).
// Our aim: a save plus a load in under 20 ms.
//
// The files go to a fresh folder in TROTWICK_BENCH_FOLDER, or in the
// system's temporary folder: the flush costs what that disk makes it cost.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/Game.h"
#include "core/Horses.h"
#include "platform/Dialogs.h"
#include "savegame/SavedGame.h"

namespace {

class NoDialogs final : public platform::Dialogs {
public:
    int MsgBox(const std::string&, int, const std::string&) override { return platform::kOk; }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

class NoLog final : public savegame::StepLog {
public:
    void ShowLog(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
};

class NoTree final : public core::TreeNodes {
public:
    void AddNode(const std::string& key, const std::string&, int) override { benchmark::DoNotOptimize(key.data()); }
    void RemoveNode(const std::string&) override {}
    void Clear() override {}
    bool HasNode(const std::string&) const override { return false; }
    std::string SelectedKey() const override { return {}; }
    void ClearSelection() override {}
};

// A fresh folder, removed at the end.
class BenchFolder {
public:
    BenchFolder() {
        const char* chosen = std::getenv("TROTWICK_BENCH_FOLDER");
        const std::filesystem::path base = chosen ? chosen : std::filesystem::temp_directory_path();
        std::string pattern = (base / "trotwick-bench-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : base.string();
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Every stable slot filled with a generated horse, 20 contacts.
void FillFullGame(core::Game& game) {
    for (core::HorseRec& horse : game.OwnedHorse) core::GenerateHorse(horse, game.Random());
    for (int i = 0; i < 20; ++i) game.Contacts.push_back("contact" + std::to_string(i));
    game.Money = 123456789.25;
    game.Server = "localhost/trotwick";
}

struct Bench {
    BenchFolder folder;
    NoDialogs dialogs;
    NoLog log;
    NoTree stable, market;
    savegame::LoadTargets targets{stable, market, {}};
    savegame::SavedGame files{dialogs, folder.Path()};
    core::Game game;
    core::Game loaded;
    Bench() { FillFullGame(game); }
};

void SaveFullGame(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        if (bench.files.Save(bench.game, bench.log).result != savegame::SaveResult::kSaved) state.SkipWithError("save failed");
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(bench.files.SaveFile()));
}
BENCHMARK(SaveFullGame)->Unit(benchmark::kMillisecond);

void LoadFullGame(benchmark::State& state) {
    Bench bench;
    bench.files.Save(bench.game, bench.log);
    for (auto _ : state) {
        if (bench.files.Load(bench.loaded, bench.targets, bench.log) != savegame::LoadResult::kLoaded) {
            state.SkipWithError("load failed");
        }
    }
}
BENCHMARK(LoadFullGame)->Unit(benchmark::kMillisecond);

// The figure the aim is about.
void SaveAndLoadFullGame(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        bench.files.Save(bench.game, bench.log);
        bench.files.Load(bench.loaded, bench.targets, bench.log);
    }
}
BENCHMARK(SaveAndLoadFullGame)->Unit(benchmark::kMillisecond);

}  // namespace
