#pragma once

#include <optional>
#include <string>

namespace platform {

// Where the player's name comes from: the system's user database. Tests put
// a fake in its place.
class UserNameSource {
public:
    virtual ~UserNameSource() = default;
    // The name of the user running the game (game text), or nothing when the
    // query fails.
    virtual std::optional<std::string> Query() = 0;
};

class SystemUserName final : public UserNameSource {
public:
    std::optional<std::string> Query() override;
};

}  // namespace platform
