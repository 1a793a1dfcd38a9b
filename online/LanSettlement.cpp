#include "online/LanSettlement.h"

#include <algorithm>
#include <utility>

namespace online::lan {

LanSettlement::LanSettlement(bool hostWon, std::vector<Runner> players, double pot, double charge,
                             SettleTime lastFrame)
    : hostWon_(hostWon || players.empty()),
      pot_(pot),
      charge_(charge),
      lastFrame_(lastFrame),
      step_(hostWon_ ? SettleStep::Losers : SettleStep::Winner) {
    entries_.reserve(players.size());
    for (const Runner& r : players) entries_.push_back({r});
}

void LanSettlement::Advance(SettleTime now, SettlementLinks& links) { Run(now, links, false); }

void LanSettlement::Leave(SettleTime now, SettlementLinks& links) { Run(now, links, true); }

void LanSettlement::Run(SettleTime now, SettlementLinks& links, bool leaving) {
    if (step_ == SettleStep::Winner && !SettleWinner(now, links, leaving)) return;
    if (step_ == SettleStep::Losers) SettleLosers(now, links, leaving);
}

bool LanSettlement::SettleWinner(SettleTime now, SettlementLinks& links, bool leaving) {
    Entry& winner = entries_.front();
    if (winner.delivery == Delivery::Unsent) {
        if (leaving || !MaySend(now) || !links.Look(winner.runner.connection).up) {
            MakeVoid(links);
            return false;
        }
        Send(winner, now, links);
        return false;  // its acknowledgement is a round trip away
    }
    Check(winner, now, links, leaving);
    if (winner.delivery == Delivery::GivenUp) {
        MakeVoid(links);
        return false;
    }
    if (winner.delivery == Delivery::Sent) return false;
    step_ = SettleStep::Losers;
    return true;
}

void LanSettlement::SettleLosers(SettleTime now, SettlementLinks& links, bool leaving) {
    bool sending = false;
    for (Entry& e : entries_) {
        if (IsWinner(e) || e.delivery != Delivery::Unsent) continue;
        // A loser whose connection has gone takes its stake back already.
        if (leaving || !MaySend(now) || !links.Look(e.runner.connection).up) {
            GiveUp(e, links);
            continue;
        }
        Send(e, now, links);
        sending = true;
    }
    if (sending) return;
    bool waiting = false;
    for (Entry& e : entries_) {
        if (e.delivery != Delivery::Sent) continue;
        Check(e, now, links, leaving);
        waiting = waiting || e.delivery == Delivery::Sent;
    }
    if (waiting) return;
    // A host's win with no loser told is a race nobody else ran: it counts
    // for nobody, the host's own charge back as the pot less theirs.
    const bool anyTold = std::any_of(entries_.begin(), entries_.end(),
                                     [](const Entry& e) { return e.delivery == Delivery::Delivered; });
    step_ = hostWon_ && !entries_.empty() && !anyTold ? SettleStep::Void : SettleStep::Settled;
}

void LanSettlement::Send(Entry& e, SettleTime now, SettlementLinks& links) {
    const Result result = IsWinner(e) ? Result{pot_} : Result{std::nullopt};
    e.mark = links.SendResult(e.runner.connection, result);
    e.delivery = Delivery::Sent;
    sentAt_ = now;
}

void LanSettlement::Check(Entry& e, SettleTime now, SettlementLinks& links, bool leaving) {
    const LinkState link = links.Look(e.runner.connection);
    if (link.acknowledged >= e.mark) {
        e.delivery = Delivery::Delivered;
        return;
    }
    if (leaving || !link.up || now >= Deadline()) GiveUp(e, links);
}

void LanSettlement::GiveUp(Entry& e, SettlementLinks& links) {
    e.delivery = Delivery::GivenUp;
    links.GiveUp(e.runner.connection);
}

void LanSettlement::MakeVoid(SettlementLinks& links) {
    // Nobody has a result yet but, perhaps, the winner, whose result was
    // not acknowledged: every player of the race is cut off before one.
    for (Entry& e : entries_) {
        if (e.delivery != Delivery::GivenUp) GiveUp(e, links);
    }
    step_ = SettleStep::Void;
}

SettleTime LanSettlement::Deadline() const { return std::min(sentAt_ + kResultWait, lastFrame_ + kLastResultBy); }

std::vector<LanSettlement::Awaited> LanSettlement::AwaitedResults() const {
    std::vector<Awaited> awaited;
    for (const Entry& e : entries_) {
        if (e.delivery == Delivery::Sent) awaited.push_back({e.runner.connection, e.mark});
    }
    return awaited;
}

Delivery LanSettlement::DeliveryTo(int slot) const {
    for (const Entry& e : entries_) {
        if (e.runner.slot == slot) return e.delivery;
    }
    return Delivery::Unsent;
}

HostBooking LanSettlement::Booking() const {
    HostBooking b;
    if (step_ != SettleStep::Settled) {
        // A void race (or one not settled): the host's own charge comes back.
        b.money = charge_;
        return b;
    }
    b.counts = true;
    b.won = hostWon_;
    b.pot = pot_;
    for (const Entry& e : entries_) {
        if (!IsWinner(e) && e.delivery == Delivery::GivenUp) b.refunded.push_back(e.runner.slot);
    }
    b.givenBack = charge_ * static_cast<double>(b.refunded.size());
    b.money = (hostWon_ ? pot_ : 0) - b.givenBack;
    return b;
}

}  // namespace online::lan
