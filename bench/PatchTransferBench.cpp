// A patch moved over loopback by two file transfer controls (one hosting
// it in 1,024-byte blocks, as our server sends it, one fetching it), beside
// a plain socket copy of the same file in the same run; the ratios are
// printed last.
//
// "as the player gets it" keeps the receiver's quiet second before the first
// block (it learns the block size from it); "stop and wait" shortens that
// wait, leaving the cost of one acknowledged block at a time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/PosixPair.h"
#include "bench/RatioReporter.h"
#include "net/Socket.h"
#include "online/BramblyFT.h"
#include "runtime/Files.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPatchSize = 4 << 20;
constexpr std::int32_t kBlockSize = 1024;

// A folder with the patch in it, for the whole run.
struct PatchFolder {
    fs::path folder;
    fs::path patch;
    PatchFolder() {
        std::string pattern = (fs::temp_directory_path() / "trotwick-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        patch = folder / "Patch.exe";
        std::string bytes(kPatchSize, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + i / 4093) & 0xFF);
        runtime::WriteFileAtomically(patch, bytes);
    }
    ~PatchFolder() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

PatchFolder& Folder() {
    static PatchFolder folder;
    return folder;
}

void TransferThroughControls(benchmark::State& state, std::chrono::milliseconds quietGap) {
    online::BramblyFT host;
    online::BramblyFT fetcher;
    host.BufferSize(kBlockSize);
    host.SetPort(0);
    fetcher.SetQuietGap(quietGap);
    QEventLoop loop;
    bool failed = false;
    QObject::connect(&fetcher, &online::BramblyFT::ReceivingFinished, &loop, &QEventLoop::quit);
    QObject::connect(&fetcher, &online::BramblyFT::ReceivingFailed, &loop, [&] {
        failed = true;
        loop.quit();
    });
    const fs::path saved = Folder().folder / "Fetched.exe";
    for (auto _ : state) {
        if (!host.HostFile(Folder().patch.string())) {
            state.SkipWithError("cannot host the patch");
            return;
        }
        fetcher.SetPort(host.Server->LocalPort());
        if (!fetcher.GetFile("127.0.0.1", saved.string())) {
            state.SkipWithError("cannot fetch the patch");
            return;
        }
        loop.exec();
        if (failed || fs::file_size(saved) != kPatchSize) {
            state.SkipWithError("the patch did not arrive whole");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPatchSize));
}

void BM_Patch_AsThePlayerGetsIt(benchmark::State& state) {
    TransferThroughControls(state, online::BramblyFT::kQuietGap);
}

void BM_Patch_StopAndWait(benchmark::State& state) {
    TransferThroughControls(state, std::chrono::milliseconds(5));
}

// ---- A plain copy over a blocking socket ------------------------------------

void BM_Patch_PlainCopy(benchmark::State& state) {
    const fs::path saved = Folder().folder / "Copied.exe";
    for (auto _ : state) {
        PosixPair pair;
        std::thread sender([&pair] {
            std::string bytes;
            runtime::ReadFileBytes(Folder().patch, bytes);
            runtime::WriteAll(pair.server, bytes);
            ::shutdown(pair.server, SHUT_WR);
        });
        const int out = ::open(saved.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::recv(pair.client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            runtime::WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(got)));
        }
        ::fsync(out);
        ::close(out);
        sender.join();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPatchSize));
}

BENCHMARK(BM_Patch_AsThePlayerGetsIt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Patch_StopAndWait)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Patch_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return RunAndCompare(argc, argv, [](const RatioReporter& reporter) {
        const double mib = 1.0 / (1 << 20);
        reporter.Ratio("patch, as the player gets it", "BM_Patch_AsThePlayerGetsIt", "BM_Patch_PlainCopy", mib,
                       " MiB/s");
        reporter.Ratio("patch, stop and wait only", "BM_Patch_StopAndWait", "BM_Patch_PlainCopy", mib, " MiB/s");
    });
}
