#include <gtest/gtest.h>

#include "runtime/Text.h"

namespace {

TEST(ProperCase, CapitalisesEachWord) {
    const std::pair<const char*, const char*> cases[] = {
        {"sea BREEZE", "Sea Breeze"},
        {"golden BOLT", "Golden Bolt"},
        {"a", "A"},
        {"  two  blanks ", "  Two  Blanks "},
        {"o'BRIEN", "O'brien"},
        {"x-RAY", "X-ray"},
        {"", ""},
        {"\xE9t\xC9", "\xC9t\xE9"},  // Windows-1252 accented letters
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(runtime::ProperCase(in), out) << in;
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(runtime::Utf8ToCp1252(runtime::Cp1252ToUtf8(all)), all);
}

TEST(Cp1252, MapsThePoundSignAndTheEuro) {
    EXPECT_EQ(runtime::Cp1252ToUtf8("\xA3" "5"), "\xC2\xA3" "5");
    EXPECT_EQ(runtime::Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(runtime::Utf8ToCp1252("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(runtime::Utf8ToCp1252("\xE2\x98\x83"), "?");  // a snowman has no byte
    EXPECT_EQ(runtime::Utf8ToCp1252("\xC3"), "?");          // a cut sequence
}

TEST(Text, BlankOnlyCountsAsEmpty) {
    EXPECT_TRUE(runtime::IsBlankText(""));
    EXPECT_TRUE(runtime::IsBlankText("   "));
    EXPECT_FALSE(runtime::IsBlankText(" a "));
    EXPECT_EQ(runtime::Trim("  a b  "), "a b");
}

}  // namespace
