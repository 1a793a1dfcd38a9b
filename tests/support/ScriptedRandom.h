#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "runtime/Random.h"

namespace testing_support {

// A random source that returns the draws a test scripted, in order, and
// counts them. Running out of script is a test failure (and returns 0).
class ScriptedRandom final : public runtime::RandomSource {
public:
    ScriptedRandom() = default;
    ScriptedRandom(std::initializer_list<float> draws) : draws_(draws) {}

    void Push(float draw) { draws_.push_back(draw); }
    void Push(std::initializer_list<float> draws) { draws_.insert(draws_.end(), draws); }
    // Repeats one draw for every further call once the script is used up.
    void RepeatWhenEmpty(float draw) { fallback_ = draw, hasFallback_ = true; }

    float Rnd() override;
    void Randomize() override { ++randomizeCalls_; }

    std::size_t Used() const { return next_; }
    std::size_t Remaining() const { return draws_.size() - next_; }
    int RandomizeCalls() const { return randomizeCalls_; }

    // The fraction whose product with n is exactly `value` in single
    // precision where that exists (for scripting "Round(r * n) = value").
    static float For(int value, int n) { return static_cast<float>(value) / static_cast<float>(n); }

private:
    std::vector<float> draws_;
    std::size_t next_ = 0;
    float fallback_ = 0.0f;
    bool hasFallback_ = false;
    int randomizeCalls_ = 0;
};

}  // namespace testing_support
