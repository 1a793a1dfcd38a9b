#include "core/OwnRace.h"

#include <cmath>

#include "core/Horses.h"
#include "core/Money.h"
#include "core/SelectedHorse.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace core {

using runtime::Round;

namespace {

constexpr double kPrizeFactors[3] = {7, 3, 1.5};
constexpr std::int32_t kConfidenceGain[3] = {6, 5, 4};
constexpr const char* kPlaceNotices[3] = {
    "First place! You have Won ",
    "Second place! You have Won ",
    "Third place! You have Won ",
};
constexpr std::int32_t kOpponentConfidence = 50;

// A rating in lo..hi - 1, drawn by rejection from Round(r * hi).
std::int32_t DrawInBand(runtime::RandomSource& rnd, double lo, double hi) {
    double x = 10000;
    while (x < lo || x >= hi) x = Round(static_cast<double>(rnd.Rnd()) * hi);
    return static_cast<std::int32_t>(x);
}

bool SameHorse(const HorseRec& a, const HorseRec& b) {
    return a.Name == b.Name && a.Sex == b.Sex && a.Colour == b.Colour && a.Mother == b.Mother &&
           a.Father == b.Father;
}

bool IsStableSlot(std::int32_t slot) { return slot >= 0 && slot < kStableSlots; }

}  // namespace

bool OwnRace::ChooseHorse(const GameState& game, const TreeNodes& stableTree) {
    const auto slot = SelectedStableHorse(game, stableTree);
    if (!slot) return false;
    chosen_ = *slot;
    return true;
}

EnterResult OwnRace::Enter(Game& game, Notices& notices, std::string_view stakeText) {
    if (running_) return EnterResult::RaceRunning;
    const auto stake = runtime::ParseNumber(stakeText);
    if (!stake) return EnterResult::NotANumber;
    const double b = *stake;
    if (b > kMaxOwnRaceStake) {
        notices.ShowNotice(kOwnStakeTooHigh);
        return EnterResult::TooHigh;
    }
    if (b < 0) return EnterResult::NotANumber;
    if (!IsStableSlot(chosen_) || game.OwnedHorse[static_cast<std::size_t>(chosen_)].IsFree()) {
        return EnterResult::NoHorse;
    }

    // The new race is made aside and kept only once the stake is paid.
    runtime::RandomSource& rnd = game.Random();
    const double lo = Round(std::sqrt(b / 10));
    const double hi = lo + 50;
    std::array<std::int32_t, kOpponents> speeds{};
    std::array<std::int32_t, kOpponents> staminas{};
    for (int i = 0; i < kOpponents; ++i) {
        speeds[static_cast<std::size_t>(i)] = DrawInBand(rnd, lo, hi);
        staminas[static_cast<std::size_t>(i)] = DrawInBand(rnd, lo, hi);
    }
    std::array<HorseRec, kOpponents> opponents = game.OpponentHorse;
    std::array<RunnerPosition, kOwnRaceLanes> lanes{};
    for (std::size_t i = 0; i < opponents.size(); ++i) {
        HorseRec& opponent = opponents[i];
        GenerateHorse(opponent, rnd);
        opponent.Speed = speeds[i];
        opponent.Stamina = staminas[i];
        opponent.Confidence = kOpponentConfidence;
        PrepareRaceHorse(lanes[i], opponent, rnd);
    }
    HorseRec runner = game.OwnedHorse[static_cast<std::size_t>(chosen_)];
    PrepareRaceHorse(lanes[kPlayerLane - kFirstOwnRaceLane], runner, rnd);

    if (!SpendMoney(game, notices, b)) return EnterResult::NotEnoughMoney;

    game.OpponentHorse = opponents;
    game.OwnedHorse[static_cast<std::size_t>(chosen_)].RaceBonus = runner.RaceBonus;
    runner_ = chosen_;
    runnerWas_ = runner;
    lanes_ = lanes;
    bet_ = b;
    for (std::size_t n = 0; n < prizes_.size(); ++n) prizes_[n] = b * kPrizeFactors[n];
    nextPlace_ = 1;
    places_.fill(0);
    ready_ = true;
    return EnterResult::Entered;
}

StartResult OwnRace::Start(Game& game) {
    if (!ready_ || running_) return StartResult::NotReady;
    if (!RunnerStillThere(game)) {
        Stop();
        return StartResult::RunnerGone;
    }
    HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(runner_)];
    const double cost = Round(game.Rnd() * 10.0f);
    horse.Health = runtime::SaturateLong(static_cast<std::int64_t>(horse.Health) - static_cast<std::int64_t>(cost));
    if (horse.Health <= 0) {
        ready_ = false;
        return StartResult::TooTired;
    }
    running_ = true;
    return StartResult::Started;
}

TickResult OwnRace::Tick(Game& game, Notices& notices) {
    if (!running_) return TickResult::Idle;
    if (!RunnerStillThere(game)) {
        Stop();
        return TickResult::RunnerGone;
    }
    bool finished = false;
    for (int lane = kFirstOwnRaceLane; lane <= kPlayerLane; ++lane) {
        RunnerPosition& position = lanes_[static_cast<std::size_t>(lane - kFirstOwnRaceLane)];
        if (position.Left >= kOwnRaceFinish) continue;
        const HorseRec& horse = lane == kPlayerLane
                                    ? game.OwnedHorse[static_cast<std::size_t>(runner_)]
                                    : game.OpponentHorse[static_cast<std::size_t>(lane - kFirstOwnRaceLane)];
        MoveHorseStep(position, horse, kOwnRaceFinish, game.Random());
        if (position.Left >= kOwnRaceFinish) {
            TakePlace(lane, finished);
            if (lane == kPlayerLane) finished = true;
        }
    }
    if (!finished) return TickResult::Running;
    PayOut(game, notices);
    running_ = false;
    ready_ = false;
    return TickResult::Finished;
}

// Each arrival takes exactly the next place.
void OwnRace::TakePlace(int lane, bool& finished) {
    const auto laneNumber = static_cast<std::int16_t>(lane);
    switch (nextPlace_) {
        case 1:
        case 2:
        case 3:
        case 4:
            places_[static_cast<std::size_t>(nextPlace_ - 1)] = laneNumber;
            ++nextPlace_;
            break;
        case 5:
            places_[4] = laneNumber;
            finished = true;
            break;
        default:
            break;
    }
}

void OwnRace::PayOut(Game& game, Notices& notices) {
    HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(runner_)];
    for (std::size_t n = 0; n < prizes_.size(); ++n) {
        if (places_[n] != kPlayerLane) continue;
        notices.ShowNotice(kPlaceNotices[n] + FormatMoney(prizes_[n]));
        game.Money = game.Money + prizes_[n] + bet_;
        if (horse.Confidence < 100) horse.Confidence += kConfidenceGain[n];
    }
    if (horse.Confidence > 3) horse.Confidence -= 3;
}

void OwnRace::Stop() {
    running_ = false;
    ready_ = false;
}

bool OwnRace::StopIfRunnerGone(const GameState& game) {
    if (!ready_ || RunnerStillThere(game)) return false;
    Stop();
    return true;
}

std::string OwnRace::RunnerGoneNotice() const {
    return runnerWas_.Name + " is no longer in your stable: its race is stopped and the " + FormatMoney(bet_) +
           " stake is lost.";
}

bool OwnRace::RunnerStillThere(const GameState& game) const {
    if (!IsStableSlot(runner_)) return false;
    const HorseRec& horse = game.OwnedHorse[static_cast<std::size_t>(runner_)];
    return !horse.IsFree() && SameHorse(horse, runnerWas_);
}

double OwnRace::Prize(int place) const {
    if (place < 1 || place > 3) return 0;
    return prizes_[static_cast<std::size_t>(place - 1)];
}

std::int16_t OwnRace::Place(int place) const {
    if (place < 1 || place > kOwnRaceLanes) return 0;
    return places_[static_cast<std::size_t>(place - 1)];
}

const RunnerPosition& OwnRace::Lane(int lane) const {
    return lanes_.at(static_cast<std::size_t>(lane - kFirstOwnRaceLane));
}

}  // namespace core
