#include "online/LanHost.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Money.h"
#include "online/Brambly.h"
#include "online/MessageReader.h"
#include "runtime/Overloaded.h"

namespace online::lan {

namespace {

constexpr int kAllPlayers = 6;
constexpr int kFirstGuest = 2;

bool Between(std::int64_t value, std::int64_t low, std::int64_t high) { return value >= low && value <= high; }

// The first message a player's reader cuts from the answer, with another
// message behind it as it would be on a busy connection.
std::optional<std::string> FirstCut(const std::string& text) {
    MessageReader reader(HostToPlayerGrammar());
    reader.Append(text);
    reader.Append(Format(HostMessage{Accepted{}}));
    return reader.Next();
}

}  // namespace

bool IsRaceableHorse(const core::HorseRec& h) {
    return Between(h.Colour, 101, 145) && (h.Sex == core::kMale || h.Sex == core::kFemale) &&
           Between(h.Start, 0, 100) && Between(h.End, 0, 100) && Between(h.Speed, 0, kMaxLanRating) &&
           Between(h.Stamina, 0, kMaxLanRating) && Between(h.Confidence, 0, kMaxLanRating);
}

std::string RefundedNotice(const std::vector<std::string>& names, double total) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += i + 1 == names.size() ? " and " : ", ";
        list += names[i];
    }
    const bool one = names.size() == 1;
    return std::string(one ? "Charge" : "Charges") + " given back to " + list + ", whose result never arrived: " +
           core::FormatMoney(total) + " from your money.";
}

std::string RelayableName(std::string name, int slot) {
    if (name.size() > kMaxPlayerName) name.resize(kMaxPlayerName);
    constexpr std::size_t kPrefix = 7;  // "PLAYER>"
    // Each round spoils one keyword's first character, and "_" begins none,
    // so this ends within the name's length.
    for (std::size_t round = 0; round <= name.size(); ++round) {
        const std::string text = Format(HostMessage{PlayerAnswer{name, slot}});
        const auto first = FirstCut(text);
        if (first == text) return name;
        if (!first || first->size() <= kPrefix || first->size() - kPrefix >= name.size()) break;
        name[first->size() - kPrefix] = '_';
    }
    return std::string();
}

// What the settlement asks of the host: results go out as every message
// does, a connection's state is the host's and its socket's, and a player
// given up is cut off and leaves its slot.
class LanHost::Links final : public SettlementLinks {
public:
    Links(LanHost& host, const LinkLook& look, HostActions& out) : host_(host), look_(look), out_(out) {}

    std::uint64_t SendResult(ConnectionId id, const Result& result) override {
        host_.Post(id, Format(HostMessage{result}), out_);
        return host_.BytesSent(id);
    }
    LinkState Look(ConnectionId id) const override {
        LinkState link = look_(id);
        link.up = link.up && host_.Connected(id);
        return link;
    }
    void GiveUp(ConnectionId id) override {
        const auto it = host_.connections_.find(id);
        if (it != host_.connections_.end() && it->second.slot != 0) host_.At(it->second.slot).lobbyTag = kDead;
        host_.Release(id, out_, true);
    }

private:
    LanHost& host_;
    const LinkLook& look_;
    HostActions& out_;
};

LanHost::LanHost(std::function<SettleTime()> clock) : clock_(std::move(clock)) {}

// ---- Creating the game ------------------------------------------------------

CreateResult LanHost::CreateGame(const core::GameState& game, double charge, std::optional<int> stableHorse,
                                 const std::string& hostName, HostActions& out) {
    if (RaceUnderway()) return CreateResult::RaceRunning;
    if (!std::isfinite(charge) || charge < 0) return CreateResult::BadCharge;
    if (game.Money < charge) return CreateResult::NotEnoughMoney;
    if (!stableHorse || !Between(*stableHorse, 0, core::kStableSlots - 1) ||
        game.OwnedHorse[static_cast<std::size_t>(*stableHorse)].IsFree()) {
        return CreateResult::NoHorse;
    }
    for (const ConnectionId id : Connections()) Release(id, out);
    charge_ = charge + 0.0;  // -0 travels as 0
    pot_ = 0;
    places_.clear();
    for (int k = 1; k <= kSlots; ++k) {
        Slot& s = At(k);
        s.name.clear();
        s.horse = core::HorseRec{};
        s.ready = false;
        s.connection.reset();
        s.runs = s.finished = false;
    }
    Slot& host = At(kHostSlot);
    host.name = RelayableName(hostName, kHostSlot);
    host.horse = game.OwnedHorse[static_cast<std::size_t>(*stableHorse)];
    host.ready = true;
    phase_ = HostPhase::Lobby;
    return CreateResult::Created;
}

std::optional<Payout> LanHost::LeaveGame(core::GameState& game, const LinkLook& look, HostActions& out) {
    std::optional<Payout> payout;
    if (settlement_) {
        Links links(*this, look, out);
        settlement_->Leave(clock_(), links);
        payout = Book(game, out);
    }
    // The host paid its charge at the start; nobody can win it now.
    if (RaceUnderway()) game.Money += charge_;
    EndGame(out);
    return payout;
}

void LanHost::EndGame(HostActions& out) {
    for (const ConnectionId id : Connections()) Release(id, out);
    LanHost fresh(std::move(clock_));
    // Connection numbers are never given twice, even across games.
    fresh.nextId_ = nextId_;
    fresh.refused_ = refused_;
    *this = std::move(fresh);
}

// ---- Connections --------------------------------------------------------------

ConnectionId LanHost::Accept(HostActions& out) {
    EvictOldestPending(out);
    const ConnectionId id = nextId_++;
    connections_.emplace(id, Connection{});
    Post(id, Format(HostMessage{Invitation{charge_}}), out);
    return id;
}

void LanHost::EvictOldestPending(HostActions& out) {
    const auto pending = [](const auto& entry) {
        return entry.second.state == ConnectionState::Invited || entry.second.state == ConnectionState::Dropped;
    };
    auto count = static_cast<std::size_t>(std::count_if(connections_.begin(), connections_.end(), pending));
    while (count >= kMaxPendingConnections) {
        // Ids grow with every connection, so the first pending is the oldest.
        const auto oldest = std::find_if(connections_.begin(), connections_.end(), pending);
        Release(oldest->first, out);
        --count;
    }
}

void LanHost::Receive(ConnectionId from, std::string_view message, HostActions& out) {
    const auto it = connections_.find(from);
    const auto read = RecognisePlayerMessage(message);
    if (it == connections_.end() || !it->second.connected || !read) {
        Refuse();
        return;
    }
    Connection& c = it->second;
    std::visit(runtime::Overloaded{
                   [&](const Acceptance& m) {
                       if (c.state != ConnectionState::Invited) return Refuse();
                       OnAcceptance(from, c, m.name, out);
                   },
                   [&](const HorseOffer& m) {
                       if (c.state != ConnectionState::Bound || c.waitingHorse) return Refuse();
                       // No runner changes while a race is on: the horse
                       // waits for the payout.
                       if (RaceUnderway()) {
                           c.waitingHorse = m.code;
                           return;
                       }
                       OnHorse(from, c, m.code, out);
                   },
                   [&](const DropOut&) { OnDropOut(from, c, out); },
                   [&](const auto& query) {
                       if (c.state == ConnectionState::Dropped) return Refuse();
                       AnswerQuery(from, PlayerMessage{query}, out);
                   },
               },
               *read);
}

void LanHost::OnAcceptance(ConnectionId id, Connection& c, const std::string& name, HostActions& out) {
    const int slot = FindFreeLAN();
    if (slot == 0) {
        c.state = ConnectionState::Dropped;
        Post(id, Format(HostMessage{GameFull{}}), out);
        return;
    }
    c.state = ConnectionState::Bound;
    c.slot = slot;
    Slot& s = At(slot);
    s.connection = id;
    s.name = RelayableName(name, slot);
    Post(id, Format(HostMessage{HorseRequest{}}), out);
}

void LanHost::OnHorse(ConnectionId id, Connection& c, const std::string& code, HostActions& out) {
    core::HorseRec horse;
    if (!DecodeHorseCode(code, horse) || !IsRaceableHorse(horse)) {
        Refuse();
        Release(id, out);
        return;
    }
    horse.Health = horse.HealthMAX = kLanHealth;
    Slot& s = At(c.slot);
    s.horse = horse;
    s.ready = true;
    s.lobbyTag = kAlive;
    c.state = ConnectionState::Ready;
    Post(id, Format(HostMessage{Accepted{}}), out);
    SendTo(kAllPlayers, Refresh{}, out);
}

void LanHost::OnDropOut(ConnectionId id, Connection& c, HostActions& out) {
    if (c.state == ConnectionState::Ready) {
        Slot& s = At(c.slot);
        s.lobbyTag = kDead;
        // It never paid: neither its charge nor its horse stays in the race.
        LoseRunner(c.slot);
    }
    Release(id, out);
}

void LanHost::LoseRunner(int slot) {
    // Once results go out the pot is fixed: the settlement decides.
    if (At(slot).runs && RaceUnderway() && !settlement_) TakeOutOfRace(slot);
}

void LanHost::TakeOutOfRace(int slot) {
    Slot& s = At(slot);
    s.runs = false;
    s.finished = false;
    pot_ -= charge_;
    std::erase(places_, slot);
}

void LanHost::AnswerQuery(ConnectionId id, const PlayerMessage& query, HostActions& out) {
    const bool horse = std::holds_alternative<HorseQuery>(query);
    const int slot = horse ? std::get<HorseQuery>(query).slot : std::get<PlayerQuery>(query).slot;
    if (!Between(slot, 1, kSlots)) return Refuse();
    const Slot& s = At(slot);
    HostMessage answer = horse ? (s.ready ? HostMessage{RosterHorse{EncodeHorseCode(s.horse), slot}}
                                          : HostMessage{NoHorse{slot}})
                               : (s.ready ? HostMessage{PlayerAnswer{s.name, slot}} : HostMessage{NoPlayer{slot}});
    Post(id, Format(answer), out);
}

void LanHost::ConnectionLost(ConnectionId id, HostActions& out) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    Connection& c = it->second;
    c.connected = false;
    if (c.state != ConnectionState::Ready) {
        Release(id, out);
        return;
    }
    LoseRunner(c.slot);
}

bool LanHost::Sweep(HostActions& out) {
    bool changed = false;
    for (int k = kFirstGuest; k <= kSlots; ++k) {
        Slot& s = At(k);
        if (!s.ready || !s.connection || Connected(*s.connection)) continue;
        // What a runner's connection acknowledged before it went still
        // counts for the settlement, which lets it go itself.
        if (settlement_ && s.runs) continue;
        s.lobbyTag = kDead;
        LoseRunner(k);
        Release(*s.connection, out);
        changed = true;
    }
    return FreeSilentSlots(out) || changed;
}

bool LanHost::FreeSilentSlots(HostActions& out) {
    std::vector<ConnectionId> silent;
    for (auto& [id, c] : connections_) {
        if (c.state != ConnectionState::Bound || c.waitingHorse) continue;
        if (++c.sweepsWithoutHorse >= kSweepsToSendAHorse) silent.push_back(id);
    }
    for (const ConnectionId id : silent) Release(id, out);
    return !silent.empty();
}

void LanHost::Post(ConnectionId id, std::string text, HostActions& out) {
    if (const auto it = connections_.find(id); it != connections_.end()) it->second.sent += text.size();
    out.sends.push_back({id, std::move(text)});
}

void LanHost::Release(ConnectionId id, HostActions& out, bool reset) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    const Connection& c = it->second;
    if (c.slot != 0 && At(c.slot).connection == id) {
        At(c.slot).connection.reset();
        At(c.slot).ready = false;
    }
    connections_.erase(it);
    (reset ? out.reset : out.close).push_back(id);
}

// ---- The race -----------------------------------------------------------------

StartResult LanHost::StartRace(core::Game& game, core::Notices& notices, HostActions& out) {
    if (RaceUnderway()) return StartResult::RaceRunning;
    if (phase_ == HostPhase::NoGame) return StartResult::NoGame;
    if (!core::SpendMoney(game, notices, charge_)) return StartResult::NotEnoughMoney;
    frameCounter_ = 0;
    places_.clear();
    pot_ = 0;
    for (int k = 1; k <= kSlots; ++k) {
        Slot& s = At(k);
        s.finished = false;
        // A runner is a player that gets "START!" and so pays its charge.
        s.runs = k == kHostSlot ||
                 (s.lobbyTag == kAlive && s.ready && s.connection && Connected(*s.connection));
        if (!s.runs) continue;
        core::PrepareRaceHorse(s.picture, s.horse, game.Random());
        pot_ += charge_;
    }
    SendTo(kAllPlayers, lan::StartRace{pot_}, out);
    lastFrame_ = clock_();
    phase_ = HostPhase::Racing;
    return StartResult::Started;
}

TickResult LanHost::Tick(runtime::RandomSource& rnd, int packetFrequency, HostActions& out) {
    if (phase_ != HostPhase::Racing) return TickResult::Idle;
    if (LanNextPlace() - 1 >= LanRunners()) {
        phase_ = HostPhase::Paying;
        return TickResult::AllFinished;
    }
    for (int k = 1; k <= kSlots; ++k) {
        Slot& s = At(k);
        if (!s.runs || s.finished || s.picture.Left >= kLanFinish) continue;
        core::MoveHorseStep(s.picture, s.horse, kLanFinish, rnd);
        if (s.picture.Left >= kLanFinish) {
            s.finished = true;
            places_.push_back(k);
        }
    }
    const int v = std::clamp(packetFrequency, 0, kMaxPacketFrequency);
    if (frameCounter_ < kMaxPacketFrequency - v) {
        ++frameCounter_;
    } else {
        RaceFrame frame{};
        for (int k = 1; k <= kSlots; ++k) frame.x[static_cast<std::size_t>(k - 1)] = At(k).picture.Left;
        SendTo(kAllPlayers, frame, out);
        lastFrame_ = clock_();
        frameCounter_ = 0;
    }
    return TickResult::Running;
}

std::optional<Payout> LanHost::PayOut(core::GameState& game, const LinkLook& look, HostActions& out) {
    if (phase_ != HostPhase::Paying) return std::nullopt;
    const SettleTime now = clock_();
    if (!settlement_) {
        if (WaitForFrames(now, look, out)) return std::nullopt;
        StartSettlement();
    }
    Links links(*this, look, out);
    settlement_->Advance(now, links);
    if (!settlement_->Finished()) return std::nullopt;
    return Book(game, out);
}

bool LanHost::WaitForFrames(SettleTime now, const LinkLook& look, HostActions& out) {
    if (!framesDeadline_) {
        framesDeadline_ = std::min(now + kFramesWait, lastFrame_ + kLastResultBy);
        for (auto& [id, c] : connections_) c.framesSent = c.sent;
    }
    std::vector<int> behind;
    bool mayWait = false;
    for (int k = kFirstGuest; k <= kSlots; ++k) {
        const Slot& s = At(k);
        if (!s.runs || !s.connection) continue;
        const LinkState link = look(*s.connection);
        if (link.acknowledged >= connections_.at(*s.connection).framesSent) continue;
        behind.push_back(k);
        mayWait = mayWait || (link.up && Connected(*s.connection));
    }
    if (behind.empty()) return false;
    if (mayWait && now < *framesDeadline_) return true;
    // Cut off, or not reading: out of the race, as a lost runner is.
    for (const int k : behind) {
        At(k).lobbyTag = kDead;
        LoseRunner(k);
        Release(*At(k).connection, out, true);
    }
    return false;
}

void LanHost::StartSettlement() {
    std::vector<LanSettlement::Runner> players;
    for (const int slot : places_) {
        if (slot != kHostSlot && At(slot).connection) players.push_back({slot, *At(slot).connection});
    }
    settlement_.emplace(Place(1) == kHostSlot, std::move(players), pot_, charge_, lastFrame_);
}

Payout LanHost::Book(core::GameState& game, HostActions& out) {
    Payout payout;
    payout.booking = settlement_->Booking();
    settlement_.reset();
    framesDeadline_.reset();
    phase_ = HostPhase::Lobby;
    const HostBooking& b = payout.booking;
    game.Money += b.money;
    if (!b.counts) {
        payout.caption = kRaceVoid;
    } else if (b.won) {
        CountRace(game.LANwon);
        payout.caption = kYouHaveWon + core::FormatMoney(b.pot - b.givenBack);
    } else {
        CountRace(game.LANlost);
        payout.caption = kYouHaveLost + core::FormatMoney(charge_ + b.givenBack);
    }
    // The pot as it stands now, after every drop-out: the one raced for.
    if (b.counts && b.pot > game.LANwager) game.LANwager = b.pot;
    for (const int slot : b.refunded) payout.refunded.push_back(At(slot).name);
    pot_ = 0;
    TakeWaitingHorses(out);
    return payout;
}

void LanHost::TakeWaitingHorses(HostActions& out) {
    std::vector<ConnectionId> waiting;
    for (const auto& [id, c] : connections_) {
        if (c.waitingHorse) waiting.push_back(id);
    }
    for (const ConnectionId id : waiting) {
        const auto it = connections_.find(id);
        if (it == connections_.end()) continue;  // a bad horse before it closed it
        const std::string code = *std::exchange(it->second.waitingHorse, std::nullopt);
        OnHorse(id, it->second, code, out);
    }
}

// ---- Fields -------------------------------------------------------------------

int LanHost::FindFreeLAN() const {
    for (int k = kFirstGuest; k <= kSlots; ++k) {
        if (!At(k).ready && !At(k).connection) return k;
    }
    return 0;
}

std::vector<ConnectionId> LanHost::Recipients(int target) const {
    std::vector<ConnectionId> ids;
    for (int k = kFirstGuest; k <= kSlots; ++k) {
        const Slot& s = At(k);
        if ((target == k || target == kAllPlayers) && s.ready && s.connection && Connected(*s.connection)) {
            ids.push_back(*s.connection);
        }
    }
    return ids;
}

void LanHost::SendTo(int target, const HostMessage& message, HostActions& out) {
    if (Recipients(target).empty()) return;
    SendData(target, Format(message), out);
}

void LanHost::SendData(int target, const std::string& text, HostActions& out) {
    for (const ConnectionId id : Recipients(target)) Post(id, text, out);
}

int LanHost::LanRunners() const {
    return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.runs; }));
}

int LanHost::Place(int place) const {
    if (place < 1 || place > static_cast<int>(places_.size())) return 0;
    return places_[static_cast<std::size_t>(place - 1)];
}

std::optional<ConnectionState> LanHost::StateOf(ConnectionId id) const {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return std::nullopt;
    return it->second.state;
}

bool LanHost::Connected(ConnectionId id) const {
    const auto it = connections_.find(id);
    return it != connections_.end() && it->second.connected;
}

std::uint64_t LanHost::BytesSent(ConnectionId id) const {
    const auto it = connections_.find(id);
    return it == connections_.end() ? 0 : it->second.sent;
}

std::vector<ConnectionId> LanHost::Connections() const {
    std::vector<ConnectionId> ids;
    for (const auto& [id, c] : connections_) ids.push_back(id);
    return ids;
}

}  // namespace online::lan
