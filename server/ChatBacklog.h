#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// What the chat has relayed lately, kept once for all its players: each
// player takes the texts from where it has got to, as fast as its own
// connection takes them. What one burst brings costs the server its bytes
// once, however many players there are, and a player whose connection is
// slow falls behind without holding anybody else up. The backlog keeps at
// most its cap of bytes: past it, the oldest texts go, and a player that
// had not taken them yet misses them. Free of sockets.
namespace server {

class ChatBacklog {
public:
    explicit ChatBacklog(std::size_t cap) : cap_(cap) {}

    // Adds a text (the oldest go to keep within the cap, never the newest).
    void Add(std::string text);
    // The number of the oldest text kept, and one past the newest.
    std::uint64_t Begin() const { return begin_; }
    std::uint64_t End() const { return begin_ + texts_.size(); }
    // Texts from number `from` (at least Begin) up to `until`, joined into
    // `out` while they fit `most` bytes (at least one); the number of the
    // first text not taken.
    std::uint64_t Take(std::uint64_t from, std::uint64_t until, std::size_t most, std::string& out) const;
    // Bytes of the texts from number `from` on.
    std::size_t BytesFrom(std::uint64_t from) const;
    std::size_t Bytes() const { return bytes_; }

private:
    struct Text {
        std::string bytes;
        std::uint64_t offset;  // bytes added before it, since the start
    };
    std::size_t cap_;
    std::deque<Text> texts_;
    std::uint64_t begin_ = 0;
    std::uint64_t added_ = 0;  // bytes added since the start
    std::size_t bytes_ = 0;    // bytes kept
};

}  // namespace server
