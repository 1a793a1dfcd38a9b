#include "runtime/Rounding.h"

#include <cfenv>
#include <cmath>

#include "runtime/Error.h"

namespace runtime {

double Round(double x) noexcept {
    // nearbyint honours the current rounding mode, which is round-to-nearest-
    // even unless someone changed it; make sure nobody did.
    if (std::fegetround() != FE_TONEAREST) std::fesetround(FE_TONEAREST);
    return std::nearbyint(x);
}

namespace {
[[noreturn]] void Overflow() { throw Error(kErrOverflow, "", "Overflow"); }
}  // namespace

std::int32_t CLng(double x) {
    const double r = Round(x);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) Overflow();
    return static_cast<std::int32_t>(r);
}

std::int16_t CInt(double x) {
    const double r = Round(x);
    if (!(r >= -32768.0 && r <= 32767.0)) Overflow();
    return static_cast<std::int16_t>(r);
}

std::int32_t SaturateLong(double x) noexcept {
    if (std::isnan(x)) return 0;
    const double r = Round(x);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(r);
}

std::int16_t SaturateInt(double x) noexcept {
    if (std::isnan(x)) return 0;
    const double r = Round(x);
    if (r >= 32767.0) return INT16_MAX;
    if (r <= -32768.0) return INT16_MIN;
    return static_cast<std::int16_t>(r);
}

double Int(double x) noexcept { return std::floor(x); }

}  // namespace runtime
