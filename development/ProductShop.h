#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Game.h"
#include "core/Ports.h"
#include "core/Products.h"

// The two shops of the drugs screen: prices, effects, the quantity boxes'
// rule, the purchase and the police. No window code.
namespace development {

inline constexpr int kPharmacyLimit = 10;
inline constexpr int kDealerLimit = 5;
inline constexpr std::int32_t kWeakestTreatable = 20;

inline constexpr const char* kSelectProduct = "You must select a product to buy!";
inline constexpr const char* kTooManyDrugs = "Your Horse cannot consume that many drugs in one sitting!!!";
inline constexpr const char* kTooFewDrugs = "You must buy at least 1 of those products!";
inline constexpr const char* kTooWeakForDrugs =
    "Your horse is too weak to have drugs put into its system; you must exercise it first, then use drugs.";
inline constexpr const char* kCaughtByPolice =
    "You were caught by the police! Your horse has been taken away into care, and has now been released back "
    "onto the market for re-homing.";

// The most units one purchase of the shop may take.
int QuantityLimit(core::Shop shop);

// The quantity box's rule, run on every change of its text: the text it must
// become ("1" for anything that is no 32-bit whole number or is below 1, the
// limit above it), or nothing when it may stay (2.5 stays).
std::optional<std::string> CorrectedQuantity(std::string_view text, int limit);

// The product a key names in one shop ("STAM1" is a different product in each).
const core::Product* FindProduct(core::Shop shop, std::string_view key);

// The price of q units for the horse as it is now.
double ProductPrice(const core::Product& product, const core::HorseRec& horse, double quantity);

// The price shown when a product node is clicked (money text), for the
// selected stable horse and the quantity box's text; nothing when there is no
// horse, no such product or no number to price.
std::optional<std::string> QuoteProduct(const core::GameState& game, const core::TreeNodes& stableTree,
                                        core::Shop shop, std::string_view key, std::string_view quantityText);

enum class PurchaseResult {
    NoHorse,         // nothing said: there is no selected stable horse
    NoProduct,
    TooMany,
    TooFew,
    TooWeak,
    NotEnoughMoney,  // the money check told the player
    Improved,
    Caught,          // the horse went to the market
};

struct Purchase {
    PurchaseResult result = PurchaseResult::NoHorse;
    std::int32_t gain = 0;  // what the closing notice reports
};

// "Buy" in one shop, for the horse selected in the stable tree and the
// product selected in the shop's tree. The quantity is read once. A dealer's
// sale is followed by the police draw: one chance in about eighteen
// (Round(r * 100) at most 5) that the horse is taken to the lowest free
// market slot. With no free market slot the horse stays in the stable.
Purchase BuyProduct(core::Game& game, core::Notices& notices, core::TreeNodes& stableTree,
                    core::TreeNodes& marketTree, const core::TreeNodes& shopTree, core::Shop shop,
                    std::string_view quantityText);

}  // namespace development
