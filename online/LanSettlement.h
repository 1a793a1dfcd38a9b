#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "online/LanProtocol.h"

// Settling a finished LAN race so that no money is made or lost when a
// connection fails on the way: a runner's result counts only once that
// runner's system has acknowledged it. Every copy books its own money, and a
// player whose connection ends before its result takes its stake back; so
// the host sends the winner's result first and waits for it. Acknowledged,
// the race counts: the losers get theirs, and the charge of a loser whose
// result is not acknowledged in time goes back to it (its connection is cut,
// it books no loss), paid by the host so that the winner's pot stays whole.
// Not acknowledged in time, the race counts for nobody: every connection of
// the race is cut before any loser has its result, so each player takes its
// stake back, and the host takes back its own charge.
//
// Free of sockets and clocks: the host tells it the time and what each
// connection has acknowledged, and carries out what it asks.
namespace online::lan {

using ConnectionId = std::uint32_t;

using SettleClock = std::chrono::steady_clock;
using SettleTime = SettleClock::time_point;

// The race timer's tick, and the payout timer's one second after the tick
// that found every runner in.
inline constexpr std::chrono::milliseconds kRaceTick{50};
inline constexpr std::chrono::milliseconds kPayoutDelay{1000};
// Once the payout has begun the host looks this often whether what it sent
// has been acknowledged.
inline constexpr std::chrono::milliseconds kPayoutPoll{50};
// How long the payout waits for every runner to have had every frame of the
// race, and then for the winner's result and for the losers' results.
inline constexpr std::chrono::milliseconds kFramesWait{4000};
inline constexpr std::chrono::milliseconds kResultWait{3000};
// A player that hears nothing for kLongestRaceSilenceMs gives the race up
// and takes its stake back. The host's last frame is the last it hears
// before the results, so every result is acknowledged, or given up, this
// long after it: a player the host counts as told has not given up, and one
// it gives up on never gets the result.
inline constexpr std::chrono::milliseconds kLastResultBy{kLongestRaceSilenceMs - 2000};
// A host that leaves can wait for no timer, but a result that has left its
// socket for the system reaches its player within a round trip, and the
// player keeps it: the leaving host waits this long (its window already
// gone) for such results to be acknowledged before it gives up the rest.
inline constexpr std::chrono::milliseconds kLeavingWait{500};
// From the last frame (a packet frequency of 0 leaves 31 ticks between
// frames) the payout's second and its three waits end before that.
static_assert((kMaxPacketFrequency + 1) * kRaceTick + kPayoutDelay + kFramesWait + 2 * kResultWait <= kLastResultBy);

enum class SettleStep {
    Winner,   // the winning player's "WIN:" & pot is out; its acknowledgement decides
    Losers,   // the race counts: "WIN:NO" is out to every losing player
    Settled,  // every loser's result acknowledged, or its charge given back
    Void,     // no result was acknowledged where it counts: every charge goes
              // back (the winning player's, or, when the host won, every loser's)
};

enum class Delivery {
    Unsent,
    Sent,       // its acknowledgement is awaited
    Delivered,  // acknowledged: the player has its result
    GivenUp,    // never acknowledged: the connection is cut, the player refunds itself
};

// What a runner's connection can tell.
struct LinkState {
    // Bytes the player's system has acknowledged, from the connection's start.
    std::uint64_t acknowledged = 0;
    // Whether more can still be acknowledged.
    bool up = false;
};

// What the settlement asks of the host's connections.
class SettlementLinks {
public:
    virtual ~SettlementLinks() = default;
    // Sends the result on the connection and returns the count of bytes sent
    // on it so far, its last byte included: the result is acknowledged once
    // that many are.
    virtual std::uint64_t SendResult(ConnectionId id, const Result& result) = 0;
    virtual LinkState Look(ConnectionId id) const = 0;
    // Cuts the connection at once, throwing away what it holds unsent, so a
    // result not acknowledged now never reaches its player.
    virtual void GiveUp(ConnectionId id) = 0;
};

// What the race comes to for the host, once settled.
struct HostBooking {
    bool counts = false;        // false for a void race: no win, no loss, no pot
    bool won = false;           // the host's horse won
    double money = 0;           // to add to the host's money (taken when negative)
    double pot = 0;             // the pot raced for
    std::vector<int> refunded;  // losing players' slots whose charge the host gave back
    double givenBack = 0;       // those charges
};

class LanSettlement {
public:
    struct Runner {
        int slot = 0;
        ConnectionId connection = 0;
    };

    // `players`: every runner but the host, in finishing order. The winner
    // is the host when `hostWon`, else the first of them. `lastFrame`: when
    // the host last spoke to them before the results.
    LanSettlement(bool hostWon, std::vector<Runner> players, double pot, double charge, SettleTime lastFrame);

    // Goes as far as the acknowledgements let it: sends what is due,
    // decides what has been acknowledged or waited for long enough. Call it
    // again after kPayoutPoll until Finished().
    void Advance(SettleTime now, SettlementLinks& links);
    // The host is leaving and can wait no more: what has been acknowledged
    // counts, nothing more is sent, and the rest is given up at once.
    void Leave(SettleTime now, SettlementLinks& links);

    // The results that have gone out and wait for their acknowledgement:
    // each is acknowledged once its connection's count reaches `mark`.
    struct Awaited {
        ConnectionId connection = 0;
        std::uint64_t mark = 0;
    };
    std::vector<Awaited> AwaitedResults() const;

    SettleStep Step() const { return step_; }
    bool Finished() const { return step_ == SettleStep::Settled || step_ == SettleStep::Void; }
    Delivery DeliveryTo(int slot) const;
    // Once Finished().
    HostBooking Booking() const;

private:
    struct Entry {
        Runner runner;
        Delivery delivery = Delivery::Unsent;
        std::uint64_t mark = 0;
    };

    void Run(SettleTime now, SettlementLinks& links, bool leaving);
    // Whether the winner's result decided the race.
    bool SettleWinner(SettleTime now, SettlementLinks& links, bool leaving);
    void SettleLosers(SettleTime now, SettlementLinks& links, bool leaving);
    void Send(Entry& e, SettleTime now, SettlementLinks& links);
    // Delivered or given up, as the connection and the time say.
    void Check(Entry& e, SettleTime now, SettlementLinks& links, bool leaving);
    void GiveUp(Entry& e, SettlementLinks& links);
    void MakeVoid(SettlementLinks& links);
    bool MaySend(SettleTime now) const { return now < lastFrame_ + kLastResultBy; }
    SettleTime Deadline() const;
    bool IsWinner(const Entry& e) const { return !hostWon_ && &e == &entries_.front(); }

    bool hostWon_;
    std::vector<Entry> entries_;  // the players in finishing order
    double pot_;
    double charge_;
    SettleTime lastFrame_;
    SettleTime sentAt_{};
    SettleStep step_;
};

}  // namespace online::lan
