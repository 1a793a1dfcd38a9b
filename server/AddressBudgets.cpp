#include "server/AddressBudgets.h"

namespace server {

bool AddressBudgets::Spent(const std::string& address, Clock::time_point now, const ServerBusy& busy) {
    const auto it = entries_.find(address);
    if (it == entries_.end()) return false;
    it->second.guard.Spend(0, now, busy);  // refilled up to now
    return it->second.guard.Available() < 0;
}

FloodGuard& AddressBudgets::Take(const std::string& address, Clock::time_point now) {
    auto it = entries_.find(address);
    if (it == entries_.end()) it = entries_.emplace(address, Entry{FloodGuard(budget_, now), 0}).first;
    ++it->second.connections;
    return it->second.guard;
}

void AddressBudgets::Release(const std::string& address) {
    const auto it = entries_.find(address);
    if (it != entries_.end() && it->second.connections > 0) --it->second.connections;
}

void AddressBudgets::ForgetRefilled(Clock::time_point now, const ServerBusy& busy) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        Entry& entry = it->second;
        if (entry.connections == 0) {
            entry.guard.Spend(0, now, busy);
            if (entry.guard.Available() >= static_cast<double>(budget_.burst)) {
                it = entries_.erase(it);
                continue;
            }
        }
        ++it;
    }
}

}  // namespace server
