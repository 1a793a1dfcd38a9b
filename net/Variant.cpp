#include "net/Variant.h"

#include <bit>
#include <cstring>
#include <type_traits>

#include "runtime/Numbers.h"

namespace net {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// Numbers travel in the machine's little-endian layout, as on the original
// platform; this build runs on little-endian machines only.
static_assert(std::endian::native == std::endian::little);

template <class T>
std::string RawBytes(T value) {
    std::string out(sizeof value, '\0');
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

template <class T>
T FromRaw(std::string_view bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

}  // namespace

std::int32_t VarType(const Variant& v) {
    static constexpr std::int32_t kCodes[] = {vbEmpty,    vbNull, vbInteger, vbLong,    vbSingle, vbDouble,
                                              vbCurrency, vbDate, vbString,  vbBoolean, vbByte,   vbByteArray};
    static_assert(std::size(kCodes) == std::variant_size_v<Variant>);
    return kCodes[v.index()];
}

bool IsEmpty(const Variant& v) { return std::holds_alternative<Empty>(v); }

std::optional<double> NumberOf(const Variant& v) {
    return std::visit(Overloaded{
                          [](Empty) -> std::optional<double> { return 0.0; },
                          [](Null) -> std::optional<double> { return std::nullopt; },
                          [](Date) -> std::optional<double> { return std::nullopt; },
                          [](const Bytes&) -> std::optional<double> { return std::nullopt; },
                          [](const std::string& s) -> std::optional<double> { return runtime::ParseNumber(s); },
                          [](bool b) -> std::optional<double> { return b ? -1.0 : 0.0; },
                          [](Currency c) -> std::optional<double> { return static_cast<double>(c.scaled) / 10000.0; },
                          [](auto n) -> std::optional<double> { return static_cast<double>(n); },
                      },
                      v);
}

bool IsNumeric(const Variant& v) { return NumberOf(v).has_value(); }

std::string TextOf(const Variant& v) {
    return std::visit(Overloaded{
                          [](Empty) { return std::string(); },
                          [](Null) { return std::string(); },
                          [](const std::string& s) { return s; },
                          [](const Bytes& b) { return std::string(b.begin(), b.end()); },
                          [](bool b) { return std::string(b ? "True" : "False"); },
                          [](Currency c) { return runtime::NumberText(static_cast<double>(c.scaled) / 10000.0); },
                          [](Date d) { return runtime::NumberText(d.days); },
                          [](float f) { return runtime::NumberText(f); },
                          [](double d) { return runtime::NumberText(d); },
                          [](std::uint8_t b) { return runtime::NumberText(static_cast<std::int64_t>(b)); },
                          [](auto n) { return runtime::NumberText(static_cast<std::int64_t>(n)); },
                      },
                      v);
}

std::optional<std::string> WireBytes(const Variant& v) {
    return std::visit(Overloaded{
                          [](Empty) -> std::optional<std::string> { return std::nullopt; },
                          [](Null) -> std::optional<std::string> { return std::nullopt; },
                          [](const std::string& s) -> std::optional<std::string> { return s; },
                          [](const Bytes& b) -> std::optional<std::string> { return std::string(b.begin(), b.end()); },
                          [](bool b) -> std::optional<std::string> { return RawBytes<std::int16_t>(b ? -1 : 0); },
                          [](Currency c) -> std::optional<std::string> { return RawBytes(c.scaled); },
                          [](Date d) -> std::optional<std::string> { return RawBytes(d.days); },
                          [](auto n) -> std::optional<std::string> { return RawBytes(n); },
                      },
                      v);
}

std::size_t FixedSize(std::int32_t type) {
    switch (type) {
        case vbBoolean: return 2;
        case vbByte: return 1;
        case vbCurrency: return 8;
        case vbDate: return 8;
        case vbDouble: return 8;
        case vbInteger: return 2;
        case vbLong: return 4;
        case vbSingle: return 4;
        default: return 0;
    }
}

Variant FromWireBytes(std::int32_t type, std::string_view bytes) {
    if (FixedSize(type) == 0 || bytes.size() < FixedSize(type)) return Empty{};
    switch (type) {
        case vbBoolean: return FromRaw<std::int16_t>(bytes) != 0;
        case vbByte: return FromRaw<std::uint8_t>(bytes);
        case vbCurrency: return Currency{FromRaw<std::int64_t>(bytes)};
        case vbDate: return Date{FromRaw<double>(bytes)};
        case vbDouble: return FromRaw<double>(bytes);
        case vbInteger: return FromRaw<std::int16_t>(bytes);
        case vbLong: return FromRaw<std::int32_t>(bytes);
        case vbSingle: return FromRaw<float>(bytes);
        default: return Empty{};
    }
}

}  // namespace net
