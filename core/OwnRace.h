#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Game.h"
#include "core/Ports.h"
#include "core/RaceStep.h"

// The player's own horse against four computer horses for prizes. Lanes 6 to
// 9 hold the opponents 0 to 3, lane 10 the player's horse; the race ends as
// soon as the player's horse reaches the line.
namespace core {

inline constexpr std::int16_t kOwnRaceFinish = 9600;
inline constexpr double kMaxOwnRaceStake = 2500000;
inline constexpr int kFirstOwnRaceLane = 6;
inline constexpr int kPlayerLane = 10;
inline constexpr int kOwnRaceLanes = 5;
inline constexpr const char* kOwnStakeTooHigh = "Bets cannot exceed \xA3" "2,500,000";
// Follows the runner's name when "Start Race!" leaves it no health: the
// race does not start and the stake stays paid.
inline constexpr const char* kTooWeakToRace =
    " is too weak to race, and the stake is lost. Give it First AID before racing it again.";
// What the stake box falls back to when its text is not an amount.
inline constexpr const char* kDefaultOwnStakeText = "2000";

enum class EnterResult {
    Entered,         // charged, opponents made, ready to start
    NotANumber,      // the stake is not a number, or negative: nothing happens
    TooHigh,         // above the limit: the player is told
    NoHorse,         // the chosen stable slot holds no horse
    RaceRunning,     // a race of this screen is still running: nothing changes
    NotEnoughMoney,  // the money check said no (and told the player)
};

enum class StartResult {
    Started,
    TooTired,    // the health cost left the horse with nothing: no race, stake gone
    NotReady,    // no race entered, or it is already running
    RunnerGone,  // the runner has left the stable since "Enter Race"
};

enum class TickResult {
    Running,
    Finished,    // the player's horse arrived; any prize is paid
    RunnerGone,  // the runner left the stable mid-race: stopped, nothing paid
    Idle,        // no race running
};

// "Race Horse" sets the horse to race; "Enter Race" takes that horse as the
// runner of the race it sets up, and the race keeps it: choosing another
// horse mid-race changes nothing until the next entry. A runner whose slot
// is emptied (sold, confiscated, dead, a new game) stops the race unpaid.
class OwnRace {
public:
    // "Race Horse": the selected stable horse is the one to enter. False (and
    // nothing changes) when no stable horse is selected.
    bool ChooseHorse(const GameState& game, const TreeNodes& stableTree);

    // "Enter Race" in the "Next Race" mode with the stake box's text. The
    // stake is checked and charged before anything of the new race is kept.
    EnterResult Enter(Game& game, Notices& notices, std::string_view stakeText);
    // "Start Race!": the runner pays 0 to 10 health.
    StartResult Start(Game& game);
    // One 50-ms step of every lane still short of the line.
    TickResult Tick(Game& game, Notices& notices);
    // Ends any race without a result (a new game).
    void Stop();
    // Stops an entered race (started or not) whose runner has left the
    // stable: sold, taken away or dead. True when it did; the stake is lost.
    bool StopIfRunnerGone(const GameState& game);
    // What the player is told when a race stopped so.
    std::string RunnerGoneNotice() const;

    bool Ready() const { return ready_; }
    bool Running() const { return running_; }
    // The horse "Race Horse" chose; the runner of the entered race.
    std::int32_t OwnRaceHorse() const { return chosen_; }
    std::int32_t Runner() const { return runner_; }
    double OwnRaceBet() const { return bet_; }
    double Prize(int place) const;  // place 1..3
    std::int16_t NextPlace() const { return nextPlace_; }
    // The lane that took a place (1..5), 0 while nobody has.
    std::int16_t Place(int place) const;
    // The runner of a lane (6..10) on the track.
    const RunnerPosition& Lane(int lane) const;

private:
    bool RunnerStillThere(const GameState& game) const;
    void TakePlace(int lane, bool& finished);
    void PayOut(Game& game, Notices& notices);

    std::int32_t chosen_ = 0;
    std::int32_t runner_ = 0;
    HorseRec runnerWas_{};  // who the runner was at the entry
    double bet_ = 0;
    std::array<double, 3> prizes_{};
    std::int16_t nextPlace_ = 1;
    std::array<std::int16_t, kOwnRaceLanes> places_{};
    std::array<RunnerPosition, kOwnRaceLanes> lanes_{};
    bool ready_ = false;
    bool running_ = false;
};

}  // namespace core
