#include "development/Breeding.h"

#include <algorithm>

#include "core/Horses.h"
#include "core/Money.h"
#include "core/Stable.h"
#include "core/TreeKeys.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"
#include "runtime/Text.h"

namespace development {

using core::HorseRec;
using runtime::Round;
using runtime::SaturateLong;

namespace {

// The horse a breeding box's tag names; a tag that names no slot names an
// empty horse (`none`), which the pair checks refuse before anything is written.
HorseRec& TaggedHorse(core::GameState& game, const std::string& tag, HorseRec& none, int& slot) {
    const auto value = runtime::ParseLong(tag);
    if (!value || *value < 0 || *value >= core::kStableSlots) {
        slot = -1;
        return none;
    }
    slot = *value;
    return game.OwnedHorse[static_cast<std::size_t>(*value)];
}

std::int32_t Draw(runtime::RandomSource& rnd, int n) {
    return static_cast<std::int32_t>(Round(rnd.Rnd() * static_cast<float>(n)));
}

double Mean(std::int64_t a, std::int64_t b) { return static_cast<double>(a + b) / 2.0; }

bool Related(const HorseRec& stallion, const HorseRec& mare) {
    if (stallion.Mother == mare.Name) return true;
    if (mare.Father == stallion.Name) return true;
    return stallion.Father == mare.Father && stallion.Mother == mare.Mother && mare.Father != core::kUnknownParent &&
           mare.Mother != core::kUnknownParent;
}

// The foal's fields in the order of their draws.
HorseRec MakeFoal(const HorseRec& stallion, const HorseRec& mare, runtime::RandomSource& rnd) {
    HorseRec foal;
    const std::int32_t signs = Draw(rnd, 3);  // 0 both minus, 1 speed plus, 2 stamina plus, 3 both plus
    const double speedShift = rnd.Rnd() * 10.0f;
    foal.Speed = SaturateLong(Mean(stallion.Speed, mare.Speed) + ((signs & 1) ? speedShift : -speedShift));
    const double staminaShift = rnd.Rnd() * 10.0f;
    foal.Stamina = SaturateLong(Mean(stallion.Stamina, mare.Stamina) + ((signs & 2) ? staminaShift : -staminaShift));
    std::int32_t coat = 0;
    do {
        const float a = rnd.Rnd();
        const float b = rnd.Rnd();
        coat = static_cast<std::int32_t>(Round(a * 100.0f) + Round(b * 100.0f));
    } while (coat < 101 || coat > 145);
    foal.Start = runtime::SaturateInt(Mean(stallion.Start, mare.Start));
    foal.End = runtime::SaturateInt(Mean(stallion.End, mare.End));
    foal.MoJo = Draw(rnd, 30);
    foal.Colour = coat;
    foal.Confidence = Draw(rnd, 100);
    foal.Name = kUnnamed;
    // A parent worn down to nothing must not leave a foal without health.
    foal.HealthMAX = std::max<std::int32_t>(1, SaturateLong(Mean(stallion.Health, mare.Health)));
    foal.Health = foal.HealthMAX;
    foal.Father = stallion.Name;
    foal.Mother = mare.Name;
    const double rating = Round(Mean(foal.Speed, foal.Stamina));
    core::OddsForRating(SaturateLong(rating), foal.OddsLeft, foal.OddsRight);
    if (Round(rnd.Rnd()) == 1) {
        foal.Sex = core::kMale;
        foal.Speed = SaturateLong(static_cast<std::int64_t>(foal.Speed) + Draw(rnd, 5));
    } else {
        foal.Sex = core::kFemale;
        foal.Stamina = SaturateLong(static_cast<std::int64_t>(foal.Stamina) + Draw(rnd, 3));
    }
    foal.RRP = core::HorsePrice(foal, rnd);
    return foal;
}

}  // namespace

std::optional<BredFoal> BreedHorses(core::Game& game, core::Notices& notices, core::TreeNodes& stableTree,
                                    const BreedingPair& pair) {
    int m = -1;
    int f = -1;
    HorseRec noStallion;
    HorseRec noMare;
    HorseRec& stallion = TaggedHorse(game, pair.stallionTag, noStallion, m);
    HorseRec& mare = TaggedHorse(game, pair.mareTag, noMare, f);
    if (stallion.Sex == core::kFemale || mare.Sex == core::kMale) {
        notices.ShowNotice(kWrongSex);
        return std::nullopt;
    }
    if (mare.Name.empty() || stallion.Name.empty()) {
        notices.ShowNotice(kSelectPair);
        return std::nullopt;
    }
    if (pair.stallionText != stallion.Name || pair.mareText != mare.Name) {
        notices.ShowNotice(kCouldNotBreed);
        return std::nullopt;
    }
    if (Related(stallion, mare)) {
        notices.ShowNotice(kInterBreed);
        return std::nullopt;
    }
    // A full stable is refused before the mare pays anything.
    const auto slot = core::LowestFreeSlot(game.OwnedHorse);
    if (!slot) {
        notices.ShowNotice(core::kStableFull);
        return std::nullopt;
    }

    runtime::RandomSource& rnd = game.Random();
    mare.Health = SaturateLong(static_cast<std::int64_t>(mare.Health) - Draw(rnd, 20));
    if (mare.Health < 1) {
        core::KillOverworkedHorse(game, notices, stableTree, f);
        return std::nullopt;
    }
    if (stallion.MoJo < 1 || mare.MoJo < 1) {
        notices.ShowNotice(kNoMoJo);
        return std::nullopt;
    }
    --mare.MoJo;
    --stallion.MoJo;

    HorseRec& foal = game.OwnedHorse[static_cast<std::size_t>(*slot)];
    foal = MakeFoal(stallion, mare, rnd);
    BredFoal bred;
    bred.foal = FoalTicket{*slot, foal.Father, foal.Mother, foal.Colour, foal.Sex};
    // A delay of 0 would never tick and the foal would never come.
    bred.delayMs = std::max(1, Draw(rnd, kMaxFoalDelayMs));
    notices.ShowNotice(kFoalOnItsWay);
    return bred;
}

bool FoalArrives(runtime::RandomSource& rnd) { return Draw(rnd, 4) == 1; }

bool FoalStillWaiting(const core::GameState& game, const core::TreeNodes& stableTree, const FoalTicket& foal) {
    if (foal.slot < 0 || foal.slot >= core::kStableSlots) return false;
    const HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(foal.slot)];
    return horse.Name == kUnnamed && horse.Father == foal.father && horse.Mother == foal.mother &&
           horse.Colour == foal.colour && horse.Sex == foal.sex &&
           !stableTree.HasNode(core::HorseKey(horse.Sex, foal.slot));
}

NamingResult NameFoal(core::GameState& game, core::TreeNodes& stableTree, const FoalTicket& foal,
                      std::string_view typed) {
    if (runtime::IsBlankText(typed)) return NamingResult::Empty;
    if (!FoalStillWaiting(game, stableTree, foal)) return NamingResult::Gone;
    HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(foal.slot)];
    horse.Name = runtime::ProperCase(typed);
    stableTree.AddNode(core::HorseKey(horse.Sex, foal.slot), horse.Name, core::CoatImage(horse));
    return NamingResult::Named;
}

}  // namespace development
