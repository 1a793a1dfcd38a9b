// trotwick-server under a club's load of scores, over loopback:
// - scores per second kept by the leader's board when it holds 100,000
//   players, beside the same with the board empty (20 clients each send
//   their scores as fast as they can, with their flood budgets lifted: the
//   figure is the server's work, not its limits);
// - the chat's round trip (a player's line back to that player: median,
//   99th percentile, worst) while 20 clients each send 30 scores a second to
//   that full board, within their budgets, beside the same with no score
//   traffic. Here the server runs whole, with its own limits, and every
//   client comes from an address of its own, as at a LAN party.
// Goals: 2,000 scores a second at 100,000 players; the chat's 99th
// percentile under 100 ms and its worst under 250 ms under the load.
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

// A folder of its own in the system's temporary folder, gone at the end.
class Folder {
public:
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trotwick-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path operator/(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

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

// A connection to 127.0.0.1:port from `from` (127.x.y.z).
int Connect(int port, const std::string& from = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// Reads what is there, waiting at most `ms`; false once the peer closed.
bool Drain(int fd, std::string* into, int ms) {
    timeval timeout{0, ms * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return false;
    if (n > 0 && into) into->append(buffer, static_cast<std::size_t>(n));
    return true;
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
                const int fd = Connect(service.Port());
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

struct RoundTrips {
    double median = 0;
    double p99 = 0;
    double worst = 0;
    std::size_t count = 0;
    std::size_t scores = 0;  // kept by the board meanwhile
};

// One chat player who talks: a line every kPingEvery, and the time each
// takes to come back to it, in milliseconds.
void Ping(int fd, int who, Clock::time_point until, std::vector<double>& trips, std::mutex& lock) {
    const std::string user = "pinger" + std::to_string(who);
    std::vector<Clock::time_point> sentAt;
    online::MessageReader reader(online::chat::GameToServerGrammar(), 1 << 30);
    auto next = Clock::now();
    std::vector<double> mine;
    while (Clock::now() < until || mine.size() < sentAt.size()) {
        if (Clock::now() >= next && Clock::now() < until) {
            const std::string text = "ping " + std::to_string(sentAt.size());
            sentAt.push_back(Clock::now());
            SendAll(fd, online::chat::Format(online::chat::ChatLine{user, "20:15:00", text}));
            next += kPingEvery;
        }
        std::string bytes;
        if (!Drain(fd, &bytes, 5)) break;
        if (Clock::now() > until + std::chrono::seconds(5)) break;  // a line lost
        reader.Append(bytes);
        while (auto line = reader.Next()) {
            const auto known = online::chat::RecogniseGameMessage(*line);
            if (!known) continue;
            const auto* chat = std::get_if<online::chat::ChatLine>(&*known);
            if (!chat || chat->user != user) continue;
            const std::size_t n = std::stoul(chat->line.substr(5));
            if (n < sentAt.size()) {
                mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sentAt[n]).count());
            }
        }
    }
    const std::lock_guard<std::mutex> guard(lock);
    trips.insert(trips.end(), mine.begin(), mine.end());
}

RoundTrips ChatUnder(bool scores) {
    Folder folder;
    server::ServerOptions options;
    options.Version = 29;
    options.Patch = folder / "Patch.exe";
    options.Board = folder / "board.sqlite";
    { std::FILE* patch = std::fopen(options.Patch.c_str(), "w"); std::fputs("MZ", patch); std::fclose(patch); }
    FillBoard(options.Board, kBoardPlayers);
    CountingLog log;
    server::OnlineServer online(options, server::ServicePorts::Any(), log);
    std::string error;
    if (!online.Start(error)) {
        std::fprintf(stderr, "the server did not start: %s\n", error.c_str());
        return {};
    }
    const int chatPort = online.Chat().Port();
    const int boardPort = online.Board().Port();
    const Clock::time_point until = Clock::now() + kChatRun;
    std::vector<double> trips;
    std::mutex lock;
    const int threads = kChatPlayers + (scores ? kScoreClients : 0);
    Finish finish(threads);
    std::vector<std::thread> clients;
    for (int p = 0; p < kChatPlayers; ++p) {
        clients.emplace_back([&, p] {
            const int fd = Connect(chatPort, "127.0.2." + std::to_string(p + 1));
            if (p < kPingers) {
                Ping(fd, p, until, trips, lock);
            } else {
                while (Clock::now() < until + std::chrono::seconds(1) && Drain(fd, nullptr, 20)) {
                }
            }
            ::close(fd);
            finish.Done();
        });
    }
    for (int c = 0; scores && c < kScoreClients; ++c) {
        clients.emplace_back([&, c] {
            const int fd = Connect(boardPort, "127.0.3." + std::to_string(c + 1));
            auto next = Clock::now();
            for (std::uint32_t i = 0; Clock::now() < until; ++i) {
                SendAll(fd, ScoreMessage(static_cast<std::uint32_t>(c) * 100000 + i));
                next += std::chrono::microseconds(1000000 / kScoresPerSecond);
                std::this_thread::sleep_until(next);
            }
            ::close(fd);
            finish.Done();
        });
    }
    finish.Wait();
    for (auto& t : clients) t.join();
    online.Stop();  // writes the count of scores not written one by one

    RoundTrips result;
    std::sort(trips.begin(), trips.end());
    result.count = trips.size();
    result.scores = static_cast<std::size_t>(log.Scores());
    if (!trips.empty()) {
        result.median = trips[trips.size() / 2];
        result.p99 = trips[std::min(trips.size() - 1, trips.size() * 99 / 100)];
        result.worst = trips.back();
    }
    return result;
}

void ReportChat(const RatioReporter& reporter) {
    const RoundTrips quiet = ChatUnder(false);
    const RoundTrips busy = ChatUnder(true);
    std::printf("chat round trips: %zu lines with %zu scores kept meanwhile (%.0f a second), %zu lines without\n",
                busy.count, busy.scores, static_cast<double>(busy.scores) / std::chrono::seconds(kChatRun).count(),
                quiet.count);
    reporter.Compare("chat round trip median", "scores", busy.median, "none", quiet.median, " ms");
    reporter.Compare("chat round trip 99th", "scores", busy.p99, "none", quiet.p99, " ms");
    reporter.Compare("chat round trip worst", "scores", busy.worst, "none", quiet.worst, " ms");
}

}  // namespace

int main(int argc, char** argv) {
    return RunAndCompare(argc, argv, [](const RatioReporter& reporter) {
        reporter.Ratio("scores kept, 100,000 players", "BM_Scores_FullBoard", "BM_Scores_EmptyBoard", 1.0, "/s",
                       "full", "empty");
        ReportChat(reporter);
    });
}
