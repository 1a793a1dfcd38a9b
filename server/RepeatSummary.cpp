#include "server/RepeatSummary.h"

namespace server {

bool RepeatSummary::Admit(const std::string& address, Event event, Clock::time_point now) {
    auto it = windows_.find(address);
    if (it != windows_.end() && now >= it->second.ends && it->second.left == Summary{address}) {
        // Its window ended with nothing left out: begin afresh.
        windows_.erase(it);
        it = windows_.end();
    }
    if (it == windows_.end()) {
        const bool room = windows_.size() < limits_.addresses;
        const std::string key = room ? address : kOtherAddresses;
        it = windows_.find(key);
        if (it == windows_.end()) it = windows_.emplace(key, Window{now + limits_.window, 0, Summary{key}}).first;
    }
    Window& window = it->second;
    if (window.written < limits_.linesEach) {
        ++window.written;
        return true;
    }
    ++(event == Event::Connection ? window.left.connections : window.left.turnedAway);
    return false;
}

std::vector<RepeatSummary::Summary> RepeatSummary::TakeDue(Clock::time_point now) {
    std::vector<Summary> due;
    for (auto it = windows_.begin(); it != windows_.end();) {
        if (now < it->second.ends) {
            ++it;
            continue;
        }
        if (it->second.left != Summary{it->first}) due.push_back(it->second.left);
        it = windows_.erase(it);
    }
    return due;
}

std::optional<RepeatSummary::Clock::time_point> RepeatSummary::NextDue() const {
    std::optional<Clock::time_point> next;
    for (const auto& [address, window] : windows_) {
        if (!next || window.ends < *next) next = window.ends;
    }
    return next;
}

std::string SummaryLine(const RepeatSummary::Summary& summary, std::chrono::milliseconds window) {
    std::string line = summary.address + ":";
    if (summary.connections > 0) line += " " + std::to_string(summary.connections) + " more connections";
    if (summary.connections > 0 && summary.turnedAway > 0) line += " and";
    if (summary.turnedAway > 0) line += " " + std::to_string(summary.turnedAway) + " turned away";
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(window).count();
    return line + " in the last " + std::to_string(seconds) + " s, not written one by one";
}

}  // namespace server
