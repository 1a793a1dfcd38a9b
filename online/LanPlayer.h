#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Game.h"
#include "core/HorseRec.h"
#include "core/Ports.h"
#include "online/LanProtocol.h"

// The joining side of a LAN race, free of windows and sockets: one session
// per connection to a host. It takes what happens (the join, the connection's
// events, the host's messages, the player's refresh) and answers with a
// PlayerReaction: what to send and what the screens show. Every message is
// checked against the session's state in OnMessage and refused there when the
// state does not allow it, so a host never charges the stake twice for a
// race, pays a result nobody raced for, or changes the stake once it is set.
namespace online::lan {

// The status line's texts.
inline constexpr const char* kConnecting = "CONNECTING";
inline constexpr const char* kTransferringData = "TRANSFERRING DATA";
inline constexpr const char* kDisconnected = "DISCONNECTED";
inline constexpr const char* kGameFull = "GAME FULL";
inline constexpr const char* kStakesTooHigh = "STEAKS TOO HIGH";
// No stable horse to offer the host.
inline constexpr const char* kSelectAHorseToJoin = "Select a horse in your stable before joining a LAN game!";

// The longest and shortest wait before a roster refresh that "REFRESH!" asks
// for. A wait of 0 would never tick, and the refresh would be lost.
inline constexpr int kRefreshDelaySpan = 2000;
inline constexpr int kShortestRefreshDelay = 1;

// What a player is told, wherever it looks, when its host's connection ends.
inline constexpr const char* kHostGone = "The LAN game has ended: the connection to its host is gone.";
inline constexpr const char* kHostGoneStakeBack =
    "The LAN race has no result: the connection to its host is gone, and your stake is back.";

// A host whose cable is pulled or whose machine has stopped says nothing,
// and neither does a player waiting in the lobby. So the player's system
// asks a host it has not heard for this many seconds whether it is still
// there, again every few seconds, and gives the connection up once the host
// has been silent (or left what the player sent unacknowledged) for the
// quiet a race allows: the lobby says "DISCONNECTED" about then.
inline constexpr int kHostKeepAliveIdleSeconds = 5;
inline constexpr int kHostKeepAliveIntervalSeconds = 2;
inline constexpr int kHostKeepAliveProbes =
    (kLongestRaceSilenceMs / 1000 - kHostKeepAliveIdleSeconds) / kHostKeepAliveIntervalSeconds;
inline constexpr int kHostSilenceTimeoutMs = kLongestRaceSilenceMs;

// The host answers each roster question at once; a chain whose answer has
// not come in this long is over, so that the next refresh starts afresh.
inline constexpr int kLongestRosterWaitMs = 5000;

enum class PlayerState {
    Idle,                  // no game joined yet
    Connecting,            // the join started; the connection is being made
    AwaitingInvitation,    // connected: the host names its stake first
    AwaitingSlot,          // "YES>" sent: the host asks for the horse, or is full
    AwaitingAcceptance,    // "HORSE>" sent
    InLobby,               // accepted: the roster fills, the race has not begun
    Racing,                // the stake for this race is paid; its result is due
    DroppedOut,            // "DROPOUT!" sent: the host closes the connection
    Ended,                 // the connection is over; the status says why
};

// One player of the host's game as the roster knows it (slot 1 is the host).
struct Contender {
    std::string Name;        // from "PLAYER>"
    bool Used = false;       // the roster holds a horse for the slot
    core::HorseRec Horse;    // from "HORSE>": only the horse code's fields
};

// A race picture as the race screen shows it when the race starts.
struct RunnerView {
    bool Shown = false;
    std::int32_t Coat = 0;  // bitmap number, 101..145 for a readable coat
    std::string Title;      // horse name (player name), "" when hidden
};

using FramePositions = std::array<std::optional<float>, kSlots>;

// What a step of the session asks of its connection and its screens. Only
// what changed is set.
struct PlayerReaction {
    std::vector<std::string> Send;         // messages as they go on the wire
    bool Close = false;                    // we end the connection ourselves
    std::optional<std::string> Status;     // the status line
    std::optional<bool> RefreshEnabled;    // "REFRESH LIST!"
    std::optional<int> RefreshDelayMs;     // start the refresh timer with it
    bool StopRefreshTimer = false;
    bool RosterCleared = false;
    std::vector<int> RosterAdded;          // slots whose roster node to add
    bool RaceSetUp = false;                // put up the race screen afresh
    std::optional<FramePositions> Frame;   // move the race pictures
    std::optional<std::string> Result;     // the race screen's result line
    // Why the game ended, for a player looking elsewhere than the lobby.
    std::optional<std::string> Notice;
    bool MoneyChanged = false;
    bool Refused = false;                  // the message was not allowed now
};

class PlayerSession {
public:
    // `game`: the player's money, record and stable; `stableTree`: the
    // horse offered is the one selected there when the host asks for it;
    // `userName`: asked afresh each time the player's name is sent.
    PlayerSession(core::Game& game, core::Notices& notices, const core::TreeNodes& stableTree,
                  std::function<std::string()> userName);

    PlayerState State() const { return state_; }
    // The charge of the game, set once by the invitation.
    double Stake() const { return stake_; }
    // The pot of the race the stake was paid for.
    double Pot() const { return pot_; }
    const Contender& ContenderAt(int slot) const { return contenders_.at(static_cast<std::size_t>(slot - 1)); }
    bool RefreshRunning() const { return asked_ != Ask::Nothing; }
    bool RefreshPending() const { return refreshPending_; }
    // Host messages refused so far (not allowed in their state, or holding
    // a number or slot that cannot be right).
    std::uint64_t Refusals() const { return refusals_; }

    // The join has started a connection: everything of an earlier game is
    // forgotten.
    PlayerReaction Join();
    // The player leaves the game (another join, or the program ending). A
    // race whose stake was paid and whose result has not come gives the
    // stake back: the host takes a runner that leaves out of the pot.
    PlayerReaction Leave();
    PlayerReaction Connected();
    // The connection ended, whether the host closed it, it failed or it was
    // reset. A game we ended ourselves keeps the reason it showed. A race
    // paid for and not settled gives the stake back, counts neither as won
    // nor lost, and its screen says "DISCONNECTED". The notice says so.
    PlayerReaction Closed();
    // A new game replaced the one that paid any stake: the LAN game ends,
    // and nothing of it reaches the new game's money or record.
    PlayerReaction GameReplaced();
    // How long the host may now stay quiet before HostQuiet: while a race
    // is paid for and unsettled, or while a roster question waits for its
    // answer. Nothing while the host owes us nothing.
    std::optional<int> QuietAllowedMs() const;
    // The host said nothing for QuietAllowedMs: a race is given up as if
    // the connection had ended (we close it); an unanswered roster chain
    // ends, and a refresh asked for meanwhile starts.
    PlayerReaction HostQuiet();

    PlayerReaction OnMessage(const HostMessage& message);
    // "REFRESH LIST!", or the refresh timer: ask the host for the roster
    // afresh. Asked for while a refresh runs, it starts once that one ends.
    PlayerReaction RefreshRoster();

    // The race screen when the race starts: picture k shows slot k.
    RunnerView Runner(int slot) const;

    // A frame's positions as the pictures may take them: what is no finite
    // number is left out, the rest is kept on the track, from its left edge
    // to the finish line.
    static FramePositions OnTrack(const RaceFrame& frame);
    // The refresh timer's interval for a random fraction r in [0, 1).
    static int RefreshDelay(float r);
    // The roster node of a slot: key, text and image (0, none, for a coat
    // the game does not draw).
    static std::string RosterKey(int slot);
    static std::string RosterText(const core::HorseRec& horse);
    static int RosterImage(const core::HorseRec& horse);

private:
    enum class Ask { Nothing, Player, Horse };

    PlayerReaction Invited(const Invitation& m);
    PlayerReaction HorseAsked();
    PlayerReaction StartAnnounced(const StartRace& m);
    PlayerReaction ResultAnnounced(const Result& m);
    PlayerReaction PlayerAnswered(int slot, const std::string* name);
    PlayerReaction HorseAnswered(int slot, const std::string* code);
    PlayerReaction Refuse();
    PlayerReaction EndGame(const char* status);
    // A race paid for and not settled is over without a result: the stake
    // comes back.
    void GiveStakeBack(PlayerReaction& reaction);
    void StopAsking();
    void AskNext(PlayerReaction& reaction, Ask ask, int slot);
    bool HorseAccepted() const { return state_ == PlayerState::InLobby || state_ == PlayerState::Racing; }
    bool Answers(Ask ask, int slot) const { return HorseAccepted() && asked_ == ask && slot == askedSlot_; }

    core::Game& game_;
    core::Notices& notices_;
    const core::TreeNodes& stableTree_;
    std::function<std::string()> userName_;

    PlayerState state_ = PlayerState::Idle;
    double stake_ = 0;
    double pot_ = 0;
    std::array<Contender, kSlots> contenders_{};
    Ask asked_ = Ask::Nothing;
    int askedSlot_ = 0;
    bool refreshPending_ = false;
    std::uint64_t refusals_ = 0;
};

}  // namespace online::lan
