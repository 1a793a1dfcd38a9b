#include <gtest/gtest.h>

#include <clocale>
#include <limits>

#include "runtime/Numbers.h"

namespace {

using runtime::NumberText;
using runtime::ParseLong;
using runtime::ParseNumber;

struct TextCase {
    double value;
    const char* text;
};

TEST(NumberText, WritesTheOrdinaryDecimalText) {
    const TextCase cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {5000, "5000"},
        {-123, "-123"},
        {3751.5, "3751.5"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {123456789012345, "123456789012345"},
        {1e15, "1E+15"},
        {1234567890123456, "1.23456789012346E+15"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {-1.5e-7, "-1.5E-07"},
        {1e100, "1E+100"},
        {50000000, "50000000"},
        {1000000000, "1000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.text;
}

TEST(NumberText, SingleAndWholeNumbers) {
    EXPECT_EQ(NumberText(360.0f), "360");
    EXPECT_EQ(NumberText(80.5f), "80.5");
    EXPECT_EQ(NumberText(0.1f), "0.1");
    EXPECT_EQ(NumberText(std::int32_t{-2147483647 - 1}), "-2147483648");
    EXPECT_EQ(NumberText(std::int16_t{-7}), "-7");
}

TEST(NumberText, DoesNotFollowTheLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(NumberText(3751.5), "3751.5");
    EXPECT_EQ(ParseNumber("3751.5"), 3751.5);
    std::setlocale(LC_ALL, saved.c_str());
}

struct ParseCase {
    const char* text;
    std::optional<double> value;
};

TEST(ParseNumber, AcceptsOnlyAWholeDecimalNumber) {
    const ParseCase cases[] = {
        {"0", 0.0},
        {"1234", 1234.0},
        {"  12 ", 12.0},
        {"-5", -5.0},
        {"+5", 5.0},
        {"2.5", 2.5},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e3", 1000.0},
        {"1E-2", 0.01},
        {"10000000.01", 10000000.01},
        {"1e-400", 0.0},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"ten", std::nullopt},
        {"12abc", std::nullopt},
        {"1,000", std::nullopt},
        {"inf", std::nullopt},
        {"-infinity", std::nullopt},
        {"nan", std::nullopt},
        {"0x10", std::nullopt},
        {"&H10", std::nullopt},
        {"1e", std::nullopt},
        {".", std::nullopt},
        {"--1", std::nullopt},
        {"1e400", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseNumberAcceptingComma, ReadsEitherDecimalPointButNoGrouping) {
    const ParseCase cases[] = {
        {"2500.5", 2500.5},
        {"2500,5", 2500.5},
        {"-0,25", -0.25},
        {"2500", 2500.0},
        {"1,000.5", std::nullopt},  // grouping is never read
        {"1,000,5", std::nullopt},
        {",", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runtime::ParseNumberAcceptingComma(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseLong, RoundsTiesToEvenAndRefusesOutOfRange) {
    EXPECT_EQ(ParseLong("2.5"), 2);
    EXPECT_EQ(ParseLong("3.5"), 4);
    EXPECT_EQ(ParseLong("10.5"), 10);
    EXPECT_EQ(ParseLong("2147483647"), 2147483647);
    EXPECT_EQ(ParseLong("2147483648"), std::nullopt);
    EXPECT_EQ(ParseLong("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseLong("abc"), std::nullopt);
    EXPECT_EQ(runtime::ParseInt("32767"), 32767);
    EXPECT_EQ(runtime::ParseInt("32768"), std::nullopt);
}

}  // namespace
