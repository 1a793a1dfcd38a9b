#include "core/SelectedHorse.h"

#include "core/TreeKeys.h"

namespace core {

std::optional<int> SelectedStableHorse(const GameState& game, const TreeNodes& stableTree) {
    if (!HasSelectedNode(stableTree)) return std::nullopt;
    const auto slot = KeyIndex(stableTree.SelectedKey(), kStableSlots);
    if (!slot || game.OwnedHorse[static_cast<std::size_t>(*slot)].IsFree()) return std::nullopt;
    return slot;
}

}  // namespace core
