#include "online/LanPlayer.h"

#include <algorithm>
#include <cmath>

#include "core/Money.h"
#include "core/SelectedHorse.h"
#include "core/TreeKeys.h"
#include "online/Brambly.h"
#include "runtime/Numbers.h"
#include "runtime/Overloaded.h"
#include "runtime/Rounding.h"

namespace online::lan {

namespace {

bool IsSlot(int slot) { return slot >= 1 && slot <= kSlots; }

// A host's pot is its charge times its runners, one to five of them, and we
// are one of them. The slack covers the last digit of a sum written as text.
bool PotFitsStake(double pot, double stake) {
    if (!std::isfinite(pot)) return false;
    const double slack = 1e-9 * std::max(1.0, std::abs(stake) * kSlots);
    return pot >= stake - slack && pot <= stake * kSlots + slack;
}

// The game is over, or not begun: no roster refresh can run.
PlayerReaction Stopped(const char* status) {
    PlayerReaction r;
    if (status) r.Status = status;
    r.RefreshEnabled = false;
    r.StopRefreshTimer = true;
    return r;
}

}  // namespace

PlayerSession::PlayerSession(core::Game& game, core::Notices& notices, const core::TreeNodes& stableTree,
                             std::function<std::string()> userName)
    : game_(game), notices_(notices), stableTree_(stableTree), userName_(std::move(userName)) {}

PlayerReaction PlayerSession::Join() {
    PlayerReaction left = Leave();
    state_ = PlayerState::Connecting;
    PlayerReaction r = Stopped(kConnecting);
    r.RosterCleared = true;
    r.MoneyChanged = left.MoneyChanged;
    return r;
}

PlayerReaction PlayerSession::Leave() {
    PlayerReaction r;
    GiveStakeBack(r);
    state_ = PlayerState::Idle;
    stake_ = 0;
    pot_ = 0;
    contenders_ = {};
    StopAsking();
    return r;
}

void PlayerSession::GiveStakeBack(PlayerReaction& r) {
    if (state_ != PlayerState::Racing) return;
    game_.Money += stake_;
    pot_ = 0;
    state_ = PlayerState::InLobby;
    r.MoneyChanged = true;
    r.Result = kDisconnected;
}

void PlayerSession::StopAsking() {
    asked_ = Ask::Nothing;
    askedSlot_ = 0;
    refreshPending_ = false;
}

PlayerReaction PlayerSession::Connected() {
    if (state_ != PlayerState::Connecting) return Refuse();
    state_ = PlayerState::AwaitingInvitation;
    PlayerReaction r;
    r.Status = kTransferringData;
    return r;
}

PlayerReaction PlayerSession::Closed() {
    // Our own "STEAKS TOO HIGH" or "GAME FULL" stays what the player reads.
    if (state_ == PlayerState::Ended || state_ == PlayerState::Idle) return Stopped(nullptr);
    PlayerReaction r = Stopped(kDisconnected);
    // A player that could not pay has been told why already.
    if (state_ != PlayerState::DroppedOut) r.Notice = state_ == PlayerState::Racing ? kHostGoneStakeBack : kHostGone;
    GiveStakeBack(r);
    state_ = PlayerState::Ended;
    StopAsking();
    return r;
}

PlayerReaction PlayerSession::GameReplaced() {
    // The stake was paid from the old game's money: it is not given back
    // into the new one.
    const bool ended = state_ == PlayerState::Ended || state_ == PlayerState::Idle;
    state_ = PlayerState::Ended;
    pot_ = 0;
    StopAsking();
    return Stopped(ended ? nullptr : kDisconnected);
}

std::optional<int> PlayerSession::QuietAllowedMs() const {
    if (state_ == PlayerState::Racing) return kLongestRaceSilenceMs;
    if (RefreshRunning()) return kLongestRosterWaitMs;
    return std::nullopt;
}

PlayerReaction PlayerSession::HostQuiet() {
    if (state_ == PlayerState::Racing) {
        PlayerReaction r = Closed();
        r.Close = true;
        return r;
    }
    if (!RefreshRunning()) return PlayerReaction{};
    // The answer was lost: the roster shows what came, and a refresh asked
    // for meanwhile asks afresh.
    const bool pending = refreshPending_;
    StopAsking();
    return pending ? RefreshRoster() : PlayerReaction{};
}

PlayerReaction PlayerSession::EndGame(const char* status) {
    state_ = PlayerState::Ended;
    StopAsking();
    PlayerReaction r = Stopped(status);
    r.Close = true;
    return r;
}

PlayerReaction PlayerSession::Refuse() {
    ++refusals_;
    PlayerReaction r;
    r.Refused = true;
    return r;
}

PlayerReaction PlayerSession::OnMessage(const HostMessage& message) {
    return std::visit(
        runtime::Overloaded{
            [this](const Invitation& m) { return Invited(m); },
            [this](const GameFull&) {
                return state_ == PlayerState::AwaitingSlot ? EndGame(kGameFull) : Refuse();
            },
            [this](const HorseRequest&) { return HorseAsked(); },
            [this](const Accepted&) {
                if (state_ != PlayerState::AwaitingAcceptance) return Refuse();
                state_ = PlayerState::InLobby;
                PlayerReaction r;
                r.RefreshEnabled = true;
                r.Status = core::FormatMoney(stake_);
                return r;
            },
            [this](const Refresh&) {
                if (!HorseAccepted()) return Refuse();
                PlayerReaction r;
                r.RefreshDelayMs = RefreshDelay(game_.Rnd());
                return r;
            },
            [this](const PlayerAnswer& m) { return PlayerAnswered(m.slot, &m.name); },
            [this](const NoPlayer& m) { return PlayerAnswered(m.slot, nullptr); },
            [this](const RosterHorse& m) { return HorseAnswered(m.slot, &m.code); },
            [this](const NoHorse& m) { return HorseAnswered(m.slot, nullptr); },
            [this](const StartRace& m) { return StartAnnounced(m); },
            [this](const RaceFrame& m) {
                if (state_ != PlayerState::Racing) return Refuse();
                PlayerReaction r;
                r.Frame = OnTrack(m);
                return r;
            },
            [this](const Result& m) { return ResultAnnounced(m); },
        },
        message);
}

PlayerReaction PlayerSession::Invited(const Invitation& m) {
    if (state_ != PlayerState::AwaitingInvitation) return Refuse();
    // A stake that is negative or no number would pay the player to join:
    // refused as a stake too high is.
    if (!std::isfinite(m.charge) || m.charge < 0 || game_.Money < m.charge) return EndGame(kStakesTooHigh);
    stake_ = m.charge;
    state_ = PlayerState::AwaitingSlot;
    PlayerReaction r;
    r.Send.push_back(Format(PlayerMessage{Acceptance{userName_()}}));
    return r;
}

PlayerReaction PlayerSession::HorseAsked() {
    if (state_ != PlayerState::AwaitingSlot) return Refuse();
    const auto slot = core::SelectedStableHorse(game_, stableTree_);
    if (!slot) {
        // Nothing that is not a horse goes to the host.
        notices_.ShowNotice(kSelectAHorseToJoin);
        return EndGame(kDisconnected);
    }
    state_ = PlayerState::AwaitingAcceptance;
    PlayerReaction r;
    r.Send.push_back(Format(PlayerMessage{HorseOffer{EncodeHorseCode(game_.OwnedHorse[static_cast<std::size_t>(*slot)])}}));
    return r;
}

PlayerReaction PlayerSession::StartAnnounced(const StartRace& m) {
    if (state_ == PlayerState::Racing) {
        // The host started its race afresh: the same race, already paid for.
        PlayerReaction r;
        r.RaceSetUp = true;
        r.Result = kRaceIsOn;
        return r;
    }
    if (state_ != PlayerState::InLobby) return Refuse();
    PlayerReaction r;
    if (!PotFitsStake(m.pot, stake_)) {
        ++refusals_;
        state_ = PlayerState::DroppedOut;
        r.Send.push_back(Format(PlayerMessage{DropOut{}}));
        return r;
    }
    if (!core::SpendMoney(game_, notices_, stake_)) {
        state_ = PlayerState::DroppedOut;
        r.Send.push_back(Format(PlayerMessage{DropOut{}}));
        return r;
    }
    state_ = PlayerState::Racing;
    pot_ = m.pot;
    r.MoneyChanged = true;
    r.RaceSetUp = true;
    r.Result = kRaceIsOn;
    return r;
}

PlayerReaction PlayerSession::ResultAnnounced(const Result& m) {
    if (state_ != PlayerState::Racing) return Refuse();
    PlayerReaction r;
    // The largest pot is recorded once the race is settled: a race never
    // settled was never played for. A winner knows the pot it was paid; a
    // loser only the pot announced at the start.
    double racedFor = pot_;
    if (!m.amount) {
        CountRace(game_.LANlost);
        r.Result = kYouHaveLost + core::FormatMoney(stake_);
    } else {
        const double amount = *m.amount;
        // One result per race, and never more than the race's pot; a race
        // for nothing is won for nothing.
        const bool forNothing = pot_ == 0 && amount == 0;
        if (!(amount > 0 || forNothing) || !(amount <= pot_)) return Refuse();
        CountRace(game_.LANwon);
        game_.Money += amount;
        racedFor = amount;
        r.Result = kYouHaveWon + core::FormatMoney(amount);
    }
    if (racedFor > game_.LANwager) game_.LANwager = racedFor;
    state_ = PlayerState::InLobby;
    pot_ = 0;
    r.MoneyChanged = true;
    return r;
}

// The roster refresh is a chain of questions, each asked when the answer to
// the one before arrives: the player of slots 1 to 5, then their horses. An
// answer counts only for the question last asked.
PlayerReaction PlayerSession::RefreshRoster() {
    if (!HorseAccepted()) return Refuse();
    PlayerReaction r;
    if (RefreshRunning()) {
        refreshPending_ = true;
        return r;
    }
    refreshPending_ = false;
    for (auto& c : contenders_) c.Used = false;
    r.RosterCleared = true;
    AskNext(r, Ask::Player, 1);
    return r;
}

void PlayerSession::AskNext(PlayerReaction& r, Ask ask, int slot) {
    asked_ = ask;
    askedSlot_ = slot;
    if (ask == Ask::Player) {
        r.Send.push_back(Format(PlayerMessage{PlayerQuery{slot}}));
    } else {
        r.Send.push_back(Format(PlayerMessage{HorseQuery{slot}}));
    }
}

PlayerReaction PlayerSession::PlayerAnswered(int slot, const std::string* name) {
    if (!IsSlot(slot) || !Answers(Ask::Player, slot)) return Refuse();
    if (name) contenders_[static_cast<std::size_t>(slot - 1)].Name = *name;
    PlayerReaction r;
    if (slot < kSlots) {
        AskNext(r, Ask::Player, slot + 1);
    } else {
        AskNext(r, Ask::Horse, 1);
    }
    return r;
}

PlayerReaction PlayerSession::HorseAnswered(int slot, const std::string* code) {
    if (!IsSlot(slot) || !Answers(Ask::Horse, slot)) return Refuse();
    Contender& contender = contenders_[static_cast<std::size_t>(slot - 1)];
    PlayerReaction r;
    // A code that cannot be read counts as no horse, and the chain goes on.
    contender.Used = code && DecodeHorseCode(*code, contender.Horse);
    if (code && !contender.Used) ++refusals_;
    if (contender.Used) r.RosterAdded.push_back(slot);
    if (slot < kSlots) {
        AskNext(r, Ask::Horse, slot + 1);
        return r;
    }
    asked_ = Ask::Nothing;
    if (refreshPending_) {
        // The refresh asked for meanwhile starts now, from an empty roster.
        PlayerReaction next = RefreshRoster();
        r.RosterAdded.clear();
        r.RosterCleared = next.RosterCleared;
        r.Send = std::move(next.Send);
    }
    return r;
}

RunnerView PlayerSession::Runner(int slot) const {
    const Contender& c = ContenderAt(slot);
    if (!c.Used) return {};
    return {true, c.Horse.Colour, c.Horse.Name + " (" + c.Name + ")"};
}

FramePositions PlayerSession::OnTrack(const RaceFrame& frame) {
    FramePositions positions{};
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const auto& x = frame.x[i];
        if (x && std::isfinite(*x)) positions[i] = std::clamp(*x, 0.0f, static_cast<float>(kLanFinish));
    }
    return positions;
}

int PlayerSession::RefreshDelay(float r) {
    const double delay = runtime::Round(r * static_cast<float>(kRefreshDelaySpan));
    return std::clamp(static_cast<int>(delay), kShortestRefreshDelay, kRefreshDelaySpan);
}

std::string PlayerSession::RosterKey(int slot) { return "H" + runtime::NumberText(static_cast<std::int64_t>(slot)); }

std::string PlayerSession::RosterText(const core::HorseRec& horse) {
    return horse.Name + (horse.Sex == core::kMale ? " (M)" : " (F)");
}

int PlayerSession::RosterImage(const core::HorseRec& horse) {
    // The coat is the host's word: one the game does not draw gets no image
    // (and an absurd number is never computed with).
    return horse.Colour >= 101 && horse.Colour <= 145 ? core::CoatImage(horse) : 0;
}

}  // namespace online::lan
