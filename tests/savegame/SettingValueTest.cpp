#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "savegame/SettingValue.h"

namespace {

using savegame::ConvertSetting;
using savegame::SettingValue;

template <class T>
std::optional<T> Convert(const SettingValue& value) {
    T target{};
    if (!ConvertSetting(value, target)) return std::nullopt;
    return target;
}

TEST(SettingValue, ConvertsBetweenNumbersTruthAndText) {
    // Truth values are -1 and 0 as numbers; numbers other than 0 are true.
    EXPECT_EQ(Convert<std::int32_t>(true), -1);
    EXPECT_EQ(Convert<double>(false), 0.0);
    EXPECT_EQ(Convert<bool>(0.5), true);
    EXPECT_EQ(Convert<bool>(std::int32_t{0}), false);
    EXPECT_EQ(Convert<bool>(" true "), true);
    EXPECT_EQ(Convert<bool>("FALSE"), false);
    EXPECT_EQ(Convert<bool>("-1"), true);
    EXPECT_EQ(Convert<bool>("yes"), std::nullopt);

    // Whole numbers: ties to even, and nothing outside the range.
    EXPECT_EQ(Convert<std::int16_t>(2.5), 2);
    EXPECT_EQ(Convert<std::int16_t>(-3.5), -4);
    EXPECT_EQ(Convert<std::int16_t>(32767.4), 32767);
    EXPECT_EQ(Convert<std::int16_t>(32767.5), std::nullopt);
    EXPECT_EQ(Convert<std::int16_t>(std::int64_t{-32769}), std::nullopt);
    EXPECT_EQ(Convert<std::int32_t>(std::int64_t{1} << 31), std::nullopt);
    EXPECT_EQ(Convert<std::int32_t>(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(Convert<std::int32_t>("1e3"), 1000);
    EXPECT_EQ(Convert<std::int32_t>("2,5"), 2);  // "," as the decimal point

    // Fractions: a single-precision receiver refuses what it cannot hold.
    EXPECT_EQ(Convert<float>(1e300), std::nullopt);
    EXPECT_EQ(Convert<float>("0.1"), 0.1f);
    EXPECT_EQ(Convert<double>("1,5,0"), std::nullopt);
    EXPECT_EQ(Convert<double>("1.5,0"), std::nullopt);

    // An omitted value is the receiver's zero.
    EXPECT_EQ(Convert<std::string>(SettingValue()), "");
    EXPECT_EQ(Convert<std::int32_t>(SettingValue()), 0);
    EXPECT_EQ(Convert<bool>(SettingValue()), false);
}

TEST(SettingValue, WritesTextThatReadsBackTheSame) {
    EXPECT_EQ(SettingValue(80.5f).Text(), "80.5");
    EXPECT_EQ(SettingValue(std::int64_t{-9007199254740993}).Text(), "-9007199254740993");
    EXPECT_EQ(Convert<double>(SettingValue(SettingValue(1234.56).Text())), 1234.56);
    EXPECT_EQ(Convert<std::int32_t>(SettingValue(SettingValue(std::int32_t{-2147483647 - 1}).Text())),
              std::int32_t{-2147483647 - 1});
}

}  // namespace
