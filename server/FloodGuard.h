#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

// How much a client may send: a budget of bytes that refills at a steady
// rate up to a burst. A client is read no faster than its budget: past it,
// its reading is held until the budget has refilled, and what it sends
// meanwhile waits with the system, whose receive window holds it back. Only
// a client that keeps sending past its budget for a sustained time is
// flooding and is dropped; the players' own traffic stays far inside it.
//
// Bytes that piled up while the server was too busy to read (LoopWatch)
// are not the client's doing: the budget that time earns is not cut to the
// burst, for a short while after, so the pile is read at once.
namespace server {

struct SendBudget {
    std::size_t burst = 0;      // the most a client may send at once
    std::size_t perSecond = 0;  // how fast the budget refills
    // How long a client may keep sending past its budget before it is
    // dropped.
    std::chrono::milliseconds sustained{5000};
};

class FloodGuard {
public:
    using Clock = std::chrono::steady_clock;

    // What to do with the client's reading after a look at its budget.
    struct Verdict {
        enum class Kind { Read, Hold, Drop };
        Kind kind = Kind::Read;
        Clock::time_point until{};  // Hold: when to look again
        bool operator==(const Verdict&) const = default;
    };

    // How long the budget earned while the server was busy outlasts the
    // busy time, and the most of it a client may hold.
    static constexpr std::chrono::seconds kBusyCreditKept{2};
    static constexpr std::chrono::seconds kMostBusyCredit{120};

    FloodGuard(SendBudget budget, Clock::time_point now);

    // Spends `bytes` read at `now` (or the cost of a message). `busy`: how
    // long the server has been too busy to read so far, in all.
    void Spend(std::size_t bytes, Clock::time_point now, Clock::duration busy);
    // Adds to the budget (up to the burst): bytes the client is owed, such
    // as its answer to a block it was sent.
    void Grant(std::size_t bytes);

    // Read on, hold reading until a time, or drop. `moreWaiting` tells
    // whether the client has sent more than has been read (asked only
    // while it is past its budget). Reading goes on from a hold once the
    // budget has refilled to half the burst.
    Verdict Look(Clock::time_point now, Clock::duration busy, const std::function<bool()>& moreWaiting);

    double Available() const { return available_; }
    // Since when the client has been past its budget without a break.
    std::optional<Clock::time_point> OverSince() const { return overSince_; }

private:
    void Refill(Clock::time_point now, Clock::duration busy);
    Verdict HoldUntilRefilled(Clock::time_point now);

    SendBudget budget_;
    double available_;
    Clock::time_point refilled_;
    Clock::duration busySeen_{};
    Clock::time_point creditUntil_{};  // budget beyond the burst lapses then
    std::optional<Clock::time_point> overSince_;
    bool holding_ = false;
};

}  // namespace server
