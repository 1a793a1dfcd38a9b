// trotwick-server's two busiest jobs over loopback, beside plain sockets
// doing the same work in the same run; the ratios are printed last:
// - chat lines relayed per second: one player sends, 20 players receive
//   every line (a relay is one line reaching one player);
// - patch bytes served per second to 20 receivers at once, each taking the
//   file in 1,024-byte blocks, one acknowledged block at a time.
// The services run with their flood budgets lifted: the benchmark measures
// the server's work, not its limits. Then the heap in use before a load of
// clients and after they have left. Last, the whole server with its chat
// port full of idle players (2,000 connections, 8 from each of 250
// addresses, as copies of the game that sit in the chat and say nothing):
// what they cost in memory, and the round trips of 5 players who talk
// (median, 99th percentile, worst) beside the same without them. The
// process holds both ends of every connection: it raises its limit of open
// files as far as the system lets it.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/ServerClients.h"
#include "bench/PosixPair.h"
#include "bench/RatioReporter.h"
#include "online/ChatProtocol.h"
#include "online/FileTransfer.h"
#include "server/ChatService.h"
#include "server/OnlineServer.h"
#include "server/TransferService.h"
#include "server/VersionService.h"

namespace {

constexpr int kReceivers = 20;
constexpr int kLinesPerRun = 500;
constexpr std::size_t kPatchSize = 256 * 1024;
constexpr std::size_t kBlock = 1024;

struct NoLog final : server::ServerLog {
    void Write(std::string_view) override {}
};

server::ServiceSettings Unlimited(const char* name) {
    server::ServiceSettings settings;
    settings.name = name;
    settings.limits.budget = {std::size_t{1} << 40, std::size_t{1} << 40};
    settings.limits.sendQueue = 64 << 20;
    settings.limits.systemSendBuffer = 64 * 1024;
    settings.maxPerAddress = settings.maxClients;  // every client is on loopback
    return settings;
}

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
}

const std::string& ChatLine() {
    static const std::string line =
        online::chat::Format(online::chat::ChatLine{"jenny", "14:05:09", "Anyone up for a race at the track?"});
    return line;
}

const std::string& Patch() {
    static const std::string patch = [] {
        std::string bytes(kPatchSize, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + i / 4093) & 0xFF);
        return bytes;
    }();
    return patch;
}

// ---- Chat ------------------------------------------------------------------

void BM_ChatRelay_Server(benchmark::State& state) {
    NoLog log;
    server::ChatService chat(Unlimited("chat"), nullptr, log);
    std::string error;
    chat.Start(error);
    const int sender = ConnectTo(chat.Port());
    std::vector<int> receivers;
    for (int i = 0; i < kReceivers; ++i) receivers.push_back(ConnectTo(chat.Port()));
    while (chat.ClientCount() < kReceivers + 1) QCoreApplication::processEvents();

    std::string batch;
    for (int i = 0; i < kLinesPerRun; ++i) batch += ChatLine();
    for (auto _ : state) {
        Finish finish(kReceivers);
        std::vector<std::thread> readers;
        for (const int fd : receivers) {
            readers.emplace_back([fd, &batch, &finish] {
                std::string sink(batch.size(), '\0');
                PosixPair::ReceiveAll(fd, sink.data(), sink.size());
                finish.Done();
            });
        }
        std::thread writer([&] { SendAll(sender, batch); });
        finish.Wait();
        writer.join();
        for (auto& t : readers) t.join();
        // The sender's own copies.
        std::string mine(batch.size(), '\0');
        std::size_t got = 0;
        while (got < batch.size()) {
            QCoreApplication::processEvents();
            const ssize_t n = ::recv(sender, mine.data(), mine.size() - got, MSG_DONTWAIT);
            if (n > 0) got += static_cast<std::size_t>(n);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRun * kReceivers);
    ::close(sender);
    for (const int fd : receivers) ::close(fd);
}

// The same relay with plain blocking sockets: one thread reads the sender
// and writes each piece to every receiver.
void BM_ChatRelay_Posix(benchmark::State& state) {
    PosixPair in;
    std::vector<std::unique_ptr<PosixPair>> out;
    for (int i = 0; i < kReceivers; ++i) out.push_back(std::make_unique<PosixPair>());
    std::string batch;
    for (int i = 0; i < kLinesPerRun; ++i) batch += ChatLine();
    for (auto _ : state) {
        std::vector<std::thread> readers;
        for (auto& pair : out) {
            readers.emplace_back([&pair, &batch] {
                std::string sink(batch.size(), '\0');
                PosixPair::ReceiveAll(pair->client, sink.data(), sink.size());
            });
        }
        std::thread relay([&] {
            char buffer[65536];
            std::size_t moved = 0;
            while (moved < batch.size()) {
                const ssize_t n = ::recv(in.server, buffer, sizeof buffer, 0);
                if (n <= 0) return;
                for (auto& pair : out) SendAll(pair->server, std::string(buffer, static_cast<std::size_t>(n)));
                moved += static_cast<std::size_t>(n);
            }
        });
        SendAll(in.client, batch);
        relay.join();
        for (auto& t : readers) t.join();
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRun * kReceivers);
}

// ---- Patch -----------------------------------------------------------------

// One receiver's side, as the game takes the file: "FILE?", then a block,
// "N!", a block... until "F:".
void Receive(int fd) {
    SendAll(fd, "FILE?");
    std::string block(2 + kBlock, '\0');
    std::size_t left = kPatchSize;
    for (;;) {
        const std::size_t size = std::min(left, kBlock);
        PosixPair::ReceiveAll(fd, block.data(), 2 + size);
        left -= size;
        if (block[0] == 'F') return;
        SendAll(fd, "N!");
    }
}

void BM_PatchServe_Server(benchmark::State& state) {
    NoLog log;
    server::TransferService transfer(Unlimited("patch"), online::transfer::BytesSource(Patch()), log);
    std::string error;
    transfer.Start(error);
    for (auto _ : state) {
        Finish finish(kReceivers);
        std::vector<std::thread> receivers;
        for (int i = 0; i < kReceivers; ++i) {
            receivers.emplace_back([&] {
                const int fd = ConnectTo(transfer.Port());
                Receive(fd);
                ::close(fd);
                finish.Done();
            });
        }
        finish.Wait();
        for (auto& t : receivers) t.join();
        while (transfer.ClientCount() > 0) QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kReceivers * kPatchSize));
}

// The same blocks served by plain blocking sockets, a thread per receiver.
void BM_PatchServe_Posix(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (int i = 0; i < kReceivers; ++i) {
            threads.emplace_back([] {
                PosixPair pair;
                std::thread server([&] {
                    char request[5];
                    PosixPair::ReceiveAll(pair.server, request, sizeof request);
                    const std::string& patch = Patch();
                    for (std::size_t at = 0;; at += kBlock) {
                        const bool last = patch.size() - at <= kBlock;
                        SendAll(pair.server, (last ? "F:" : "C:") + patch.substr(at, kBlock));
                        if (last) return;
                        char ack[2];
                        PosixPair::ReceiveAll(pair.server, ack, sizeof ack);
                    }
                });
                Receive(pair.client);
                server.join();
            });
        }
        for (auto& t : threads) t.join();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kReceivers * kPatchSize));
}

BENCHMARK(BM_ChatRelay_Server)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChatRelay_Posix)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PatchServe_Server)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PatchServe_Posix)->Unit(benchmark::kMillisecond)->UseRealTime();

// The heap in use before 50 chat players and 20 receivers come, while they
// are there, and after each time they have gone: flat when the rounds
// after the first leave it where it was.
void ReportHeap() {
    const auto inUse = [] { return mallinfo2().uordblks; };
    NoLog log;
    auto chat = std::make_unique<server::ChatService>(Unlimited("chat"), nullptr, log);
    auto transfer = std::make_unique<server::TransferService>(Unlimited("patch"),
                                                              online::transfer::BytesSource(Patch()), log);
    std::string error;
    chat->Start(error);
    transfer->Start(error);
    // Connections that left are deleted once the loop comes round.
    const auto Settle = [] {
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    Settle();
    const std::size_t before = inUse();
    std::size_t during = 0;
    std::vector<std::size_t> afterRound;
    for (int round = 0; round < 10; ++round) {
        std::vector<int> players;
        for (int i = 0; i < 50; ++i) players.push_back(ConnectTo(chat->Port()));
        while (chat->ClientCount() < 50) QCoreApplication::processEvents();
        SendAll(players[0], ChatLine());
        Finish finish(kReceivers);
        std::vector<std::thread> receivers;
        for (int i = 0; i < kReceivers; ++i) {
            receivers.emplace_back([&] {
                const int fd = ConnectTo(transfer->Port());
                Receive(fd);
                ::close(fd);
                finish.Done();
            });
        }
        finish.Wait();
        for (auto& t : receivers) t.join();
        during = std::max(during, inUse());
        for (const int fd : players) ::close(fd);
        while (chat->ClientCount() + transfer->ClientCount() > 0) QCoreApplication::processEvents();
        Settle();
        afterRound.push_back(inUse());
    }
    std::printf("heap in use: before %zu bytes; with 50 players and 20 receivers up to %zu; after each of %zu rounds:",
                before, during, afterRound.size());
    for (const std::size_t after : afterRound) {
        std::printf(" %zu (%+lld)", after, static_cast<long long>(after) - static_cast<long long>(before));
    }
    std::printf("\n");
}

// ---- A full port of idle players --------------------------------------------

constexpr int kIdlePerAddress = 8;
constexpr int kTalkers = 5;
constexpr auto kTalkEvery = std::chrono::milliseconds(100);
constexpr auto kTalkFor = std::chrono::seconds(10);

struct NoLogAtAll final : server::ServerLog {
    void Write(std::string_view) override {}
};

// The process's resident memory, in bytes.
std::size_t Resident() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    long resident = 0;
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

struct FullPort {
    std::size_t idle = 0;
    RoundTrips trips;
    std::size_t heap = 0;      // in use with them, beyond before
    std::size_t resident = 0;  // likewise
    double longestGap = 0;
};

// The chat with `idle` idle players in it and kTalkers who talk; meanwhile
// `answered` copies sit on the version port, each having answered the
// version once, as every copy of the game does.
FullPort ChatWithIdlePlayers(std::size_t idle, std::size_t answered = 0) {
    Folder folder;
    NoLogAtAll log;
    server::OnlineServer online(ServerIn(folder), server::ServicePorts::Any(), log);
    if (!Start(online)) return {};
    const int port = online.Chat().Port();
    const auto settle = [] {
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    settle();
    const std::size_t heapBefore = mallinfo2().uordblks;
    const std::size_t residentBefore = Resident();

    // The crowd comes in from a thread of its own while the server takes it.
    std::vector<int> crowd;
    {
        Finish came(1);
        std::thread arrivals([&] {
            for (std::size_t i = 0; i < idle; ++i) {
                const std::size_t address = i / kIdlePerAddress;
                crowd.push_back(ConnectFrom(port, "127.0." + std::to_string(5 + address / 250) + "." +
                                                      std::to_string(1 + address % 250)));
            }
            for (std::size_t i = 0; i < answered; ++i) {
                const std::size_t address = i / kIdlePerAddress;
                crowd.push_back(ConnectFrom(online.Version().Port(), "127.0." + std::to_string(5 + address / 250) +
                                                                         "." + std::to_string(1 + address % 250)));
                SendAll(crowd.back(), "REJECTcopy" + std::to_string(i) + ":29");
            }
            came.Done();
        });
        came.Wait();
        arrivals.join();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((online.Chat().ClientCount() < idle || online.Version().ClientCount() < answered) &&
           std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    // The answers end after the quiet gap.
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < quiet) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    settle();
    FullPort result;
    result.idle = online.Chat().ClientCount() + online.Version().ClientCount();
    result.heap = mallinfo2().uordblks - heapBefore;
    result.resident = Resident() - residentBefore;

    const auto until = std::chrono::steady_clock::now() + kTalkFor;
    std::vector<double> trips;
    std::mutex lock;
    LoopGaps gaps;
    Finish finish(kTalkers);
    std::vector<std::thread> talkers;
    for (int t = 0; t < kTalkers; ++t) {
        talkers.emplace_back([&, t] {
            const int fd = ConnectFrom(port, "127.0.4." + std::to_string(t + 1));
            Ping(fd, t, until, kTalkEvery, trips, lock);
            ::close(fd);
            finish.Done();
        });
    }
    finish.Wait();
    for (auto& t : talkers) t.join();
    result.longestGap = gaps.Longest();
    result.trips = RoundTrips::Of(trips);
    for (const int fd : crowd) ::close(fd);
    online.Stop();
    return result;
}

void ReportFullPort() {
    const std::size_t most = server::OnlineServer::kMaxClientsPerPort;
    const FullPort none = ChatWithIdlePlayers(0);
    const FullPort full = ChatWithIdlePlayers(most);
    const FullPort spoke = ChatWithIdlePlayers(most, most);
    std::printf("chat port full: %zu idle players (of %zu) cost %zu bytes of heap (%zu each) and %zu bytes resident"
                " (%zu each); the loop's longest time without turning %.0f ms, without them %.0f ms\n",
                full.idle, most, full.heap, full.idle ? full.heap / full.idle : 0, full.resident,
                full.idle ? full.resident / full.idle : 0, full.longestGap, none.longestGap);
    std::printf("with as many more on the version port, each having answered the version: %zu connections, %zu bytes"
                " of heap (%zu each), %zu resident (%zu each)\n",
                spoke.idle, spoke.heap, spoke.idle ? spoke.heap / spoke.idle : 0, spoke.resident,
                spoke.idle ? spoke.resident / spoke.idle : 0);
    RatioReporter::Compare("chat round trip median", "full", full.trips.median, "empty", none.trips.median, " ms");
    RatioReporter::Compare("chat round trip 99th", "full", full.trips.p99, "empty", none.trips.p99, " ms");
    RatioReporter::Compare("chat round trip worst", "full", full.trips.worst, "empty", none.trips.worst, " ms");
}

}  // namespace

int main(int argc, char** argv) {
    return RunAndCompare(argc, argv, [](const RatioReporter& reporter) {
        reporter.Ratio("chat lines relayed", "BM_ChatRelay_Server", "BM_ChatRelay_Posix", 1.0, "/s");
        reporter.Ratio("patch bytes served", "BM_PatchServe_Server", "BM_PatchServe_Posix", 1.0 / (1 << 20), " MiB/s");
        ReportHeap();
        std::printf("open files allowed: %llu\n", static_cast<unsigned long long>(RaiseOpenFileLimit()));
        ReportFullPort();
    });
}
