#include "server/FloodGuard.h"

#include <algorithm>

namespace server {

FloodGuard::FloodGuard(SendBudget budget, Clock::time_point now)
    : budget_(budget), available_(static_cast<double>(budget.burst)), refilled_(now) {}

bool FloodGuard::Spend(std::size_t bytes, Clock::time_point now) {
    if (flooded_) return false;
    if (now > refilled_) {
        const double seconds = std::chrono::duration<double>(now - refilled_).count();
        available_ = std::min(static_cast<double>(budget_.burst),
                              available_ + seconds * static_cast<double>(budget_.perSecond));
        refilled_ = now;
    }
    available_ -= static_cast<double>(bytes);
    flooded_ = available_ < 0;
    return !flooded_;
}

void FloodGuard::Grant(std::size_t bytes) {
    available_ = std::min(static_cast<double>(budget_.burst), available_ + static_cast<double>(bytes));
}

}  // namespace server
