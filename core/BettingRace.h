#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/Game.h"
#include "core/Ports.h"
#include "core/RaceStep.h"
#include "runtime/Random.h"

// The single-player betting race on the race track: five runners drawn from
// the betting field, stakes on any of the five lanes, one step per tick to
// the finish, the winning lane's stake paid back with its winnings.
namespace core {

inline constexpr int kLanes = 5;
inline constexpr double kNewRaceFee = 250;
inline constexpr double kMaxTotalStake = 50000000;
inline constexpr std::int16_t kBettingFinish = 7800;

inline constexpr const char* kWagersNotNumbers = "Wagers must in numerical format!!!";
inline constexpr const char* kWagersNegative = "Wagers cannot be negative!";
inline constexpr const char* kBetsTooHigh = "Bets cannot exceed \xA3" "50,000,000";
inline constexpr const char* kHasWonTheRace = " has won the race!";

enum class RaceState {
    Idle,     // no race, or the last one is over: "New Race" is next
    SetUp,    // runners on the start line: stakes, then "Start Race!"
    Running,  // one step per tick until a horse reaches the finish
};

// How a lane's title shows the odds.
enum class TitleStyle {
    WinningsRatio,    // "Happy Beauty (13:2)"
    ChanceOfWinning,  // "Happy Beauty (15%)"
};

struct Lane {
    std::optional<int> Horse;  // the runner's index in TrackHorse
    RunnerPosition Runner;
    double Stake = 0;          // charged when the race started
};

class BettingRace {
public:
    BettingRace(GameState& game, runtime::RandomSource& rnd, Notices& notices);

    // "New Race": charges the fee and draws five different runners, each put
    // on the start line (lane 1 to 5, then lanes 2 to 5 drawn again while
    // they share a horse with another lane). False when nothing happened:
    // not enough money (the money check has said so) or a race still on.
    bool NewRace();

    // "Start Race!": the five stake texts are read as numbers and their total
    // charged. Refused with a notice, charging nothing, when a stake is not a
    // number or is negative or the total is above the limit; refused by the
    // money check when the player cannot pay.
    bool StartRace(const std::array<std::string, kLanes>& stakes);

    // One tick: every lane in order moves one step; the highest lane that is
    // at the finish after the step wins. The winner is announced and its
    // stake paid back with its winnings. Returns the winning lane (1 to 5).
    std::optional<int> Tick();

    // Ends any race at once, without a payout, and clears the lanes.
    void Stop();

    // What a double-click puts into a stake box: all the money, at most the
    // limit.
    std::string AllMoneyStake() const;

    // The lane's runner with its odds; nothing while the lane has no runner.
    std::optional<std::string> Title(int lane, TitleStyle style) const;

    RaceState State() const { return state_; }
    // Lanes are numbered 1 to 5.
    const Lane& LaneAt(int lane) const { return lanes_.at(static_cast<std::size_t>(lane - 1)); }
    // The lane's runner as decimal text ("" before the first race), as the
    // lane's picture carries it.
    std::string Tag(int lane) const;

private:
    void DrawRunner(Lane& lane);
    bool SharesHorse(std::size_t lane) const;
    void PayOut(const Lane& winner);

    GameState& game_;
    runtime::RandomSource& rnd_;
    Notices& notices_;
    std::array<Lane, kLanes> lanes_{};
    RaceState state_ = RaceState::Idle;
};

}  // namespace core
