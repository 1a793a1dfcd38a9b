#include "core/TreeKeys.h"

#include "runtime/Numbers.h"

namespace core {

std::string HorseKey(std::int32_t sex, int index) {
    return std::string(sex == kMale ? kStudPrefix : kMarePrefix) + runtime::NumberText(static_cast<std::int64_t>(index));
}

std::string HorseKey(const HorseRec& horse, int index) { return HorseKey(horse.Sex, index); }

std::string KeyWithIndex(std::string_view key, int index) {
    return std::string(key.substr(0, 4)) + runtime::NumberText(static_cast<std::int64_t>(index));
}

std::optional<int> KeyIndex(std::string_view key, int slots) {
    if (key.size() <= 4) return std::nullopt;
    const std::string_view digits = key.substr(4);
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    const auto value = runtime::ParseLong(digits);
    if (!value || *value < 0 || *value >= slots) return std::nullopt;
    return *value;
}

}  // namespace core
