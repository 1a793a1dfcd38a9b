#pragma once

#include <chrono>
#include <cstddef>

// How much a client may send: a budget of bytes that refills at a steady
// rate up to a burst. A client that spends more than it has is flooding and
// is dropped; the players' own traffic stays far inside the budget.
namespace server {

struct SendBudget {
    std::size_t burst = 0;      // the most a client may send at once
    std::size_t perSecond = 0;  // how fast the budget refills
};

class FloodGuard {
public:
    using Clock = std::chrono::steady_clock;

    FloodGuard(SendBudget budget, Clock::time_point now);

    // Spends `bytes` that arrived at `now`; false once the budget is
    // overdrawn (and from then on).
    bool Spend(std::size_t bytes, Clock::time_point now);
    // Adds to the budget (up to the burst): bytes the client is owed, such
    // as its answer to a block it was sent.
    void Grant(std::size_t bytes);

    bool Flooded() const { return flooded_; }

private:
    SendBudget budget_;
    double available_;
    Clock::time_point refilled_;
    bool flooded_ = false;
};

}  // namespace server
