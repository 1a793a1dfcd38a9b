#include <gtest/gtest.h>

#include <set>

#include "core/NewGame.h"
#include "core/TreeKeys.h"
#include "tests/support/FakePorts.h"

namespace {

using testing_support::MemoryTree;

// The game's own generator, counting how often it is reseeded.
class CountingRandom final : public runtime::RandomSource {
public:
    float Rnd() override { return inner.Rnd(); }
    void Randomize() override { ++randomized; }
    runtime::LcgRandom inner{777};
    int randomized = 0;
};

void ExpectFreshMarket(const core::GameState& game, const MemoryTree& market) {
    ASSERT_EQ(market.nodes.size(), 251u);
    for (int i = 0; i < core::kMarketSlots; ++i) {
        const core::HorseRec& h = game.MarketHorse[static_cast<std::size_t>(i)];
        if (i > 250) {
            EXPECT_TRUE(h.IsFree()) << i;
            continue;
        }
        const auto& node = market.nodes[static_cast<std::size_t>(i)];
        EXPECT_EQ(node.key, (h.Sex == core::kMale ? "STUD" : "MAIR") + std::to_string(i));
        EXPECT_TRUE(h.Sex == core::kMale || h.Sex == core::kFemale);
        EXPECT_EQ(node.text, h.Name);
        EXPECT_FALSE(h.Name.empty());
        EXPECT_EQ(node.image, h.Colour - 100);
    }
}

TEST(FreshGame, StartsWithTheStartingMoneyTheDefaultServerAndAMarket) {
    core::GameState game;
    CountingRandom rnd;
    MemoryTree stable, market;
    game.Money = 12, game.Cheated = 3, game.Level = 2;
    core::StartFreshGame(game, rnd, stable, market);
    EXPECT_EQ(game.Money, 5000);
    EXPECT_EQ(game.Server, "localhost");
    EXPECT_EQ(game.Cheated, 0);
    EXPECT_EQ(game.Level, 2);
    EXPECT_EQ(rnd.randomized, 0);  // start-up seeds once, before
    ExpectFreshMarket(game, market);
}

TEST(NewGame, EmptiesTheStableAndRenewsMarketAndFieldKeepingLevelRecordAndServer) {
    core::GameState game;
    CountingRandom rnd;
    MemoryTree stable, market;
    for (int slot : {0, 1, 5, 1000}) {
        game.OwnedHorse[static_cast<std::size_t>(slot)].Name = "Old";
        stable.AddNode(core::HorseKey(core::kMale, slot), "Old", 3);
    }
    game.MarketHorse[900].Name = "Old market horse";
    market.AddNode("STUD900", "Old market horse", 3);
    market.AddNode("STUD0", "Old market horse", 3);
    game.TrackHorse[7].Name = "Old runner";
    game.Money = 123, game.Cheated = 2, game.Level = 3, game.LANwon = 4, game.LANlost = 5, game.LANwager = 6;
    game.Server = "games.example";

    core::NewGame(game, rnd, stable, market);

    EXPECT_EQ(rnd.randomized, 1);
    EXPECT_EQ(game.Money, 5000);
    EXPECT_EQ(game.Cheated, 0);
    EXPECT_EQ(game.Level, 3);
    EXPECT_EQ(game.LANwon, 4);
    EXPECT_EQ(game.LANlost, 5);
    EXPECT_EQ(game.LANwager, 6);
    EXPECT_EQ(game.Server, "games.example");
    EXPECT_TRUE(stable.nodes.empty());
    for (const auto& h : game.OwnedHorse) EXPECT_TRUE(h.IsFree());
    ExpectFreshMarket(game, market);
    std::set<std::string> names;
    for (const auto& h : game.TrackHorse) {
        EXPECT_FALSE(h.Name.empty());
        names.insert(h.Name);
    }
    EXPECT_GT(names.size(), 50u);  // the field is new, not one horse repeated
    EXPECT_EQ(names.count("Old runner"), 0u);
}

}  // namespace
