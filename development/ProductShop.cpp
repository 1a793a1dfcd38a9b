#include "development/ProductShop.h"

#include <algorithm>
#include <cmath>

#include "core/Horses.h"
#include "core/Money.h"
#include "core/SelectedHorse.h"
#include "core/TreeKeys.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace development {

using core::HorseRec;
using core::Shop;
using runtime::Round;
using runtime::SaturateLong;

namespace {

enum class Effect { Stamina, Speed, MoJo, Health };

struct Rule {
    Shop shop;
    std::string_view key;
    Effect effect;
    std::int64_t priceFactor;  // per stat squared
    std::int32_t perUnit;      // A: the most one unit can add at a stat of 0
};

constexpr Rule kRules[] = {
    {Shop::Pharmacy, "STAM1", Effect::Stamina, 70, 150},
    {Shop::Pharmacy, "STAM2", Effect::Stamina, 110, 200},
    {Shop::Pharmacy, "SPEED1", Effect::Speed, 90, 150},
    {Shop::Pharmacy, "VIAGRA", Effect::MoJo, 0, 0},
    {Shop::Pharmacy, "HEALTH", Effect::Health, 0, 0},
    {Shop::Dealer, "STAM1", Effect::Stamina, 90, 250},
    {Shop::Dealer, "SPEED1", Effect::Speed, 125, 200},
};

constexpr double kViagraPrice = 100000;
constexpr std::int64_t kFirstAidPrice = 2500;
constexpr double kMaxPoliceDraw = 5;

const Rule* FindRule(Shop shop, std::string_view key) {
    for (const Rule& rule : kRules) {
        if (rule.shop == shop && rule.key == key) return &rule;
    }
    return nullptr;
}

// MoJo + 1 as the Viagra formulas divide by it: never below 1.
std::int64_t ViagraBase(const HorseRec& horse) { return std::max<std::int64_t>(1, std::int64_t{horse.MoJo} + 1); }

// Missing health + 1 as First AID charges it; a horse above its maximum
// counts as full.
std::int64_t FirstAidBase(const HorseRec& horse) {
    return std::max<std::int64_t>(1, std::int64_t{horse.HealthMAX} - horse.Health + 1);
}

std::int32_t& StatOf(HorseRec& horse, Effect effect) {
    return effect == Effect::Stamina ? horse.Stamina : horse.Speed;
}

// Every whole unit adds Rnd * A / (stat + 1), rounded as it goes; the stat
// is the one before the purchase.
std::int32_t UnitGains(const Rule& rule, std::int32_t stat, double quantity, runtime::RandomSource& rnd) {
    const double divisor = std::max<double>(1.0, static_cast<double>(stat) + 1.0);
    const auto units = static_cast<std::int64_t>(std::floor(quantity));
    double gain = 0;
    for (std::int64_t n = 1; n <= units; ++n) {
        const float share = rnd.Rnd() * static_cast<float>(rule.perUnit);
        gain = static_cast<double>(SaturateLong(gain + static_cast<double>(share) / divisor));
    }
    return static_cast<std::int32_t>(gain);
}

std::int32_t ApplyEffect(const Rule& rule, HorseRec& horse, double quantity, runtime::RandomSource& rnd) {
    switch (rule.effect) {
        case Effect::Stamina:
        case Effect::Speed: {
            std::int32_t& stat = StatOf(horse, rule.effect);
            const std::int32_t gain = UnitGains(rule, stat, quantity, rnd);
            stat = SaturateLong(std::int64_t{stat} + gain);
            return gain;
        }
        case Effect::MoJo: {
            const double wanted = Round(quantity * static_cast<double>(ViagraBase(horse)) / 15.0);
            const auto gain = static_cast<std::int32_t>(
                std::min<double>(wanted, static_cast<double>(INT32_MAX) - horse.MoJo));
            horse.MoJo = SaturateLong(std::int64_t{horse.MoJo} + gain);
            return gain;
        }
        case Effect::Health: {
            if (horse.Health >= horse.HealthMAX) return 0;  // never lowers an over-full horse
            if (horse.Health + quantity < horse.HealthMAX) {
                const std::int32_t gain = SaturateLong(quantity);
                horse.Health = SaturateLong(horse.Health + quantity);
                return gain;
            }
            const std::int32_t gain = horse.HealthMAX - horse.Health;
            horse.Health = horse.HealthMAX;
            return gain;
        }
    }
    return 0;
}

bool TooWeak(std::string_view key, const HorseRec& horse) {
    const std::string_view prefix = key.substr(0, 4);
    return (horse.Stamina < kWeakestTreatable && prefix == "STAM") ||
           (horse.Speed < kWeakestTreatable && prefix == "SPEE");
}

// The police take the horse to the market. False when the market has no
// free slot: the horse stays where it is.
bool Confiscate(core::GameState& game, core::TreeNodes& stableTree, core::TreeNodes& marketTree, int slot) {
    const auto free = core::LowestFreeSlot(game.MarketHorse);
    if (!free) return false;
    const std::string stableKey = stableTree.SelectedKey();
    HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(slot)];
    HorseRec& taken = game.MarketHorse[static_cast<std::size_t>(*free)];
    taken = horse;
    marketTree.AddNode(core::KeyWithIndex(stableKey, *free), taken.Name, core::CoatImage(taken));
    stableTree.RemoveNode(stableKey);
    stableTree.ClearSelection();
    // The slot is emptied; confidence and MoJo stay behind as they always have.
    const std::int32_t confidence = horse.Confidence;
    const std::int32_t mojo = horse.MoJo;
    const std::int16_t bonus = horse.RaceBonus;
    horse = HorseRec{};
    horse.Confidence = confidence;
    horse.MoJo = mojo;
    horse.RaceBonus = bonus;
    return true;
}

}  // namespace

int QuantityLimit(Shop shop) { return shop == Shop::Pharmacy ? kPharmacyLimit : kDealerLimit; }

std::optional<std::string> CorrectedQuantity(std::string_view text, int limit) {
    // One parse gives both answers: is it a 32-bit whole number, and its value.
    const auto value = runtime::ParseNumber(text);
    if (!value) return "1";
    const double whole = Round(*value);
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return "1";
    if (*value > limit) return runtime::NumberText(static_cast<std::int32_t>(limit));
    if (*value < 1) return "1";
    return std::nullopt;
}

const core::Product* FindProduct(Shop shop, std::string_view key) {
    for (const core::Product& product : core::kProducts) {
        if (product.shop == shop && product.key == key) return &product;
    }
    return nullptr;
}

double ProductPrice(const core::Product& product, const HorseRec& horse, double quantity) {
    const Rule* rule = FindRule(product.shop, product.key);
    if (!rule) return 0;
    switch (rule->effect) {
        case Effect::Stamina:
        case Effect::Speed: {
            const std::int64_t stat = rule->effect == Effect::Stamina ? horse.Stamina : horse.Speed;
            return quantity * static_cast<double>(stat * stat * rule->priceFactor);
        }
        case Effect::MoJo:
            return Round(quantity * (kViagraPrice / static_cast<double>(ViagraBase(horse))));
        case Effect::Health:
            return quantity * static_cast<double>(FirstAidBase(horse) * kFirstAidPrice);
    }
    return 0;
}

std::optional<std::string> QuoteProduct(const core::GameState& game, const core::TreeNodes& stableTree, Shop shop,
                                        std::string_view key, std::string_view quantityText) {
    const auto slot = core::SelectedStableHorse(game, stableTree);
    if (!slot) return std::nullopt;
    const auto quantity = runtime::ParseNumber(quantityText);
    const core::Product* product = FindProduct(shop, key);
    if (!quantity || !product) return std::nullopt;
    return core::FormatMoney(ProductPrice(*product, game.OwnedHorse[static_cast<std::size_t>(*slot)], *quantity));
}

Purchase BuyProduct(core::Game& game, core::Notices& notices, core::TreeNodes& stableTree,
                    core::TreeNodes& marketTree, const core::TreeNodes& shopTree, Shop shop,
                    std::string_view quantityText) {
    Purchase purchase;
    const auto slot = core::SelectedStableHorse(game, stableTree);
    if (!slot) return purchase;
    const auto refuse = [&](PurchaseResult result, const char* notice) {
        notices.ShowNotice(notice);
        purchase.result = result;
        return purchase;
    };
    const core::Product* product = core::HasSelectedNode(shopTree) ? FindProduct(shop, shopTree.SelectedKey()) : nullptr;
    if (!product) return refuse(PurchaseResult::NoProduct, kSelectProduct);
    // Read once: the units applied are the units charged for.
    const double quantity = runtime::ParseNumber(quantityText).value_or(0);
    if (quantity > QuantityLimit(shop)) return refuse(PurchaseResult::TooMany, kTooManyDrugs);
    if (quantity < 1) return refuse(PurchaseResult::TooFew, kTooFewDrugs);
    HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(*slot)];
    if (TooWeak(product->key, horse)) return refuse(PurchaseResult::TooWeak, kTooWeakForDrugs);
    if (!core::SpendMoney(game, notices, ProductPrice(*product, horse, quantity))) {
        purchase.result = PurchaseResult::NotEnoughMoney;
        return purchase;
    }
    purchase.gain = ApplyEffect(*FindRule(shop, product->key), horse, quantity, game.Random());
    horse.RRP = core::HorsePrice(horse, game.Random());
    if (shop == Shop::Dealer && Round(game.Rnd() * 100.0f) <= kMaxPoliceDraw &&
        Confiscate(game, stableTree, marketTree, *slot)) {
        notices.ShowNotice(kCaughtByPolice);
        purchase.result = PurchaseResult::Caught;
        return purchase;
    }
    notices.ShowNotice("Horse stats improved by " + runtime::NumberText(purchase.gain) + "!");
    purchase.result = PurchaseResult::Improved;
    return purchase;
}

}  // namespace development
