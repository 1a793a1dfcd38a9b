#include "development/EliteHorse.h"

#include "core/Horses.h"
#include "core/TreeKeys.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"
#include "runtime/Text.h"

namespace development {

using runtime::NumberText;
using runtime::Round;

namespace {

constexpr std::int32_t kEliteConfidence = 50;
constexpr std::int32_t kEliteMoJo = 10;
constexpr std::int32_t kEliteHealth = 200;
constexpr int kTubes = 1000;

std::string TubeName(runtime::RandomSource& rnd) {
    const auto tube = static_cast<std::int64_t>(Round(rnd.Rnd() * static_cast<float>(kTubes)));
    return "Tube No." + NumberText(tube);
}

}  // namespace

std::string AppearanceKey(int coat) { return "K" + NumberText(static_cast<std::int64_t>(coat)); }

std::string AppearanceText(int coat) { return "Horse Mask No." + NumberText(static_cast<std::int64_t>(coat - 100)); }

std::optional<int> CoatOfAppearance(const std::string& key) {
    if (key.size() < 2 || key[0] != 'K') return std::nullopt;
    for (std::size_t i = 1; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') return std::nullopt;
    }
    const auto coat = runtime::ParseLong(std::string_view(key).substr(1));
    if (!coat || *coat < kFirstCoat || *coat > kLastCoat) return std::nullopt;
    return *coat;
}

bool IsComplete(const EliteDesign& design) {
    return !runtime::IsBlankText(design.name) && CoatOfAppearance(design.appearanceKey).has_value();
}

core::HorseRec MakeEliteHorse(const EliteDesign& design, runtime::RandomSource& rnd) {
    core::HorseRec horse;
    horse.Confidence = kEliteConfidence;
    horse.Father = TubeName(rnd);
    horse.Mother = TubeName(rnd);
    horse.MoJo = kEliteMoJo;
    horse.Name = runtime::ProperCase(design.name);
    horse.Sex = design.sexChoice + 1;
    horse.Colour = CoatOfAppearance(design.appearanceKey).value_or(0);
    horse.Speed = design.speed;
    horse.Stamina = design.stamina;
    horse.Start = runtime::SaturateInt(static_cast<std::int64_t>(design.start));
    horse.End = runtime::SaturateInt(static_cast<std::int64_t>(design.end));
    horse.Health = kEliteHealth;
    horse.HealthMAX = kEliteHealth;
    const std::int64_t sum = static_cast<std::int64_t>(horse.Speed) + horse.Stamina + horse.Confidence;
    core::OddsForRating(runtime::SaturateLong(Round(static_cast<double>(sum) / 3.0)), horse.OddsLeft,
                        horse.OddsRight);
    horse.RRP = core::HorsePrice(horse, rnd);
    return horse;
}

CreateOutcome CreateEliteHorse(core::GameState& game, core::Notices& notices, core::TreeNodes& stableTree,
                               const EliteDesign& design, runtime::RandomSource& rnd) {
    if (!IsComplete(design)) return {};
    // Refused before anything is drawn or written, so the window can stay
    // open and the level's horse is not lost.
    const std::optional<int> slot = core::LowestFreeSlot(game.OwnedHorse);
    if (!slot) {
        notices.ShowNotice(kStableFullForElite);
        return {CreateResult::StableFull, -1};
    }
    core::HorseRec& placed = game.OwnedHorse[static_cast<std::size_t>(*slot)];
    placed = MakeEliteHorse(design, rnd);
    stableTree.AddNode(core::HorseKey(placed, *slot), placed.Name, core::CoatImage(placed));
    return {CreateResult::Created, *slot};
}

}  // namespace development
