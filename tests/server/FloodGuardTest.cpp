// A client's budget: a burst at once, then a steady rate. Past it, the
// client's reading is held until the budget has refilled; only a client
// that keeps sending past it for the sustained time is dropped, and bytes
// that piled up while the server was busy are no client's fault.
#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <thread>

#include "server/AddressBudgets.h"
#include "server/FloodGuard.h"
#include "server/LoopWatch.h"
#include "server/ServerLog.h"
#include "tests/support/EventLoop.h"

using namespace std::chrono_literals;
using server::FloodGuard;
using Kind = FloodGuard::Verdict::Kind;

namespace {

const FloodGuard::Clock::time_point t0{};
const auto nothingWaiting = [] { return false; };
const auto moreWaiting = [] { return true; };

TEST(FloodGuard, ABurstIsReadAtOnceAndMoreIsHeldUntilHalfTheBurstHasRefilled) {
    FloodGuard guard({100, 10, 5s}, t0);
    guard.Spend(60, t0, {});
    EXPECT_EQ(guard.Look(t0, {}, moreWaiting).kind, Kind::Read);
    guard.Spend(40, t0, {});
    EXPECT_EQ(guard.Look(t0, {}, moreWaiting).kind, Kind::Read) << "the whole burst";
    guard.Spend(20, t0, {});
    // 20 bytes owed, and half the burst (50) to refill at 10 a second: 7
    // seconds, but it is looked at again when the spell has lasted 5.
    EXPECT_EQ(guard.Look(t0, {}, moreWaiting), (FloodGuard::Verdict{Kind::Hold, t0 + 5s}));
    EXPECT_EQ(guard.Look(t0 + 3s, {}, moreWaiting), (FloodGuard::Verdict{Kind::Hold, t0 + 5s})) << "too early";
    EXPECT_EQ(guard.Look(t0 + 5s, {}, nothingWaiting), (FloodGuard::Verdict{Kind::Hold, t0 + 7s}))
        << "it only pays off what it sent once: held, not dropped";
    EXPECT_EQ(guard.Look(t0 + 7s, {}, nothingWaiting).kind, Kind::Read);
    EXPECT_EQ(guard.OverSince(), std::nullopt) << "it sent no more: the spell is over";

    FloodGuard keepsOn({100, 10, 5s}, t0);
    keepsOn.Spend(120, t0, {});
    EXPECT_EQ(keepsOn.Look(t0, {}, moreWaiting).kind, Kind::Hold);
    EXPECT_EQ(keepsOn.Look(t0 + 5s, {}, moreWaiting).kind, Kind::Drop) << "still more waiting after 5 s";
}

// Over its budget once, then well inside it, with its next message always
// waiting when it is looked at: back within its budget, it starts afresh.
TEST(FloodGuard, AClientBackWithinItsBudgetIsNotDroppedForItsOldSpell) {
    FloodGuard guard({1000, 1000, 5s}, t0);
    guard.Spend(1001, t0, {});
    FloodGuard::Verdict verdict = guard.Look(t0, {}, moreWaiting);
    ASSERT_EQ(verdict.kind, Kind::Hold);
    ASSERT_EQ(guard.Look(verdict.until, {}, moreWaiting).kind, Kind::Read) << "refilled to half the burst";
    for (auto t = verdict.until + 100ms; t < t0 + 30s; t += 100ms) {
        guard.Spend(50, t, {});
        verdict = guard.Look(t, {}, moreWaiting);
        ASSERT_EQ(verdict.kind, Kind::Read) << std::chrono::duration<double>(t - t0).count() << " s, "
                                            << guard.Available() << " bytes left";
    }
    EXPECT_EQ(guard.OverSince(), std::nullopt);

    // One that kept within its budget for a while, then goes past it
    // again, begins a new spell: held, not dropped at once.
    guard.Spend(2000, t0 + 30s, {});
    verdict = guard.Look(t0 + 30s, {}, moreWaiting);
    EXPECT_EQ(verdict.kind, Kind::Hold);
    EXPECT_EQ(guard.OverSince(), t0 + 30s);
}

TEST(FloodGuard, ALongSilenceSavesNoMoreThanTheBurst) {
    FloodGuard guard({100, 10, 5s}, t0);
    guard.Spend(101, t0 + 1h, {});
    EXPECT_EQ(guard.Look(t0 + 1h, {}, moreWaiting).kind, Kind::Hold);
}

TEST(FloodGuard, AGrantPaysForAnAnswerTheServerAskedFor) {
    FloodGuard guard({10, 1, 5s}, t0);  // no time passes: nothing refills
    for (int i = 0; i < 1000; ++i) {
        guard.Grant(8);
        guard.Spend(8, t0, {});
        ASSERT_EQ(guard.Look(t0, {}, moreWaiting).kind, Kind::Read) << i;
    }
    guard.Grant(1000);
    guard.Spend(11, t0, {});
    EXPECT_EQ(guard.Look(t0, {}, moreWaiting).kind, Kind::Hold) << "grants fill no further than the burst";
}

// A client sending `rate` bytes a second in messages of `message` bytes,
// read every 10 ms by a server that does what the guard says, and that
// stalls (reads nothing) from `stallFrom` for `stall`. Whether the client
// was dropped, and how long its reading was held at most.
struct Outcome {
    bool dropped = false;
    FloodGuard::Clock::duration droppedAfter{};
    FloodGuard::Clock::duration longestHold{};
};

Outcome Simulate(server::SendBudget budget, double rate, std::size_t message, FloodGuard::Clock::duration stallFrom,
                 FloodGuard::Clock::duration stall, FloodGuard::Clock::duration length = 60s) {
    FloodGuard guard(budget, t0);
    constexpr auto kStep = 10ms;
    constexpr std::size_t kPiece = 16 * 1024;  // the most one read takes
    double sent = 0;
    std::size_t waiting = 0;
    server::Stalls stalls(kStep, t0);
    std::optional<FloodGuard::Clock::time_point> heldUntil;
    // When its current hold began (the epoch while it is read).
    FloodGuard::Clock::time_point heldSince = FloodGuard::Clock::time_point::min();
    const auto notHeld = FloodGuard::Clock::time_point::min();
    Outcome outcome;
    for (auto t = t0; t < t0 + length; t += kStep) {
        // The client sends whole messages at its rate.
        const double due = rate * std::chrono::duration<double>(t - t0).count();
        while (sent + static_cast<double>(message) <= due) {
            sent += static_cast<double>(message);
            waiting += message;
        }
        if (t >= t0 + stallFrom && t < t0 + stallFrom + stall) continue;
        stalls.Beat(t);
        const server::ServerBusy busy = stalls.Busy(t);
        FloodGuard::Verdict verdict;
        if (heldUntil && t < *heldUntil) continue;
        if (heldUntil) {
            verdict = guard.Look(t, busy, [&] { return waiting > 0; });
        } else {
            const std::size_t read = std::min(waiting, kPiece);
            if (read == 0) continue;
            waiting -= read;
            guard.Spend(read, t, busy);
            verdict = guard.Look(t, busy, [&] { return waiting > 0; });
        }
        if (verdict.kind == Kind::Drop) {
            outcome.dropped = true;
            outcome.droppedAfter = t - t0;
            return outcome;
        }
        if (verdict.kind == Kind::Hold) {
            if (heldSince == notHeld) heldSince = t;
            heldUntil = verdict.until;
        } else {
            if (heldSince != notHeld) outcome.longestHold = std::max(outcome.longestHold, t - heldSince);
            heldSince = notHeld;
            heldUntil.reset();
        }
    }
    return outcome;
}

TEST(FloodGuard, OnlyAClientThatKeepsSendingPastItsBudgetIsDropped) {
    const server::SendBudget chat{16 * 1024, 4 * 1024, 5s};
    struct Case {
        const char* what;
        double share;  // of the budget's rate
        std::size_t message;
        FloodGuard::Clock::duration stall;
        bool dropped;
    };
    const Case cases[] = {
        {"a chatter at three quarters of its budget", 0.75, 300, 0s, false},
        {"the same chatter while the server stalls for 16 seconds", 0.75, 300, 16s, false},
        {"a scorer at three quarters of its budget while the server stalls for a minute", 0.75, 110, 60s, false},
        {"a client at exactly its budget while the server stalls", 1.0, 1000, 8s, false},
        {"a flooder at twice its budget", 2.0, 1000, 0s, true},
        {"a flooder at twice its budget, after a stall", 2.0, 1000, 10s, true},
        {"a flooder at ten times its budget", 10.0, 4000, 0s, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = Simulate(chat, c.share * static_cast<double>(chat.perSecond), c.message, 5s, c.stall, 90s);
        EXPECT_EQ(o.dropped, c.dropped);
        if (c.dropped) {
            // Past the budget for the sustained time, and not much longer.
            EXPECT_GE(o.droppedAfter, chat.sustained);
            EXPECT_LE(o.droppedAfter, 5s + c.stall + 4 * chat.sustained);
        }
    }
}

TEST(FloodGuard, ABurstPastTheBudgetIsHeldBackNotDropped) {
    // 40 KiB at once, then nothing: more than twice the burst, read over
    // some seconds.
    FloodGuard guard({16 * 1024, 4 * 1024, 5s}, t0);
    std::size_t waiting = 40 * 1024;
    auto t = t0;
    for (int reads = 0; waiting > 0; ++reads) {
        ASSERT_LT(reads, 100);
        const std::size_t read = std::min<std::size_t>(waiting, 8 * 1024);
        waiting -= read;
        guard.Spend(read, t, {});
        auto verdict = guard.Look(t, {}, [&] { return waiting > 0; });
        while (verdict.kind == Kind::Hold) {
            t = verdict.until;
            verdict = guard.Look(t, {}, [&] { return waiting > 0; });
        }
        ASSERT_EQ(verdict.kind, Kind::Read) << "after " << reads << " reads";
    }
    EXPECT_GT(t - t0, 3s) << "read no faster than the budget";
    EXPECT_EQ(guard.OverSince(), std::nullopt);
}

TEST(FloodGuard, WhatTheBusyTimeEarnsLastsOnlyAShortWhile) {
    // The server was busy for 30 of the last 31 seconds, and has just
    // turned again: 300 bytes earned beyond the burst, for a short while.
    const server::ServerBusy stall{30s, 30s};
    FloodGuard guard({100, 10, 5s}, t0);
    guard.Spend(350, t0 + 31s, stall);
    EXPECT_EQ(guard.Look(t0 + 31s, stall, moreWaiting).kind, Kind::Read);
    EXPECT_NEAR(guard.Available(), 50, 1e-6);

    FloodGuard late({100, 10, 5s}, t0);
    late.Spend(0, t0 + 31s, stall);
    late.Spend(350, t0 + 31s + FloodGuard::kBusyCreditKept, stall);
    EXPECT_EQ(late.Look(t0 + 31s + FloodGuard::kBusyCreditKept, stall, moreWaiting).kind, Kind::Hold)
        << "the credit has lapsed: back to the burst";

    // An honest client's backlog from an hour's stall is forgiven, up to
    // the most a client may hold.
    FloodGuard longStall({100, 10, 5s}, t0);
    longStall.Spend(0, t0 + 1h, {1h, 1h});
    EXPECT_NEAR(longStall.Available(), 100 + 10 * FloodGuard::kMostBusyCredit.count(), 1e-6) << "capped";
}

// A client silent while the server was busy had nothing pile up: the
// stalls it slept through earn it nothing beyond its burst.
TEST(FloodGuard, AnIdleClientBanksNoneOfTheServersBusyTime) {
    const server::SendBudget chat{16 * 1024, 4 * 1024, 5s};
    // An hour with the loop stuck for the first quarter of every second.
    server::Stalls stalls(100ms, t0);
    auto t = t0;
    for (int second = 0; second < 3600; ++second) {
        for (auto beat = 350ms; beat < 1s; beat += 100ms) stalls.Beat(t + beat);
        t += 1s;
        stalls.Beat(t);
    }
    ASSERT_NEAR(std::chrono::duration<double>(stalls.Busy(t).total).count(), 900, 1);

    FloodGuard idle(chat, t0);
    idle.Spend(100, t, stalls.Busy(t));
    EXPECT_LE(idle.Available(), 16 * 1024 + 4 * 1024 * std::chrono::duration<double>(server::Stalls::kLately).count())
        << "at most what the stalls just ended could have earned it";

    // After a minute of the loop turning steadily, nothing beyond the burst.
    for (auto beat = 100ms; beat <= 1min; beat += 100ms) stalls.Beat(t + beat);
    FloodGuard later(chat, t0);
    later.Spend(100, t + 1min, stalls.Busy(t + 1min));
    EXPECT_EQ(later.Available(), 16 * 1024 - 100);
}

// The connections of one address share one budget, which a new
// connection does not refill; it is forgotten only once it has refilled
// and no connection holds it.
TEST(AddressBudgets, ConnectionsOfOneAddressShareABudgetThatReconnectingDoesNotRefill) {
    server::AddressBudgets budgets({1000, 100, 5s});
    FloodGuard& first = budgets.Take("10.0.0.1", t0);
    first.Spend(800, t0, {});
    budgets.Release("10.0.0.1");
    FloodGuard& again = budgets.Take("10.0.0.1", t0 + 1s);
    EXPECT_EQ(&again, &first) << "a reconnection has the same budget";
    again.Spend(400, t0 + 1s, {});
    EXPECT_TRUE(budgets.Spent("10.0.0.1", t0 + 1s, {}));
    EXPECT_FALSE(budgets.Spent("10.0.0.2", t0 + 1s, {})) << "another address has its own";
    budgets.Take("10.0.0.3", t0 + 1s);

    budgets.Release("10.0.0.1");
    budgets.ForgetRefilled(t0 + 5s, {});
    EXPECT_EQ(budgets.Size(), 2u) << "not refilled yet: kept";
    EXPECT_FALSE(budgets.Spent("10.0.0.1", t0 + 5s, {}));
    budgets.ForgetRefilled(t0 + 20s, {});
    EXPECT_EQ(budgets.Size(), 1u) << "refilled whole: forgotten; held by a connection: kept";
}

TEST(Stalls, AStallCountsInAllAndLatelyOnlyForAWhile) {
    server::Stalls stalls(100ms, t0);
    stalls.Beat(t0 + 100ms);
    EXPECT_EQ(stalls.Busy(t0 + 150ms), (server::ServerBusy{}));
    EXPECT_EQ(stalls.Busy(t0 + 3100ms), (server::ServerBusy{2900ms, 2900ms})) << "one going on";
    stalls.Beat(t0 + 3100ms);
    EXPECT_EQ(stalls.Busy(t0 + 3150ms), (server::ServerBusy{2900ms, 2900ms})) << "one just ended";
    for (auto t = t0 + 3200ms; t <= t0 + 5000ms; t += 100ms) stalls.Beat(t);
    EXPECT_EQ(stalls.Busy(t0 + 5050ms), (server::ServerBusy{2900ms, 0ms})) << "long over";
}

TEST(LoopWatch, ALoopStuckInAHandlerCountsAsBusy) {
    server::LoopWatch watch(20ms);
    testing_support::RunFor(100);
    const auto before = watch.Busy(server::LoopWatch::Clock::now());
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(300ms); });
    testing_support::RunFor(100);
    const auto after = watch.Busy(server::LoopWatch::Clock::now());
    EXPECT_GE(after.total - before.total, 250ms);
    EXPECT_GE(after.lately, 250ms) << "it has just ended";
}

TEST(PeerText, PeerBytesCannotBreakALogLine) {
    EXPECT_EQ(server::PeerText("bob"), "\"bob\"");
    EXPECT_EQ(server::PeerText(std::string("a\r\nb\0\"\\\xA3", 8)), "\"a\\x0D\\x0Ab\\x00\\x22\\x5C\\xA3\"");
    EXPECT_EQ(server::PeerText(std::string(100, 'x'), 4), "\"xxxx\"...");
}

}  // namespace
