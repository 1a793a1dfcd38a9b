#include "savegame/SettingValue.h"

#include <cmath>
#include <limits>
#include <optional>

#include "runtime/Numbers.h"
#include "runtime/Overloaded.h"
#include "runtime/Rounding.h"
#include "runtime/Text.h"

namespace savegame {

namespace {

std::optional<double> NumberFromText(std::string_view text) { return runtime::ParseNumberAcceptingComma(text); }

std::optional<bool> TruthFromText(std::string_view text) {
    const std::string word = runtime::UpperCase(runtime::Trim(text));
    if (word == "TRUE") return true;
    if (word == "FALSE") return false;
    if (const auto number = NumberFromText(text)) return *number != 0.0;
    return std::nullopt;
}

// Every source as a number, for the numeric receivers; nothing for text that
// is no number.
std::optional<double> AsNumber(const SettingValue::Variant& value) {
    return std::visit(runtime::Overloaded{
                          [](std::monostate) -> std::optional<double> { return 0.0; },
                          [](const std::string& text) { return NumberFromText(text); },
                          [](std::int64_t n) -> std::optional<double> { return static_cast<double>(n); },
                          [](double d) -> std::optional<double> { return d; },
                          [](float f) -> std::optional<double> { return static_cast<double>(f); },
                          [](bool b) -> std::optional<double> { return b ? -1.0 : 0.0; },
                      },
                      value);
}

template <class Whole>
bool StoreWhole(const SettingValue::Variant& value, Whole& target) {
    // Whole numbers go straight across, so that no 64-bit value passes
    // through a double on its way.
    if (const auto* n = std::get_if<std::int64_t>(&value)) {
        if (*n < std::numeric_limits<Whole>::min() || *n > std::numeric_limits<Whole>::max()) return false;
        target = static_cast<Whole>(*n);
        return true;
    }
    const auto number = AsNumber(value);
    if (!number || std::isnan(*number)) return false;
    const double rounded = runtime::Round(*number);
    if (!(rounded >= static_cast<double>(std::numeric_limits<Whole>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<Whole>::max()))) {
        return false;
    }
    target = static_cast<Whole>(rounded);
    return true;
}

}  // namespace

std::string SettingValue::Text() const {
    return std::visit(runtime::Overloaded{
                          [](std::monostate) { return std::string(); },
                          [](const std::string& text) { return text; },
                          [](std::int64_t n) { return runtime::NumberText(n); },
                          [](double d) { return runtime::NumberText(d); },
                          [](float f) { return runtime::NumberText(f); },
                          [](bool b) { return std::string(b ? "True" : "False"); },
                      },
                      value_);
}

bool ConvertSetting(const SettingValue& value, SettingReceiver receiver) {
    const SettingValue::Variant& from = value.Get();
    return std::visit(runtime::Overloaded{
                          [&](std::string* target) {
                              *target = value.Text();
                              return true;
                          },
                          [&](bool* target) {
                              std::optional<bool> truth;
                              if (const auto* text = std::get_if<std::string>(&from)) {
                                  truth = TruthFromText(*text);
                              } else if (const auto number = AsNumber(from)) {
                                  truth = *number != 0.0;
                              }
                              if (!truth) return false;
                              *target = *truth;
                              return true;
                          },
                          [&](std::int16_t* target) { return StoreWhole(from, *target); },
                          [&](std::int32_t* target) { return StoreWhole(from, *target); },
                          [&](float* target) {
                              const auto number = AsNumber(from);
                              if (!number) return false;
                              if (std::isfinite(*number) && std::fabs(*number) > std::numeric_limits<float>::max()) {
                                  return false;
                              }
                              *target = static_cast<float>(*number);
                              return true;
                          },
                          [&](double* target) {
                              const auto number = AsNumber(from);
                              if (!number) return false;
                              *target = *number;
                              return true;
                          },
                      },
                      receiver.Get());
}

}  // namespace savegame
