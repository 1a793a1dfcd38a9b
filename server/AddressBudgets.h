#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>

#include "server/FloodGuard.h"

// What each address may send on one port, shared by all its connections
// and kept across reconnections: a machine that opens many connections, or
// closes and reconnects to start afresh, gets no more through than its
// address's budget. An address's budget is kept while it has a connection,
// and after, until it has refilled whole; then it is forgotten, so the
// table holds only the addresses seen lately. Free of Qt (the caller says
// when).
namespace server {

class AddressBudgets {
public:
    using Clock = FloodGuard::Clock;

    // A burst of 0: no address has a budget of its own.
    explicit AddressBudgets(SendBudget budget) : budget_(budget) {}

    bool Enabled() const { return budget_.burst > 0; }

    // Whether `address` has spent its budget (a new connection from it
    // would be held at once).
    bool Spent(const std::string& address, Clock::time_point now, const ServerBusy& busy);
    // The budget of `address` for one more of its connections, made afresh
    // when it has none; the connection gives it back with Release.
    FloodGuard& Take(const std::string& address, Clock::time_point now);
    void Release(const std::string& address);
    // Forgets the budgets without a connection that have refilled whole.
    void ForgetRefilled(Clock::time_point now, const ServerBusy& busy);
    std::size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        FloodGuard guard;
        std::size_t connections = 0;
    };

    SendBudget budget_;
    std::map<std::string, Entry> entries_;
};

}  // namespace server
