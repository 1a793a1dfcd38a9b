#include <gtest/gtest.h>

#include "core/Game.h"
#include "shell/PlayerProfile.h"

namespace {

TEST(PlayerProfileText, FourLinesJoinedByCrLfWithNoBreakAfterTheLast) {
    struct Case {
        std::int32_t level, won, lost;
        double wager;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 0, 0,
         "Player Level: 0\r\nLAN Battles Won: 0\r\nLAN Battles Lost: 0\r\nBiggest LAN Wager: \xA3" "0"},
        {3, 12, 4, 2500000,
         "Player Level: 3\r\nLAN Battles Won: 12\r\nLAN Battles Lost: 4\r\nBiggest LAN Wager: \xA3" "2,500,000"},
        {2147483647, 1, 100000, 12345.5,
         "Player Level: 2147483647\r\nLAN Battles Won: 1\r\nLAN Battles Lost: 100000\r\n"
         "Biggest LAN Wager: \xA3" "12,345.5"},
    };
    for (const auto& c : cases) {
        core::GameState game;
        game.Level = c.level;
        game.LANwon = c.won;
        game.LANlost = c.lost;
        game.LANwager = c.wager;
        EXPECT_EQ(shell::PlayerProfileText(game), c.text);
    }
}

}  // namespace
