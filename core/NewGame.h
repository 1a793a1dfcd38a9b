#pragma once

#include "core/Game.h"
#include "core/Ports.h"
#include "runtime/Random.h"

// Setting a game up: the market, the betting field, the first game of a new
// installation and a new game from inside a running one.
namespace core {

// Market slots 0 to 250 get new horses, each with its node in the market
// tree ("STUD"/"MAIR" & slot, the horse's name, its coat).
void FillMarket(GameState& game, runtime::RandomSource& rnd, TreeNodes& marketTree);

// The 101 computer horses of the betting race, new.
void FillTrackField(GameState& game, runtime::RandomSource& rnd);

// Every stable and market slot freed and both trees emptied.
void EmptyStableAndMarket(GameState& game, TreeNodes& stableTree, TreeNodes& marketTree);

// The first game of a new installation: the starting money, the default
// server, no cheat attempts, a fresh market. (A stable and market left by a
// load that gave up are emptied first.)
void StartFreshGame(GameState& game, runtime::RandomSource& rnd, TreeNodes& stableTree, TreeNodes& marketTree);

// A new game from inside a running one: the random source reseeded, the
// starting money, no cheat attempts, an empty stable, a fresh market and a
// fresh betting field. The level, the LAN record and the server stay.
void NewGame(GameState& game, runtime::RandomSource& rnd, TreeNodes& stableTree, TreeNodes& marketTree);

}  // namespace core
