#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Game.h"
#include "core/HorseRec.h"
#include "core/Ports.h"
#include "runtime/Random.h"

// The stable and the horse market: the two cards, buying and selling. Each
// tree mirrors its array: one node per horse, keyed "STUD"/"MAIR" & slot.
namespace core {

inline constexpr const char* kStableFull = "Your stable is full! Sell a horse to make room for a new one.";
inline constexpr const char* kMarketFull = "The market is full!";
inline constexpr const char* kHorseSoldFor = "Your horse sold for ";

// The stable horse's card, lines ended by CR LF.
std::string StableCard(const HorseRec& horse, bool male);
// The market card: no confidence, health, pace or parents, but the price.
std::string MarketCard(const HorseRec& horse, bool male);
// The card of a LAN race's player and horse (both the host's lobby and a
// joined player's roster show it); nothing for a horse that is neither male
// nor female, whose card is left as it was.
std::optional<std::string> LanPlayerCard(const std::string& player, const HorseRec& horse);

// What a click on a stable node shows: the card, and the breeding box it
// fills (the stallion's for a "STUD" key, the mare's for a "MAIR" key) with
// the horse's name and slot.
struct StableSelection {
    std::string Card;
    bool Stallion = false;
    std::string Name;
    std::string Slot;  // decimal, as the breeding box's tag holds it
};

// Nothing when the key names no horse of the stable.
std::optional<StableSelection> SelectStableHorse(const GameState& game, std::string_view key);
std::optional<std::string> SelectMarketHorse(const GameState& game, std::string_view key);

// "Buy Horse": the horse selected in the market moves to the lowest free
// stable slot for its price and is valued afresh there; its market node
// becomes a stable node. A full stable is refused with a notice before
// anything is charged. Returns the stable slot of the bought horse.
std::optional<int> BuyHorse(GameState& game, runtime::RandomSource& rnd, Notices& notices, TreeNodes& marketTree,
                            TreeNodes& stableTree);

// "Yes" on "SELL HORSE?": the horse selected in the stable moves to the
// lowest free market slot, offered at a fresh valuation; the player is paid
// the stable valuation and told so. A full market is refused with a notice.
// Returns the stable slot the horse left.
std::optional<int> SellHorse(GameState& game, runtime::RandomSource& rnd, Notices& notices, TreeNodes& stableTree,
                             TreeNodes& marketTree);

}  // namespace core
