#include "core/BettingRace.h"

#include "core/Money.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace core {

using runtime::NumberText;
using runtime::Round;

BettingRace::BettingRace(GameState& game, runtime::RandomSource& rnd, Notices& notices)
    : game_(game), rnd_(rnd), notices_(notices) {}

void BettingRace::DrawRunner(Lane& lane) {
    const int horse = static_cast<int>(Round(rnd_.Rnd() * static_cast<float>(kTrackHorses - 1)));
    lane.Horse = horse;
    PrepareRaceHorse(lane.Runner, game_.TrackHorse.at(static_cast<std::size_t>(horse)), rnd_);
}

bool BettingRace::SharesHorse(std::size_t lane) const {
    for (std::size_t other = 0; other < lanes_.size(); ++other) {
        if (other != lane && lanes_[other].Horse == lanes_[lane].Horse) return true;
    }
    return false;
}

bool BettingRace::NewRace() {
    if (state_ != RaceState::Idle) return false;
    if (!SpendMoney(game_, notices_, kNewRaceFee)) return false;
    for (Lane& lane : lanes_) {
        lane.Stake = 0;
        DrawRunner(lane);
    }
    // Lane 1 keeps its runner; each later lane draws again until its horse
    // runs in no other lane.
    for (std::size_t lane = 1; lane < lanes_.size(); ++lane) {
        while (SharesHorse(lane)) DrawRunner(lanes_[lane]);
    }
    state_ = RaceState::SetUp;
    return true;
}

bool BettingRace::StartRace(const std::array<std::string, kLanes>& stakes) {
    if (state_ != RaceState::SetUp) return false;
    std::array<double, kLanes> amounts{};
    for (std::size_t i = 0; i < stakes.size(); ++i) {
        const auto amount = runtime::ParseNumber(stakes[i]);
        if (!amount) {
            notices_.ShowNotice(kWagersNotNumbers);
            return false;
        }
        amounts[i] = *amount;
    }
    // A negative stake would pay for the others (-100 on one lane and 200 on
    // another would charge 100 for a bet of 200): refused, nothing charged.
    for (double amount : amounts) {
        if (amount < 0) {
            notices_.ShowNotice(kWagersNegative);
            return false;
        }
    }
    double total = 0;
    for (double amount : amounts) total += amount;
    if (total > kMaxTotalStake) {
        notices_.ShowNotice(kBetsTooHigh);
        return false;
    }
    if (!SpendMoney(game_, notices_, total)) return false;
    for (std::size_t i = 0; i < lanes_.size(); ++i) lanes_[i].Stake = amounts[i];
    state_ = RaceState::Running;
    return true;
}

std::optional<int> BettingRace::Tick() {
    if (state_ != RaceState::Running) return std::nullopt;
    std::optional<int> winner;
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
        Lane& lane = lanes_[i];
        MoveHorseStep(lane.Runner, game_.TrackHorse.at(static_cast<std::size_t>(*lane.Horse)), kBettingFinish, rnd_);
        if (lane.Runner.Left >= kBettingFinish) winner = static_cast<int>(i) + 1;
    }
    if (!winner) return std::nullopt;
    state_ = RaceState::Idle;
    PayOut(LaneAt(*winner));
    return winner;
}

void BettingRace::PayOut(const Lane& winner) {
    const HorseRec& horse = game_.TrackHorse.at(static_cast<std::size_t>(*winner.Horse));
    notices_.ShowNotice(horse.Name + kHasWonTheRace);
    const double stake = winner.Stake;
    // Odds of x/0 would pay nothing but the stake.
    const double winnings = horse.OddsRight != 0 ? stake / horse.OddsRight * horse.OddsLeft : 0.0;
    game_.Money = Round(game_.Money + winnings) + stake;
}

void BettingRace::Stop() {
    state_ = RaceState::Idle;
    lanes_ = {};
}

std::string BettingRace::AllMoneyStake() const {
    if (game_.Money <= kMaxTotalStake) return NumberText(game_.Money);
    return "50000000";
}

std::optional<std::string> BettingRace::Title(int lane, TitleStyle style) const {
    if (lane < 1 || lane > kLanes) return std::nullopt;
    const Lane& l = LaneAt(lane);
    if (!l.Horse) return std::nullopt;
    const HorseRec& horse = game_.TrackHorse.at(static_cast<std::size_t>(*l.Horse));
    if (style == TitleStyle::WinningsRatio) {
        return horse.Name + " (" + NumberText(horse.OddsLeft) + ":" + NumberText(horse.OddsRight) + ")";
    }
    const double chance =
        horse.OddsLeft != 0 ? Round(static_cast<double>(horse.OddsRight) / horse.OddsLeft * 100) : 0.0;
    return horse.Name + " (" + NumberText(chance) + "%)";
}

std::string BettingRace::Tag(int lane) const {
    const Lane& l = LaneAt(lane);
    return l.Horse ? NumberText(static_cast<std::int32_t>(*l.Horse)) : std::string();
}

}  // namespace core
