// The host of a LAN race without sockets: the dialogue with each player, the
// slots, the pot, the race and the payout, driven message by message.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Money.h"
#include "online/Brambly.h"
#include "online/LanHost.h"
#include "tests/support/FakePorts.h"
#include "tests/online/LanTestHorses.h"
#include "tests/support/ScriptedRandom.h"

namespace lan = online::lan;
using lan::ConnectionId;
using lan::ConnectionState;
using lan::Outgoing;
using testing_support::HorseOffer;
using testing_support::LanHorse;
using testing_support::ScriptedRandom;

namespace {

using Texts = std::vector<std::string>;

class LanHostTest : public ::testing::Test {
protected:
    LanHostTest()
        : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)), host([this] { return now; }) {
        // Every draw 0: no race-day bonus and no random part in a step, so
        // a horse of speed and stamina 100 moves exactly 50.5 twips a tick.
        rnd->RepeatWhenEmpty(0.0f);
        game.Money = 10000;
        game.OwnedHorse[3] = LanHorse("Happy Beauty", 120);
    }

    void Create(double charge = 2500) {
        ASSERT_EQ(host.CreateGame(game, charge, 3, "hoster", out), lan::CreateResult::Created);
        out = {};
    }

    // A player that answers the invitation and sends its horse.
    ConnectionId Join(const std::string& name, const core::HorseRec& horse) {
        const ConnectionId id = host.Accept(out);
        host.Receive(id, "YES>" + name, out);
        host.Receive(id, HorseOffer(horse), out);
        out = {};
        return id;
    }

    // What went to one connection since the last call, and forget it all.
    Texts SentTo(ConnectionId id) {
        Texts texts;
        for (const Outgoing& o : out.sends) {
            if (o.to == id) texts.push_back(o.text);
        }
        return texts;
    }
    Texts Take(ConnectionId id) {
        Texts texts = SentTo(id);
        out = {};
        return texts;
    }

    void Receive(ConnectionId id, const std::string& message) { host.Receive(id, message, out); }

    lan::StartResult Start() { return host.StartRace(game, notices, out); }

    // Ticks until every runner is in and the payout is due.
    int RunToTheEnd(int packetFrequency = 30) {
        int ticks = 0;
        while (host.Tick(game.Random(), packetFrequency, out) == lan::TickResult::Running) {
            if (++ticks > 100000) {
                ADD_FAILURE() << "the race never ended";
                break;
            }
        }
        return ticks;
    }

    // What a connection's player has acknowledged: all that was sent to it,
    // unless the test holds it back; and whether it is still up.
    lan::LinkState Look(ConnectionId id) const {
        const bool acknowledges = withheld.count(id) == 0;
        return {acknowledges ? host.BytesSent(id) : 0, down.count(id) == 0};
    }
    lan::LinkLook Links() {
        return [this](ConnectionId id) { return Look(id); };
    }

    // The payout timer's second, then every poll until the race is paid
    // (or the time a payout may take has passed).
    std::optional<lan::Payout> PayOut() {
        const lan::SettleTime end = now + std::chrono::seconds(20);
        while (now < end) {
            auto payout = host.PayOut(game, Links(), out);
            if (payout || host.Phase() != lan::HostPhase::Paying) return payout;
            now += lan::kPayoutPoll;
        }
        ADD_FAILURE() << "the payout never ended";
        return std::nullopt;
    }

    ScriptedRandom* rnd;
    core::Game game;
    testing_support::RecordingNotices notices;
    lan::SettleTime now = lan::SettleTime{} + std::chrono::hours(1);
    lan::LanHost host;
    lan::HostActions out;
    std::set<ConnectionId> withheld;
    std::set<ConnectionId> down;
};

// ---- Creating a game ----------------------------------------------------------

TEST_F(LanHostTest, CreatingNeedsTheChargeInHandAndAStableHorse) {
    game.Money = 2499;
    EXPECT_EQ(host.CreateGame(game, 2500, 3, "hoster", out), lan::CreateResult::NotEnoughMoney);
    EXPECT_EQ(host.Phase(), lan::HostPhase::NoGame);
    game.Money = 2500;
    EXPECT_EQ(host.CreateGame(game, 2500, std::nullopt, "hoster", out), lan::CreateResult::NoHorse);
    EXPECT_EQ(host.CreateGame(game, 2500, 4, "hoster", out), lan::CreateResult::NoHorse);
    EXPECT_EQ(host.CreateGame(game, 2500, 5000, "hoster", out), lan::CreateResult::NoHorse);
    EXPECT_EQ(host.Phase(), lan::HostPhase::NoGame);

    ASSERT_EQ(host.CreateGame(game, 2500, 3, "hoster", out), lan::CreateResult::Created);
    EXPECT_EQ(game.Money, 2500) << "the charge is paid at each race's start, not here";
    EXPECT_EQ(host.PlayerName(1), "hoster");
    EXPECT_TRUE(host.HorseReady(1));
    EXPECT_EQ(host.LANHorse(1), game.OwnedHorse[3]);
    for (int k = 2; k <= 5; ++k) EXPECT_FALSE(host.HorseReady(k));
    EXPECT_EQ(host.FindFreeLAN(), 2);
}

TEST_F(LanHostTest, CreatingAgainClosesEveryEarlierConnection) {
    Create();
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    const ConnectionId waiting = host.Accept(out);
    out = {};
    ASSERT_EQ(host.CreateGame(game, 100, 3, "hoster", out), lan::CreateResult::Created);
    EXPECT_EQ(out.close, (std::vector<ConnectionId>{bob, waiting}));
    EXPECT_TRUE(host.Connections().empty());
    EXPECT_FALSE(host.HorseReady(2));
    // The old connection's slot digit acts on nothing any more.
    out = {};
    Receive(bob, "DROPOUT!");
    Receive(bob, "PLAYER?1");
    EXPECT_TRUE(out.sends.empty());
    EXPECT_EQ(host.ChargePerPlayer(), 100);
}

TEST_F(LanHostTest, AChargeThatWouldPayPlayersToJoinIsRefused) {
    for (const double charge : {-1.0, -0.5, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_EQ(host.CreateGame(game, charge, 3, "hoster", out), lan::CreateResult::BadCharge) << charge;
    }
    EXPECT_EQ(host.Phase(), lan::HostPhase::NoGame);
    ASSERT_EQ(host.CreateGame(game, -0.0, 3, "hoster", out), lan::CreateResult::Created);
    const ConnectionId id = host.Accept(out);
    EXPECT_EQ(SentTo(id), Texts{"PARTICIPANT?0"});
}

// ---- The dialogue ---------------------------------------------------------------

TEST_F(LanHostTest, APlayerJoinsThroughTheWholeDialogue) {
    Create(2500.5);
    const ConnectionId id = host.Accept(out);
    EXPECT_EQ(Take(id), Texts{"PARTICIPANT?2500.5"});
    EXPECT_EQ(host.StateOf(id), ConnectionState::Invited);

    Receive(id, "YES>bob");
    EXPECT_EQ(Take(id), Texts{"HORSE?"});
    EXPECT_EQ(host.StateOf(id), ConnectionState::Bound);
    EXPECT_EQ(host.PlayerName(2), "bob");
    EXPECT_EQ(host.PlayerSocket(2), id);
    EXPECT_FALSE(host.HorseReady(2));

    const core::HorseRec horse = LanHorse("Bobs Pride", 101);
    Receive(id, HorseOffer(horse));
    EXPECT_EQ(Take(id), (Texts{"ACCEPTED!", "REFRESH!"}));
    EXPECT_EQ(host.StateOf(id), ConnectionState::Ready);
    EXPECT_TRUE(host.HorseReady(2));
    EXPECT_EQ(host.LobbyTag(2), lan::kAlive);
    EXPECT_EQ(host.LANHorse(2).Name, "Bobs Pride");

    // The next player's horse refreshes every ready player, its sender too.
    const ConnectionId ann = host.Accept(out);
    Receive(ann, "YES>ann");
    Receive(ann, HorseOffer(LanHorse("Anns Gold", 102)));
    EXPECT_EQ(SentTo(id), Texts{"REFRESH!"});
    EXPECT_EQ(SentTo(ann), (Texts{"PARTICIPANT?2500.5", "HORSE?", "ACCEPTED!", "REFRESH!"}));
}

TEST_F(LanHostTest, AReceivedHorseRacesAtFullHealth) {
    Create();
    core::HorseRec horse = LanHorse("Bobs Pride", 101);
    horse.Health = 3;
    horse.HealthMAX = 150;
    Join("bob", horse);
    EXPECT_EQ(host.LANHorse(2).Health, lan::kLanHealth);
    EXPECT_EQ(host.LANHorse(2).HealthMAX, lan::kLanHealth);
    EXPECT_EQ(host.LANHorse(2).MoJo, 0) << "nothing the code does not carry is made up";
}

TEST_F(LanHostTest, TheRosterChainIsAnsweredExactly) {
    Create();
    const core::HorseRec bobs = LanHorse("Bobs Pride", 101);
    const ConnectionId bob = Join("bob", bobs);
    const ConnectionId asker = host.Accept(out);  // unbound connections are answered too
    out = {};
    const std::pair<const char*, std::string> chain[] = {
        {"PLAYER?1", "PLAYER>hoster1"},
        {"PLAYER?2", "PLAYER>bob2"},
        {"PLAYER?3", "UNEXISTENT>3"},
        {"PLAYER?4", "UNEXISTENT>4"},
        {"PLAYER?5", "UNEXISTENT>5"},
        {"HORSE?1", "HORSE>" + online::EncodeHorseCode(game.OwnedHorse[3]) + "1"},
        {"HORSE?2", "HORSE>" + online::EncodeHorseCode(host.LANHorse(2)) + "2"},
        {"HORSE?3", "DEAD>3"},
        {"HORSE?4", "DEAD>4"},
        {"HORSE?5", "DEAD>5"},
    };
    for (const ConnectionId id : {bob, asker}) {
        for (const auto& [query, answer] : chain) {
            Receive(id, query);
            EXPECT_EQ(Take(id), Texts{answer}) << query;
        }
    }
    // The host's horse travels whole and reads back as it is.
    core::HorseRec read;
    ASSERT_TRUE(online::DecodeHorseCode(online::EncodeHorseCode(host.LANHorse(1)), read));
    EXPECT_EQ(read.Name, "Happy Beauty");
}

TEST_F(LanHostTest, QueriesForNoSlotGetNoAnswer) {
    Create();
    const ConnectionId id = host.Accept(out);
    out = {};
    for (const char* query : {"PLAYER?0", "PLAYER?6", "PLAYER?9", "PLAYER?", "PLAYER?x", "HORSE?0", "HORSE?7",
                              "HORSE?", "HORSE?-", "YES", "HELLO"}) {
        const auto refused = host.RefusedMessages();
        Receive(id, query);
        EXPECT_TRUE(out.sends.empty()) << query;
        EXPECT_EQ(host.RefusedMessages(), refused + 1) << query;
    }
}

TEST_F(LanHostTest, AFifthPlayerIsTurnedAwayAndCannotTryAgain) {
    Create();
    for (const char* name : {"bob", "ann", "cid", "dot"}) Join(name, LanHorse(name, 110));
    EXPECT_EQ(host.FindFreeLAN(), 0);
    const ConnectionId late = host.Accept(out);
    Receive(late, "YES>eve");
    EXPECT_EQ(Take(late), (Texts{"PARTICIPANT?2500", "FULL!"}));
    EXPECT_EQ(host.StateOf(late), ConnectionState::Dropped);
    Receive(late, "YES>eve");
    Receive(late, HorseOffer(LanHorse("Eves", 111)));
    Receive(late, "PLAYER?1");
    EXPECT_TRUE(out.sends.empty());
}

TEST_F(LanHostTest, AcceptingReservesTheSlotUntilTheConnectionGoes) {
    Create();
    const ConnectionId first = host.Accept(out);
    const ConnectionId second = host.Accept(out);
    Receive(first, "YES>bob");
    Receive(second, "YES>ann");
    EXPECT_EQ(host.PlayerSocket(2), first);
    EXPECT_EQ(host.PlayerSocket(3), second);
    // The first goes before its horse arrived: its slot is free at once.
    out = {};
    host.ConnectionLost(first, out);
    EXPECT_EQ(out.close, std::vector<ConnectionId>{first});
    EXPECT_EQ(host.FindFreeLAN(), 2);
    Receive(second, HorseOffer(LanHorse("Anns Gold", 102)));
    EXPECT_TRUE(host.HorseReady(3));
    EXPECT_FALSE(host.HorseReady(2));
}

TEST_F(LanHostTest, EachConnectionSpeaksInItsTurnOnly) {
    Create();
    const ConnectionId id = host.Accept(out);
    out = {};
    // A horse before "YES>" has no slot to go to.
    Receive(id, HorseOffer(LanHorse("Early", 101)));
    EXPECT_TRUE(out.sends.empty());
    EXPECT_EQ(host.StateOf(id), ConnectionState::Invited);
    Receive(id, "YES>bob");
    Receive(id, "YES>bob again");
    EXPECT_EQ(Take(id), Texts{"HORSE?"});
    EXPECT_EQ(host.PlayerName(2), "bob");
    EXPECT_EQ(host.PlayerSocket(3), std::nullopt) << "a second YES> takes no second slot";
    Receive(id, HorseOffer(LanHorse("Bobs Pride", 101)));
    out = {};
    // A second horse never replaces the first.
    Receive(id, HorseOffer(LanHorse("Swapped", 140, 5000, 5000)));
    EXPECT_TRUE(out.sends.empty());
    EXPECT_EQ(host.LANHorse(2).Name, "Bobs Pride");
    EXPECT_EQ(host.RefusedMessages(), 3u);
}

TEST_F(LanHostTest, ABadHorseGetsNoAnswerAndLosesItsConnection) {
    struct Case {
        const char* what;
        void (*spoil)(core::HorseRec&);
    };
    const Case cases[] = {
        {"coat 100", [](core::HorseRec& h) { h.Colour = 100; }},
        {"coat 146", [](core::HorseRec& h) { h.Colour = 146; }},
        {"sex 0", [](core::HorseRec& h) { h.Sex = 0; }},
        {"sex 3", [](core::HorseRec& h) { h.Sex = 3; }},
        {"start 101", [](core::HorseRec& h) { h.Start = 101; }},
        {"end -1", [](core::HorseRec& h) { h.End = -1; }},
        {"speed beyond the race", [](core::HorseRec& h) { h.Speed = lan::kMaxLanRating + 1; }},
        {"stamina beyond the race", [](core::HorseRec& h) { h.Stamina = 2000000000; }},
        {"confidence beyond the race", [](core::HorseRec& h) { h.Confidence = 40000; }},
        {"negative speed", [](core::HorseRec& h) { h.Speed = -5; }},
    };
    Create();
    for (const Case& c : cases) {
        core::HorseRec horse = LanHorse("Bad", 120);
        c.spoil(horse);
        const ConnectionId id = host.Accept(out);
        Receive(id, "YES>mal");
        out = {};
        Receive(id, HorseOffer(horse));
        EXPECT_TRUE(out.sends.empty()) << c.what;
        EXPECT_EQ(out.close, std::vector<ConnectionId>{id}) << c.what;
        EXPECT_FALSE(host.HorseReady(2)) << c.what;
        EXPECT_EQ(host.FindFreeLAN(), 2) << c.what;
    }
    // A code that does not decipher is as bad.
    const ConnectionId id = host.Accept(out);
    Receive(id, "YES>mal");
    out = {};
    Receive(id, "HORSE>not a code at all");
    EXPECT_TRUE(out.sends.empty());
    EXPECT_EQ(out.close, std::vector<ConnectionId>{id});
    // The extremes that may race do.
    core::HorseRec best = LanHorse("Best", 145, lan::kMaxLanRating, lan::kMaxLanRating);
    best.Confidence = lan::kMaxLanRating;
    best.Start = 0;
    best.End = 100;
    best.Sex = core::kFemale;
    EXPECT_TRUE(lan::IsRaceableHorse(best));
}

TEST_F(LanHostTest, NamesThatWouldReadAsAnotherMessageAreMadeHarmless) {
    const struct {
        const char* name;
        int slot;
        const char* kept;
    } cases[] = {
        {"bob", 2, "bob"},
        {"Bob Smith 2", 3, "Bob Smith 2"},
        {"", 2, ""},
        // A keyword in a name begins no message unless it follows a digit.
        {"xWIN:9999999", 2, "xWIN:9999999"},
        {"SMITH", 1, "SMITH"},
        {"a full!", 5, "a full!"},
        {"REFRESH!", 4, "REFRESH!"},  // at the front it cannot be cut off
        {"bob2REFRESH!", 3, "bob2_EFRESH!"},
        {"x1WIN:9999999", 2, "x1_IN:9999999"},
        {"7H1", 2, "7_1"},  // with the slot digit it would begin a frame
    };
    for (const auto& c : cases) EXPECT_EQ(lan::RelayableName(c.name, c.slot), c.kept) << c.name;
    EXPECT_EQ(lan::RelayableName(std::string(500, 'n'), 2).size(), lan::kMaxPlayerName);
}

// ---- The race -------------------------------------------------------------------

TEST_F(LanHostTest, StartingChargesTheHostAndSetsThePot) {
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    const ConnectionId ann = Join("ann", LanHorse("Anns Gold", 102));
    const ConnectionId cid = Join("cid", LanHorse("Cids Comet", 103));
    game.LANwager = 500;
    // Ann leaves in the lobby, Cid's connection is found gone.
    Receive(ann, "DROPOUT!");
    host.ConnectionLost(cid, out);
    out = {};
    ASSERT_EQ(Start(), lan::StartResult::Started);
    EXPECT_EQ(game.Money, 9000);
    EXPECT_EQ(host.LanRunners(), 2);
    EXPECT_EQ(host.LanPot(), 2000);
    EXPECT_EQ(game.LANwager, 500) << "a pot is recorded once it is paid out";
    EXPECT_TRUE(host.Runs(1));
    EXPECT_TRUE(host.Runs(2));
    EXPECT_FALSE(host.Runs(3)) << "a player that left is no runner";
    EXPECT_FALSE(host.Runs(4)) << "a player that gets no START! pays nothing and runs nothing";
    EXPECT_EQ(Take(bob), Texts{"START!2000"});
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(host.Picture(k).Left, core::kStartLine) << k;
    EXPECT_EQ(host.Picture(1).Picture, 120);

    // The race runs the two; the others' pictures stay where they are.
    host.Tick(game.Random(), 30, out);
    EXPECT_EQ(host.Picture(1).Left, core::kStartLine + 50.5f);
    EXPECT_EQ(host.Picture(2).Left, core::kStartLine + 50.5f);
    EXPECT_EQ(host.Picture(3).Left, core::kStartLine);
    EXPECT_EQ(Take(bob), Texts{"H1410.5:H2410.5:H3360:H4360:H5360:"});
}

TEST_F(LanHostTest, StartingNeedsAGameAndTheHostsCharge) {
    EXPECT_EQ(Start(), lan::StartResult::NoGame);
    Create(2500);
    game.Money = 2000;
    EXPECT_EQ(Start(), lan::StartResult::NotEnoughMoney);
    EXPECT_EQ(notices.Last(), core::kNotEnoughMoney);
    EXPECT_EQ(host.Phase(), lan::HostPhase::Lobby);
    EXPECT_EQ(game.Money, 2000);
}

TEST_F(LanHostTest, NothingRestartsOrRecreatesARaceBeforeItsPayout) {
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    host.Tick(game.Random(), 30, out);
    const float left = host.Picture(1).Left;
    out = {};
    EXPECT_EQ(Start(), lan::StartResult::RaceRunning);
    EXPECT_EQ(host.CreateGame(game, 1000, 3, "hoster", out), lan::CreateResult::RaceRunning);
    EXPECT_EQ(game.Money, 9000);
    EXPECT_EQ(host.LanPot(), 2000);
    EXPECT_EQ(host.Picture(1).Left, left);
    EXPECT_TRUE(out.sends.empty());
    EXPECT_TRUE(out.close.empty());
    EXPECT_EQ(host.StateOf(bob), ConnectionState::Ready);
    RunToTheEnd();
    // Every runner is in, but the payout has not come: still refused.
    EXPECT_EQ(Start(), lan::StartResult::RaceRunning);
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(Start(), lan::StartResult::Started) << "after the payout the next race may start";
}

TEST_F(LanHostTest, FramesGoOutEvery31MinusVTicks) {
    // Horses this slow never finish within the ticks counted.
    game.OwnedHorse[3] = LanHorse("Slow", 120, 0, 0);
    for (const int v : {30, 29, 15, 0}) {
        lan::LanHost race;
        lan::HostActions actions;
        ASSERT_EQ(race.CreateGame(game, 10, 3, "hoster", actions), lan::CreateResult::Created);
        const ConnectionId id = race.Accept(actions);
        race.Receive(id, "YES>bob", actions);
        race.Receive(id, HorseOffer(LanHorse("Slow Too", 101, 0, 0)), actions);
        ASSERT_EQ(race.StartRace(game, notices, actions), lan::StartResult::Started);
        std::vector<int> frameTicks;
        for (int tick = 1; tick <= 93; ++tick) {
            actions = {};
            ASSERT_EQ(race.Tick(game.Random(), v, actions), lan::TickResult::Running);
            for (const Outgoing& o : actions.sends) {
                if (o.text.starts_with("H1")) frameTicks.push_back(tick);
            }
        }
        const int every = 31 - v;
        ASSERT_EQ(frameTicks.size(), static_cast<std::size_t>(93 / every)) << "v = " << v;
        for (std::size_t i = 0; i < frameTicks.size(); ++i) {
            EXPECT_EQ(frameTicks[i], static_cast<int>(i + 1) * every) << "v = " << v;
        }
    }
}

TEST_F(LanHostTest, PlacesGoByArrivalAndBySlotWithinATick) {
    Create(1000);
    // Slot 3's horse is faster; slots 1 and 2 are alike and cross together.
    Join("bob", LanHorse("Twin", 101));
    Join("ann", LanHorse("Rocket", 102, 200, 200));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    EXPECT_EQ(host.Place(1), 3);
    EXPECT_EQ(host.Place(2), 1);
    EXPECT_EQ(host.Place(3), 2);
    EXPECT_EQ(host.Place(4), 0);
    EXPECT_EQ(host.LanNextPlace(), 4);
    EXPECT_EQ(host.Phase(), lan::HostPhase::Paying);
}

TEST_F(LanHostTest, ThePlayersWinnerGetsThePotAndTheOthersNothing) {
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    const ConnectionId ann = Join("ann", LanHorse("Rocket", 102, 300, 300));
    const ConnectionId cid = Join("cid", LanHorse("Cids Comet", 103));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    out = {};
    const auto payout = PayOut();
    ASSERT_TRUE(payout);
    EXPECT_EQ(payout->caption, "YOU HAVE LOST " + core::FormatMoney(1000));
    EXPECT_EQ(out.sends, (std::vector<Outgoing>{{ann, "WIN:4000"}, {bob, "WIN:NO"}, {cid, "WIN:NO"}}))
        << "the winner first, then the others in their places";
    EXPECT_EQ(game.Money, 9000);
    EXPECT_EQ(game.LANlost, 1);
    EXPECT_EQ(game.LANwon, 0);
    EXPECT_EQ(host.LanPot(), 0);
    out = {};
    EXPECT_EQ(PayOut(), std::nullopt) << "one payout per race";
    EXPECT_TRUE(out.sends.empty());
    EXPECT_EQ(game.LANlost, 1);
}

TEST_F(LanHostTest, TheHostAloneWinsItsChargeBack) {
    Create(2500);
    ASSERT_EQ(Start(), lan::StartResult::Started);
    EXPECT_EQ(game.Money, 7500);
    const int ticks = RunToTheEnd();
    EXPECT_EQ(ticks, 183);  // 9240 twips at 50.5 a tick
    const auto payout = PayOut();
    ASSERT_TRUE(payout);
    EXPECT_EQ(payout->caption, "YOU HAVE WON " + core::FormatMoney(2500));
    EXPECT_EQ(game.Money, 10000);
    EXPECT_EQ(game.LANwon, 1);
    EXPECT_EQ(game.LANwager, 2500);
}

TEST_F(LanHostTest, AWinningHostTellsEveryPlayerItLost) {
    game.OwnedHorse[3] = LanHorse("Rocket", 120, 300, 300);
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    const ConnectionId ann = Join("ann", LanHorse("Anns Gold", 102));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    out = {};
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(out.sends, (std::vector<Outgoing>{{bob, "WIN:NO"}, {ann, "WIN:NO"}}));
    EXPECT_EQ(game.Money, 9000 + 3000);
}

TEST_F(LanHostTest, ADropOutTakesItsChargeAndItsHorseOutOfTheRace) {
    game.OwnedHorse[3] = LanHorse("Plodder", 120, 10, 10);
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Rocket", 101, 300, 300));
    const ConnectionId ann = Join("ann", LanHorse("Anns Gold", 102, 10, 10));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    ASSERT_EQ(host.LanPot(), 3000);
    host.Tick(game.Random(), 30, out);
    out = {};
    // Bob cannot pay: it never paid, so it wins nothing either.
    Receive(bob, "DROPOUT!");
    EXPECT_EQ(out.close, std::vector<ConnectionId>{bob});
    EXPECT_EQ(host.LanPot(), 2000);
    EXPECT_EQ(host.LanRunners(), 2);
    EXPECT_FALSE(host.Runs(2));
    EXPECT_FALSE(host.HorseReady(2));
    EXPECT_EQ(host.LobbyTag(2), lan::kDead);
    const float bobsLeft = host.Picture(2).Left;
    RunToTheEnd();
    EXPECT_EQ(host.Picture(2).Left, bobsLeft);
    EXPECT_EQ(host.Place(1), 1);
    EXPECT_EQ(host.Place(2), 3);
    EXPECT_EQ(host.Place(3), 0);
    out = {};
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(game.Money, 9000 + 2000);
    EXPECT_EQ(out.sends, (std::vector<Outgoing>{{ann, "WIN:NO"}}));
}

TEST_F(LanHostTest, ADropOutAfterCrossingTheLineGivesUpItsPlace) {
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Rocket", 101, 300, 300));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    while (host.Place(1) == 0) host.Tick(game.Random(), 30, out);
    ASSERT_EQ(host.Place(1), 2);
    Receive(bob, "DROPOUT!");
    EXPECT_EQ(host.Place(1), 0);
    RunToTheEnd();
    EXPECT_EQ(host.Place(1), 1);
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(game.Money, 10000) << "the host gets back its own charge and nothing made up";
}

// A runner whose connection ends before its result can no longer be paid:
// it leaves the race and its charge the pot, as after "DROPOUT!".
TEST_F(LanHostTest, ARunnerLostMidRaceLeavesTheRaceAndThePot) {
    game.OwnedHorse[3] = LanHorse("Plodder", 120, 10, 10);
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Rocket", 101, 300, 300));
    const ConnectionId ann = Join("ann", LanHorse("Anns Gold", 102, 10, 10));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    host.Tick(game.Random(), 30, out);
    out = {};
    host.ConnectionLost(bob, out);
    EXPECT_FALSE(host.Runs(2));
    EXPECT_EQ(host.LanPot(), 2000);
    host.Tick(game.Random(), 30, out);
    EXPECT_EQ(SentTo(bob), Texts{}) << "nothing goes to a connection that is gone";
    EXPECT_EQ(SentTo(ann).size(), 1u);
    ASSERT_TRUE(host.Sweep(out));
    EXPECT_EQ(out.close, std::vector<ConnectionId>{bob});
    EXPECT_FALSE(host.HorseReady(2));
    EXPECT_EQ(host.LobbyTag(2), lan::kDead);
    RunToTheEnd();
    EXPECT_EQ(host.Place(1), 1) << "the fast horse of a player who is gone cannot beat the host";
    out = {};
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(out.sends, (std::vector<Outgoing>{{ann, "WIN:NO"}}));
    EXPECT_EQ(game.Money, 9000 + 2000);
    EXPECT_EQ(game.LANwon, 1);
    EXPECT_EQ(game.LANwager, 2000) << "the pot paid out, not the pot announced";
}

// A runner is paid only once its player has had the whole race: one whose
// connection is still behind after kFramesWait (cut off, or not reading)
// leaves the race as a lost one does, and is cut off.
TEST_F(LanHostTest, ThePayoutWaitsForEveryRunnerToHaveHadTheRace) {
    game.OwnedHorse[3] = LanHorse("Plodder", 120, 10, 10);
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Rocket", 101, 300, 300));
    const ConnectionId ann = Join("ann", LanHorse("Anns Gold", 102, 10, 10));
    EXPECT_FALSE(host.PayOut(game, Links(), out)) << "no race waits for its payout";
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    withheld = {bob, ann};
    const lan::SettleTime begun = now;
    EXPECT_FALSE(host.PayOut(game, Links(), out));
    EXPECT_EQ(host.Settlement(), nullptr) << "no result before the race is had";
    withheld.erase(ann);
    now = begun + lan::kFramesWait - lan::kPayoutPoll;
    out = {};
    EXPECT_FALSE(host.PayOut(game, Links(), out));
    EXPECT_TRUE(out.reset.empty());
    now = begun + lan::kFramesWait;
    EXPECT_FALSE(host.PayOut(game, Links(), out));
    EXPECT_EQ(out.reset, std::vector<ConnectionId>{bob}) << "cut off: it can never have the rest";
    EXPECT_FALSE(host.Runs(2));
    EXPECT_EQ(host.LobbyTag(2), lan::kDead);
    EXPECT_EQ(host.LanPot(), 2000);
    EXPECT_EQ(host.Place(1), 1) << "the fast horse of a player who never had the race cannot win it";
    EXPECT_EQ(SentTo(ann), Texts{"WIN:NO"}) << "the host won: its losers are told";
    out = {};
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(game.Money, 9000 + 2000);

    // The next race waits afresh, and not at all for players who keep up.
    withheld.clear();
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    out = {};
    EXPECT_FALSE(host.PayOut(game, Links(), out));
    EXPECT_EQ(SentTo(ann), Texts{"WIN:NO"}) << "its loser's result goes out at once";
    EXPECT_TRUE(host.PayOut(game, Links(), out)) << "and counts once acknowledged";
}

// Players whose systems leave what the host sent unacknowledged: each fails
// at one step of the payout, and nobody's money is made or lost.
struct Withholding {
    const char* what;
    bool hostWins;
    bool frames;   // the frames too, or only the result
    bool winner;   // the winning player withholds, or a loser
    double hostMoney;  // after the race, from 10000
    bool counts;
};

TEST_F(LanHostTest, AResultNotAcknowledgedCountsForNobody) {
    const Withholding cases[] = {
        // Ann loses to the host: her charge goes back to her, from the pot.
        {"a loser's result", true, false, false, 10000 + 1000 + 1000 - 1000, true},
        // Ann never had the end of the race: she left it before any result.
        {"a loser's frames", true, true, false, 10000 + 1000, true},
        // Bob wins: his result withheld, the race is void for everyone.
        {"the winner's result", false, false, true, 10000, false},
        // Bob never had the end: he is out, and the host's horse beats ann's.
        {"the winner's frames", false, true, true, 10000 + 1000, true},
        // Bob wins and ann's result is withheld: the host pays her charge.
        {"a loser's result, a player won", false, false, false, 10000 - 1000 - 1000, true},
    };
    for (const Withholding& c : cases) {
        SCOPED_TRACE(c.what);
        host = lan::LanHost([this] { return now; });
        game.Money = 10000;
        game.LANwon = game.LANlost = 0;
        game.LANwager = 0;
        game.OwnedHorse[3] = LanHorse("Host Horse", 120, c.hostWins ? 300 : 100, c.hostWins ? 300 : 100);
        Create(1000);
        const ConnectionId bob = Join("bob", LanHorse("Rocket", 101, c.hostWins ? 10 : 400, c.hostWins ? 10 : 400));
        const ConnectionId ann = Join("ann", LanHorse("Anns Gold", 102, 10, 10));
        ASSERT_EQ(Start(), lan::StartResult::Started);
        const ConnectionId failing = c.winner ? bob : ann;
        if (c.frames) withheld = {failing};
        RunToTheEnd();
        out = {};
        host.PayOut(game, Links(), out);
        withheld = {failing};
        const auto payout = PayOut();
        ASSERT_TRUE(payout);
        EXPECT_EQ(game.Money, c.hostMoney);
        EXPECT_EQ(payout->booking.counts, c.counts);
        EXPECT_NE(std::find(out.reset.begin(), out.reset.end(), failing), out.reset.end()) << "cut off";
        if (!c.counts) {
            EXPECT_EQ(payout->caption, lan::kRaceVoid);
            EXPECT_EQ(SentTo(ann), Texts{}) << "no loser has a result of a void race";
            EXPECT_EQ(out.reset, (std::vector<ConnectionId>{bob, ann}));
            EXPECT_EQ(game.LANwon + game.LANlost, 0);
            EXPECT_EQ(game.LANwager, 0);
        }
        if (c.counts && !c.frames) {
            EXPECT_EQ(payout->refunded, Texts{"ann"});
            EXPECT_EQ(payout->booking.givenBack, 1000);
        }
        withheld.clear();
    }
}

// A loser whose result was acknowledged keeps its loss even if its
// connection ends right after: the host counts what was acknowledged.
TEST_F(LanHostTest, AResultAcknowledgedBeforeTheConnectionEndsCounts) {
    game.OwnedHorse[3] = LanHorse("Rocket", 120, 300, 300);
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    out = {};
    host.PayOut(game, Links(), out);
    ASSERT_EQ(SentTo(bob), Texts{"WIN:NO"});
    down = {bob};
    host.ConnectionLost(bob, out);
    EXPECT_TRUE(host.Runs(2)) << "the pot is fixed once results go out";
    const auto payout = PayOut();
    ASSERT_TRUE(payout);
    EXPECT_TRUE(payout->refunded.empty());
    EXPECT_EQ(game.Money, 9000 + 2000);
}

// Every player gone in the last second before the payout: the host is left
// alone with its own charge, and wins it back.
TEST_F(LanHostTest, AHostLeftAloneWinsItsOwnChargeBack) {
    game.OwnedHorse[3] = LanHorse("Plodder", 120, 10, 10);
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Rocket", 101, 300, 300));
    const ConnectionId ann = Join("ann", LanHorse("Arrow", 102, 300, 300));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    ASSERT_EQ(host.Place(1), 2);
    host.ConnectionLost(bob, out);
    Receive(ann, "DROPOUT!");
    EXPECT_EQ(host.Place(1), 1);
    EXPECT_EQ(host.LanPot(), 1000);
    const auto payout = PayOut();
    ASSERT_TRUE(payout);
    EXPECT_EQ(payout->caption, "YOU HAVE WON " + core::FormatMoney(1000));
    EXPECT_EQ(game.Money, 10000);
    EXPECT_EQ(game.LANwager, 1000);
}

// A player that sent "YES>" just before "START RACE!" has its horse taken
// when the race has been paid, not refused and left waiting.
TEST_F(LanHostTest, AHorseThatComesDuringARaceIsTakenOnceTheRaceIsPaid) {
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    const ConnectionId late = host.Accept(out);
    Receive(late, "YES>ann");
    ASSERT_EQ(Start(), lan::StartResult::Started);
    out = {};
    Receive(late, HorseOffer(LanHorse("Anns Gold", 102)));
    EXPECT_TRUE(out.sends.empty()) << "no runner changes while racing";
    EXPECT_FALSE(host.HorseReady(3));
    EXPECT_EQ(host.StateOf(late), ConnectionState::Bound);
    Receive(late, HorseOffer(LanHorse("Second Try", 103)));
    EXPECT_EQ(host.RefusedMessages(), 1u) << "one horse per connection";
    for (int i = 0; i < 2 * lan::kSweepsToSendAHorse; ++i) host.Sweep(out);
    EXPECT_EQ(host.StateOf(late), ConnectionState::Bound) << "its horse came in time";
    RunToTheEnd();
    out = {};
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(SentTo(bob), (Texts{"WIN:NO", "REFRESH!"}));
    EXPECT_EQ(SentTo(late), (Texts{"ACCEPTED!", "REFRESH!"})) << "no result for a race it did not run";
    EXPECT_TRUE(host.HorseReady(3));
    EXPECT_EQ(host.LANHorse(3).Name, "Anns Gold");
    // It runs in the next race.
    out = {};
    ASSERT_EQ(Start(), lan::StartResult::Started);
    EXPECT_TRUE(host.Runs(3));
    EXPECT_EQ(SentTo(late), Texts{"START!3000"});
}

TEST_F(LanHostTest, ABadHorseThatCameDuringARaceIsClosedAfterThePayout) {
    Create(1000);
    const ConnectionId late = host.Accept(out);
    Receive(late, "YES>ann");
    ASSERT_EQ(Start(), lan::StartResult::Started);
    core::HorseRec bad = LanHorse("Too Good", 102);
    bad.Speed = lan::kMaxLanRating + 1;
    Receive(late, HorseOffer(bad));
    RunToTheEnd();
    out = {};
    ASSERT_TRUE(PayOut());
    EXPECT_EQ(out.close, std::vector<ConnectionId>{late});
    EXPECT_EQ(host.FindFreeLAN(), 2);
}

// Connections that say "YES>" and nothing more cannot hold the slots.
TEST_F(LanHostTest, ASlotWhoseHorseNeverComesIsFreedAfterHalfAMinute) {
    Create();
    std::vector<ConnectionId> silent;
    for (const char* name : {"a", "b", "c", "d"}) {
        silent.push_back(host.Accept(out));
        Receive(silent.back(), std::string("YES>") + name);
    }
    ASSERT_EQ(host.FindFreeLAN(), 0);
    out = {};
    for (int i = 1; i < lan::kSweepsToSendAHorse; ++i) EXPECT_FALSE(host.Sweep(out)) << i;
    EXPECT_TRUE(out.close.empty());
    // One sends its horse at the last moment and keeps its slot.
    Receive(silent[1], HorseOffer(LanHorse("Just In Time", 101)));
    out = {};
    EXPECT_TRUE(host.Sweep(out));
    EXPECT_EQ(out.close, (std::vector<ConnectionId>{silent[0], silent[2], silent[3]}));
    EXPECT_TRUE(host.HorseReady(3));
    EXPECT_EQ(host.FindFreeLAN(), 2);
    // A real player now gets a slot.
    const ConnectionId real = host.Accept(out);
    out = {};
    Receive(real, "YES>real");
    EXPECT_EQ(Take(real), Texts{"HORSE?"});
    EXPECT_EQ(host.PlayerSocket(2), real);
}

TEST_F(LanHostTest, AHostThatLeavesMidRaceGetsItsChargeBack) {
    Create(1000);
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    ASSERT_EQ(Start(), lan::StartResult::Started);
    host.Tick(game.Random(), 30, out);
    out = {};
    EXPECT_FALSE(host.LeaveGame(game, Links(), out));
    EXPECT_EQ(game.Money, 10000);
    EXPECT_EQ(game.LANwon + game.LANlost, 0);
    EXPECT_EQ(game.LANwager, 0);
    EXPECT_EQ(out.close, std::vector<ConnectionId>{bob}) << "its players get theirs back as the connection ends";
    EXPECT_EQ(host.Phase(), lan::HostPhase::NoGame);

    // Leaving a lobby, or after the payout, gives nothing.
    Create(1000);
    host.LeaveGame(game, Links(), out);
    EXPECT_EQ(game.Money, 10000);
    Create(1000);
    ASSERT_EQ(Start(), lan::StartResult::Started);
    RunToTheEnd();
    ASSERT_TRUE(PayOut());
    host.LeaveGame(game, Links(), out);
    EXPECT_EQ(game.Money, 10000);
}

// A host that leaves settles the race with what its players have
// acknowledged, before any of its connections closes: a result not yet
// acknowledged is given up, and a race whose winner has none is void.
TEST_F(LanHostTest, AHostThatLeavesAsTheResultsGoOutKeepsWhatWasAcknowledged) {
    struct Case {
        const char* what;
        bool hostWins;
        bool resultsAcknowledged;
        double hostMoney;
        bool counts;
    };
    const Case cases[] = {
        {"before any result", false, false, 10000, false},
        {"the winner's result acknowledged", false, true, 9000, true},
        // Its only loser had no result: nobody else ran the race.
        {"a loser's result not acknowledged", true, false, 10000, false},
        {"a loser's result acknowledged", true, true, 11000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = lan::LanHost([this] { return now; });
        game.Money = 10000;
        game.LANwon = game.LANlost = 0;
        game.OwnedHorse[3] = LanHorse("Host Horse", 120, c.hostWins ? 300 : 10, c.hostWins ? 300 : 10);
        Create(1000);
        const ConnectionId bob = Join("bob", LanHorse("Rocket", 101, 100, 100));
        ASSERT_EQ(Start(), lan::StartResult::Started);
        RunToTheEnd();
        if (c.resultsAcknowledged || c.hostWins) {
            // The frames have been had and the first results go out.
            host.PayOut(game, Links(), out);
            ASSERT_NE(host.Settlement(), nullptr);
            if (!c.resultsAcknowledged) withheld = {bob};
        }
        out = {};
        const auto payout = host.LeaveGame(game, Links(), out);
        EXPECT_EQ(game.Money, c.hostMoney);
        EXPECT_EQ(payout.has_value(), c.resultsAcknowledged || c.hostWins);
        if (payout) {
            EXPECT_EQ(payout->booking.counts, c.counts);
        }
        EXPECT_TRUE(out.sends.empty()) << "nothing more goes out as the host leaves";
        const bool cut = !c.resultsAcknowledged && payout;
        EXPECT_EQ(out.reset, cut ? std::vector<ConnectionId>{bob} : std::vector<ConnectionId>{});
        EXPECT_EQ(out.close, cut ? std::vector<ConnectionId>{} : std::vector<ConnectionId>{bob});
        EXPECT_EQ(host.Phase(), lan::HostPhase::NoGame);
        withheld.clear();
    }
}

TEST_F(LanHostTest, TheRecordOfRacesStopsAtTheLargestWholeNumber) {
    game.LANwon = INT32_MAX;
    game.LANlost = INT32_MAX;
    for (const bool hostWins : {true, false}) {
        game.OwnedHorse[3] = LanHorse("Horse", 120, hostWins ? 300 : 10, hostWins ? 300 : 10);
        Create(1000);
        Join("bob", LanHorse("Bobs Pride", 101));
        ASSERT_EQ(Start(), lan::StartResult::Started);
        RunToTheEnd();
        ASSERT_TRUE(PayOut());
    }
    EXPECT_EQ(game.LANwon, INT32_MAX);
    EXPECT_EQ(game.LANlost, INT32_MAX);
}

TEST_F(LanHostTest, TheSweeperFreesReadySlotsWhoseConnectionWent) {
    Create();
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    const ConnectionId ann = Join("ann", LanHorse("Anns Gold", 102));
    EXPECT_FALSE(host.Sweep(out));
    host.ConnectionLost(ann, out);
    EXPECT_TRUE(out.close.empty()) << "a ready slot waits for the sweeper";
    EXPECT_TRUE(host.HorseReady(3));
    EXPECT_EQ(host.Recipients(6), std::vector<ConnectionId>{bob});
    EXPECT_TRUE(host.Sweep(out));
    EXPECT_EQ(out.close, std::vector<ConnectionId>{ann});
    EXPECT_FALSE(host.HorseReady(3));
    EXPECT_EQ(host.LobbyTag(3), lan::kDead);
    EXPECT_EQ(host.FindFreeLAN(), 3);
    EXPECT_EQ(host.Recipients(3), std::vector<ConnectionId>{});
    EXPECT_EQ(host.Recipients(2), std::vector<ConnectionId>{bob});
    EXPECT_EQ(host.Recipients(1), std::vector<ConnectionId>{});
}

TEST_F(LanHostTest, AFloodOfConnectionsClosesTheOldestWaitingOnes) {
    Create();
    const ConnectionId bob = Join("bob", LanHorse("Bobs Pride", 101));
    const ConnectionId bound = host.Accept(out);
    Receive(bound, "YES>ann");
    std::vector<ConnectionId> flood;
    for (int i = 0; i < 100; ++i) flood.push_back(host.Accept(out));
    const std::vector<ConnectionId> held = host.Connections();
    EXPECT_EQ(held.size(), 2 + lan::kMaxPendingConnections);
    EXPECT_EQ(held[0], bob);
    EXPECT_EQ(held[1], bound);
    EXPECT_EQ(held.back(), flood.back());
    EXPECT_EQ(out.close.size(), 100 - lan::kMaxPendingConnections);
    EXPECT_EQ(out.close.front(), flood.front());
    // The newest may still join.
    out = {};
    Receive(flood.back(), "YES>cid");
    EXPECT_EQ(Take(flood.back()), Texts{"HORSE?"});
    EXPECT_EQ(host.PlayerSocket(4), flood.back());
}

}  // namespace
