#include "runtime/Numbers.h"

#include <array>
#include <charconv>
#include <cmath>

#include "runtime/Rounding.h"

namespace runtime {

namespace {

std::string GeneralText(double value, int precision) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0.0) return "0";  // also turns -0 into "0"
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, precision);
    std::string text(buffer.data(), result.ptr);
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Checks the grammar of a decimal number without sign; returns false for
// anything else.
bool IsPlainDecimal(std::string_view s) {
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

// For a text that is out of the double range: true when it is too small
// rather than too large. The decimal exponent of its first significant digit
// decides.
bool IsTiny(std::string_view s) {
    long position = 0;  // exponent of the first significant digit, before the "E" part
    bool seenPoint = false;
    bool found = false;
    long integerDigits = 0;
    long leadingFractionZeros = 0;
    std::size_t i = 0;
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            seenPoint = true;
        } else if (!found && s[i] == '0') {
            if (seenPoint) ++leadingFractionZeros;
        } else {
            if (!found) found = true;
            if (!seenPoint) ++integerDigits;
        }
    }
    position = found && integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1);
    long exponent = 0;
    if (i < s.size()) {
        std::string_view e = s.substr(i + 1);
        bool negative = false;
        if (!e.empty() && (e.front() == '+' || e.front() == '-')) {
            negative = e.front() == '-';
            e.remove_prefix(1);
        }
        for (char c : e) {
            exponent = exponent * 10 + (c - '0');
            if (exponent > 100000000) break;
        }
        if (negative) exponent = -exponent;
    }
    return position + exponent < 0;
}

}  // namespace

std::string NumberText(double value) { return GeneralText(value, 15); }

std::string NumberText(float value) { return GeneralText(static_cast<double>(value), 7); }

std::string NumberText(std::int64_t value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::optional<double> ParseNumber(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!IsPlainDecimal(text)) return std::nullopt;
    double value = 0.0;
    // from_chars does not take a leading "." before digits in every library
    // version; give it a leading zero.
    std::string digits = text.front() == '.' ? "0" + std::string(text) : std::string(text);
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Underflow is a tiny number, which the game reads as 0; overflow is no number.
        if (!IsTiny(digits)) return std::nullopt;
        value = 0.0;
    } else if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
        return std::nullopt;
    }
    if (std::isinf(value)) return std::nullopt;
    return negative ? -value : value;
}

std::optional<double> ParseNumberAcceptingComma(std::string_view text) {
    if (const auto number = ParseNumber(text)) return number;
    const auto comma = text.find(',');
    if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos ||
        text.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string dotted(text);
    dotted[comma] = '.';
    return ParseNumber(dotted);
}

std::optional<std::int32_t> ParseLong(std::string_view text) {
    const auto value = ParseNumber(text);
    if (!value) return std::nullopt;
    const double r = Round(*value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::nullopt;
    return static_cast<std::int32_t>(r);
}

std::optional<std::int16_t> ParseInt(std::string_view text) {
    const auto value = ParseNumber(text);
    if (!value) return std::nullopt;
    const double r = Round(*value);
    if (!(r >= -32768.0 && r <= 32767.0)) return std::nullopt;
    return static_cast<std::int16_t>(r);
}

}  // namespace runtime
