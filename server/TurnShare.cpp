#include "server/TurnShare.h"

#include <algorithm>

namespace server {

TurnShare::TurnShare(Limits limits, QObject* parent) : QObject(parent), limits_(limits) {}

TurnShare::~TurnShare() = default;

bool TurnShare::TurnHasRoom() const {
    if (used_ == 0) return true;
    return used_ < limits_.perTurn && Clock::now() - began_ < limits_.time;
}

bool TurnShare::MayTake(std::size_t sliceUsed) const { return sliceUsed < limits_.slice && TurnHasRoom(); }

void TurnShare::Took(std::size_t cost) {
    if (used_ == 0) began_ = Clock::now();
    used_ += std::max<std::size_t>(cost, 1);
    ScheduleNextTurn();
}

void TurnShare::Wait(Taker& taker, const std::string& address) {
    std::deque<Taker*>& line = lines_[address];
    if (line.empty()) order_.push_back(address);
    line.push_back(&taker);
    ++waiting_;
    ScheduleNextTurn();
}

void TurnShare::Forget(const Taker& taker, const std::string& address) {
    const auto it = lines_.find(address);
    if (it == lines_.end()) return;
    std::deque<Taker*>& line = it->second;
    const auto found = std::find(line.begin(), line.end(), &taker);
    if (found == line.end()) return;
    line.erase(found);
    --waiting_;
    if (line.empty()) {
        lines_.erase(it);
        order_.erase(std::find(order_.begin(), order_.end(), address));
    }
}

void TurnShare::ScheduleNextTurn() {
    if (scheduled_) return;
    scheduled_ = true;
    // Posted: it comes once the loop has looked at the sockets and timers
    // that are ready now, never inside this turn.
    QMetaObject::invokeMethod(this, &TurnShare::NextTurn, Qt::QueuedConnection);
}

void TurnShare::NextTurn() {
    scheduled_ = false;
    used_ = 0;
    ++turn_;
    // Each is served once at most in this pass: one that wants more after
    // its slice waits again, behind those already waiting.
    std::size_t toServe = waiting_;
    while (toServe > 0 && !order_.empty() && TurnHasRoom()) {
        const std::string address = std::move(order_.front());
        order_.pop_front();
        const auto it = lines_.find(address);
        Taker* taker = it->second.front();
        it->second.pop_front();
        if (it->second.empty()) {
            lines_.erase(it);
        } else {
            order_.push_back(address);
        }
        --waiting_;
        --toServe;
        taker->TakeTurn();
    }
    if (waiting_ > 0) ScheduleNextTurn();
}

}  // namespace server
