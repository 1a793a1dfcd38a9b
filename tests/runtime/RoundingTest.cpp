#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/Error.h"
#include "runtime/Rounding.h"

namespace {

using runtime::CInt;
using runtime::CLng;
using runtime::Round;

struct RoundCase {
    double in;
    double out;
};

TEST(Rounding, TiesGoToEven) {
    const RoundCase cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {2.4999999, 2}, {2.5000001, 3}, {33.5, 34}, {32.5, 32}, {1e15 + 0.5, 1e15}, {0.0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Round(c.in), c.out) << c.in;
}

TEST(Rounding, SinglePrecisionProductDecidesTheTie) {
    // 3103785 / 2^24 times 100 is exactly 18.5 in single precision, but a
    // little above 18.5 in double precision.
    const float r = 3103785.0f / 16777216.0f;
    const float product = r * 100.0f;
    EXPECT_EQ(product, 18.5f);
    EXPECT_EQ(Round(product), 18);
    EXPECT_EQ(Round(static_cast<double>(r) * 100.0), 19);
}

TEST(Rounding, LongAndIntRanges) {
    EXPECT_EQ(CLng(2147483647.4), 2147483647);
    EXPECT_EQ(CLng(-2147483648.5), -2147483648);  // tie to even stays in range
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(CInt(-32768.5), -32768);
    EXPECT_EQ(CInt(32.5), 32);
    EXPECT_EQ(CInt(33.5), 34);

    const double overflowsLong[] = {2147483647.5, -2147483649.0, 1e300, std::nan("")};
    for (double x : overflowsLong) {
        try {
            CLng(x);
            ADD_FAILURE() << "no overflow for " << x;
        } catch (const runtime::Error& e) {
            EXPECT_EQ(e.Number(), runtime::kErrOverflow);
            EXPECT_EQ(e.Description(), "Overflow");
        }
    }
    EXPECT_THROW(CInt(32767.5), runtime::Error);
    EXPECT_THROW(CInt(-32769), runtime::Error);
}

TEST(Rounding, SaturatingConversionsClampInsteadOfRaising) {
    EXPECT_EQ(runtime::SaturateLong(1e12), INT32_MAX);
    EXPECT_EQ(runtime::SaturateLong(-1e12), INT32_MIN);
    EXPECT_EQ(runtime::SaturateLong(std::nan("")), 0);
    EXPECT_EQ(runtime::SaturateLong(2.5), 2);
    EXPECT_EQ(runtime::SaturateInt(40000.0), INT16_MAX);
    EXPECT_EQ(runtime::SaturateInt(static_cast<std::int64_t>(-40000)), INT16_MIN);
    EXPECT_EQ(runtime::SaturateLong(static_cast<std::int64_t>(530) * 530 * 101 * 1000), INT32_MAX);
}

TEST(Rounding, IntIsFloor) {
    EXPECT_EQ(runtime::Int(-0.125), -1);
    EXPECT_EQ(runtime::Int(2.9), 2);
    EXPECT_EQ(runtime::Int(-45.0 / 360.0), -1);
}

}  // namespace
