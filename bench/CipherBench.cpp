// Throughput of the save file's block cipher over 16 MiB, next to OpenSSL's
// Blowfish in CBC mode on the same data in the same run. Both are the same
// 16-round construction with chaining, so OpenSSL's speed is the yardstick;
// our aim is at least 0.9 of it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "cipher/DABlowfish.h"

#ifdef TROTWICK_HAVE_OPENSSL
#include <openssl/evp.h>
#include <openssl/provider.h>
#endif

namespace {

constexpr std::size_t kSize = 16u << 20;

std::string Data() {
    std::string data(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i) data[i] = static_cast<char>(i * 131 + (i >> 9));
    return data;
}

void DABlowfishEncryptByte(benchmark::State& state) {
    const std::string plain = Data();
    cipher::DABlowfish blowfish;
    blowfish.Key("Pelmora");
    // With room for the header, as the file reader leaves it.
    std::string bytes;
    bytes.reserve(kSize + 24);
    for (auto _ : state) {
        state.PauseTiming();
        bytes = plain;
        state.ResumeTiming();
        blowfish.EncryptByte(bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(DABlowfishEncryptByte)->Unit(benchmark::kMillisecond)->UseRealTime();

void DABlowfishDecryptByte(benchmark::State& state) {
    std::string enciphered = Data();
    cipher::DABlowfish blowfish;
    blowfish.EncryptByte(enciphered, "Pelmora");
    std::string bytes;
    for (auto _ : state) {
        state.PauseTiming();
        bytes = enciphered;
        state.ResumeTiming();
        blowfish.DecryptByte(bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(DABlowfishDecryptByte)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef TROTWICK_HAVE_OPENSSL
// BF-CBC lives in OpenSSL's legacy provider; loading a provider by name
// stops the default one from loading by itself, so both are loaded.
EVP_CIPHER* FetchBlowfish() {
    static EVP_CIPHER* cipher = [] {
        OSSL_PROVIDER_load(nullptr, "legacy");
        OSSL_PROVIDER_load(nullptr, "default");
        return EVP_CIPHER_fetch(nullptr, "BF-CBC", nullptr);
    }();
    return cipher;
}

void OpenSslBfCbc(benchmark::State& state) {
    EVP_CIPHER* bf = FetchBlowfish();
    if (bf == nullptr) {
        state.SkipWithError("OpenSSL's legacy provider has no BF-CBC");
        return;
    }
    const std::string plain = Data();
    std::string out(kSize + 8, '\0');
    const unsigned char key[] = "Pelmora";
    const unsigned char iv[8] = {};
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        int length = 0;
        EVP_EncryptInit_ex2(context, bf, nullptr, nullptr, nullptr);
        EVP_CIPHER_CTX_set_key_length(context, 7);
        EVP_EncryptInit_ex2(context, nullptr, key, iv, nullptr);
        EVP_CIPHER_CTX_set_padding(context, 0);
        EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &length,
                          reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(kSize));
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(context);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(OpenSslBfCbc)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

// Prints as usual and remembers each benchmark's throughput.
class ThroughputReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto found = run.counters.find("bytes_per_second");
            if (!run.error_occurred && found != run.counters.end()) {
                throughput[run.benchmark_name()] = found->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> throughput;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ThroughputReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& t = reporter.throughput;
    const auto ours = t.find("DABlowfishEncryptByte/real_time");
    const auto theirs = t.find("OpenSslBfCbc/real_time");
    if (ours == t.end() || theirs == t.end()) {
        std::printf("\nNo ratio: OpenSSL's BF-CBC or DABlowfish was not measured in this run.\n");
        return 0;
    }
    std::printf("\nDABlowfish enciphers at %.1f MiB/s, OpenSSL BF-CBC at %.1f MiB/s: ratio %.3f (aim: 0.9 or more)\n",
                ours->second / 1048576.0, theirs->second / 1048576.0, ours->second / theirs->second);
    return 0;
}
