#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whole messages out of a TCP byte stream. The game's protocols put nothing
// between their messages (no terminator, no length), and TCP joins and splits
// sends as it likes, so one read may hold several messages or part of one.
// A reader keeps the bytes of one connection and cuts them by the grammar of
// the protocol's direction: literals by their length, a slot digit where the
// protocol puts one, and a last field without an end mark (a name, an amount,
// a code) only once the next message begins after it or the stream has been
// quiet for the idle gap.
namespace online {

// Longer than TCP takes to resend a lost piece of one send on a LAN, short
// enough that nobody notices it in a lobby.
inline constexpr std::chrono::milliseconds kIdleGap{250};
// The most bytes one connection may hold that do not yet make a message.
inline constexpr std::size_t kReaderCap = 64 * 1024;

// What the grammar makes of the front of the bytes held.
struct Cut {
    enum class Kind { NeedMore, Message, Skip };
    Kind kind = Kind::NeedMore;
    std::size_t length = 0;

    static Cut More() { return {}; }
    static Cut Take(std::size_t n) { return {Kind::Message, n}; }
    static Cut Drop(std::size_t n) { return {Kind::Skip, n}; }
    bool operator==(const Cut&) const = default;
};

// One direction of one protocol.
class Grammar {
public:
    virtual ~Grammar() = default;
    // `pending` is never empty. `idle`: no byte has arrived for the idle gap,
    // so a message without an end mark that reaches the end is whole. A Take
    // or Drop length is at least 1 and at most pending.size().
    virtual Cut Next(std::string_view pending, bool idle) const = 0;
};

class MessageReader {
public:
    explicit MessageReader(const Grammar& grammar, std::size_t cap = kReaderCap);

    // Keeps the bytes that arrived; take the messages out with Next().
    void Append(std::string_view bytes);
    // The next whole message, or nothing while the bytes at the front do not
    // make one yet. Bytes that fit no message of the direction are skipped
    // on the way (and counted).
    std::optional<std::string> Next();
    // The same after the idle gap: messages whose end only the silence
    // shows come out too.
    std::optional<std::string> NextAfterIdle();

    // True when the bytes left after taking every whole message out pass
    // the cap: the peer sends without end or never finishes a message, so
    // close the connection.
    bool Overflowing() const { return BytesHeld() > cap_; }

    bool HoldsBytes() const { return pending_.size() > start_; }
    std::size_t BytesHeld() const { return pending_.size() - start_; }
    // Bytes thrown away because they fitted no message.
    std::uint64_t SkippedBytes() const { return skipped_; }
    void Clear();

private:
    std::optional<std::string> Cut(bool idle);

    const Grammar& grammar_;
    std::size_t cap_;
    std::string pending_;
    std::size_t start_ = 0;  // bytes before it are consumed
    std::uint64_t skipped_ = 0;
};

// How a message of a keyword protocol ends after its keyword.
enum class Tail {
    None,            // the keyword is the whole message ("FULL!")
    Digit,           // one character, the slot digit ("PLAYER?3")
    Number,          // a number with no end mark ("PARTICIPANT?2500")
    Text,            // free text with no end mark ("YES>bob")
    TextDigit,       // free text, then the slot digit ("PLAYER>bob3")
    HorseCode,       // a horse code with no end mark ("HORSE>" & code)
    HorseCodeDigit,  // a horse code, then the slot digit ("HORSE>" & code & "3")
    ScoreCode,       // a score code with no end mark ("LEADER:" & code)
    Frame,           // text up to and including its fifth ":" ("H1360:H2...:H5360:")
    Bytes,           // the rest of what arrived, taken at once (free text)
};

struct Shape {
    std::string_view keyword;
    Tail tail = Tail::None;
    bool anyCase = false;  // the keyword is matched in any mix of cases
};

// The grammar of a protocol whose messages each begin with a keyword. The
// shapes are tried in order, so a longer literal goes before a keyword it
// begins with ("WIN:NO" before "WIN:"). Bytes at the front that begin no
// shape are skipped up to the next place where a keyword could begin.
class KeywordGrammar final : public Grammar {
public:
    explicit KeywordGrammar(std::vector<Shape> shapes);
    Cut Next(std::string_view pending, bool idle) const override;

    // Longest accepted tails, beyond which a message is given up: its
    // keyword is skipped and the reader looks for the next message.
    static constexpr std::size_t kMaxText = 1024;
    static constexpr std::size_t kMaxNumber = 64;
    static constexpr std::size_t kMaxHorseCode = 4096;
    static constexpr std::size_t kMaxScoreCode = 2048;
    static constexpr std::size_t kMaxFrame = 256;

private:
    enum class Match { No, Partial, Whole };
    Match MatchAt(std::string_view pending, std::size_t at, const Shape& shape) const;
    // Whether some keyword begins at `at`: whole, or cut short by the end of
    // the bytes (Partial).
    Match AnyKeywordAt(std::string_view pending, std::size_t at) const;
    // Where the next message after `from` begins: a whole keyword whose
    // tail starts as that message's tail may ("H1" then a number or ":",
    // "DEAD>" then a digit); npos for none.
    std::size_t NextKeyword(std::string_view pending, std::size_t from) const;
    static bool Plausible(std::string_view pending, std::size_t at, const Shape& shape);
    Cut TailCut(std::string_view pending, const Shape& shape, bool idle) const;
    Cut CodeCut(std::string_view pending, std::size_t from, Tail tail, bool idle) const;
    Cut Resync(std::string_view pending) const;

    std::vector<Shape> shapes_;
};

}  // namespace online
