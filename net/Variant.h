#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The values the socket library's Variant-typed members take and give back.
//
// A Variant holds one of the value types below; which one it holds is its
// type code (VarType), the number the socket members work with:
//
//   Empty 0, Null 1, Integer 2 (std::int16_t), Long 3 (std::int32_t),
//   Single 4 (float), Double 5 (double), Currency 6, Date 7,
//   String 8 (std::string, bytes), Boolean 11 (bool), Byte 17 (std::uint8_t),
//   array of Byte 8209 (Bytes).
//
// Build one from a plain value: `Variant v = 5989;` holds a Long,
// `Variant v = std::string("HELLO");` a String, `Variant v = std::int16_t{-2};`
// an Integer. An optional argument that is not passed is std::nullopt (input
// only) or a null pointer (arguments the member writes back to, such as
// GetData's varType and maxLen); an Empty Variant is a passed argument that
// holds nothing.
namespace net {

struct Empty {
    friend bool operator==(Empty, Empty) = default;
};
struct Null {
    friend bool operator==(Null, Null) = default;
};
// An amount of money kept as a whole number of ten-thousandths.
struct Currency {
    std::int64_t scaled = 0;
    friend bool operator==(Currency, Currency) = default;
};
// A date as days since 30 December 1899, the fraction being the time of day.
struct Date {
    double days = 0.0;
    friend bool operator==(Date, Date) = default;
};
using Bytes = std::vector<std::uint8_t>;

using Variant = std::variant<Empty, Null, std::int16_t, std::int32_t, float, double, Currency, Date, std::string, bool,
                             std::uint8_t, Bytes>;

// Type codes.
inline constexpr std::int32_t vbEmpty = 0;
inline constexpr std::int32_t vbNull = 1;
inline constexpr std::int32_t vbInteger = 2;
inline constexpr std::int32_t vbLong = 3;
inline constexpr std::int32_t vbSingle = 4;
inline constexpr std::int32_t vbDouble = 5;
inline constexpr std::int32_t vbCurrency = 6;
inline constexpr std::int32_t vbDate = 7;
inline constexpr std::int32_t vbString = 8;
inline constexpr std::int32_t vbBoolean = 11;
inline constexpr std::int32_t vbByte = 17;
inline constexpr std::int32_t vbByteArray = 8209;

std::int32_t VarType(const Variant& v);
bool IsEmpty(const Variant& v);

// Whether the value counts as a number: every numeric type, Boolean and
// Empty do; a String does when its whole text is a number; Null, Date and
// byte arrays do not.
bool IsNumeric(const Variant& v);
// The value as a number (Empty 0, True -1); nothing when it is not numeric.
std::optional<double> NumberOf(const Variant& v);

// The value as text: a String as it is, Empty and Null as "", numbers in
// their ordinary text ("2500.5"), Boolean "True" or "False", a Date as its
// day number, a byte array as its bytes.
std::string TextOf(const Variant& v);

// The bytes that stand for a value on the wire (numbers little-endian,
// Boolean as 16 bits, True FF FF); nothing for Empty and Null.
std::optional<std::string> WireBytes(const Variant& v);

// The number of bytes a fixed-size type takes (Boolean 2, Byte 1, Currency
// 8, Date 8, Double 8, Integer 2, Long 4, Single 4); 0 for other types.
std::size_t FixedSize(std::int32_t type);

// A value of a fixed-size type read from exactly FixedSize(type) bytes.
Variant FromWireBytes(std::int32_t type, std::string_view bytes);

}  // namespace net
