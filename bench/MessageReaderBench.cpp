// The message reader under a peer that trickles a message a byte at a time:
// a horse code that never ends, beside real roster answers arriving the same
// way. Each arrival looks at the bytes held again, so what one look costs
// decides whether a hostile peer can keep the game busy.
#include <benchmark/benchmark.h>

#include <string>

#include "online/Brambly.h"
#include "online/LanProtocol.h"
#include "online/MessageReader.h"

namespace {

core::HorseRec Horse() {
    core::HorseRec h;
    h.Name = "Two Step";
    h.Colour = 117;
    h.Sex = 1;
    h.Speed = 67;
    h.Stamina = 54;
    h.Start = 40;
    h.End = 80;
    return h;
}

// "HORSE>" and the start of a real code, then bytes that could go on a code
// with a slot digit every third byte, up to the longest code a reader waits
// for.
std::string AlmostCode() {
    std::string bytes = "HORSE>" + online::EncodeHorseCode(Horse()).substr(0, 3);
    while (bytes.size() < online::KeywordGrammar::kMaxHorseCode) bytes += "1\x0A\x0A";
    return bytes;
}

std::string Roster() {
    std::string bytes;
    const std::string code = online::EncodeHorseCode(Horse());
    while (bytes.size() < online::KeywordGrammar::kMaxHorseCode) bytes += "HORSE>" + code + "3";
    return bytes;
}

void Trickle(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        online::MessageReader reader(online::lan::HostToPlayerGrammar());
        for (const char byte : bytes) {
            reader.Append(std::string_view(&byte, 1));
            while (auto message = reader.Next()) benchmark::DoNotOptimize(message);
        }
        while (auto message = reader.NextAfterIdle()) benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_Trickle_AlmostCode(benchmark::State& state) { Trickle(state, AlmostCode()); }
void BM_Trickle_Roster(benchmark::State& state) { Trickle(state, Roster()); }

BENCHMARK(BM_Trickle_AlmostCode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Trickle_Roster)->Unit(benchmark::kMillisecond);

}  // namespace
