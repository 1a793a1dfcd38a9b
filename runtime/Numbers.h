#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Number text and number parsing, independent of the user's locale: the
// decimal point is always ".", and no grouping is read or written.
namespace runtime {

// The ordinary text of a number as the game has always written it: up to 15
// significant digits, no trailing zeros, "-0" as "0", and the exponent form
// ("1E+15", "1.5E-07") for very large and very small magnitudes.
std::string NumberText(double value);
// A single-precision number: up to 7 significant digits, otherwise as above.
std::string NumberText(float value);
std::string NumberText(std::int64_t value);
inline std::string NumberText(std::int32_t value) { return NumberText(static_cast<std::int64_t>(value)); }
inline std::string NumberText(std::int16_t value) { return NumberText(static_cast<std::int64_t>(value)); }

// The whole text must be a decimal number: optional blanks around it, an
// optional sign, digits with an optional decimal point, an optional exponent.
// "inf", "nan", hexadecimal and grouping separators are refused, as is a
// value beyond the double range.
std::optional<double> ParseNumber(std::string_view text);

// As ParseNumber, and also a fraction written where "," is the decimal point
// (one "," and no "."): "2500,5" is 2500.5. Files and peers written under a
// comma locale carry that form.
std::optional<double> ParseNumberAcceptingComma(std::string_view text);

// A number that also converts to a signed 32-bit (or 16-bit) whole number,
// rounded ties to even: "2.5" gives 2, "2147483648" is refused.
std::optional<std::int32_t> ParseLong(std::string_view text);
std::optional<std::int16_t> ParseInt(std::string_view text);

}  // namespace runtime
