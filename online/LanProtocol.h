#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "online/MessageReader.h"
#include "online/ServerPorts.h"

// The messages of a LAN race between a host and up to four joined players,
// on one TCP connection per player (port 5989). Each is a plain text, sent as
// it stands: other copies of the game read exactly these texts.
//
// Slots 1 to 5 (1 is the host) travel as one digit, always the message's
// last character. Amounts travel as plain number text with "." and are read
// with "." or ",".
namespace online::lan {

inline constexpr int kLanPort = kLanRacePort;
inline constexpr int kSlots = 5;
// A slot that was no digit 0 to 9 on the wire.
inline constexpr int kNoSlot = -1;

// --- What both sides show -------------------------------------------------

// Every picture starts a race at core::kStartLine; a horse has finished once
// it reaches the finish line (twips).
inline constexpr std::int16_t kLanFinish = 9600;
// The race screens' title.
inline constexpr const char* kRaceTitle = "Canterloo Zircona - LAN Battle!";
// The race screens' result line.
inline constexpr const char* kWonNothing = "YOU HAVE WON NOTHING!!!";
inline constexpr const char* kRaceIsOn = "The Race Is On...";
inline constexpr const char* kYouHaveWon = "YOU HAVE WON ";
inline constexpr const char* kYouHaveLost = "YOU HAVE LOST ";
// Refused while a race is on: nothing that ends the game before its result.
inline constexpr const char* kRaceStillRunning = "Wait until the LAN race has been paid out!";

// "Packet Frequency": 30 sends a race frame at every tick, 0 at every 31st.
inline constexpr int kMaxPacketFrequency = 30;

// The longest a racing host may say nothing before its players give the
// race up and take their stakes back (see the host's payout waits, which
// stay well inside it).
inline constexpr int kLongestRaceSilenceMs = 15000;

// One more race won or lost in a player's record; the record stops at the
// largest whole number instead of running over.
inline void CountRace(std::int32_t& tally) {
    if (tally < INT32_MAX) ++tally;
}

// --- Host to player -------------------------------------------------------

// "PARTICIPANT?" & charge
struct Invitation { double charge; bool operator==(const Invitation&) const = default; };
// "FULL!"
struct GameFull { bool operator==(const GameFull&) const = default; };
// "HORSE?"
struct HorseRequest { bool operator==(const HorseRequest&) const = default; };
// "ACCEPTED!"
struct Accepted { bool operator==(const Accepted&) const = default; };
// "REFRESH!"
struct Refresh { bool operator==(const Refresh&) const = default; };
// "PLAYER>" & name & n
struct PlayerAnswer { std::string name; int slot; bool operator==(const PlayerAnswer&) const = default; };
// "UNEXISTENT>" & n
struct NoPlayer { int slot; bool operator==(const NoPlayer&) const = default; };
// "HORSE>" & horse code & n
struct RosterHorse { std::string code; int slot; bool operator==(const RosterHorse&) const = default; };
// "DEAD>" & n
struct NoHorse { int slot; bool operator==(const NoHorse&) const = default; };
// "START!" & pot
struct StartRace { double pot; bool operator==(const StartRace&) const = default; };
// "H1" & x1 & ":H2" & x2 & ... ":H5" & x5 & ":": the five pictures' places
// in twips. A field that could not be read is empty.
struct RaceFrame { std::array<std::optional<float>, kSlots> x; bool operator==(const RaceFrame&) const = default; };
// "WIN:" & pot, or "WIN:NO" (no amount).
struct Result { std::optional<double> amount; bool operator==(const Result&) const = default; };

using HostMessage = std::variant<Invitation, GameFull, HorseRequest, Accepted, Refresh, PlayerAnswer, NoPlayer,
                                 RosterHorse, NoHorse, StartRace, RaceFrame, Result>;

// --- Player to host -------------------------------------------------------

// "YES>" & user name
struct Acceptance { std::string name; bool operator==(const Acceptance&) const = default; };
// "HORSE>" & horse code
struct HorseOffer { std::string code; bool operator==(const HorseOffer&) const = default; };
// "PLAYER?" & n
struct PlayerQuery { int slot; bool operator==(const PlayerQuery&) const = default; };
// "HORSE?" & n
struct HorseQuery { int slot; bool operator==(const HorseQuery&) const = default; };
// "DROPOUT!"
struct DropOut { bool operator==(const DropOut&) const = default; };

using PlayerMessage = std::variant<Acceptance, HorseOffer, PlayerQuery, HorseQuery, DropOut>;

// The text of a message. Amounts that are not numbers (NaN) are written as
// the game writes them; callers send only finite ones.
std::string Format(const HostMessage& message);
std::string Format(const PlayerMessage& message);

// What a whole message is, as its receiver tells it. A number that cannot be
// read comes out as NaN (amounts) or empty (frame fields), a slot that is no
// digit as kNoSlot; the receiver decides what to do with them. Nothing for a
// text that is no message of the direction.
//
// On the host the tests run in the order "YES>", "HORSE>", "HORSE?",
// "PLAYER?", "DROPOUT!" and the first that matches decides. A joined player
// tests every rule in turn, but no whole message can pass two of them, so
// the first rule that matches is the only one.
std::optional<HostMessage> RecogniseHostMessage(std::string_view text);
std::optional<PlayerMessage> RecognisePlayerMessage(std::string_view text);

// The grammars that cut each direction's byte stream into messages.
const Grammar& HostToPlayerGrammar();
const Grammar& PlayerToHostGrammar();

}  // namespace online::lan
