#include "core/Stable.h"

#include "core/Horses.h"
#include "core/Money.h"
#include "core/TreeKeys.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace core {

using runtime::NumberText;

namespace {

constexpr const char* kLineEnd = "\r\n";

std::string SexLine(bool male) { return male ? "Sex: MALE" : "Sex: FEMALE"; }

// The health in percent, to the nearest whole number; a horse without a
// usable maximum shows 0.
std::string HealthPercent(const HorseRec& horse) {
    if (horse.HealthMAX == 0) return "0";
    return NumberText(runtime::Round(static_cast<double>(horse.Health) / horse.HealthMAX * 100));
}

struct KeyedHorse {
    int slot;
    bool male;
};

// The slot and sex a node key names, when it names a horse in the array.
template <std::size_t N>
std::optional<KeyedHorse> HorseOfKey(const std::array<HorseRec, N>& horses, std::string_view key) {
    const std::string_view prefix = key.substr(0, 4);
    if (prefix != kStudPrefix && prefix != kMarePrefix) return std::nullopt;
    const auto slot = KeyIndex(key, static_cast<int>(N));
    if (!slot || horses[static_cast<std::size_t>(*slot)].IsFree()) return std::nullopt;
    return KeyedHorse{*slot, prefix == kStudPrefix};
}

}  // namespace

std::string StableCard(const HorseRec& h, bool male) {
    std::string card;
    card += "Name: " + h.Name + kLineEnd;
    card += SexLine(male) + kLineEnd;
    card += "Speed Rating: " + NumberText(h.Speed) + "%" + kLineEnd;
    card += "Stamina Rating: " + NumberText(h.Stamina) + "%" + kLineEnd;
    card += "Confidence Rating: " + NumberText(h.Confidence) + "%" + kLineEnd;
    card += "Health: " + HealthPercent(h) + "%" + kLineEnd;
    card += "MoJo Score: " + NumberText(h.MoJo) + kLineEnd;
    card += "Pace Style: " + PaceStyleName(h) + kLineEnd;
    card += "Mother: " + h.Mother + kLineEnd;
    card += "Father: " + h.Father + kLineEnd;
    card += "RRP: " + FormatMoney(h.RRP) + kLineEnd;
    return card;
}

std::optional<std::string> LanPlayerCard(const std::string& player, const HorseRec& h) {
    if (h.Sex != kMale && h.Sex != kFemale) return std::nullopt;
    std::string card;
    card += "Player: " + player + kLineEnd;
    card += kLineEnd;
    card += "Name: " + h.Name + kLineEnd;
    card += SexLine(h.Sex == kMale) + kLineEnd;
    card += "Speed Rating: " + NumberText(h.Speed) + "%" + kLineEnd;
    card += "Stamina Rating: " + NumberText(h.Stamina) + "%" + kLineEnd;
    card += "Confidence Rating: " + NumberText(h.Confidence) + "%" + kLineEnd;
    card += "MoJo Score: " + NumberText(h.MoJo) + kLineEnd;
    card += "Mother: " + h.Mother + kLineEnd;
    card += "Father: " + h.Father + kLineEnd;
    return card;
}

std::string MarketCard(const HorseRec& h, bool male) {
    std::string card;
    card += "Name: " + h.Name + kLineEnd;
    card += SexLine(male) + kLineEnd;
    card += "Speed Rating: " + NumberText(h.Speed) + "%" + kLineEnd;
    card += "Stamina Rating: " + NumberText(h.Stamina) + "%" + kLineEnd;
    card += "MoJo Score: " + NumberText(h.MoJo) + kLineEnd;
    card += kLineEnd;
    card += "Price: " + FormatMoney(h.RRP) + kLineEnd;
    return card;
}

std::optional<StableSelection> SelectStableHorse(const GameState& game, std::string_view key) {
    const auto keyed = HorseOfKey(game.OwnedHorse, key);
    if (!keyed) return std::nullopt;
    const HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(keyed->slot)];
    return StableSelection{StableCard(horse, keyed->male), keyed->male, horse.Name,
                           NumberText(static_cast<std::int32_t>(keyed->slot))};
}

std::optional<std::string> SelectMarketHorse(const GameState& game, std::string_view key) {
    const auto keyed = HorseOfKey(game.MarketHorse, key);
    if (!keyed) return std::nullopt;
    return MarketCard(game.MarketHorse[static_cast<std::size_t>(keyed->slot)], keyed->male);
}

std::optional<int> BuyHorse(GameState& game, runtime::RandomSource& rnd, Notices& notices, TreeNodes& marketTree,
                            TreeNodes& stableTree) {
    const std::string key = marketTree.SelectedKey();
    const auto keyed = HorseOfKey(game.MarketHorse, key);
    if (!keyed) return std::nullopt;
    HorseRec& offered = game.MarketHorse[static_cast<std::size_t>(keyed->slot)];
    // The slot is looked for before the money is taken, so a full stable
    // costs nothing.
    const auto slot = LowestFreeSlot(game.OwnedHorse);
    if (!slot) {
        notices.ShowNotice(kStableFull);
        return std::nullopt;
    }
    if (!SpendMoney(game, notices, offered.RRP)) return std::nullopt;
    HorseRec& bought = game.OwnedHorse[static_cast<std::size_t>(*slot)];
    bought = offered;
    bought.RRP = HorsePrice(offered, rnd);
    stableTree.AddNode(KeyWithIndex(key, *slot), bought.Name, CoatImage(bought));
    marketTree.RemoveNode(key);
    ClearHorse(offered);
    return slot;
}

std::optional<int> SellHorse(GameState& game, runtime::RandomSource& rnd, Notices& notices, TreeNodes& stableTree,
                             TreeNodes& marketTree) {
    const std::string key = stableTree.SelectedKey();
    const auto keyed = HorseOfKey(game.OwnedHorse, key);
    if (!keyed) return std::nullopt;
    const auto slot = LowestFreeSlot(game.MarketHorse);
    if (!slot) {
        notices.ShowNotice(kMarketFull);
        return std::nullopt;
    }
    HorseRec& sold = game.OwnedHorse[static_cast<std::size_t>(keyed->slot)];
    HorseRec& offered = game.MarketHorse[static_cast<std::size_t>(*slot)];
    offered = sold;
    offered.RRP = HorsePrice(sold, rnd);
    marketTree.AddNode(KeyWithIndex(key, *slot), offered.Name, CoatImage(offered));
    stableTree.RemoveNode(key);
    game.Money += sold.RRP;
    notices.ShowNotice(kHorseSoldFor + FormatMoney(sold.RRP));
    ClearHorse(sold);
    return keyed->slot;
}

}  // namespace core
