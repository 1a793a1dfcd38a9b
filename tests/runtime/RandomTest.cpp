#include <gtest/gtest.h>

#include <set>

#include "runtime/Random.h"
#include "tests/support/ScriptedRandom.h"

namespace {

TEST(LcgRandom, KnownSequenceFromTheDefaultSeed) {
    // The first draws of the classic generator before any Randomize.
    runtime::LcgRandom rnd;
    const float expected[] = {0.7055475f, 0.533424f, 0.5795186f, 0.2895625f, 0.301948f};
    for (float e : expected) EXPECT_NEAR(rnd.Rnd(), e, 1e-6f);
}

TEST(LcgRandom, DrawsAreMultiplesOf2To24BelowOne) {
    runtime::LcgRandom rnd(12345);
    for (int i = 0; i < 100000; ++i) {
        const float r = rnd.Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        const double scaled = static_cast<double>(r) * 16777216.0;
        ASSERT_EQ(scaled, static_cast<double>(static_cast<long>(scaled)));
    }
}

TEST(LcgRandom, RandomizeChangesTheSequenceButKeepsTheLowByte) {
    runtime::LcgRandom a(0x123456);
    a.Randomize(1234.5);
    EXPECT_EQ(a.Seed() & 0xFFu, 0x56u);
    runtime::LcgRandom b(0x123456);
    b.Randomize(99.25);
    EXPECT_NE(a.Seed(), b.Seed());
}

TEST(ScriptedRandom, ReturnsTheScriptAndCounts) {
    testing_support::ScriptedRandom rnd{0.25f, 0.5f};
    EXPECT_EQ(rnd.Rnd(), 0.25f);
    EXPECT_EQ(rnd.Rnd(), 0.5f);
    EXPECT_EQ(rnd.Used(), 2u);
    EXPECT_EQ(rnd.Remaining(), 0u);
}

}  // namespace
