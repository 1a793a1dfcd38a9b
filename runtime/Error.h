#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace runtime {

// A run-time error as the game reports it: a number, the place that raised it
// ("CSocketEngine.Connect") and a text for the player.
class Error : public std::runtime_error {
public:
    Error(std::int32_t number, std::string source, std::string description)
        : std::runtime_error(description), number_(number), source_(std::move(source)),
          description_(std::move(description)) {}

    std::int32_t Number() const noexcept { return number_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }

private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

// Error numbers of the language runtime that the game can meet.
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrTypeMismatch = 13;

}  // namespace runtime
