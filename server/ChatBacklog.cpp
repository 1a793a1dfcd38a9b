#include "server/ChatBacklog.h"

#include <algorithm>

namespace server {

void ChatBacklog::Add(std::string text) {
    const std::size_t size = text.size();
    texts_.push_back({std::move(text), added_});
    added_ += size;
    bytes_ += size;
    while (bytes_ > cap_ && texts_.size() > 1) {
        bytes_ -= texts_.front().bytes.size();
        texts_.pop_front();
        ++begin_;
    }
}

std::uint64_t ChatBacklog::Take(std::uint64_t from, std::uint64_t until, std::size_t most, std::string& out) const {
    std::uint64_t at = std::max(from, begin_);
    const std::uint64_t end = std::min(until, End());
    while (at < end) {
        const std::string& bytes = texts_[static_cast<std::size_t>(at - begin_)].bytes;
        if (!out.empty() && out.size() + bytes.size() > most) break;
        out += bytes;
        ++at;
    }
    return at;
}

std::size_t ChatBacklog::BytesFrom(std::uint64_t from) const {
    if (from >= End()) return 0;
    const std::uint64_t start = texts_[static_cast<std::size_t>(std::max(from, begin_) - begin_)].offset;
    return static_cast<std::size_t>(added_ - start);
}

}  // namespace server
