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
        if (it == windows_.end()) it = windows_.emplace(key, Window{now + limits_.window, {}, Summary{key}}).first;
    }
    Window& window = it->second;
    const Kind kind = event == Event::Message                                   ? kMessages
                      : event == Event::Score || event == Event::LostScore ? kScores
                                                                           : kConnections;
    if (window.written[kind] < Allowed(kind)) {
        ++window.written[kind];
        return true;
    }
    switch (event) {
        case Event::Connection: ++window.left.connections; break;
        case Event::TurnedAway: ++window.left.turnedAway; break;
        case Event::Message: ++window.left.messages; break;
        case Event::Score: ++window.left.scores; break;
        case Event::LostScore: ++window.left.lostScores; break;
    }
    return false;
}

std::size_t RepeatSummary::Allowed(Kind kind) const {
    switch (kind) {
        case kMessages: return limits_.messageLinesEach;
        case kScores: return limits_.scoreLinesEach;
        default: return limits_.linesEach;
    }
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
    std::vector<std::string> counts;
    const struct {
        std::uint64_t count;
        const char* one;
        const char* many;
    } parts[] = {{summary.connections, " more connection", " more connections"},
                 {summary.turnedAway, " turned away", " turned away"},
                 {summary.messages, " more message", " more messages"},
                 {summary.scores, " more score", " more scores"},
                 {summary.lostScores, " score lost", " scores lost"}};
    for (const auto& part : parts) {
        if (part.count > 0) counts.push_back(std::to_string(part.count) + (part.count == 1 ? part.one : part.many));
    }
    std::string line = summary.address + ":";
    for (std::size_t i = 0; i < counts.size(); ++i) {
        line += i == 0 ? " " : i + 1 == counts.size() ? " and " : ", ";
        line += counts[i];
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(window).count();
    return line + " in the last " + std::to_string(seconds) + " s, not written one by one";
}

}  // namespace server
