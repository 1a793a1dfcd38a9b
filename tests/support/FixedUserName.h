#pragma once

#include <optional>
#include <string>

#include "platform/UserName.h"

namespace testing_support {

// A player whose name is always the same.
class FixedUserName final : public platform::UserNameSource {
public:
    explicit FixedUserName(std::string name) : name_(std::move(name)) {}
    std::optional<std::string> Query() override { return name_; }

private:
    std::string name_;
};

}  // namespace testing_support
