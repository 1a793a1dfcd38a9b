#include <gtest/gtest.h>

#include "core/TreeKeys.h"

namespace {

TEST(TreeKeys, PrefixBySexAndIndexInDecimal) {
    EXPECT_EQ(core::HorseKey(core::kMale, 0), "STUD0");
    EXPECT_EQ(core::HorseKey(core::kFemale, 250), "MAIR250");
    EXPECT_EQ(core::HorseKey(0, 3), "MAIR3");  // anything but male is a mare's key
    EXPECT_EQ(core::KeyWithIndex("STUD7", 12), "STUD12");
}

TEST(TreeKeys, IndexIsTheRestOfTheKey) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"STUD0", 0}, {"MAIR1000", 1000}, {"STUD1001", std::nullopt}, {"STUD", std::nullopt},
        {"", std::nullopt}, {"MAIRx", std::nullopt}, {"MAIR-1", std::nullopt}, {"K101", std::nullopt},
    };
    for (const auto& [key, index] : cases) EXPECT_EQ(core::KeyIndex(key, 1001), index) << key;
}

}  // namespace
