#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Game.h"
#include "core/Ports.h"

// Breeding a stallion and a mare of the stable into a foal, and the foal's
// delivery and naming. No window code: the stable screen and the foal window
// call these.
namespace development {

inline constexpr const char* kWrongSex = "Your horses are the wrong sex!";
inline constexpr const char* kSelectPair =
    "You must select a pair of horses (one male, and one female) to breed with.";
inline constexpr const char* kCouldNotBreed = "Error, could not breed horses!";
inline constexpr const char* kInterBreed = "You cannot inter-bread horses!";
inline constexpr const char* kNoMoJo =
    "One of your horses can't deliver the goods! Check both of the horse's MoJo levels.";
inline constexpr const char* kFoalOnItsWay = "Fresh New Horse On Its Way!!!";
inline constexpr const char* kUnnamed = "UN-NAMED";
inline constexpr int kMaxFoalDelayMs = 60000;

// The two breeding boxes as the stable screen holds them: each box's text
// and its tag (the horse's stable slot in decimal).
struct BreedingPair {
    std::string stallionTag;
    std::string stallionText;
    std::string mareTag;
    std::string mareText;
};

// A foal in the stable that still waits for its name, and how to know it is
// still the same foal in that slot (a new game or a death may have emptied it,
// and another horse may have taken the slot since).
struct FoalTicket {
    int slot = 0;
    std::string father;
    std::string mother;
    std::int32_t colour = 0;
    std::int32_t sex = 0;
};

struct BredFoal {
    FoalTicket foal;
    int delayMs = 1;  // the Baby timer's interval, at least 1 ms
};

// "Breed Horses": checks the pair in order (sex, pair, names, kinship, full
// stable), costs the mare 0 to 20 health (she may die of it), checks both
// MoJo scores, takes one MoJo from each and writes the foal "UN-NAMED" into
// the lowest free stable slot. Every refusal is told through a notice.
// Returns the foal and its delivery delay when one is made.
std::optional<BredFoal> BreedHorses(core::Game& game, core::Notices& notices, core::TreeNodes& stableTree,
                                    const BreedingPair& pair);

// One tick of the delivery timer: the foal arrives with a chance of 1 in 4
// (Round(r * 4) = 1, that is r * 4 strictly between 0.5 and 1.5).
bool FoalArrives(runtime::RandomSource& rnd);

// True while the ticket's slot still holds that unnamed foal and the stable
// tree has no node for it yet.
bool FoalStillWaiting(const core::GameState& game, const core::TreeNodes& stableTree, const FoalTicket& foal);

enum class NamingResult {
    Named,  // the foal has its name and its stable node
    Empty,  // nothing (or only blanks) typed: the window stays open
    Gone,   // the foal is no longer there: nothing is written
};

// "Okay" in the foal window: the typed name in proper case, and its node.
NamingResult NameFoal(core::GameState& game, core::TreeNodes& stableTree, const FoalTicket& foal,
                      std::string_view typed);

}  // namespace development
