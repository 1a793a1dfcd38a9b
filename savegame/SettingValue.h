#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

// The values the settings store takes and hands back. A value written is
// turned into its ordinary text; a value read is converted to the type of the
// variable that receives it. Both ways are independent of the locale: "." is
// the decimal point, and fractions read into whole numbers round ties to even.
namespace savegame {

class SettingValue {
public:
    // No value (an omitted default): reads as "", 0 or False.
    SettingValue() = default;
    SettingValue(const char* text) : value_(std::string(text)) {}
    SettingValue(std::string_view text) : value_(std::string(text)) {}
    SettingValue(std::string text) : value_(std::move(text)) {}
    SettingValue(bool value) : value_(value) {}
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    SettingValue(T value) : value_(static_cast<std::int64_t>(value)) {}
    SettingValue(double value) : value_(value) {}
    SettingValue(float value) : value_(value) {}

    // The text the store writes: whole numbers in decimal with "-" when
    // negative, fractions as runtime::NumberText gives them, "True" or
    // "False", text as it is, and "" for no value.
    std::string Text() const;

    using Variant = std::variant<std::monostate, std::string, std::int64_t, double, float, bool>;
    const Variant& Get() const { return value_; }

private:
    Variant value_;
};

// The variable a read value goes into.
class SettingReceiver {
public:
    SettingReceiver(std::string& target) : target_(&target) {}
    SettingReceiver(bool& target) : target_(&target) {}
    SettingReceiver(std::int16_t& target) : target_(&target) {}
    SettingReceiver(std::int32_t& target) : target_(&target) {}
    SettingReceiver(float& target) : target_(&target) {}
    SettingReceiver(double& target) : target_(&target) {}

    bool IsText() const { return std::holds_alternative<std::string*>(target_); }

    using Variant = std::variant<std::string*, bool*, std::int16_t*, std::int32_t*, float*, double*>;
    const Variant& Get() const { return target_; }

private:
    Variant target_;
};

// Converts `value` to the receiver's type and stores it there; false, with
// the receiver untouched, when it does not convert (a text that is no
// number, a number out of the receiver's range).
//
// Text to a number accepts what runtime::ParseNumber accepts, and also one
// "," in place of the decimal point (as a copy of the game running with a
// "," locale wrote fractions). Text to a truth value accepts "True" and
// "False" in any case, or a number (0 is False). Truth values become -1 and
// 0 as numbers.
bool ConvertSetting(const SettingValue& value, SettingReceiver receiver);

}  // namespace savegame
