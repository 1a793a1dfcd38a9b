#include <gtest/gtest.h>

#include <cmath>

#include "net/Variant.h"

using namespace net;

namespace {

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

TEST(Variant, TypeCodes) {
    const std::pair<Variant, std::int32_t> cases[] = {
        {Empty{}, 0},           {Null{}, 1},          {std::int16_t{1}, 2},        {1, 3},
        {1.5f, 4},              {1.5, 5},             {Currency{10000}, 6},         {Date{2.0}, 7},
        {std::string("a"), 8}, {true, 11},           {std::uint8_t{7}, 17},       {Bytes{1, 2}, 8209},
    };
    for (const auto& [v, code] : cases) EXPECT_EQ(VarType(v), code);
}

TEST(Variant, WireBytesOfEveryType) {
    const std::pair<Variant, const char*> cases[] = {
        {1, "01 00 00 00"},
        {std::int16_t{-2}, "FE FF"},
        {true, "FF FF"},
        {false, "00 00"},
        {std::uint8_t{0xAB}, "AB"},
        {1.0f, "00 00 80 3F"},
        {1.0, "00 00 00 00 00 00 F0 3F"},
        {Currency{12345}, "39 30 00 00 00 00 00 00"},  // 1.2345 pounds
        {Date{1.0}, "00 00 00 00 00 00 F0 3F"},
        {std::string("HI\0\xFF", 4), "48 49 00 FF"},
        {Bytes{0, 0x80, 0xFF}, "00 80 FF"},
        {std::string(), ""},
    };
    for (const auto& [v, hex] : cases) {
        const auto bytes = WireBytes(v);
        ASSERT_TRUE(bytes.has_value()) << VarType(v);
        EXPECT_EQ(Hex(*bytes), hex) << VarType(v);
    }
    EXPECT_FALSE(WireBytes(Empty{}).has_value());
    EXPECT_FALSE(WireBytes(Null{}).has_value());
}

TEST(Variant, FixedSizeValuesComeBackFromTheirBytes) {
    const Variant values[] = {std::int16_t{-2}, -123456, 2.5f, -1e300, Currency{-5}, Date{36526.5}, true,
                              std::uint8_t{200}};
    for (const auto& v : values) {
        const auto bytes = WireBytes(v);
        ASSERT_EQ(bytes->size(), FixedSize(VarType(v)));
        EXPECT_EQ(FromWireBytes(VarType(v), *bytes), v) << VarType(v);
    }
    // Any non-zero 16-bit value reads as True.
    EXPECT_EQ(FromWireBytes(vbBoolean, std::string("\x01\x00", 2)), Variant(true));
    EXPECT_EQ(FromWireBytes(vbBoolean, std::string("\x00\x00", 2)), Variant(false));
    EXPECT_EQ(FromWireBytes(vbLong, "abc"), Variant(Empty{})) << "too few bytes";
}

TEST(Variant, NumericAndText) {
    const std::tuple<Variant, bool, std::string> cases[] = {
        {Empty{}, true, ""},
        {Null{}, false, ""},
        {std::string("5989"), true, "5989"},
        {std::string(" 12 "), true, " 12 "},
        {std::string("abc"), false, "abc"},
        {std::string(""), false, ""},
        {true, true, "True"},
        {2500.5, true, "2500.5"},
        {std::int16_t{-7}, true, "-7"},
        {std::uint8_t{255}, true, "255"},
        {Currency{25000}, true, "2.5"},
        {Date{1.0}, false, "1"},
        {Bytes{'h', 'i'}, false, "hi"},
    };
    for (const auto& [v, numeric, text] : cases) {
        EXPECT_EQ(IsNumeric(v), numeric) << TextOf(v);
        EXPECT_EQ(TextOf(v), text);
    }
    EXPECT_EQ(*NumberOf(true), -1.0);
    EXPECT_EQ(*NumberOf(Empty{}), 0.0);
}

}  // namespace
