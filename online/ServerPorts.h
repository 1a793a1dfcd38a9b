#pragma once

// Every TCP port the network game uses, in one place. The game listens only
// on the LAN race's port; it connects to its online-services server on the
// other four, and our server (trotwick-server) listens on them.
namespace online {

inline constexpr int kLanRacePort = 5989;      // a LAN race's host
inline constexpr int kLiveUpdatePort = 2094;   // the version check
inline constexpr int kFileTransferPort = 7812; // the patch download
inline constexpr int kLeaderBoardPort = 5917;  // the leader's board
inline constexpr int kChatPort = 3113;         // the chat

}  // namespace online
