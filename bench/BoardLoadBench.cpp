// trotwick-server under a club's load of scores, over loopback:
// - scores per second kept by the leader's board when it holds 100,000
//   players, beside the same with the board empty (20 clients each send
//   their scores as fast as they can, with their flood budgets lifted: the
//   figure is the server's work, not its limits);
// - the chat's round trip (a player's line back to that player: median,
//   99th percentile, worst) while 20 clients each send 30 scores a second to
//   that full board, within their budgets; and while a crowd of 31
//   addresses, 8 connections each, sends a burst of 150 scores on every
//   connection at the same moment, every 2 seconds (connections the server
//   drops come back); beside the same with no score traffic, in one run.
//   Here the server runs whole, with its own limits, and every client comes
//   from an address of its own, as at a LAN party.
// Goals: 2,000 scores a second at 100,000 players; the chat's 99th
// percentile under 100 ms and its worst under 250 ms under either load.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/ServerClients.h"
#include "bench/RatioReporter.h"
#include "online/Brambly.h"
#include "online/ChatProtocol.h"
#include "online/MessageReader.h"
#include "server/BoardService.h"
#include "server/ChatService.h"
#include "server/OnlineServer.h"
#include "server/ScoreBoard.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBoardPlayers = 100000;
constexpr int kScoreClients = 20;
constexpr int kScoresEach = 500;        // per client and run, as fast as it can
constexpr int kScoresPerSecond = 30;    // per client, beside the chat
constexpr int kChatPlayers = 20;
constexpr int kPingers = 5;             // of the chat players, those who talk
constexpr auto kPingEvery = std::chrono::milliseconds(100);
constexpr auto kChatRun = std::chrono::seconds(10);

// The server's log as it runs, written where nobody reads it; counts the
// scores it reports, one by one or in an address's summary line.
class CountingLog final : public server::ServerLog {
public:
    CountingLog() : sink_(std::fopen("/dev/null", "w")), log_(sink_) {}
    ~CountingLog() override { std::fclose(sink_); }
    void Write(std::string_view line) override {
        if (line.find(" score \"") != std::string_view::npos) ++scores_;
        const std::size_t more = line.find(" more scores");
        if (more != std::string_view::npos) {
            const std::size_t digits = line.find_last_not_of("0123456789", more - 1) + 1;
            scores_ += std::atoi(std::string(line.substr(digits, more - digits)).c_str());
        }
        log_.Write(line);
    }
    int Scores() const { return scores_; }

private:
    std::FILE* sink_;
    server::StreamLog log_;
    int scores_ = 0;
};

// Player `n`'s score, under one of 150,000 names: on a full board most
// names are there already, the others push the lowest out.
online::ScoreRecord ScoreOf(std::uint32_t n) {
    const std::uint32_t mixed = n * 2654435761u;
    online::ScoreRecord score;
    score.Name = "player-" + std::to_string(mixed % 150000);
    score.Level = static_cast<std::int32_t>(mixed % 97 % 12);
    score.LANwon = static_cast<std::int32_t>(mixed % 89);
    score.LANlost = static_cast<std::int32_t>(mixed % 13);
    score.LANwager = static_cast<double>(mixed % 50000) / 2;
    return score;
}

std::string ScoreMessage(std::uint32_t n) { return "SCORE:" + online::EncodeScoreCode(ScoreOf(n)); }

// A board file holding `players` players.
void FillBoard(const std::filesystem::path& file, int players) {
    std::string error;
    auto board = server::ScoreBoard::Open(file, error);
    for (int i = 0; i < players; ++i) {
        online::ScoreRecord score = ScoreOf(static_cast<std::uint32_t>(i) + 7000000);
        score.Name = "player-" + std::to_string(i);
        board->Record(score);
    }
    board->Commit();
}

// ---- Scores per second ------------------------------------------------------

void RunScores(benchmark::State& state, int boardPlayers) {
    Folder folder;
    const auto file = folder / "board.sqlite";
    FillBoard(file, boardPlayers);
    std::string error;
    auto board = server::ScoreBoard::Open(file, error);
    CountingLog log;
    server::ServiceSettings settings;
    settings.name = "board";
    settings.limits.budget = {std::size_t{1} << 40, std::size_t{1} << 40};
    settings.maxPerAddress = settings.maxClients;
    // Every score logged, as it is counted by its line.
    settings.connectionLines.scoreLinesEach = std::numeric_limits<std::size_t>::max();
    server::BoardService service(settings, *board, log);
    service.Start(error);

    std::vector<std::string> batches(kScoreClients);
    for (int c = 0; c < kScoreClients; ++c) {
        for (int i = 0; i < kScoresEach; ++i) batches[c] += ScoreMessage(static_cast<std::uint32_t>(c * kScoresEach + i));
    }
    for (auto _ : state) {
        const int before = log.Scores();
        const int expected = before + kScoreClients * kScoresEach;
        std::vector<std::thread> clients;
        std::atomic<bool> stop{false};
        for (int c = 0; c < kScoreClients; ++c) {
            clients.emplace_back([&, c] {
                const int fd = ConnectFrom(service.Port());
                SendAll(fd, batches[c]);
                while (!stop) Drain(fd, nullptr, 10);
                ::close(fd);
            });
        }
        while (log.Scores() < expected || board->Pending() > 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        stop = true;
        for (auto& t : clients) t.join();
        while (service.ClientCount() > 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    state.SetItemsProcessed(state.iterations() * kScoreClients * kScoresEach);
    state.counters["players"] = static_cast<double>(board->Players());
}

void BM_Scores_FullBoard(benchmark::State& state) { RunScores(state, kBoardPlayers); }
void BM_Scores_EmptyBoard(benchmark::State& state) { RunScores(state, 0); }

BENCHMARK(BM_Scores_FullBoard)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Scores_EmptyBoard)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// ---- Chat round trips beside a load of scores -------------------------------

constexpr int kCrowdAddresses = 31;
constexpr int kCrowdConnections = 8;  // each address's most on a port
constexpr int kCrowdBurst = 150;      // scores per connection and burst
constexpr auto kCrowdEvery = std::chrono::seconds(2);

enum class Load { None, Steady, Bursts };

struct ChatUnderLoad {
    RoundTrips trips;
    std::size_t scores = 0;  // kept by the board meanwhile
    double longestGap = 0;   // the event loop's longest time without turning, ms
};

// A client that sends kScoresPerSecond scores, one at a time.
void SendSteadily(int port, int c, Clock::time_point until) {
    const int fd = ConnectFrom(port, "127.0.3." + std::to_string(c + 1));
    auto next = Clock::now();
    for (std::uint32_t i = 0; Clock::now() < until; ++i) {
        SendAll(fd, ScoreMessage(static_cast<std::uint32_t>(c) * 100000 + i));
        next += std::chrono::microseconds(1000000 / kScoresPerSecond);
        std::this_thread::sleep_until(next);
    }
    ::close(fd);
}

// One machine of the crowd: its connections each send a burst at the same
// moment as the other machines', without waiting for the server to take
// it; one the server let go is opened again for the next burst.
void SendBursts(int port, int machine, Clock::time_point start, Clock::time_point until) {
    const std::string from = "127.0.4." + std::to_string(machine + 1);
    std::vector<int> fds(kCrowdConnections, -1);
    std::vector<std::string> unsent(kCrowdConnections);
    auto burstAt = start;
    std::uint32_t n = static_cast<std::uint32_t>(machine) * 10000000;
    while (Clock::now() < until) {
        if (Clock::now() >= burstAt) {
            for (int c = 0; c < kCrowdConnections; ++c) {
                if (fds[c] < 0) fds[c] = ConnectFrom(port, from);
                for (int i = 0; i < kCrowdBurst; ++i) unsent[c] += ScoreMessage(n++);
            }
            burstAt += kCrowdEvery;
        }
        for (int c = 0; c < kCrowdConnections; ++c) {
            if (fds[c] < 0) continue;
            char sink[4096];
            const ssize_t got = ::recv(fds[c], sink, sizeof sink, MSG_DONTWAIT);
            ssize_t sent = unsent[c].empty()
                               ? 0
                               : ::send(fds[c], unsent[c].data(), unsent[c].size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent > 0) unsent[c].erase(0, static_cast<std::size_t>(sent));
            const bool failed = got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ||
                                (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
            if (failed) {
                ::close(fds[c]);
                fds[c] = -1;
                unsent[c].clear();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (const int fd : fds) {
        if (fd >= 0) ::close(fd);
    }
}

ChatUnderLoad ChatUnder(Load load) {
    Folder folder;
    const server::ServerOptions options = ServerIn(folder);
    FillBoard(options.Board, kBoardPlayers);
    CountingLog log;
    server::OnlineServer online(options, server::ServicePorts::Any(), log);
    if (!Start(online)) return {};
    const int chatPort = online.Chat().Port();
    const int boardPort = online.Board().Port();
    const Clock::time_point start = Clock::now();
    const Clock::time_point until = start + kChatRun;
    std::vector<double> trips;
    std::mutex lock;
    const int loaders = load == Load::Steady ? kScoreClients : load == Load::Bursts ? kCrowdAddresses : 0;
    Finish finish(kChatPlayers + loaders);
    std::vector<std::thread> clients;
    for (int p = 0; p < kChatPlayers; ++p) {
        clients.emplace_back([&, p] {
            const int fd = ConnectFrom(chatPort, "127.0.2." + std::to_string(p + 1));
            if (p < kPingers) {
                Ping(fd, p, until, kPingEvery, trips, lock);
            } else {
                while (Clock::now() < until + std::chrono::seconds(1) && Drain(fd, nullptr, 20)) {
                }
            }
            ::close(fd);
            finish.Done();
        });
    }
    for (int c = 0; c < loaders; ++c) {
        clients.emplace_back([&, c] {
            if (load == Load::Steady) {
                SendSteadily(boardPort, c, until);
            } else {
                // The first burst once the chat players are talking.
                SendBursts(boardPort, c, start + std::chrono::milliseconds(500), until);
            }
            finish.Done();
        });
    }
    LoopGaps gaps;
    finish.Wait();
    for (auto& t : clients) t.join();
    online.Stop();  // writes the count of scores not written one by one
    return {RoundTrips::Of(trips), static_cast<std::size_t>(log.Scores()), gaps.Longest()};
}

void ReportChat() {
    const ChatUnderLoad quiet = ChatUnder(Load::None);
    const ChatUnderLoad steady = ChatUnder(Load::Steady);
    const ChatUnderLoad bursts = ChatUnder(Load::Bursts);
    const double seconds = std::chrono::duration<double>(kChatRun).count();
    std::printf("chat round trips: %zu lines without scores; %zu with %zu scores kept meanwhile from %d steady clients"
                " (%.0f a second); %zu with %zu kept from %d addresses' bursts (%.0f a second)\n",
                quiet.trips.count, steady.trips.count, steady.scores, kScoreClients,
                static_cast<double>(steady.scores) / seconds, bursts.trips.count, bursts.scores, kCrowdAddresses,
                static_cast<double>(bursts.scores) / seconds);
    std::printf("the event loop's longest time without turning: %.0f ms without scores, %.0f steady, %.0f bursts\n",
                quiet.longestGap, steady.longestGap, bursts.longestGap);
    for (const auto& [name, under] : {std::pair{"steady", steady}, std::pair{"bursts", bursts}}) {
        const std::string what = std::string("chat round trip, ") + name;
        RatioReporter::Compare((what + " median").c_str(), name, under.trips.median, "none", quiet.trips.median, " ms");
        RatioReporter::Compare((what + " 99th").c_str(), name, under.trips.p99, "none", quiet.trips.p99, " ms");
        RatioReporter::Compare((what + " worst").c_str(), name, under.trips.worst, "none", quiet.trips.worst, " ms");
    }
}

}  // namespace

int main(int argc, char** argv) {
    return RunAndCompare(argc, argv, [](const RatioReporter& reporter) {
        reporter.Ratio("scores kept, 100,000 players", "BM_Scores_FullBoard", "BM_Scores_EmptyBoard", 1.0, "/s",
                       "full", "empty");
        ReportChat();
    });
}
