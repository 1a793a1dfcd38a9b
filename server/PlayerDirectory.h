#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

// The names players gave in the live update's handshake, by the address
// their copy connected from, while that connection lasts. The chat's list
// of players names a player by it before they have said anything.
namespace server {

class PlayerDirectory {
public:
    void Remember(std::uint64_t connection, const std::string& address, const std::string& name) {
        entries_[connection] = {address, name};
    }
    void Forget(std::uint64_t connection) { entries_.erase(connection); }

    // The one name given from `address`; nothing when none was, or when
    // copies there gave different names.
    std::optional<std::string> NameAt(const std::string& address) const {
        std::optional<std::string> found;
        for (const auto& [connection, entry] : entries_) {
            if (entry.first != address) continue;
            if (found && *found != entry.second) return std::nullopt;
            found = entry.second;
        }
        return found;
    }

private:
    std::map<std::uint64_t, std::pair<std::string, std::string>> entries_;
};

}  // namespace server
