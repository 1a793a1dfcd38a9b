#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "online/Brambly.h"
#include "online/MessageReader.h"
#include "online/ServerPorts.h"

// The leader's board: the game asks the online-services server for its top
// player and submits the player's own record, on one TCP connection per
// opening of the board (port 5917). Records travel as score codes. Each
// message is a plain text, sent as it stands: the servers read exactly these
// texts.
namespace online::leaderboard {

// --- Game to server -------------------------------------------------------

// "LEADER?" & user name: asked once, as soon as the connection is up.
struct TopPlayerQuery {
    std::string name;
    bool operator==(const TopPlayerQuery&) const = default;
};
// "SCORE:" & score code: the player's own record. No answer is expected.
struct ScoreSubmission {
    std::string code;
    bool operator==(const ScoreSubmission&) const = default;
};

using GameMessage = std::variant<TopPlayerQuery, ScoreSubmission>;

// --- Server to game -------------------------------------------------------

// "LEADER:" & score code: the top player's record.
struct TopPlayer {
    std::string code;
    bool operator==(const TopPlayer&) const = default;
};

using ServerMessage = std::variant<TopPlayer>;

std::string Format(const GameMessage& message);
std::string Format(const ServerMessage& message);

// What a whole message is, as its receiver tells it: keywords are compared
// exactly, in capitals. Nothing for a text that is no message of the
// direction. The code is handed on as it came; reading it is the receiver's.
std::optional<GameMessage> RecogniseGameMessage(std::string_view text);
std::optional<ServerMessage> RecogniseServerMessage(std::string_view text);

// The grammars that cut each direction's byte stream into messages.
const Grammar& GameToServerGrammar();
const Grammar& ServerToGameGrammar();

// The "SCORE:" message for a record.
std::string ScoreMessage(const ScoreRecord& record);
// The "LEADER:" message for a record (what a server answers).
std::string TopPlayerMessage(const ScoreRecord& record);

// --- The game's side of one connection ------------------------------------

// The game's view of its connection to the board.
enum class LinkState {
    Closed,      // never opened, refused, lost or closed
    Connecting,  // the connection is being made
    Connected,   // "LEADER?" has gone out; the board may answer and take a score
};

// What became of the score the player submitted last.
enum class Submission {
    None,     // nothing was submitted, or it was told already
    Sent,     // handed whole to the system (not: received by the server)
    NotSent,  // the connection ended before it went out
};

// The rules of the game's connection to the board, free of sockets: what to
// send when, and which answers to take. The window feeds it the socket's
// events and the messages its reader cut, and shows what it reports. The
// window reconnects while it is open, so a closed link is one waiting to be
// made again.
class BoardSession {
public:
    LinkState State() const { return state_; }

    void Connecting() { state_ = LinkState::Connecting; }
    // The connection is up: the question to send at once.
    std::string Connected(std::string_view userName);
    // The connection is lost, refused or closed; a score still on its way
    // was not sent.
    Submission Closed();

    // A whole message from the server. The top player to show when it is a
    // "LEADER:" whose code reads to all five fields while connected;
    // nothing for anything else (it is ignored, and counted).
    std::optional<ScoreRecord> Received(std::string_view message);

    // "Submit My Score": the message to send, or nothing when the board is
    // not connected (the player is told so, nothing is sent).
    std::optional<std::string> Submit(const ScoreRecord& mine);
    // Everything given to the connection has been handed to the system: a
    // score on its way was sent, as far as the game can tell (the server
    // does not confirm it).
    Submission SendDone();

    // Messages from the server that were not a readable top player.
    std::uint64_t Ignored() const { return ignored_; }

private:
    LinkState state_ = LinkState::Closed;
    bool submitting_ = false;
    std::uint64_t ignored_ = 0;
};

// The window's caption: "Connecting..." while the connection is being made,
// and while a lost one waits to be made again (when there is a server to
// make it with).
std::string Caption(LinkState state, bool serverSet);

inline constexpr std::string_view kCaption = "Leader's Board";
inline constexpr std::string_view kConnectingCaption = "Leader's Board - Connecting...";

// The window's status line.
inline constexpr std::string_view kConnectingStatus = "Connecting...";
inline constexpr std::string_view kNoServerStatus = "Not connected: no server is set (Game > \"Live Update Settings\").";
inline constexpr std::string_view kScoreSentStatus = "Score sent.";
inline constexpr std::string_view kScoreNotSentStatus = "Score not sent: the connection to the server was lost.";

}  // namespace online::leaderboard
