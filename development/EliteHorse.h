#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Game.h"
#include "core/HorseRec.h"
#include "core/Ports.h"
#include "runtime/Random.h"

// The elite horse a player designs at each new level: the rules behind the
// "Create Elite Horse" window, free of window code.
namespace development {

// Speed plus stamina always make this budget, start plus end effort 100.
inline constexpr int kRatingBudget = 430;
inline constexpr int kPaceBudget = 100;
inline constexpr int kDefaultRating = 215;
inline constexpr int kDefaultPace = 50;
inline constexpr const char* kDefaultEliteName = "Canterloo";
// The appearances are coats 101..145, keyed "K101".."K145".
inline constexpr int kFirstCoat = 101;
inline constexpr int kLastCoat = 145;

inline constexpr const char* kStableFullForElite =
    "Your stable is full! Sell a horse to make room for your elite horse.";

// The partner of a coupled bar: what is left of the budget.
inline int PartnerValue(int budget, int value) { return budget - value; }

// The appearance node of a coat: key "K" & coat, text "Horse Mask No." & mask
// number, image = mask number (coat - 100).
std::string AppearanceKey(int coat);
std::string AppearanceText(int coat);
// The coat a node key names; nothing for a key that names no coat.
std::optional<int> CoatOfAppearance(const std::string& key);

// What the player chose in the window.
struct EliteDesign {
    std::string name = kDefaultEliteName;  // as typed, game text
    int sexChoice = 0;                     // 0 "Male", 1 "Female"
    std::string appearanceKey;             // "" while no appearance is selected
    int speed = kDefaultRating;
    int stamina = kDefaultRating;
    int start = kDefaultPace;
    int end = kDefaultPace;
};

// True when the design names a horse and an appearance, the two things
// without which "Create Horse" does nothing. A name of blanks is no name.
bool IsComplete(const EliteDesign& design);

// The horse of a complete design. Draws, in this order: the father's tube
// number, the mother's, then the price's draw.
core::HorseRec MakeEliteHorse(const EliteDesign& design, runtime::RandomSource& rnd);

enum class CreateResult {
    Ignored,     // no name or no appearance: nothing happened, nothing said
    StableFull,  // every slot is taken: the player was told, nothing drawn
    Created,
};

struct CreateOutcome {
    CreateResult result = CreateResult::Ignored;
    int slot = -1;  // the new horse's stable slot when created
};

// "Create Horse": the designed horse goes into the lowest free stable slot and
// gets its node in the stable tree.
CreateOutcome CreateEliteHorse(core::GameState& game, core::Notices& notices, core::TreeNodes& stableTree,
                               const EliteDesign& design, runtime::RandomSource& rnd);

}  // namespace development
