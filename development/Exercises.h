#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Game.h"
#include "core/Ports.h"

// The two training mini-games: clicking the red button of a 3 x 3 grid
// (speed) and pressing the left and right arrow keys in turn (stamina). Each
// right action moves the horse toward the line at 9800 twips; the quicker
// the finish, the more points. No window code: the panels show this state.
namespace development {

inline constexpr float kExerciseStartLeft = 360.0f;
inline constexpr float kExerciseFinishLeft = 9800.0f;
inline constexpr std::int32_t kMaxTrainableRating = 110;
inline constexpr int kClickyButtons = 9;
inline constexpr std::int16_t kLeftArrow = 37;
inline constexpr std::int16_t kRightArrow = 39;
// The arrow-key pictures: left key lit, nothing lit, right key lit.
inline constexpr int kKeysLeftPicture = 146;
inline constexpr int kKeysIdlePicture = 147;
inline constexpr int kKeysRightPicture = 148;
inline constexpr const char* kTooGoodToTrain = "Your horse is too good to train!";
inline constexpr const char* kTakenTooLong = "You have taken too long!";

// Points for a finish after `ticks` whole seconds: 15, 10, 6, 3, 1, then 0.
int SpeedPoints(std::int32_t ticks);    // steps at 12, 24, 36, 48, 60 s
int StaminaPoints(std::int32_t ticks);  // steps at 10, 20, 30, 40, 50 s

// The distance caption of a panel: Round(stat / 3 * 20) + 10 and "m".
std::string DistanceCaption(std::int32_t stat);

enum class StartResult { Started, TooGood };

// What one click or key press did.
struct ExerciseStep {
    bool moved = false;
    std::optional<int> finishedWith;  // the points of a finish
};

// The speed exercise: idle (tag "") or running (tag "START").
class SpeedExercise {
public:
    // "Exercise (Speed)": back to idle with the horse on the start line. The
    // clock keeps its count and the red button its place.
    void SetUp();
    // "Start Training!" for a horse: a horse above 110 is refused (and told
    // so); otherwise the clock starts from 0.
    StartResult Start(const core::HorseRec& horse, core::Notices& notices);
    // A click on grid button `index` (0..8) while the exercise runs, for the
    // selected horse.
    ExerciseStep Click(int index, core::HorseRec& horse, core::Game& game, core::Notices& notices);
    // One second of the clock. A count already at its limit abandons the
    // exercise instead (told to the player); returns false then.
    bool Tick(core::Notices& notices);

    bool Running() const { return running_; }
    std::string Tag() const { return running_ ? "START" : ""; }
    std::int32_t SpeedTicks() const { return ticks_; }
    // Puts the clock at a count, as if that many seconds had passed.
    void SetSpeedTicks(std::int32_t ticks) { ticks_ = ticks; }
    int RedButton() const { return red_; }
    float HorseLeft() const { return left_; }
    int LivePoints() const { return SpeedPoints(ticks_); }

private:
    bool running_ = false;
    std::int32_t ticks_ = 0;
    int red_ = 0;
    float left_ = kExerciseStartLeft;
};

// The stamina exercise: idle (tag "") or running (tag "OKAY"); the key
// expected next is "LEFT" or "RIGHT".
class StaminaExercise {
public:
    // "Exercise (Stamina)": idle, horse on the start line, keys unlit. The
    // clock and the expected key keep their values.
    void SetUp();
    // "Start Training!": a horse above 110 is refused without a word.
    StartResult Start(const core::HorseRec& horse);
    // A key (its key code) while the exercise runs, for the selected horse.
    ExerciseStep KeyDown(std::int16_t keyCode, core::HorseRec& horse, core::Game& game, core::Notices& notices);
    bool Tick(core::Notices& notices);

    bool Running() const { return running_; }
    std::string Tag() const { return running_ ? "OKAY" : ""; }
    const std::string& KeysTag() const { return keysTag_; }
    int KeysPicture() const { return keysPicture_; }
    std::int32_t StamTicks() const { return ticks_; }
    void SetStamTicks(std::int32_t ticks) { ticks_ = ticks; }
    float HorseLeft() const { return left_; }
    int LivePoints() const { return StaminaPoints(ticks_); }

private:
    void Finish(core::HorseRec& horse, core::Game& game, core::Notices& notices, int points);

    bool running_ = false;
    std::int32_t ticks_ = 0;
    std::string keysTag_;
    int keysPicture_ = kKeysIdlePicture;
    float left_ = kExerciseStartLeft;
};

}  // namespace development
