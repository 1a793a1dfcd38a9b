// The joining side of a LAN race without sockets: what a player answers,
// pays and shows for each message of the host, and what it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/Money.h"
#include "online/Brambly.h"
#include "online/LanPlayer.h"
#include "tests/online/LanTestHorses.h"
#include "tests/support/FakePorts.h"
#include "tests/support/ScriptedRandom.h"

namespace lan = online::lan;
using lan::PlayerReaction;
using lan::PlayerState;
using testing_support::LanHorse;
using testing_support::Male;
using testing_support::MemoryTree;
using testing_support::RecordingNotices;
using testing_support::ScriptedRandom;
using Texts = std::vector<std::string>;

namespace {

Texts Sent(const PlayerReaction& r) { return r.Send; }

std::string RosterHorse(const core::HorseRec& horse, int slot) {
    return "HORSE>" + online::EncodeHorseCode(horse) + std::to_string(slot);
}

class LanPlayerTest : public ::testing::Test {
protected:
    LanPlayerTest() {
        game.OwnedHorse[7] = LanHorse("Dusty Pearl", 112);
        stable.AddNode("MAIR7", "Dusty Pearl", 12);
        stable.Select("MAIR7");
        game.Money = 10000;
    }

    PlayerReaction Host(std::string_view text) {
        const auto message = lan::RecogniseHostMessage(text);
        EXPECT_TRUE(message) << text;
        return message ? session.OnMessage(*message) : PlayerReaction{};
    }

    void Invite(std::string_view invitation = "PARTICIPANT?2500") {
        session.Join();
        session.Connected();
        Host(invitation);
    }

    void ToLobby() {
        Invite();
        Host("HORSE?");
        Host("ACCEPTED!");
        ASSERT_EQ(session.State(), PlayerState::InLobby);
    }

    void ToRace() {
        ToLobby();
        Host("START!7500");
        ASSERT_EQ(session.State(), PlayerState::Racing);
    }

    // Answers a whole roster refresh: the host and one player in slot 3.
    void AnswerRoster(const core::HorseRec& hostHorse, const core::HorseRec& bobHorse) {
        const std::pair<std::string, Texts> script[] = {
            {"PLAYER>jo1", {"PLAYER?2"}},   {"UNEXISTENT>2", {"PLAYER?3"}},
            {"PLAYER>bob3", {"PLAYER?4"}},  {"UNEXISTENT>4", {"PLAYER?5"}},
            {"UNEXISTENT>5", {"HORSE?1"}},  {RosterHorse(hostHorse, 1), {"HORSE?2"}},
            {"DEAD>2", {"HORSE?3"}},        {RosterHorse(bobHorse, 3), {"HORSE?4"}},
            {"DEAD>4", {"HORSE?5"}},
        };
        for (const auto& [answer, next] : script) EXPECT_EQ(Sent(Host(answer)), next) << answer;
    }

    ScriptedRandom* rnd = new ScriptedRandom;
    core::Game game{std::unique_ptr<runtime::RandomSource>(rnd)};
    RecordingNotices notices;
    MemoryTree stable;
    lan::PlayerSession session{game, notices, stable, [] { return std::string("ann"); }};
};

TEST_F(LanPlayerTest, AJoinGoesThroughTheInvitationTheHorseAndTheAcceptance) {
    PlayerReaction r = session.Join();
    EXPECT_EQ(r.Status, lan::kConnecting);
    EXPECT_EQ(r.RefreshEnabled, false);
    EXPECT_TRUE(r.RosterCleared);
    EXPECT_EQ(session.Connected().Status, lan::kTransferringData);

    EXPECT_EQ(Sent(Host("PARTICIPANT?2500")), Texts{"YES>ann"});
    r = Host("HORSE?");
    ASSERT_EQ(r.Send.size(), 1u);
    core::HorseRec offered;
    const auto offer = lan::RecognisePlayerMessage(r.Send[0]);
    ASSERT_TRUE(offer && std::holds_alternative<lan::HorseOffer>(*offer));
    ASSERT_TRUE(online::DecodeHorseCode(std::get<lan::HorseOffer>(*offer).code, offered));
    EXPECT_EQ(offered.Name, "Dusty Pearl");
    EXPECT_EQ(offered.Colour, 112);

    r = Host("ACCEPTED!");
    EXPECT_EQ(r.Status, core::FormatMoney(2500));
    EXPECT_EQ(r.RefreshEnabled, true);
    EXPECT_EQ(session.State(), PlayerState::InLobby);
    EXPECT_EQ(game.Money, 10000) << "joining costs nothing; the race does";
}

// Money 2500: the stake decides, and a stake that would pay the player to
// join is refused as one too high.
TEST_F(LanPlayerTest, TheStakeDecidesWhetherThePlayerJoins) {
    const std::pair<const char*, bool> cases[] = {
        {"PARTICIPANT?2500", true},    {"PARTICIPANT?0", true},        {"PARTICIPANT?2500.01", false},
        {"PARTICIPANT?-5", false},     {"PARTICIPANT?lots", false},    {"PARTICIPANT?1E999", false},
        {"PARTICIPANT?", false},
    };
    for (const auto& [invitation, joins] : cases) {
        SCOPED_TRACE(invitation);
        game.Money = 2500;
        session.Join();
        session.Connected();
        const PlayerReaction r = Host(invitation);
        if (joins) {
            EXPECT_EQ(Sent(r), Texts{"YES>ann"});
            EXPECT_EQ(session.State(), PlayerState::AwaitingSlot);
            continue;
        }
        EXPECT_TRUE(r.Send.empty());
        EXPECT_TRUE(r.Close);
        EXPECT_EQ(r.Status, lan::kStakesTooHigh);
        // The close that follows keeps the reason the player reads.
        EXPECT_EQ(session.Closed().Status, std::nullopt);
        EXPECT_EQ(game.Money, 2500);
    }
}

TEST_F(LanPlayerTest, AFullGameEndsTheJoinAndSaysSo) {
    Invite();
    const PlayerReaction r = Host("  full! ");
    EXPECT_TRUE(r.Close);
    EXPECT_EQ(r.Status, lan::kGameFull);
    EXPECT_EQ(session.Closed().Status, std::nullopt);

    // Once the horse is accepted, "FULL!" is no answer to anything.
    ToLobby();
    EXPECT_TRUE(Host("FULL!").Refused);
    EXPECT_EQ(session.State(), PlayerState::InLobby);
}

TEST_F(LanPlayerTest, WithoutASelectedHorseNothingIsOfferedAndThePlayerIsTold) {
    for (const char* selection : {"", "MAIR8", "STUDx"}) {
        stable.Select(selection);
        Invite();
        const PlayerReaction r = Host("HORSE?");
        EXPECT_TRUE(r.Send.empty()) << selection;
        EXPECT_TRUE(r.Close);
        EXPECT_EQ(r.Status, lan::kDisconnected);
        EXPECT_EQ(notices.Last(), lan::kSelectAHorseToJoin);
    }
}

TEST_F(LanPlayerTest, TheStakeIsPaidOncePerRaceAndOnlyAfterTheHorseWasAccepted) {
    Invite();
    Host("HORSE?");
    EXPECT_TRUE(Host("START!7500").Refused) << "not accepted yet";
    EXPECT_EQ(game.Money, 10000);

    Host("ACCEPTED!");
    PlayerReaction r = Host("START!7500");
    EXPECT_TRUE(r.RaceSetUp);
    EXPECT_EQ(r.Result, lan::kRaceIsOn);
    EXPECT_EQ(game.Money, 7500);
    EXPECT_EQ(game.LANwager, 0) << "recorded once the race is settled";

    // The host starts its race afresh: the pictures go back, the money stays.
    r = Host("START!7500");
    EXPECT_TRUE(r.RaceSetUp);
    EXPECT_TRUE(r.Send.empty());
    EXPECT_EQ(game.Money, 7500);

    r = Host("WIN:7500");
    EXPECT_EQ(r.Result, std::string(lan::kYouHaveWon) + core::FormatMoney(7500));
    EXPECT_EQ(game.Money, 15000);
    EXPECT_EQ(game.LANwon, 1);
    EXPECT_EQ(game.LANwager, 7500);
    EXPECT_TRUE(Host("WIN:7500").Refused) << "one result per race";
    EXPECT_EQ(game.Money, 15000);

    // The host's next race is a new one, paid again.
    Host("START!5000");
    EXPECT_EQ(game.Money, 12500);
    Host("WIN:NO");
    EXPECT_EQ(game.LANlost, 1);
    EXPECT_EQ(game.LANwager, 7500) << "the largest pot stays";
}

TEST_F(LanPlayerTest, AResultMustBeAboveNothingAndWithinThePot) {
    ToRace();
    for (const char* result : {"WIN:0", "WIN:-100", "WIN:7500.01", "WIN:lots", "WIN:1E999", "WIN:"}) {
        EXPECT_TRUE(Host(result).Refused) << result;
    }
    EXPECT_EQ(game.Money, 7500);
    EXPECT_EQ(game.LANwon, 0);
    EXPECT_EQ(session.State(), PlayerState::Racing);

    const PlayerReaction r = Host("WIN:NO");
    EXPECT_EQ(r.Result, std::string(lan::kYouHaveLost) + core::FormatMoney(2500));
    EXPECT_EQ(game.LANlost, 1);
    EXPECT_EQ(game.Money, 7500);
    EXPECT_TRUE(Host("WIN:7500").Refused);
    EXPECT_TRUE(Host("WIN:NO").Refused);
    EXPECT_EQ(game.LANlost, 1);
}

TEST_F(LanPlayerTest, ARaceForNothingIsWonForNothing) {
    Invite("PARTICIPANT?0");
    Host("HORSE?");
    Host("ACCEPTED!");
    Host("START!0");
    ASSERT_EQ(session.State(), PlayerState::Racing);
    EXPECT_TRUE(Host("WIN:1").Refused);
    EXPECT_EQ(Host("WIN:0").Result, std::string(lan::kYouHaveWon) + core::FormatMoney(0));
    EXPECT_EQ(game.LANwon, 1);
    EXPECT_EQ(game.Money, 10000);
}

// A pot is the charge times one to five runners, the player among them.
TEST_F(LanPlayerTest, AStartThePlayerCannotTakePartInIsAnsweredByADropOut) {
    const std::pair<const char*, double> cases[] = {
        {"START!12500", 7500},   {"START!2500", 7500},   {"START!12501", 10000},
        {"START!2499", 10000},   {"START!lots", 10000},  {"START!-7500", 10000},
    };
    for (const auto& [start, money] : cases) {
        ToLobby();
        game.Money = 10000;
        const PlayerReaction r = Host(start);
        EXPECT_EQ(game.Money, money) << start;
        if (money == 10000) {
            EXPECT_EQ(Sent(r), Texts{"DROPOUT!"}) << start;
            EXPECT_EQ(session.State(), PlayerState::DroppedOut);
        }
    }
}

TEST_F(LanPlayerTest, AStakeThePlayerCanNoLongerPayDropsOutAndWaitsForTheClose) {
    ToLobby();
    game.Money = 2000;
    EXPECT_EQ(Sent(Host("START!7500")), Texts{"DROPOUT!"});
    EXPECT_EQ(notices.Last(), core::kNotEnoughMoney);
    EXPECT_TRUE(Host("WIN:7500").Refused);
    EXPECT_TRUE(Host("START!7500").Refused);
    EXPECT_EQ(game.Money, 2000);
    EXPECT_EQ(session.Closed().Status, lan::kDisconnected);
}

// A winner records the pot it was paid (drop-outs may have shrunk it), a
// loser the pot announced; a larger record stays.
TEST_F(LanPlayerTest, TheLargestPotIsRecordedOnceTheRaceIsSettled) {
    struct Case {
        const char* result;
        double before;
        double after;
    };
    for (const Case& c : {Case{"WIN:7500", 0, 7500}, Case{"WIN:5000", 0, 5000}, Case{"WIN:NO", 0, 7500},
                          Case{"WIN:7500", 10000, 10000}, Case{"WIN:NO", 10000, 10000}}) {
        game.LANwager = c.before;
        ToRace();
        EXPECT_EQ(game.LANwager, c.before) << "nothing is recorded before the result";
        ASSERT_FALSE(Host(c.result).Refused) << c.result;
        EXPECT_EQ(game.LANwager, c.after) << c.result << " after " << c.before;
    }
}

// However the host goes before the result (it closes, the connection is
// reset or fails, it falls silent, or the player leaves), the stake comes
// back and the race counts for nothing.
TEST_F(LanPlayerTest, ARaceTheHostNeverSettlesGivesTheStakeBack) {
    const std::pair<const char*, std::function<PlayerReaction()>> ways[] = {
        {"closed or reset", [this] { return session.Closed(); }},
        {"silent", [this] { return session.HostQuiet(); }},
        {"left by the player", [this] { return session.Leave(); }},
    };
    for (const auto& [how, go] : ways) {
        game.Money = 10000;
        game.LANwager = 100;
        ToRace();
        ASSERT_EQ(game.Money, 7500) << how;
        const PlayerReaction r = go();
        EXPECT_EQ(game.Money, 10000) << how;
        EXPECT_TRUE(r.MoneyChanged) << how;
        EXPECT_EQ(r.Result, lan::kDisconnected) << how << ": the race screen says so";
        EXPECT_EQ(game.LANwon + game.LANlost, 0) << how;
        EXPECT_EQ(game.LANwager, 100) << how;
        EXPECT_NE(session.State(), PlayerState::Racing) << how;
        // Nothing settles the race later, and nothing pays twice.
        EXPECT_TRUE(Host("WIN:7500").Refused) << how;
        EXPECT_TRUE(session.Closed().Result == std::nullopt) << how;
        EXPECT_EQ(game.Money, 10000) << how;
    }
}

TEST_F(LanPlayerTest, ASilentHostIsClosedAndANewGameTakesNoStakeBack) {
    ToRace();
    EXPECT_TRUE(session.HostQuiet().Close) << "we end the connection to a host that is gone";

    ToRace();
    const PlayerReaction r = session.GameReplaced();
    EXPECT_EQ(r.Status, lan::kDisconnected);
    EXPECT_FALSE(r.MoneyChanged) << "the stake was the old game's money";
    EXPECT_EQ(game.Money, 7500);
    EXPECT_TRUE(Host("WIN:7500").Refused);
}

TEST_F(LanPlayerTest, TheHostMayBeQuietOnlyWhileItOwesAnAnswerOrARace) {
    EXPECT_EQ(session.QuietAllowedMs(), std::nullopt);
    ToLobby();
    EXPECT_EQ(session.QuietAllowedMs(), std::nullopt) << "a lobby may wait for players as long as it likes";
    session.RefreshRoster();
    EXPECT_EQ(session.QuietAllowedMs(), lan::kLongestRosterWaitMs);
    Host("START!7500");
    EXPECT_EQ(session.QuietAllowedMs(), lan::kLongestRaceSilenceMs);
    Host("WIN:NO");
    EXPECT_EQ(session.QuietAllowedMs(), lan::kLongestRosterWaitMs) << "the roster question is still open";
    session.HostQuiet();
    EXPECT_EQ(session.QuietAllowedMs(), std::nullopt);
}

// An answer that never comes (a reader that took it for something else)
// ends its chain; the next refresh asks from the start.
TEST_F(LanPlayerTest, AnUnansweredRosterQuestionEndsItsChain) {
    ToLobby();
    EXPECT_EQ(Sent(session.RefreshRoster()), Texts{"PLAYER?1"});
    EXPECT_EQ(Sent(Host("PLAYER>jo1")), Texts{"PLAYER?2"});
    // "PLAYER?2" is never answered.
    EXPECT_TRUE(Sent(session.RefreshRoster()).empty()) << "waits for the chain";
    EXPECT_TRUE(session.RefreshPending());
    EXPECT_EQ(Sent(session.HostQuiet()), Texts{"PLAYER?1"}) << "the refresh asked for meanwhile starts";
    EXPECT_TRUE(session.HostQuiet().Send.empty());
    EXPECT_FALSE(session.RefreshRunning());
    EXPECT_TRUE(Host("PLAYER>jo1").Refused) << "a late answer belongs to no question";
    EXPECT_EQ(Sent(session.RefreshRoster()), Texts{"PLAYER?1"});
    AnswerRoster(LanHorse("Hosts Horse", 101), LanHorse("Bobs Horse", 102));
    EXPECT_EQ(Sent(Host("DEAD>5")), Texts{});
    EXPECT_FALSE(session.RefreshRunning());
}

TEST_F(LanPlayerTest, ARefreshAsksForEveryPlayerThenEveryHorse) {
    ToLobby();
    rnd->Push(0.5f);
    EXPECT_EQ(Host("REFRESH!").RefreshDelayMs, 1000);

    PlayerReaction r = session.RefreshRoster();
    EXPECT_TRUE(r.RosterCleared);
    EXPECT_EQ(Sent(r), Texts{"PLAYER?1"});
    const core::HorseRec jo = Male(LanHorse("Iron Duke", 101));
    const core::HorseRec bob = LanHorse("Mary Anne", 145);
    AnswerRoster(jo, bob);
    r = Host("DEAD>5");
    EXPECT_TRUE(r.Send.empty()) << "the answer for slot 5's horse ends the refresh";
    EXPECT_FALSE(session.RefreshRunning());

    EXPECT_EQ(session.ContenderAt(3).Name, "bob");
    EXPECT_TRUE(session.ContenderAt(1).Used);
    EXPECT_FALSE(session.ContenderAt(2).Used);
    EXPECT_TRUE(session.ContenderAt(3).Used);
    EXPECT_EQ(session.ContenderAt(3).Horse.Name, "Mary Anne");
    EXPECT_EQ(session.ContenderAt(3).Horse.MoJo, 0) << "the code does not carry MoJo";
    EXPECT_EQ(lan::PlayerSession::RosterKey(3), "H3");
    EXPECT_EQ(lan::PlayerSession::RosterText(session.ContenderAt(3).Horse), "Mary Anne (F)");
    EXPECT_EQ(lan::PlayerSession::RosterText(session.ContenderAt(1).Horse), "Iron Duke (M)");
    EXPECT_EQ(lan::PlayerSession::RosterImage(session.ContenderAt(3).Horse), 45);
    const lan::RunnerView runner = session.Runner(3);
    EXPECT_TRUE(runner.Shown);
    EXPECT_EQ(runner.Coat, 145);
    EXPECT_EQ(runner.Title, "Mary Anne (bob)");
    EXPECT_FALSE(session.Runner(2).Shown);
}

// A hostile host's roster may name any coat: only the game's own get an image.
TEST_F(LanPlayerTest, ARosterHorseShowsItsCoatOnlyWhenTheGameDrawsIt) {
    const struct {
        std::int32_t coat;
        int image;
    } cases[] = {{101, 1}, {145, 45}, {100, 0}, {146, 0}, {0, 0}, {-7, 0}, {INT32_MIN, 0}, {INT32_MAX, 0}};
    for (const auto& c : cases) {
        core::HorseRec horse = LanHorse("Far Away", 101);
        horse.Colour = c.coat;
        EXPECT_EQ(lan::PlayerSession::RosterImage(horse), c.image) << c.coat;
    }
}

TEST_F(LanPlayerTest, ARefreshAskedForDuringOneStartsWhenItEnds) {
    ToLobby();
    session.RefreshRoster();
    PlayerReaction r = session.RefreshRoster();
    EXPECT_TRUE(r.Send.empty());
    EXPECT_TRUE(session.RefreshPending());
    AnswerRoster(Male(LanHorse("Iron Duke", 101)), LanHorse("Mary Anne", 145));
    r = Host("DEAD>5");
    EXPECT_EQ(Sent(r), Texts{"PLAYER?1"});
    EXPECT_TRUE(r.RosterCleared);
    EXPECT_TRUE(r.RosterAdded.empty());
    EXPECT_FALSE(session.ContenderAt(1).Used);
    EXPECT_TRUE(session.RefreshRunning());
}

// An answer counts only for the question last asked, so no slot is filled
// twice and a host cannot make the player ask without end.
TEST_F(LanPlayerTest, AnswersNobodyAskedForAreRefused) {
    ToLobby();
    const core::HorseRec horse = Male(LanHorse("Iron Duke", 101));
    EXPECT_TRUE(Host(RosterHorse(horse, 1)).Refused) << "no refresh runs";
    session.RefreshRoster();
    for (const std::string& answer :
         {std::string("PLAYER>jo2"), std::string("PLAYER>jo0"), std::string("PLAYER>jo"), std::string("DEAD>1"),
          std::string("UNEXISTENT>6"), RosterHorse(horse, 1)}) {
        const PlayerReaction r = Host(answer);
        EXPECT_TRUE(r.Refused) << answer;
        EXPECT_TRUE(r.Send.empty()) << answer;
    }
    EXPECT_EQ(session.ContenderAt(2).Name, "");
    EXPECT_EQ(Sent(Host("PLAYER>jo1")), Texts{"PLAYER?2"});
}

TEST_F(LanPlayerTest, AHorseCodeThatCannotBeReadCountsAsNoHorse) {
    ToLobby();
    session.RefreshRoster();
    for (int slot = 1; slot <= 5; ++slot) Host("UNEXISTENT>" + std::to_string(slot));
    const PlayerReaction r = Host("HORSE>not a code1");
    EXPECT_EQ(Sent(r), Texts{"HORSE?2"});
    EXPECT_TRUE(r.RosterAdded.empty());
    EXPECT_FALSE(session.ContenderAt(1).Used);
}

TEST_F(LanPlayerTest, RefreshesAndRacesNeedAnAcceptedHorse) {
    Invite();
    Host("HORSE?");
    EXPECT_TRUE(session.RefreshRoster().Refused);
    EXPECT_TRUE(Host("REFRESH!").Refused);
    EXPECT_TRUE(Host("H1500:H2500:H3500:H4500:H5500:").Refused);
    EXPECT_TRUE(Host("PARTICIPANT?1").Refused) << "the stake is set once";
    EXPECT_EQ(session.Stake(), 2500);
}

TEST(LanPlayerRules, TheRefreshWaitsAtLeastAMillisecond) {
    const std::pair<float, int> cases[] = {
        {0.0f, 1}, {0x1p-12f, 1}, {ScriptedRandom::For(3, 2000), 3}, {0.5f, 1000}, {std::nextafter(1.0f, 0.0f), 2000},
    };
    for (const auto& [r, ms] : cases) EXPECT_EQ(lan::PlayerSession::RefreshDelay(r), ms) << r;
}

TEST(LanPlayerRules, FramePositionsStayOnTheTrack) {
    const float inf = std::numeric_limits<float>::infinity();
    const lan::RaceFrame frame{{-50.0f, 20000.0f, 4000.5f, std::nullopt, inf}};
    const lan::FramePositions expected{0.0f, 9600.0f, 4000.5f, std::nullopt, std::nullopt};
    EXPECT_EQ(lan::PlayerSession::OnTrack(frame), expected);
}

TEST_F(LanPlayerTest, FramesMoveThePicturesOnlyDuringARace) {
    ToLobby();
    EXPECT_TRUE(Host("H1500:H2500:H3500:H4500:H5500:").Refused);
    Host("START!7500");
    const PlayerReaction r = Host("H1500:H2-9:H3500:H4500:H599999:");
    ASSERT_TRUE(r.Frame);
    EXPECT_EQ(*r.Frame, (lan::FramePositions{500.0f, 0.0f, 500.0f, 500.0f, 9600.0f}));
}

// Why the game ended is told in a notice too, for a player looking at
// another screen than the lobby; a player that could not pay knows why.
TEST_F(LanPlayerTest, AHostThatGoesIsToldOfWhereverThePlayerLooks) {
    const std::pair<const char*, std::function<void()>> states[] = {
        {"in the lobby", [this] { ToLobby(); }},
        {"after a race", [this] { ToRace(), Host("WIN:NO"); }},
        {"mid-race", [this] { ToRace(); }},
        {"dropped out", [this] { ToLobby(), game.Money = 0, Host("START!7500"); }},
    };
    const std::optional<std::string> notices[] = {lan::kHostGone, lan::kHostGone, lan::kHostGoneStakeBack,
                                                  std::nullopt};
    for (std::size_t i = 0; i < std::size(states); ++i) {
        SCOPED_TRACE(states[i].first);
        game.Money = 10000;
        states[i].second();
        EXPECT_EQ(session.Closed().Notice, notices[i]);
        EXPECT_EQ(session.Closed().Notice, std::nullopt) << "once";
    }
}

TEST_F(LanPlayerTest, AHostThatClosesEndsTheGameAndANewJoinForgetsIt) {
    ToRace();
    session.RefreshRoster();
    PlayerReaction r = session.Closed();
    EXPECT_EQ(r.Status, lan::kDisconnected);
    EXPECT_EQ(r.RefreshEnabled, false);
    EXPECT_TRUE(Host("WIN:7500").Refused);
    EXPECT_TRUE(session.RefreshRoster().Refused);

    r = session.Join();
    EXPECT_EQ(r.Status, lan::kConnecting);
    EXPECT_EQ(session.Stake(), 0);
    EXPECT_FALSE(session.RefreshRunning());
    EXPECT_EQ(session.State(), PlayerState::Connecting);
}

}  // namespace
