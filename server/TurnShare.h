#pragma once

#include <QObject>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

// How much of one turn of the event loop the clients' messages may take,
// and who goes next. Every port shares one: a turn hands out at most a few
// milliseconds' worth of messages, each client a slice of them; a client
// with more waits, its reading held so that what it sends beyond stays with
// TCP on its own machine, and the next turns go on where this one stopped.
// So a crowd that sends at once costs each turn a bounded time, and the
// server turns often enough that a player's chat line is never long behind.
//
// Those waiting are served a slice at a time, machine by machine in turn
// (by address, whatever the port), each machine's clients in the order they
// came: a machine with many connections gets no more turns than one with a
// single connection, so a player waits for one slice of each machine
// waiting, not for a crowd's whole backlog.
namespace server {

struct TurnLimits {
    // What one client may have handed out in a turn before others go (its
    // messages' cost, as its budget counts it); at least one message,
    // however long.
    std::size_t slice = 2048;
    // What all clients may have handed out in one turn, in cost and in
    // time; the time is looked at before each message.
    std::size_t perTurn = 64 * 1024;
    std::chrono::microseconds time{4000};
};

class TurnShare final : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    using Limits = TurnLimits;

    // A client that waits for its turn.
    class Taker {
    public:
        virtual ~Taker() = default;
        // Its turn has come: it may hand out another slice.
        virtual void TakeTurn() = 0;
    };

    explicit TurnShare(Limits limits = {}, QObject* parent = nullptr);
    ~TurnShare() override;

    // Whether a client that has had `sliceUsed` of its slice in this turn
    // may hand out one more message.
    bool MayTake(std::size_t sliceUsed) const;
    // A message of this cost was handed out.
    void Took(std::size_t cost);
    // The client, of `address`, waits for a turn. Each waits once; one
    // that waits must be forgotten (Forget) before it is destroyed.
    void Wait(Taker& taker, const std::string& address);
    void Forget(const Taker& taker, const std::string& address);

    // Counts the turns: a client's slice is for the turn it was given in.
    std::uint64_t Turn() const { return turn_; }
    std::size_t Waiting() const { return waiting_; }
    const Limits& Settings() const { return limits_; }

    // A turn is over: the next one serves those waiting.
    void NextTurn();

private:
    bool TurnHasRoom() const;
    void ScheduleNextTurn();

    Limits limits_;
    // Those waiting, by address, and the addresses in the order they are
    // served.
    std::map<std::string, std::deque<Taker*>> lines_;
    std::deque<std::string> order_;
    std::size_t waiting_ = 0;
    std::size_t used_ = 0;
    Clock::time_point began_{};
    std::uint64_t turn_ = 1;
    bool scheduled_ = false;
};

}  // namespace server
