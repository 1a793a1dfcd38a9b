#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The log's lines about one address's comings and goings: the first few in
// a while are written one by one; past them the rest are counted, and one
// line says how many once the while is over. A machine that connects and
// closes in a loop then costs the log a line a minute, not two a
// connection. Free of Qt and of the clock (the caller says when).
namespace server {

struct RepeatLimits {
    std::size_t linesEach = 10;  // lines written one by one per address and window
    std::chrono::milliseconds window{60000};
    // The most addresses counted apart at once; beyond, they share one count.
    std::size_t addresses = 1024;
};

class RepeatSummary {
public:
    using Clock = std::chrono::steady_clock;

    // An address's own count, when there are too many to count apart.
    static constexpr const char* kOtherAddresses = "other addresses";

    explicit RepeatSummary(RepeatLimits limits = {}) : limits_(limits) {}

    // Whether the line of an event from `address` is written one by one;
    // false: it is only counted. A connection turned away counts apart from
    // one taken in.
    enum class Event { Connection, TurnedAway };
    bool Admit(const std::string& address, Event event, Clock::time_point now);

    struct Summary {
        std::string address;
        std::uint64_t connections = 0;  // taken in and not written one by one
        std::uint64_t turnedAway = 0;
        bool operator==(const Summary&) const = default;
    };
    // The counts of the windows that have ended by `now`, for addresses
    // that had lines left out; each window's address is then forgotten.
    std::vector<Summary> TakeDue(Clock::time_point now);
    // When the next window ends; nothing while none is open.
    std::optional<Clock::time_point> NextDue() const;
    std::size_t Addresses() const { return windows_.size(); }

private:
    struct Window {
        Clock::time_point ends;
        std::size_t written = 0;
        Summary left;
    };

    RepeatLimits limits_;
    std::map<std::string, Window> windows_;
};

// "127.0.0.1: 812 more connections and 30 turned away in the last 60 s,
// not written one by one".
std::string SummaryLine(const RepeatSummary::Summary& summary, std::chrono::milliseconds window);

}  // namespace server
