#include <gtest/gtest.h>

#include <limits>

#include "core/Money.h"
#include "tests/support/FakePorts.h"

namespace {

using testing_support::MemoryTree;
using testing_support::RecordingNotices;

TEST(FormatMoney, GroupsTheWholePartInThrees) {
    const std::pair<double, const char*> cases[] = {
        {0, "\xA3" "0"},
        {250, "\xA3" "250"},
        {999, "\xA3" "999"},
        {1000, "\xA3" "1,000"},
        {25000, "\xA3" "25,000"},
        {1234567, "\xA3" "1,234,567"},
        {50000000, "\xA3" "50,000,000"},
        {1e9, "\xA3" "1,000,000,000"},
        {3751.5, "\xA3" "3,751.5"},
        {1234.5, "\xA3" "1,234.5"},
        {-123, "\xA3" "-123"},
        {-1234, "\xA3" "-1,234"},
        {0.25, "\xA3" "0.25"},
        {1e20, "\xA3" "1E+20"},
    };
    for (const auto& [amount, text] : cases) EXPECT_EQ(core::FormatMoney(amount), text) << amount;
}

struct SpendCase {
    double money;
    double amount;
    bool charged;
    double after;
    bool notice;
};

TEST(SpendMoney, ChargesOnlyWhatThePlayerHas) {
    const SpendCase cases[] = {
        {250, 250, true, 0, false},
        {250, 100, true, 150, false},
        {250, 250.01, false, 250, true},
        {249, 250, false, 249, true},
        {0, 0, true, 0, false},
        {0, -100, false, 0, false},  // a negative charge would create money
        {100, std::numeric_limits<double>::quiet_NaN(), false, 100, false},
        {100, std::numeric_limits<double>::infinity(), false, 100, false},
    };
    for (const auto& c : cases) {
        core::GameState game;
        game.Money = c.money;
        RecordingNotices notices;
        EXPECT_EQ(core::SpendMoney(game, notices, c.amount), c.charged) << c.money << " " << c.amount;
        EXPECT_EQ(game.Money, c.after);
        if (c.notice) {
            ASSERT_EQ(notices.shown.size(), 1u);
            EXPECT_EQ(notices.Last(), "You do not have enough money to do that!");
        } else {
            EXPECT_TRUE(notices.shown.empty());
        }
    }
}

TEST(KillOverworkedHorse, RemovesTheNodeTellsThePlayerAndFreesTheSlot) {
    core::GameState game;
    auto& mare = game.OwnedHorse[7];
    mare.Name = "Soft Honey";
    mare.Sex = core::kFemale;
    mare.Health = -3;
    mare.HealthMAX = 120;
    mare.Speed = 40;
    mare.RaceBonus = 17;
    game.OwnedHorse[8].Name = "Other";
    game.OwnedHorse[8].Sex = core::kMale;
    MemoryTree stable;
    stable.AddNode("MAIR7", "Soft Honey", 3);
    stable.AddNode("STUD8", "Other", 4);
    RecordingNotices notices;

    core::KillOverworkedHorse(game, notices, stable, 7);

    EXPECT_FALSE(stable.HasNode("MAIR7"));
    EXPECT_TRUE(stable.HasNode("STUD8"));
    EXPECT_EQ(notices.Last(), "Soft Honey has died - You worked it too hard!");
    EXPECT_TRUE(mare.IsFree());
    EXPECT_EQ(mare.Health, 0);
    EXPECT_EQ(mare.Speed, 0);
    EXPECT_EQ(mare.RaceBonus, 17);
    EXPECT_EQ(core::LowestFreeSlot(game.OwnedHorse), 0);
    for (int i = 0; i < 7; ++i) game.OwnedHorse[static_cast<std::size_t>(i)].Name = "x";
    EXPECT_EQ(core::LowestFreeSlot(game.OwnedHorse), 7);
}

}  // namespace
