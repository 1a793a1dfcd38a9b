#include "development/Exercises.h"

#include <array>

#include "core/Horses.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace development {

using runtime::Round;

namespace {

int PointsFor(std::int32_t ticks, const std::array<std::int32_t, 5>& steps) {
    static constexpr std::array<int, 5> kAdd = {5, 4, 3, 2, 1};
    int points = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (ticks < steps[i]) points += kAdd[i];
    }
    return points;
}

float Moved(float left, std::int64_t by) { return static_cast<float>(static_cast<double>(left) + static_cast<double>(by)); }

std::int32_t Raised(std::int32_t stat, int points) {
    return runtime::SaturateLong(static_cast<std::int64_t>(stat) + points);
}

// A count at its 32-bit limit cannot take another second.
bool CountSecond(std::int32_t& ticks) {
    if (ticks == INT32_MAX) return false;
    ++ticks;
    return true;
}

}  // namespace

int SpeedPoints(std::int32_t ticks) { return PointsFor(ticks, {12, 24, 36, 48, 60}); }
int StaminaPoints(std::int32_t ticks) { return PointsFor(ticks, {10, 20, 30, 40, 50}); }

std::string DistanceCaption(std::int32_t stat) {
    const double metres = Round(static_cast<double>(stat) / 3.0 * 20.0) + 10.0;
    return runtime::NumberText(metres) + "m";
}

void SpeedExercise::SetUp() {
    running_ = false;
    left_ = kExerciseStartLeft;
}

StartResult SpeedExercise::Start(const core::HorseRec& horse, core::Notices& notices) {
    if (horse.Speed > kMaxTrainableRating) {
        notices.ShowNotice(kTooGoodToTrain);
        return StartResult::TooGood;
    }
    running_ = true;
    ticks_ = 0;
    return StartResult::Started;
}

ExerciseStep SpeedExercise::Click(int index, core::HorseRec& horse, core::Game& game, core::Notices& notices) {
    ExerciseStep step;
    if (!running_) return step;
    if (index == red_) {
        red_ = static_cast<int>(Round(game.Rnd() * 8.0f));
        left_ = Moved(left_, 200 - static_cast<std::int64_t>(horse.Speed));
        step.moved = true;
    }
    if (left_ >= kExerciseFinishLeft) {
        const int points = SpeedPoints(ticks_);
        horse.Speed = Raised(horse.Speed, points);
        horse.RRP = core::HorsePrice(horse, game.Random());
        notices.ShowNotice("You have earned " + runtime::NumberText(static_cast<std::int32_t>(points)) + " points.");
        running_ = false;
        left_ = kExerciseStartLeft;
        step.finishedWith = points;
    }
    return step;
}

bool SpeedExercise::Tick(core::Notices& notices) {
    if (!running_) return true;
    if (CountSecond(ticks_)) return true;
    notices.ShowNotice(kTakenTooLong);
    running_ = false;
    return false;
}

void StaminaExercise::SetUp() {
    running_ = false;
    left_ = kExerciseStartLeft;
    keysPicture_ = kKeysIdlePicture;
}

StartResult StaminaExercise::Start(const core::HorseRec& horse) {
    if (horse.Stamina > kMaxTrainableRating) return StartResult::TooGood;
    running_ = true;
    keysPicture_ = kKeysLeftPicture;
    keysTag_ = "LEFT";
    ticks_ = 0;
    return StartResult::Started;
}

ExerciseStep StaminaExercise::KeyDown(std::int16_t keyCode, core::HorseRec& horse, core::Game& game,
                                      core::Notices& notices) {
    ExerciseStep step;
    if (!running_) return step;
    if (keysTag_ == "LEFT" && keyCode == kLeftArrow) {
        left_ = Moved(left_, 10);
        keysTag_ = "RIGHT";
        keysPicture_ = kKeysRightPicture;
        step.moved = true;
    }
    if (keyCode == kRightArrow && keysTag_ == "RIGHT") {
        left_ = Moved(left_, 125 - static_cast<std::int64_t>(horse.Stamina));
        keysTag_ = "LEFT";
        keysPicture_ = kKeysLeftPicture;
        step.moved = true;
    }
    if (left_ >= kExerciseFinishLeft) {
        const int points = StaminaPoints(ticks_);
        Finish(horse, game, notices, points);
        step.finishedWith = points;
    }
    return step;
}

void StaminaExercise::Finish(core::HorseRec& horse, core::Game& game, core::Notices& notices, int points) {
    horse.Stamina = Raised(horse.Stamina, points);
    horse.RRP = core::HorsePrice(horse, game.Random());
    notices.ShowNotice("You have gained " + runtime::NumberText(static_cast<std::int32_t>(points)) + " points.");
    running_ = false;
    left_ = kExerciseStartLeft;
    keysPicture_ = kKeysIdlePicture;
}

bool StaminaExercise::Tick(core::Notices& notices) {
    if (!running_) return true;
    if (CountSecond(ticks_)) return true;
    notices.ShowNotice(kTakenTooLong);
    running_ = false;
    keysPicture_ = kKeysIdlePicture;
    return false;
}

}  // namespace development
