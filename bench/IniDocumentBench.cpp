// A full saved game is about 16,000 keys: 1,001 stable horses of 16 keys
// each, and a few more. These measure writing such a document through the
// settings store, turning it into bytes, and reading it back.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/IniDocument.h"
#include "savegame/modRegistry.h"

namespace {

constexpr int kHorses = 1001;
const char* const kKeys[] = {"Father", "Colour", "Mother", "Name", "OddsLeft", "OddsRight", "RRP", "Sex",
                             "Speed", "Stamina", "Confidence", "MoJo", "Start", "End", "Health", "HealthMAX"};

platform::IniDocument FullGame() {
    platform::IniDocument ini;
    savegame::modRegistry::WriteValue(ini, "Data", "Zircona", "S", "Hell Yeah");
    savegame::modRegistry::WriteValue(ini, "Data", "Money", "S", 123456789.5);
    for (int horse = 0; horse < kHorses; ++horse) {
        const std::string section = "OWNED" + std::to_string(horse);
        for (const char* key : kKeys) savegame::modRegistry::WriteValue(ini, section, key, "S", horse * 7 + 0.25);
    }
    savegame::modRegistry::WriteValue(ini, "Data", "Saved", "S", "TRUE");
    return ini;
}

void WriteFullGame(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FullGame());
}
BENCHMARK(WriteFullGame)->Unit(benchmark::kMillisecond);

void SerializeFullGame(benchmark::State& state) {
    const platform::IniDocument ini = FullGame();
    for (auto _ : state) benchmark::DoNotOptimize(ini.Serialize());
}
BENCHMARK(SerializeFullGame)->Unit(benchmark::kMillisecond);

void ParseFullGame(benchmark::State& state) {
    const std::string bytes = FullGame().Serialize();
    for (auto _ : state) benchmark::DoNotOptimize(platform::IniDocument::Parse(bytes));
}
BENCHMARK(ParseFullGame)->Unit(benchmark::kMillisecond);

void ReadFullGame(benchmark::State& state) {
    const std::string bytes = FullGame().Serialize();
    for (auto _ : state) {
        const platform::IniDocument ini = platform::IniDocument::Parse(bytes);
        double sum = 0;
        for (int horse = 0; horse < kHorses; ++horse) {
            const std::string section = "OWNED" + std::to_string(horse);
            for (const char* key : kKeys) {
                double value = 0;
                savegame::modRegistry::ReadValue(ini, section, key, "S", 1, value);
                sum += value;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(ReadFullGame)->Unit(benchmark::kMillisecond);

}  // namespace
