#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Game.h"
#include "core/HorseRec.h"
#include "core/Ports.h"
#include "core/RaceStep.h"
#include "online/LanProtocol.h"
#include "online/LanSettlement.h"

// The host of a LAN race, free of windows and sockets: the five slots (1 is
// the host), every connection's place in the dialogue, the pot, the race and
// the payout (settled by a LanSettlement). Each event (a connection, a
// message, a press, a tick) returns what to send and which connections to
// close; the sockets and the screens under it only carry that out and show
// the fields.
namespace online::lan {

inline constexpr int kHostSlot = 1;
// Connections that hold no slot yet (or were turned away and have not gone):
// beyond this many the oldest is closed, so a flood of connections can
// neither use up the process's descriptors nor keep real players out.
inline constexpr std::size_t kMaxPendingConnections = 8;
// The drop sweeper runs once a second. A slot reserved by "YES>" whose horse
// has not come within this many sweeps is freed and its connection closed,
// so connections that say nothing more cannot hold the game's slots.
inline constexpr int kSweepsToSendAHorse = 30;
// The longest a player's connection may leave sent bytes unacknowledged
// before the system gives it up (a player cut off mid-race). A runner cut
// off early in a race is out of it before the payout; one cut off near the
// end leaves it when the payout has waited kFramesWait for its frames.
inline constexpr int kUnacknowledgedTimeoutMs = 5000;
// The longest player name that is kept; a longer one is cut.
inline constexpr std::size_t kMaxPlayerName = 64;
// Ratings a player's horse may carry. The race step adds the race-day bonus
// (up to Confidence + 31) to a pace of up to Speed / 2 + 1 + Stamina in
// 16-bit arithmetic; with every rating at most 10000 that stays below 32767.
// The game's own horses stay far below it.
inline constexpr std::int32_t kMaxLanRating = 10000;
// A received horse carries no health; it races fresh.
inline constexpr std::int32_t kLanHealth = 100;

inline constexpr const char* kNotEnoughMoneyToHost = "Not enough money to host game!";
inline constexpr const char* kCouldNotCreateGame = "Could not create game!";
// The host's result line, and its notice, for a race that counts for nobody.
inline constexpr const char* kRaceVoid = "NO RESULT - EVERY CHARGE GIVEN BACK";
inline constexpr const char* kVoidRaceNotice =
    "The results reached nobody in time: the race is void and every charge went back.";
inline constexpr const char* kSelectHorseToHost = "Select the horse you want to race in your stable first!";
// What the charge box falls back to when its text is not an amount.
inline constexpr const char* kDefaultChargeText = "2000";
// Lobby picture tags.
inline constexpr const char* kAlive = "ALIVE";
inline constexpr const char* kDead = "DEAD";

// The notice for losing players whose result never reached them: their
// charges, `total` in all, went back to them from the host's money.
std::string RefundedNotice(const std::vector<std::string>& names, double total);

// Whether a horse from a player's code can run: a coat the game draws
// (101..145), male or female, start and end efforts of 0..100 and ratings of
// 0..kMaxLanRating.
bool IsRaceableHorse(const core::HorseRec& horse);

// The name as a slot keeps it: at most kMaxPlayerName characters, and such
// that "PLAYER>" & name & slot reaches every player as one message. A piece
// that a player's reader would take for the start of another message (a
// keyword right after a digit, as in "bob2REFRESH!") loses its first
// character to "_".
std::string RelayableName(std::string name, int slot);

// A connection's place in the dialogue. Each allows its own messages; any
// other is refused (counted and ignored).
enum class ConnectionState {
    Invited,  // the invitation went out; waits for "YES>" (queries answered)
    Bound,    // holds a slot, reserved for it; waits for "HORSE>" (one that
              // comes during a race is taken once the race is paid)
    Ready,    // its horse arrived; a player of the lobby and of the races
    Dropped,  // turned away ("FULL!"): nothing more is answered
};

enum class HostPhase {
    NoGame,  // no game created yet
    Lobby,   // players join; "START RACE!" starts a race
    Racing,  // the horses run
    Paying,  // every runner is in; the payout comes next
};

struct Outgoing {
    ConnectionId to;
    std::string text;
    bool operator==(const Outgoing&) const = default;
};

// What the sockets are to do after an event, in this order: send, cut, close.
struct HostActions {
    std::vector<Outgoing> sends;
    // Ended at once, what they hold unsent thrown away (see SettlementLinks).
    std::vector<ConnectionId> reset;
    std::vector<ConnectionId> close;
};

// What a connection's socket tells: what its player's system has
// acknowledged, and whether it is still connected.
using LinkLook = std::function<LinkState(ConnectionId)>;

// A race paid out: what the host books and shows.
struct Payout {
    std::string caption;
    HostBooking booking;
    // The players whose charge went back to them (their connection failed
    // before they had their result).
    std::vector<std::string> refunded;
};

enum class CreateResult {
    Created,
    RaceRunning,
    BadCharge,  // not a finite number of zero or more: it would pay players to join
    NotEnoughMoney,
    NoHorse,
};
enum class StartResult { Started, RaceRunning, NoGame, NotEnoughMoney };
enum class TickResult { Running, AllFinished, Idle };

class LanHost {
public:
    // `clock`: the time of the race's frames and of the payout's waits.
    explicit LanHost(std::function<SettleTime()> clock = &SettleClock::now);

    // "Create a Game": slot 1 gets a copy of the stable horse and the host's
    // name, slots 2..5 are free, and every earlier connection is closed (its
    // slot digit would act on a new player's slot). Refused while a race
    // runs or waits for its payout, when the money is below the charge, or
    // without a stable horse. The charge is taken only at each race's start.
    CreateResult CreateGame(const core::GameState& game, double charge, std::optional<int> stableHorse,
                            const std::string& hostName, HostActions& out);

    // A new connection: it is invited at once. Beyond kMaxPendingConnections
    // without a slot, the oldest of them is closed.
    ConnectionId Accept(HostActions& out);
    // One whole message from a connection.
    void Receive(ConnectionId from, std::string_view message, HostActions& out);
    // The connection is no longer connected. A reserved slot is free at
    // once; a ready slot waits for the sweep, and nothing more is sent to it.
    // A runner lost before its race is paid out drops out of that race: it
    // can no longer be paid, so its charge leaves the pot and its horse the
    // track, as after "DROPOUT!".
    void ConnectionLost(ConnectionId id, HostActions& out);
    // The drop sweeper, once a second: every ready slot whose connection is
    // gone becomes free and its lobby picture "DEAD", and a slot reserved
    // for kSweepsToSendAHorse sweeps without its horse is freed. Returns
    // whether a slot changed.
    bool Sweep(HostActions& out);

    // A new game: the LAN game of the old one ends where it stands. Every
    // connection is closed, a race stops without a payout (its pot was paid
    // out of the old game's money) and nothing is hosted any more.
    void EndGame(HostActions& out);
    // The host leaves its game (the program is ending) and can wait for
    // nothing more. A race whose results are going out is settled with what
    // has been acknowledged (see LanSettlement::Leave); one still running,
    // or whose results have not begun, gives the host its charge back, as
    // its players get theirs when their connections end. Then the game ends
    // as EndGame. `look` as for PayOut. Returns the payout of a race so
    // settled.
    std::optional<Payout> LeaveGame(core::GameState& game, const LinkLook& look, HostActions& out);

    // "START RACE!": the host pays its charge; the runners are slot 1 and
    // every ready, connected slot alive in the lobby, each of them on the
    // start line with the charge in the pot; the players get "START!".
    StartResult StartRace(core::Game& game, core::Notices& notices, HostActions& out);
    // One 50-ms race tick: the runners step in slot order, places go in
    // order of arrival, and a frame goes out every (31 - packetFrequency)
    // ticks. AllFinished once a tick finds every runner in: pay out next.
    TickResult Tick(runtime::RandomSource& rnd, int packetFrequency, HostActions& out);
    // The payout, from the payout timer's second on, called again after
    // kPayoutPoll while it returns nothing and the phase stays Paying.
    // First every runner is to have acknowledged every frame (`look` says
    // what each connection's player has); one still behind after kFramesWait
    // leaves the race, cut off, as a lost one does. Then the race is settled
    // (LanSettlement) and booked: the money, the record, the largest pot,
    // and a horse that came during the race is taken. Nothing while it
    // waits, or when no race waits for its payout.
    std::optional<Payout> PayOut(core::GameState& game, const LinkLook& look, HostActions& out);
    // The settling of the race whose results are going out; null otherwise.
    const LanSettlement* Settlement() const { return settlement_ ? &*settlement_ : nullptr; }

    // Sends a text to one player (2..5) or to every player (6): the ready
    // slots whose connection is up.
    void SendData(int target, const std::string& text, HostActions& out);

    // Fields per slot 1..5.
    const std::string& PlayerName(int slot) const { return At(slot).name; }
    bool HorseReady(int slot) const { return At(slot).ready; }
    const core::HorseRec& LANHorse(int slot) const { return At(slot).horse; }
    // The connection that carries the slot (none for the host's slot and a
    // free one).
    std::optional<ConnectionId> PlayerSocket(int slot) const { return At(slot).connection; }
    const std::string& LobbyTag(int slot) const { return At(slot).lobbyTag; }
    // The first of slots 2..5 neither ready nor reserved; 0 when none is.
    int FindFreeLAN() const;
    // Whom a message to one player (2..5) or to all (6) reaches: ready slots
    // whose connection is connected, in slot order.
    std::vector<ConnectionId> Recipients(int target) const;

    double ChargePerPlayer() const { return charge_; }
    double LanPot() const { return pot_; }
    int LanRunners() const;
    int LanNextPlace() const { return static_cast<int>(places_.size()) + 1; }
    // The slot that finished in place 1..5; 0 while none did.
    int Place(int place) const;

    // The race pictures.
    bool Runs(int slot) const { return At(slot).runs; }
    bool Finished(int slot) const { return At(slot).finished; }
    const core::RunnerPosition& Picture(int slot) const { return At(slot).picture; }
    int FrameCounter() const { return frameCounter_; }

    HostPhase Phase() const { return phase_; }
    bool RaceUnderway() const { return phase_ == HostPhase::Racing || phase_ == HostPhase::Paying; }

    std::optional<ConnectionState> StateOf(ConnectionId id) const;
    bool Connected(ConnectionId id) const;
    // The connections the host still holds.
    std::vector<ConnectionId> Connections() const;
    // Bytes sent on a connection since it was accepted (0 for none).
    std::uint64_t BytesSent(ConnectionId id) const;
    // Messages a connection's state did not allow, or that could not be
    // read, since the start.
    std::uint64_t RefusedMessages() const { return refused_; }

private:
    struct Slot {
        std::string name;
        bool ready = false;
        core::HorseRec horse;
        std::optional<ConnectionId> connection;
        std::string lobbyTag;
        bool runs = false;
        bool finished = false;
        core::RunnerPosition picture{core::kStartLine, 0};
    };
    struct Connection {
        ConnectionState state = ConnectionState::Invited;
        int slot = 0;
        bool connected = true;
        // Sweeps seen while bound without a horse.
        int sweepsWithoutHorse = 0;
        // A horse that came while a race ran, taken after its payout.
        std::optional<std::string> waitingHorse;
        // Bytes sent on it, and of them the race's frames (once the
        // payout has begun).
        std::uint64_t sent = 0;
        std::uint64_t framesSent = 0;
    };
    class Links;

    Slot& At(int slot) { return slots_.at(static_cast<std::size_t>(slot - 1)); }
    const Slot& At(int slot) const { return slots_.at(static_cast<std::size_t>(slot - 1)); }

    void OnAcceptance(ConnectionId id, Connection& c, const std::string& name, HostActions& out);
    void OnHorse(ConnectionId id, Connection& c, const std::string& code, HostActions& out);
    void OnDropOut(ConnectionId id, Connection& c, HostActions& out);
    void AnswerQuery(ConnectionId id, const PlayerMessage& query, HostActions& out);
    void Refuse() { ++refused_; }
    // Forgets the connection, frees what it held and asks for its close
    // (a cut one when `reset`).
    void Release(ConnectionId id, HostActions& out, bool reset = false);
    void Post(ConnectionId id, std::string text, HostActions& out);
    // True while a runner still behind on its frames may be waited for.
    bool WaitForFrames(SettleTime now, const LinkLook& look, HostActions& out);
    void StartSettlement();
    Payout Book(core::GameState& game, HostActions& out);
    void TakeOutOfRace(int slot);
    // A runner that can no longer be paid leaves the race it is in.
    void LoseRunner(int slot);
    void TakeWaitingHorses(HostActions& out);
    // Whether it freed any.
    bool FreeSilentSlots(HostActions& out);
    void SendTo(int target, const HostMessage& message, HostActions& out);
    void EvictOldestPending(HostActions& out);

    std::array<Slot, kSlots> slots_{};
    std::map<ConnectionId, Connection> connections_;
    ConnectionId nextId_ = 1;
    double charge_ = 0;
    double pot_ = 0;
    std::vector<int> places_;
    int frameCounter_ = 0;
    std::function<SettleTime()> clock_;
    // When the players last heard the race (its start or its last frame).
    SettleTime lastFrame_{};
    // Until when the payout waits for the frames, once it has begun.
    std::optional<SettleTime> framesDeadline_;
    std::optional<LanSettlement> settlement_;
    HostPhase phase_ = HostPhase::NoGame;
    std::uint64_t refused_ = 0;
};

}  // namespace online::lan
