#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The log's lines about one address: its comings and goings, and what its
// clients sent. The first few of each kind in a while are written one by
// one; past them the rest are counted, and one line says how many once the
// while is over. A machine that connects and closes in a loop, or asks a
// question in a loop, then costs the log a line a minute, not one or two a
// time. Free of Qt and of the clock (the caller says when).
namespace server {

struct RepeatLimits {
    // Connection lines (comings and those turned away) written one by one
    // per address and window.
    std::size_t linesEach = 10;
    std::chrono::milliseconds window{60000};
    // The most addresses counted apart at once; beyond, they share one count.
    std::size_t addresses = 1024;
    // Lines about messages (questions, handshakes) written one by one.
    std::size_t messageLinesEach = 10;
    // Score lines written one by one: a player sends a score by hand, a few
    // an hour; these are far more, so every player's scores are written.
    std::size_t scoreLinesEach = 60;
};

class RepeatSummary {
public:
    using Clock = std::chrono::steady_clock;

    // An address's own count, when there are too many to count apart.
    static constexpr const char* kOtherAddresses = "other addresses";

    explicit RepeatSummary(RepeatLimits limits = {}) : limits_(limits) {}

    // Whether the line of an event from `address` is written one by one;
    // false: it is only counted. A connection turned away counts apart from
    // one taken in, and shares its lines; messages and scores have lines of
    // their own, so no stream of questions crowds the scores out. A score
    // lost (not written to the board) shares the lines of scores and is
    // counted apart.
    enum class Event { Connection, TurnedAway, Message, Score, LostScore };
    bool Admit(const std::string& address, Event event, Clock::time_point now);

    struct Summary {
        std::string address;
        std::uint64_t connections = 0;  // taken in and not written one by one
        std::uint64_t turnedAway = 0;
        std::uint64_t messages = 0;
        std::uint64_t scores = 0;
        std::uint64_t lostScores = 0;
        bool operator==(const Summary&) const = default;
    };
    // The counts of the windows that have ended by `now`, for addresses
    // that had lines left out; each window's address is then forgotten.
    std::vector<Summary> TakeDue(Clock::time_point now);
    // When the next window ends; nothing while none is open.
    std::optional<Clock::time_point> NextDue() const;
    std::size_t Addresses() const { return windows_.size(); }

private:
    // Lines written one by one in a window: connections, messages, scores.
    enum Kind { kConnections, kMessages, kScores, kKinds };
    struct Window {
        Clock::time_point ends;
        std::array<std::size_t, kKinds> written{};
        Summary left;
    };
    std::size_t Allowed(Kind kind) const;

    RepeatLimits limits_;
    std::map<std::string, Window> windows_;
};

// "127.0.0.1: 812 more connections and 30 turned away in the last 60 s,
// not written one by one"; "127.0.0.1: 3000 more messages and 12 more
// scores in the last 60 s, not written one by one"; "... 4 more scores and
// 20 scores lost in the last 60 s ...".
std::string SummaryLine(const RepeatSummary::Summary& summary, std::chrono::milliseconds window);

}  // namespace server
