#pragma once

#include <optional>

#include "core/Game.h"
#include "core/Ports.h"

namespace core {

// The stable horse the player has selected: the slot named by the selected
// node of the stable tree, read afresh at every call. Nothing when no node is
// selected, its key names no slot, or the slot no longer holds a horse.
std::optional<int> SelectedStableHorse(const GameState& game, const TreeNodes& stableTree);

}  // namespace core
