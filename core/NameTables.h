#pragma once

#include <array>
#include <string_view>

namespace core {

// The two word lists generated horse names are made of ("Happy Beauty").
extern const std::array<std::string_view, 53> kFirstNames;
extern const std::array<std::string_view, 52> kSecondNames;

}  // namespace core
