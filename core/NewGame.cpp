#include "core/NewGame.h"

#include "core/Horses.h"
#include "core/TreeKeys.h"

namespace core {

void FillMarket(GameState& game, runtime::RandomSource& rnd, TreeNodes& marketTree) {
    for (int i = 0; i < kMarketHorsesGenerated; ++i) {
        HorseRec& horse = game.MarketHorse[static_cast<std::size_t>(i)];
        GenerateHorse(horse, rnd);
        marketTree.AddNode(HorseKey(horse, i), horse.Name, CoatImage(horse));
    }
}

void FillTrackField(GameState& game, runtime::RandomSource& rnd) {
    for (HorseRec& horse : game.TrackHorse) GenerateHorse(horse, rnd);
}

void EmptyStableAndMarket(GameState& game, TreeNodes& stableTree, TreeNodes& marketTree) {
    stableTree.Clear();
    marketTree.Clear();
    for (HorseRec& horse : game.MarketHorse) ClearHorse(horse);
    for (HorseRec& horse : game.OwnedHorse) ClearHorse(horse);
}

namespace {

void StartingMoney(GameState& game) {
    game.Money = kStartingMoney;
    game.Cheated = 0;
}

}  // namespace

void StartFreshGame(GameState& game, runtime::RandomSource& rnd, TreeNodes& stableTree, TreeNodes& marketTree) {
    StartingMoney(game);
    game.Server = kDefaultServer;
    EmptyStableAndMarket(game, stableTree, marketTree);
    FillMarket(game, rnd, marketTree);
}

void NewGame(GameState& game, runtime::RandomSource& rnd, TreeNodes& stableTree, TreeNodes& marketTree) {
    rnd.Randomize();
    StartingMoney(game);
    EmptyStableAndMarket(game, stableTree, marketTree);
    FillMarket(game, rnd, marketTree);
    FillTrackField(game, rnd);
}

}  // namespace core
