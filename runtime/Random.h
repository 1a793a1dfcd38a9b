#pragma once

#include <cstdint>

namespace runtime {

// The game's random source: single-precision fractions r with 0 <= r < 1,
// each a multiple of 2^-24 (never 1.0).
//
// A random whole number 0..N is Round(r * N) with the product formed in
// single precision: write it `Round(rnd.Rnd() * float(N))`, so that
// 0.185... * 100 rounds as the float product does (18.5 -> 18), not as the
// slightly different double product would.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual float Rnd() = 0;
    // Reseeds from the clock.
    virtual void Randomize() = 0;
};

// The classic 24-bit linear congruential generator of the original runtime,
// seeded the same way, so a scripted seed gives the sequence players knew.
class LcgRandom final : public RandomSource {
public:
    LcgRandom() = default;
    explicit LcgRandom(std::uint32_t seed) : seed_(seed & 0xFFFFFFu) {}

    float Rnd() override;
    void Randomize() override;
    // Mixes a number into the seed as the original Randomize n did.
    void Randomize(double number);

    std::uint32_t Seed() const noexcept { return seed_; }

private:
    std::uint32_t seed_ = 0x50000u;
};

// Seconds since local midnight, as a single-precision number (the clock the
// original Randomize read).
float SecondsSinceMidnight();

}  // namespace runtime
