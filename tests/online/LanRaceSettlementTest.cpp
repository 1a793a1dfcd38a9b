// A host and two players, each a copy of the game with its own money, race
// over loopback while a connection fails at each step between the race's
// last frame and the last result's acknowledgement: the money of all three
// copies adds up to what it did before the race, and nobody is left waiting.
// The failure is made at the socket: the host's bytes to a player are held
// back (a cut cable: neither delivered nor acknowledged), or a player's
// connection is reset (its copy leaves the game with a reset).
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "online/LanHostScreens.h"
#include "online/LanHostSockets.h"
#include "online/LanPlayerScreens.h"
#include "online/MessageChannel.h"
#include "platform/Winsock.h"
#include "shell/Form1.h"
#include "shell/SaveGameWindows.h"
#include "tests/online/LanRaceCopies.h"
#include "tests/support/TempFolder.h"

namespace lan = online::lan;
namespace ws = platform::ws;
using testing_support::kLanCharge;
using testing_support::kLanStartingMoney;
using testing_support::LanCopy;
using testing_support::RunFor;
using testing_support::RunUntil;

namespace {

enum class Step {
    BeforeThePayout,     // the last frame has gone; the payout's second runs
    FramesUnheard,       // the last frames never reached the player
    WinnerResultOut,     // the winning player's result is on its way
    LoserResultsOut,     // the winner has its result; the losers' are on their way
    AllAcknowledged,     // every result has reached its player
};

enum class Who { Winner, Loser, Everyone };
enum class How { Withheld, Reset };

struct Case {
    bool hostWins;
    Step step;
    Who who;
    How how;
};

const char* StepName(Step step) {
    static const char* names[] = {"BeforeThePayout", "FramesUnheard", "WinnerResultOut", "LoserResultsOut",
                                  "AllAcknowledged"};
    return names[static_cast<int>(step)];
}

std::string Name(const Case& c) {
    static const char* whos[] = {"Winner", "Loser", "Everyone"};
    return std::string(c.hostWins ? "HostWins_" : "PlayerWins_") + StepName(c.step) + "_" +
           whos[static_cast<int>(c.who)] + (c.how == How::Withheld ? "_Withheld" : "_Reset");
}

void PrintTo(const Case& c, std::ostream* os) { *os << Name(c); }

// The host (slow or fast), ann (fast or slow) and bob (slowest).
class ThreeCopies {
public:
    explicit ThreeCopies(bool hostWins)
        : host(std::make_unique<LanCopy>("hoster", hostWins ? 300 : 150)),
          ann(std::make_unique<LanCopy>("ann", hostWins ? 150 : 300)),
          bob(std::make_unique<LanCopy>("bob", 100)),
          hosting(new online::LanHostScreens(host->form, 0, host->name.get())) {
        hosting->SetClock([this] { return now; });
        const std::uint16_t port = testing_support::CreateLanGame(*hosting);
        annPlays = testing_support::JoinLanGame(*ann, port);
        bobPlays = testing_support::JoinLanGame(*bob, port);
    }

    double Money() const { return host->game.Money + ann->game.Money + bob->game.Money; }

    void StartRace() {
        hosting->Command23->click();
        host->form.Timer("LANrace").SetEnabled(false);
        ASSERT_TRUE(RunUntil([&] { return Racing(*annPlays) && Racing(*bobPlays); }));
        ASSERT_EQ(Money(), 3 * kLanStartingMoney - 3 * kLanCharge);
    }

    // Holds back what the host sends on a player's connection, or lets it
    // go again (a connection the host has let go is left alone).
    void HoldHostSends(online::LanPlayerScreens* player, bool hold) {
        const auto id = hosting->Host().PlayerSocket(player == annPlays ? 2 : 3);
        if (!id) return;
        const int element = hosting->Sockets().ElementOf(*id);
        ASSERT_TRUE(ws::HoldSends(hosting->Sockets().Element(element).SocketHandle(), hold));
    }
    // The player's copy leaves the game, its connection ending in a reset.
    void Reset(LanCopy& copy, online::LanPlayerScreens* player) {
        testing_support::ResetOnClose(player->Channel().Socket().SocketHandle());
        emit copy.form.Quitting();
    }

    // One look of the payout, a little later.
    void PayCheck() {
        RunFor(5);
        now += lan::kPayoutPoll;
        hosting->PayCheck_Timer();
    }

    static bool Racing(const online::LanPlayerScreens& p) { return p.Session().State() == lan::PlayerState::Racing; }

    lan::SettleTime now = lan::SettleTime{} + std::chrono::hours(1);
    std::unique_ptr<LanCopy> host, ann, bob;
    online::LanHostScreens* hosting;
    online::LanPlayerScreens* annPlays = nullptr;
    online::LanPlayerScreens* bobPlays = nullptr;
};

// The host's copy ends as on a termination signal: it settles what it can,
// saves the game and ends the program, which the test records.
::testing::AssertionResult EndHostsProgram(LanCopy& host) {
    std::optional<bool> ending;
    shell::SaveAndQuit(host.form, false, [&](bool e) { ending = e; });
    if (!RunUntil([&] { return ending.has_value(); })) return ::testing::AssertionFailure() << "no save came";
    if (!*ending) return ::testing::AssertionFailure() << "the program goes on";
    return ::testing::AssertionSuccess();
}

class LanRaceSettlement : public ::testing::TestWithParam<Case> {};

TEST_P(LanRaceSettlement, NoMoneyIsMadeOrLost) {
    const Case& c = GetParam();
    ThreeCopies copies(c.hostWins);
    const double before = copies.Money();
    ASSERT_EQ(before, 3 * kLanStartingMoney);
    copies.StartRace();

    // The winning player is ann; a loser is bob, or ann when the host wins;
    // everyone is the host's own link failing.
    using Player = std::pair<LanCopy*, online::LanPlayerScreens*>;
    const Player ann{copies.ann.get(), copies.annPlays};
    const Player bob{copies.bob.get(), copies.bobPlays};
    std::vector<Player> failing;
    if (c.who == Who::Everyone) failing = {ann, bob};
    if (c.who == Who::Winner) failing = {ann};
    if (c.who == Who::Loser) failing = {c.hostWins ? ann : bob};
    const auto isFailing = [&](const Player& p) {
        return std::any_of(failing.begin(), failing.end(), [&](const Player& f) { return f.second == p.second; });
    };
    const auto fail = [&] {
        for (const auto& [copy, player] : failing) {
            if (c.how == How::Withheld) {
                copies.HoldHostSends(player, true);
            } else {
                copies.Reset(*copy, player);
            }
        }
    };

    bool failed = false;
    testing_support::RunLanRace(*copies.hosting, [&] {
        // The last frames: those after the first horse is in.
        if (c.step == Step::FramesUnheard && !failed && copies.hosting->Host().Place(1) != 0) {
            fail();
            failed = true;
        }
    });
    if (c.step != Step::FramesUnheard) {
        ASSERT_TRUE(RunUntil([&] { return testing_support::LanPlayersCaughtUp(*copies.hosting); }));
    }
    // A result that is to be on its way when the connection fails waits on
    // the host until then.
    std::vector<Player> heldBack;
    if (c.step == Step::WinnerResultOut) heldBack = {ann};
    if (c.step == Step::LoserResultsOut) {
        for (const Player& p : failing) {
            if (c.hostWins || p.second != ann.second) heldBack.push_back(p);
        }
    }
    for (const Player& p : heldBack) copies.HoldHostSends(p.second, true);
    if (c.step == Step::BeforeThePayout) fail();

    const lan::SettleStep failAt = c.step == Step::WinnerResultOut ? lan::SettleStep::Winner : lan::SettleStep::Losers;
    const bool failInPayout = c.step == Step::WinnerResultOut || c.step == Step::LoserResultsOut;
    copies.hosting->PayEm_Timer();
    for (int i = 0; i < 600 && copies.hosting->Host().Phase() == lan::HostPhase::Paying; ++i) {
        const lan::LanSettlement* s = copies.hosting->Host().Settlement();
        if (failInPayout && !failed && s && s->Step() == failAt) {
            fail();
            failed = true;
            for (const Player& p : heldBack) {
                if (!isFailing(p)) copies.HoldHostSends(p.second, false);
            }
        }
        copies.PayCheck();
    }
    ASSERT_EQ(copies.hosting->Host().Phase(), lan::HostPhase::Lobby) << "the payout has ended";
    ASSERT_TRUE(failed || !failInPayout) << "the payout passed the step";
    if (c.step == Step::AllAcknowledged) {
        ASSERT_TRUE(RunUntil([&] { return !copies.Racing(*copies.annPlays) && !copies.Racing(*copies.bobPlays); }));
        fail();
    }

    // Every player has its result or its stake back: nobody waits on.
    EXPECT_TRUE(RunUntil([&] { return !copies.Racing(*copies.annPlays) && !copies.Racing(*copies.bobPlays); }))
        << "a player still waits for a result";
    RunFor(50);
    EXPECT_EQ(copies.Money(), before) << "host " << copies.host->game.Money << ", ann " << copies.ann->game.Money
                                      << ", bob " << copies.bob->game.Money;
    // A race counts for everyone who had its result, or for nobody.
    const int hostRaces = copies.host->game.LANwon + copies.host->game.LANlost;
    const int playerRaces =
        copies.ann->game.LANwon + copies.ann->game.LANlost + copies.bob->game.LANwon + copies.bob->game.LANlost;
    EXPECT_LE(hostRaces, 1);
    EXPECT_TRUE(hostRaces == 1 || playerRaces == 0) << "a void race counts for nobody";
    EXPECT_LE(copies.ann->game.LANwon + copies.bob->game.LANwon + copies.host->game.LANwon, 1) << "one winner";
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const bool hostWins : {true, false}) {
        for (const Step step : {Step::BeforeThePayout, Step::FramesUnheard, Step::WinnerResultOut,
                                Step::LoserResultsOut, Step::AllAcknowledged}) {
            if (hostWins && step == Step::WinnerResultOut) continue;  // no winning player to tell
            for (const Who who : {Who::Winner, Who::Loser, Who::Everyone}) {
                if (hostWins && who == Who::Winner) continue;  // the host's own link is everyone's
                for (const How how : {How::Withheld, How::Reset}) {
                    if (step == Step::FramesUnheard && how == How::Reset) continue;  // as before the payout
                    cases.push_back({hostWins, step, who, how});
                }
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Failures, LanRaceSettlement, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return Name(info.param); });

// ---- The host leaves while the payout waits -------------------------------------

struct Leaving {
    bool hostWins;
    Step step;  // where the payout is when the host's copy is asked to end
};

std::string Name(const Leaving& l) { return std::string(l.hostWins ? "HostWins_" : "PlayerWins_") + StepName(l.step); }
void PrintTo(const Leaving& l, std::ostream* os) { *os << Name(l); }

class LanRaceHostLeaving : public ::testing::TestWithParam<Leaving> {};

// The host's copy ends as it does on a termination signal (the close box
// and Quit take the same road, asking first): its game is saved and the
// program ends. Results still waiting in the host's own send queue (the
// players' systems take nothing more) are given up before any connection
// closes; what the players acknowledged counts. The saved game agrees with
// what the players booked.
TEST_P(LanRaceHostLeaving, TheSavedGameAgreesWithThePlayers) {
    const Leaving& l = GetParam();
    ThreeCopies copies(l.hostWins);
    testing_support::TempFolder folder;
    shell::SaveGameWindows& saves = shell::SaveGameWindows::Install(copies.host->form, folder.Path());
    int ended = 0;
    saves.SetEndProgram([&] { ++ended; });
    copies.StartRace();
    testing_support::RunLanRace(*copies.hosting);
    ASSERT_TRUE(RunUntil([&] { return testing_support::LanPlayersCaughtUp(*copies.hosting); }));

    if (l.step == Step::WinnerResultOut) copies.HoldHostSends(copies.annPlays, true);
    if (l.step == Step::LoserResultsOut) {
        copies.HoldHostSends(copies.bobPlays, true);
        if (l.hostWins) copies.HoldHostSends(copies.annPlays, true);
    }
    if (l.step != Step::BeforeThePayout) copies.hosting->PayEm_Timer();
    const lan::SettleStep until = l.step == Step::WinnerResultOut ? lan::SettleStep::Winner : lan::SettleStep::Losers;
    for (int i = 0; i < 100 && l.step != Step::BeforeThePayout && l.step != Step::AllAcknowledged; ++i) {
        const lan::LanSettlement* s = copies.hosting->Host().Settlement();
        if (s && s->Step() == until) break;
        copies.PayCheck();
    }
    if (l.step == Step::AllAcknowledged) {
        for (int i = 0; i < 100 && copies.hosting->Host().Phase() == lan::HostPhase::Paying; ++i) copies.PayCheck();
        ASSERT_EQ(copies.hosting->Host().Phase(), lan::HostPhase::Lobby);
    }

    ASSERT_TRUE(EndHostsProgram(*copies.host));
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(RunUntil([&] { return !copies.Racing(*copies.annPlays) && !copies.Racing(*copies.bobPlays); }))
        << "a player still waits for a result";
    RunFor(50);
    EXPECT_EQ(copies.Money(), 3 * kLanStartingMoney) << "host " << copies.host->game.Money << ", ann "
                                                     << copies.ann->game.Money << ", bob " << copies.bob->game.Money;
    for (online::LanPlayerScreens* p : {copies.annPlays, copies.bobPlays}) {
        EXPECT_EQ(p->Label41->text(), QString::fromLatin1(lan::kDisconnected));
    }

    // What was saved is what the host booked.
    core::Game reloaded;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form(reloaded, dialogs);
    shell::SaveGameWindows& loads = shell::SaveGameWindows::Install(form, folder.Path());
    loads.SetEndProgram([] {});
    ASSERT_EQ(loads.LoadSavedGame(), shell::SavedGameLoad::Loaded);
    EXPECT_EQ(reloaded.Money, copies.host->game.Money);
    EXPECT_EQ(reloaded.LANwon, copies.host->game.LANwon);
    EXPECT_EQ(reloaded.LANlost, copies.host->game.LANlost);
}

// A result that has left the host when it is asked to end reaches its
// player: the host waits the round trip for it, and the race counts.
TEST(LanRaceHostLeavingAtOnce, AResultOnItsWayCounts) {
    ThreeCopies copies(false);
    testing_support::TempFolder folder;
    shell::SaveGameWindows& saves = shell::SaveGameWindows::Install(copies.host->form, folder.Path());
    saves.SetEndProgram([] {});
    copies.StartRace();
    testing_support::RunLanRace(*copies.hosting);
    ASSERT_TRUE(RunUntil([&] { return testing_support::LanPlayersCaughtUp(*copies.hosting); }));
    copies.hosting->PayEm_Timer();
    ASSERT_NE(copies.hosting->Host().Settlement(), nullptr);
    ASSERT_EQ(copies.hosting->Host().Settlement()->AwaitedResults().size(), 1u) << "the winner's result is out";
    // At once, before the loop has run.
    ASSERT_TRUE(EndHostsProgram(*copies.host));
    EXPECT_TRUE(RunUntil([&] { return !copies.Racing(*copies.annPlays) && !copies.Racing(*copies.bobPlays); }));
    RunFor(50);
    EXPECT_EQ(copies.ann->game.LANwon, 1) << "the winner has its result";
    EXPECT_EQ(copies.host->game.LANlost, 1);
    EXPECT_EQ(copies.Money(), 3 * kLanStartingMoney) << "bob, told nothing, has his charge back from the host";
}

// Results acknowledged a moment before the host's connections end in a
// reset: each player keeps the result that reached it (it had not even
// waited out its reader's quiet gap), as the host counted it.
TEST(LanRaceHostLeavingAtOnce, AResultThatCameBeforeAResetIsKept) {
    ThreeCopies copies(false);
    testing_support::TempFolder folder;
    shell::SaveGameWindows& saves = shell::SaveGameWindows::Install(copies.host->form, folder.Path());
    saves.SetEndProgram([] {});
    copies.StartRace();
    testing_support::RunLanRace(*copies.hosting);
    ASSERT_TRUE(RunUntil([&] { return testing_support::LanPlayersCaughtUp(*copies.hosting); }));
    copies.hosting->PayEm_Timer();
    for (int i = 0; i < 100; ++i) {
        const lan::LanSettlement* s = copies.hosting->Host().Settlement();
        if (s && s->Step() == lan::SettleStep::Losers) break;
        copies.PayCheck();
    }
    ASSERT_NE(copies.hosting->Host().Settlement(), nullptr);
    ASSERT_EQ(copies.hosting->Host().Settlement()->Step(), lan::SettleStep::Losers) << "the winner has its result";
    for (int i = 1; i < copies.hosting->Sockets().Count(); ++i) {
        const int fd = copies.hosting->Sockets().Element(i).SocketHandle();
        if (fd >= 0) testing_support::ResetOnClose(fd);
    }
    ASSERT_TRUE(EndHostsProgram(*copies.host));
    EXPECT_TRUE(RunUntil([&] { return !copies.Racing(*copies.annPlays) && !copies.Racing(*copies.bobPlays); }));
    RunFor(50);
    EXPECT_EQ(copies.ann->game.LANwon, 1);
    EXPECT_EQ(copies.bob->game.LANlost, 1);
    EXPECT_EQ(copies.host->game.LANlost, 1);
    EXPECT_EQ(copies.Money(), 3 * kLanStartingMoney);
}

INSTANTIATE_TEST_SUITE_P(Steps, LanRaceHostLeaving,
                         ::testing::Values(Leaving{true, Step::BeforeThePayout}, Leaving{true, Step::LoserResultsOut},
                                           Leaving{true, Step::AllAcknowledged}, Leaving{false, Step::BeforeThePayout},
                                           Leaving{false, Step::WinnerResultOut},
                                           Leaving{false, Step::LoserResultsOut},
                                           Leaving{false, Step::AllAcknowledged}),
                         [](const ::testing::TestParamInfo<Leaving>& info) { return Name(info.param); });

}  // namespace
