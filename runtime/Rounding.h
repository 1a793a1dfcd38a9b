#pragma once

#include <cstdint>

// Conversions to whole numbers. Every one rounds to the nearest whole number
// with ties to even (2.5 -> 2, 3.5 -> 4), as the game always has.
namespace runtime {

// Nearest whole number, ties to even; the result stays a double.
double Round(double x) noexcept;

// Single-precision variant: the argument was formed in float arithmetic
// (for example `rnd * 100.0f`), and rounding it must not widen it first.
inline double Round(float x) noexcept { return Round(static_cast<double>(x)); }

// Signed 32-bit conversion; raises Error 6 "Overflow" outside the range
// (and for NaN).
std::int32_t CLng(double x);
// Signed 16-bit conversion; raises Error 6 "Overflow" outside the range.
std::int16_t CInt(double x);

// Saturating conversions for values that must never stop the game: out of
// range goes to the nearest limit, NaN to 0.
std::int32_t SaturateLong(double x) noexcept;
std::int16_t SaturateInt(double x) noexcept;

// Truncating sums and products kept in range: computed wide, then clamped.
inline std::int32_t SaturateLong(std::int64_t x) noexcept {
    if (x > INT32_MAX) return INT32_MAX;
    if (x < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(x);
}
inline std::int16_t SaturateInt(std::int64_t x) noexcept {
    if (x > INT16_MAX) return INT16_MAX;
    if (x < INT16_MIN) return INT16_MIN;
    return static_cast<std::int16_t>(x);
}

// Int(): the largest whole number not above x.
double Int(double x) noexcept;

}  // namespace runtime
