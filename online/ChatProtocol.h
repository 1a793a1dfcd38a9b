#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "online/MessageReader.h"
#include "online/ServerPorts.h"

// The chat: the main window keeps one connection to the online-services
// server (port 3113). The game sends chat lines and the request for the list
// of players; the server sends any text, which the game appends to its chat
// log as it stands. The game never shows its own lines itself: the log shows
// what the server sends back.
namespace online::chat {

// --- Game to server -------------------------------------------------------

// user & " [" & time & "]:" & CR LF & line & CR LF
struct ChatLine {
    std::string user;
    std::string time;  // the time of day as the sender's machine writes it
    std::string line;
    bool operator==(const ChatLine&) const = default;
};
// "LIST0": who is in the chat. The answer is ordinary server text.
struct ListRequest {
    bool operator==(const ListRequest&) const = default;
};

using GameMessage = std::variant<ChatLine, ListRequest>;

std::string Format(const GameMessage& message);

// The longest line (characters, one byte each) that a server relays: it
// drops a longer one for every player, the sender too. The chat window's
// input line takes no more than this.
inline constexpr std::size_t kMaxLine = 4096;

// What the player typed, as one chat line: a line break inside it would end
// the line early on the wire and lose the rest (or pass the rest off as a
// line of its own), so each CR or LF becomes a blank.
std::string OneLine(std::string_view typed);

// What a whole message from a game is (the server's side). A chat line's
// user is everything before its last " [" in the stamp, so a name may hold
// brackets. Nothing for anything else.
std::optional<GameMessage> RecogniseGameMessage(std::string_view text);

// Cuts a game's byte stream into chat lines and list requests. A chat line
// ends at the CR LF after its stamp's "]:" CR LF; "LIST0" at the front is a
// list request (so a user whose name begins "LIST0" reads as a request and a
// line). Bytes that make no message within the reader's limits are skipped.
const Grammar& GameToServerGrammar();

// --- Server to game -------------------------------------------------------

// The server's answer to "LIST0", one text: a heading with the count, then
// one name per line, each line ending in CR LF like a chat line:
//   "In the chat (2):" CR LF "jenny" CR LF "bob" CR LF
// A CR or LF inside a name is written as a blank, so no name can add lines
// of its own to the players' logs.
std::string PlayerList(const std::vector<std::string>& names);

// The server's texts have no shape and no end mark: what arrives in one
// burst (pieces with less than the idle gap between them) is one text, so a
// text that TCP split is still appended as one. A long burst is handed out
// at a line end once it has grown past kBurstLimit, so nothing waits for
// ever and the reader's cap is never reached.
const Grammar& ServerToGameGrammar();
inline constexpr std::size_t kBurstLimit = 16 * 1024;
// Longest stamp (user, time) a server reads; the longest line is kMaxLine.
inline constexpr std::size_t kMaxStamp = 512;

// --- The chat log ---------------------------------------------------------

// The log as the chat window first shows it.
inline constexpr std::string_view kLogDesignText =
    ".:BramChat:.\r\nPublic Talking Comunity\r\n- - - - - - - - - - - - - - - - - \r\n";

// The chat window's log: each text from the server is appended after a
// CR LF. Only the newest kLogCap bytes are kept, cut at the start of a line,
// so a chatty server cannot make the game slow or hungry.
class ChatLog {
public:
    static constexpr std::size_t kLogCap = 64 * 1024;

    explicit ChatLog(std::size_t cap = kLogCap);

    // What one append did to the log, so a text box can follow it without
    // being rewritten whole: `removed` went from the front, `appended` came
    // at the end.
    struct Change {
        std::string removed;
        std::string appended;
    };
    Change Append(std::string_view serverText);

    const std::string& Text() const { return text_; }

private:
    std::string text_;
    std::size_t cap_;
};

}  // namespace online::chat
