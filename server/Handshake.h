#pragma once

#include <optional>
#include <string>

// The version check's rules on the server's side, free of sockets: what a
// copy's answer to "VERSION:" says, for the log and for the list of players.
namespace server {

struct Handshake {
    std::string log;                  // the line for the log
    std::optional<std::string> user;  // the name the copy gave, when it answered
};

Handshake ReadHandshake(const std::string& message);

}  // namespace server
