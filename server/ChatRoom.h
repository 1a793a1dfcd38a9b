#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "server/PlayerDirectory.h"

// The chat's rules, free of sockets: every text a player sends goes to
// every player in the chat, the sender too (the game shows its own lines
// only when they come back); "LIST0" is answered to the asker alone with
// the names of the players in the chat.
namespace server {

class ChatRoom {
public:
    explicit ChatRoom(const PlayerDirectory* directory = nullptr) : directory_(directory) {}

    // Joining twice changes nothing.
    void Join(std::uint64_t member, const std::string& address);
    void Leave(std::uint64_t member);

    struct Reply {
        enum class To { Everyone, Sender };
        To to = To::Everyone;
        std::string text;
    };
    // What a whole message from a member makes the server send.
    Reply Received(std::uint64_t member, const std::string& message);

    // Each member's name, in the order they joined: the user of their
    // latest chat line; before it, the name their machine gave in the live
    // update's handshake; otherwise their address.
    std::vector<std::string> Names() const;
    std::size_t Size() const { return members_.size(); }

private:
    struct Member {
        std::string address;
        std::optional<std::string> name;
    };

    const PlayerDirectory* directory_;
    std::map<std::uint64_t, Member> members_;  // ids grow as members come
};

}  // namespace server
