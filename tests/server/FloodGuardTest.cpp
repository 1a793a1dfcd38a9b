// A client's budget: a burst at once, then a steady rate; overdrawn once is
// flooding for good.
#include <gtest/gtest.h>

#include "server/FloodGuard.h"
#include "server/ServerLog.h"

using namespace std::chrono_literals;
using server::FloodGuard;

namespace {

const FloodGuard::Clock::time_point t0{};

TEST(FloodGuard, ABurstPassesAndMoreIsAFlood) {
    FloodGuard guard({100, 10}, t0);
    EXPECT_TRUE(guard.Spend(60, t0));
    EXPECT_TRUE(guard.Spend(40, t0));
    EXPECT_FALSE(guard.Spend(1, t0));
    EXPECT_TRUE(guard.Flooded());
    EXPECT_FALSE(guard.Spend(1, t0 + 1h)) << "a flooder stays dropped";
}

TEST(FloodGuard, TheBudgetRefillsAtItsRateUpToTheBurst) {
    FloodGuard guard({100, 10}, t0);
    EXPECT_TRUE(guard.Spend(100, t0));
    EXPECT_TRUE(guard.Spend(50, t0 + 5s));
    EXPECT_FALSE(guard.Spend(1, t0 + 5s));

    FloodGuard idle({100, 10}, t0);
    EXPECT_FALSE(idle.Spend(101, t0 + 1h)) << "a long silence saves no more than the burst";
}

TEST(FloodGuard, AGrantPaysForAnAnswerTheServerAskedFor) {
    FloodGuard guard({10, 0}, t0);
    for (int i = 0; i < 1000; ++i) {
        guard.Grant(8);
        ASSERT_TRUE(guard.Spend(8, t0)) << i;
    }
    guard.Grant(1000);
    EXPECT_FALSE(guard.Spend(11, t0)) << "grants fill no further than the burst";
}

TEST(PeerText, PeerBytesCannotBreakALogLine) {
    EXPECT_EQ(server::PeerText("bob"), "\"bob\"");
    EXPECT_EQ(server::PeerText(std::string("a\r\nb\0\"\\\xA3", 8)), "\"a\\x0D\\x0Ab\\x00\\x22\\x5C\\xA3\"");
    EXPECT_EQ(server::PeerText(std::string(100, 'x'), 4), "\"xxxx\"...");
}

}  // namespace
