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
// are not the client's doing: the budget that a stall earns is not cut to
// the burst, for a short while after it, so the pile is read at once. Only
// a stall that has just ended counts: a client with bytes waiting in it is
// read right after it, and one that was silent then has nothing to pile up.
namespace server {

struct SendBudget {
    std::size_t burst = 0;      // the most a client may send at once
    std::size_t perSecond = 0;  // how fast the budget refills (never 0)
    // How long a client may keep sending past its budget before it is
    // dropped.
    std::chrono::milliseconds sustained{5000};
};

// How long the server has been too busy to read its clients (LoopWatch).
struct ServerBusy {
    std::chrono::steady_clock::duration total{};  // in all, so far
    // In the stalls that are still going on or have just ended.
    std::chrono::steady_clock::duration lately{};
    bool operator==(const ServerBusy&) const = default;
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
    // A flooder's waiting bytes spend its budget again as soon as a hold
    // ends; a client read on this long after a hold has kept within.
    static constexpr std::chrono::seconds kBackWithin{1};

    FloodGuard(SendBudget budget, Clock::time_point now);

    // Spends `bytes` read at `now` (or the cost of a message).
    void Spend(std::size_t bytes, Clock::time_point now, const ServerBusy& busy);
    // Adds to the budget (up to the burst): bytes the client is owed, such
    // as its answer to a block it was sent.
    void Grant(std::size_t bytes);

    // Read on, hold reading until a time, or drop. `moreWaiting` tells
    // whether the client has sent more than has been handled (asked only
    // while it is past its budget). Reading goes on from a hold once the
    // budget has refilled to half the burst.
    //
    // A spell past the budget begins when a look finds the budget spent.
    // It ends when a look while reading finds the client back within its
    // budget: nothing more waiting, half the burst left (where a hold
    // ends), or read on for kBackWithin since its last hold without running
    // out. A client that has kept within its budget so starts afresh,
    // however long ago its last spell began; one still in its spell after
    // the sustained time, with more waiting, is dropped.
    Verdict Look(Clock::time_point now, const ServerBusy& busy, const std::function<bool()>& moreWaiting);

    double Available() const { return available_; }
    // All the client has spent so far; with what is available, all it was
    // given (its burst, what refilled, what stalls earned, grants).
    double Spent() const { return spent_; }
    // Since when the client has been past its budget without a break.
    std::optional<Clock::time_point> OverSince() const { return overSince_; }

private:
    void Refill(Clock::time_point now, const ServerBusy& busy);
    Verdict HoldUntilRefilled(Clock::time_point now);

    SendBudget budget_;
    double available_;
    double spent_ = 0;
    Clock::time_point refilled_;
    Clock::duration busySeen_{};
    Clock::time_point creditUntil_{};  // budget beyond the burst lapses then
    std::optional<Clock::time_point> overSince_;
    Clock::time_point releasedAt_{};  // when the last hold ended
    bool holding_ = false;
};

}  // namespace server
