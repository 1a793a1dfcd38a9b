#include "server/FloodGuard.h"

#include <algorithm>

namespace server {

namespace {

double Seconds(FloodGuard::Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

FloodGuard::FloodGuard(SendBudget budget, Clock::time_point now)
    : budget_(budget), available_(static_cast<double>(budget.burst)), refilled_(now) {}

void FloodGuard::Refill(Clock::time_point now, const ServerBusy& busy) {
    const double burst = static_cast<double>(budget_.burst);
    const double rate = static_cast<double>(budget_.perSecond);
    const Clock::duration elapsed = std::max(now - refilled_, Clock::duration::zero());
    // The busy time since the last look, as far as it lies in a stall that
    // has just ended: older stalls found nothing of this client waiting.
    const Clock::duration busyNow =
        std::clamp(std::min(busy.total - busySeen_, busy.lately), Clock::duration::zero(), elapsed);
    refilled_ = std::max(refilled_, now);
    busySeen_ = std::max(busySeen_, busy.total);
    if (available_ < burst) available_ = std::min(burst, available_ + Seconds(elapsed - busyNow) * rate);
    if (busyNow > Clock::duration::zero()) {
        // What the client may have sent while the server could not read it.
        available_ = std::min(available_ + Seconds(busyNow) * rate, burst + Seconds(kMostBusyCredit) * rate);
        creditUntil_ = now + kBusyCreditKept;
    }
    if (available_ > burst && now >= creditUntil_) available_ = burst;
}

void FloodGuard::Spend(std::size_t bytes, Clock::time_point now, const ServerBusy& busy) {
    Refill(now, busy);
    available_ -= static_cast<double>(bytes);
    spent_ += static_cast<double>(bytes);
}

void FloodGuard::Grant(std::size_t bytes) {
    const double burst = static_cast<double>(budget_.burst);
    if (available_ < burst) available_ = std::min(burst, available_ + static_cast<double>(bytes));
}

FloodGuard::Verdict FloodGuard::HoldUntilRefilled(Clock::time_point now) {
    holding_ = true;
    const double missing = static_cast<double>(budget_.burst) / 2 - available_;
    Clock::duration wait = budget_.perSecond == 0
                               ? Clock::duration::max()
                               : std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                     missing / static_cast<double>(budget_.perSecond)));
    // Looked at again by the time the spell has lasted long enough to
    // drop a client that keeps on, and at least that often after it.
    const Clock::duration sustained = budget_.sustained;
    const Clock::duration spellLeft = overSince_ ? *overSince_ + sustained - now : sustained;
    wait = std::min(wait, spellLeft > Clock::duration::zero() ? spellLeft : sustained);
    return {Verdict::Kind::Hold, now + std::max(wait, Clock::duration(std::chrono::milliseconds(1)))};
}

FloodGuard::Verdict FloodGuard::Look(Clock::time_point now, const ServerBusy& busy,
                                     const std::function<bool()>& moreWaiting) {
    Refill(now, busy);
    const double half = static_cast<double>(budget_.burst) / 2;
    // Past the budget, or held and not yet refilled to half the burst.
    if (available_ < 0 || (holding_ && available_ < half)) {
        if (!overSince_) overSince_ = now;
        // One that only pays off what it sent once is held, not dropped.
        if (now - *overSince_ >= budget_.sustained && moreWaiting()) return {Verdict::Kind::Drop, {}};
        return HoldUntilRefilled(now);
    }
    if (holding_) {
        // Refilled: reading goes on, and the next look after it tells
        // whether the client keeps within its budget now.
        holding_ = false;
        releasedAt_ = now;
        if (!moreWaiting()) overSince_.reset();  // it has sent no more
        return {Verdict::Kind::Read, {}};
    }
    if (overSince_ && (available_ >= half || now - releasedAt_ >= kBackWithin || !moreWaiting())) {
        overSince_.reset();
    }
    return {Verdict::Kind::Read, {}};
}

}  // namespace server
