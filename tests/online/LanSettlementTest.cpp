// Settling a finished LAN race against scripted connections: what goes out
// when, what counts as delivered, when the race is void, and what the host
// books, so that every copy's money adds up to what it did before the race.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "online/LanSettlement.h"

namespace lan = online::lan;
using lan::ConnectionId;
using lan::Delivery;
using lan::SettleStep;
using std::chrono::milliseconds;

namespace {

constexpr double kCharge = 50000;

// Connections that acknowledge what the test says, and remember what the
// settlement did with them.
class ScriptedLinks final : public lan::SettlementLinks {
public:
    struct Connection {
        std::uint64_t sent = 100;  // what went before the results
        std::uint64_t acknowledged = 100;
        bool up = true;
        bool acknowledges = true;  // takes what is sent as soon as it is
        std::vector<std::string> results;
        bool givenUp = false;
    };

    std::uint64_t SendResult(ConnectionId id, const lan::Result& result) override {
        Connection& c = connections[id];
        const std::string text = lan::Format(lan::HostMessage{result});
        c.results.push_back(text);
        c.sent += text.size();
        order.push_back(id);
        return c.sent;
    }
    lan::LinkState Look(ConnectionId id) const override {
        const Connection& c = connections.at(id);
        return {c.acknowledged, c.up};
    }
    void GiveUp(ConnectionId id) override {
        connections[id].givenUp = true;
        connections[id].up = false;
    }
    // A round trip later: what a connection that acknowledges had, it has.
    void RoundTrip() {
        for (auto& [id, c] : connections) {
            if (c.acknowledges && c.up) c.acknowledged = c.sent;
        }
    }

    std::map<ConnectionId, Connection> connections;
    std::vector<ConnectionId> order;  // of the results sent
};

// The host (slot 1) and three players: slots 2, 3, 4 on connections 12, 13, 14.
struct Race {
    bool hostWon;
    std::vector<int> finish;  // the players' slots in finishing order
};

lan::LanSettlement Settlement(const Race& race, lan::SettleTime lastFrame) {
    std::vector<lan::LanSettlement::Runner> players;
    for (const int slot : race.finish) players.push_back({slot, static_cast<ConnectionId>(10 + slot)});
    const double pot = kCharge * static_cast<double>(race.finish.size() + 1);
    return lan::LanSettlement(race.hostWon, players, pot, kCharge, lastFrame);
}

ConnectionId Of(int slot) { return static_cast<ConnectionId>(10 + slot); }

class LanSettlementTest : public ::testing::Test {
protected:
    LanSettlementTest() {
        for (int slot : {2, 3, 4}) links.connections[Of(slot)];
    }
    lan::SettleTime start = lan::SettleTime{} + std::chrono::hours(1);
    lan::SettleTime now = start + lan::kPayoutDelay;
    ScriptedLinks links;
};

// The money every copy books from its stake, the host's included: a player
// that had its result books it, one given up takes its stake back.
double SumOfChanges(const lan::LanSettlement& s, const lan::HostBooking& b, const Race& race) {
    double sum = -kCharge + b.money;  // the host paid its charge at the start
    const double pot = kCharge * static_cast<double>(race.finish.size() + 1);
    for (std::size_t i = 0; i < race.finish.size(); ++i) {
        const int slot = race.finish[i];
        const bool winner = !race.hostWon && i == 0;
        if (s.DeliveryTo(slot) == Delivery::Delivered) sum += winner ? pot - kCharge : -kCharge;
    }
    return sum;
}

TEST_F(LanSettlementTest, TheWinnersResultGoesFirstAndTheLosersOnlyOnceItIsAcknowledged) {
    const Race race{false, {3, 2, 4}};
    lan::LanSettlement s = Settlement(race, start);
    EXPECT_EQ(s.Step(), SettleStep::Winner);
    s.Advance(now, links);
    EXPECT_EQ(links.order, std::vector<ConnectionId>{Of(3)});
    EXPECT_EQ(links.connections[Of(3)].results, std::vector<std::string>{"WIN:200000"});
    s.Advance(now, links);
    EXPECT_EQ(links.order.size(), 1u) << "nothing more until the winner has acknowledged";
    links.RoundTrip();
    s.Advance(now, links);
    EXPECT_EQ(s.Step(), SettleStep::Losers);
    EXPECT_EQ(links.order, (std::vector<ConnectionId>{Of(3), Of(2), Of(4)}));
    EXPECT_EQ(links.connections[Of(2)].results, std::vector<std::string>{"WIN:NO"});
    links.RoundTrip();
    s.Advance(now, links);
    ASSERT_TRUE(s.Finished());
    EXPECT_EQ(s.Step(), SettleStep::Settled);
    const lan::HostBooking b = s.Booking();
    EXPECT_TRUE(b.counts);
    EXPECT_FALSE(b.won);
    EXPECT_EQ(b.money, 0);
    EXPECT_TRUE(b.refunded.empty());
    EXPECT_EQ(SumOfChanges(s, b, race), 0);
    for (auto& [id, c] : links.connections) EXPECT_FALSE(c.givenUp) << id;
}

enum class When { BeforeTheResults, ItsResultSent, ItsResultAcknowledged };

// Each case: who won, which connection fails and how, and when.
struct Failure {
    const char* what;
    Race race;
    int slot;  // whose connection fails
    std::function<void(ScriptedLinks::Connection&)> fail;
    When when;
    SettleStep step;            // where the settlement ends
    std::vector<int> refunded;  // losers given their charge back
};

void Withhold(ScriptedLinks::Connection& c) { c.acknowledges = false; }
void Cut(ScriptedLinks::Connection& c) {
    c.acknowledges = false;
    c.up = false;
}

TEST_F(LanSettlementTest, AConnectionThatFailsMakesOrLosesNoMoney) {
    const Race playerWins{false, {2, 3, 4}};
    const Race hostWins{true, {4, 2, 3}};
    const Failure failures[] = {
        {"the winner withholds its result", playerWins, 2, Withhold, When::ItsResultSent, SettleStep::Void, {}},
        {"the winner is cut off before it", playerWins, 2, Cut, When::BeforeTheResults, SettleStep::Void, {}},
        {"the winner is cut off as it goes", playerWins, 2, Cut, When::ItsResultSent, SettleStep::Void, {}},
        {"the winner is cut off once it has it", playerWins, 2, Cut, When::ItsResultAcknowledged,
         SettleStep::Settled, {}},
        {"a loser withholds its result", playerWins, 4, Withhold, When::ItsResultSent, SettleStep::Settled, {4}},
        {"a loser is cut off before it", playerWins, 3, Cut, When::BeforeTheResults, SettleStep::Settled, {3}},
        {"a loser is cut off as it goes", playerWins, 3, Cut, When::ItsResultSent, SettleStep::Settled, {3}},
        {"a loser is cut off once it has it", playerWins, 3, Cut, When::ItsResultAcknowledged,
         SettleStep::Settled, {}},
        {"the host won, a loser withholds", hostWins, 3, Withhold, When::ItsResultSent, SettleStep::Settled, {3}},
        {"the host won, a loser is cut off", hostWins, 2, Cut, When::BeforeTheResults, SettleStep::Settled, {2}},
        {"the host won, every loser is cut off", hostWins, 0, Cut, When::BeforeTheResults, SettleStep::Void, {}},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        links = ScriptedLinks();
        for (int slot : {2, 3, 4}) links.connections[Of(slot)];
        lan::LanSettlement s = Settlement(f.race, start);
        // Slot 0: the host's own connection to the LAN fails, so all do.
        const auto failing = [&] {
            std::vector<ScriptedLinks::Connection*> them;
            for (auto& [id, c] : links.connections) {
                if (f.slot == 0 || id == Of(f.slot)) them.push_back(&c);
            }
            return them;
        };
        if (f.when == When::BeforeTheResults) {
            for (auto* c : failing()) f.fail(*c);
        }
        for (int i = 0; i < 200 && !s.Finished(); ++i) {
            s.Advance(now, links);
            const bool sent = !links.connections[Of(f.slot == 0 ? 2 : f.slot)].results.empty();
            if (f.when == When::ItsResultSent && sent) {
                for (auto* c : failing()) f.fail(*c);
            }
            links.RoundTrip();
            if (f.when == When::ItsResultAcknowledged && sent) {
                for (auto* c : failing()) f.fail(*c);
            }
            now += milliseconds(50);
        }
        ASSERT_TRUE(s.Finished());
        EXPECT_EQ(s.Step(), f.step);
        const lan::HostBooking b = s.Booking();
        EXPECT_EQ(b.refunded, f.refunded);
        EXPECT_EQ(SumOfChanges(s, b, f.race), 0) << "no money made or lost";
        for (auto& [id, c] : links.connections) {
            const int slot = static_cast<int>(id) - 10;
            const Delivery d = s.DeliveryTo(slot);
            EXPECT_EQ(c.givenUp, d == Delivery::GivenUp) << "a player is cut off exactly when given up: " << slot;
            if (f.step == SettleStep::Void) {
                EXPECT_EQ(d, Delivery::GivenUp) << slot;
                const bool winner = slot == f.race.finish.front();
                EXPECT_TRUE(winner || c.results.empty()) << "no loser has a result of a void race: " << slot;
            }
        }
        if (f.step == SettleStep::Void) {
            EXPECT_EQ(b.money, kCharge) << "the host's own charge back";
        }
    }
}

// A connection that says nothing is waited for kResultWait, no longer.
TEST_F(LanSettlementTest, AWithheldResultIsWaitedForItsTimeThenGivenUp) {
    const Race race{false, {2, 3}};
    lan::LanSettlement s = Settlement(race, start);
    Withhold(links.connections[Of(2)]);
    s.Advance(now, links);
    const lan::SettleTime sent = now;
    now = sent + lan::kResultWait - milliseconds(1);
    s.Advance(now, links);
    EXPECT_EQ(s.Step(), SettleStep::Winner);
    EXPECT_FALSE(links.connections[Of(2)].givenUp);
    now = sent + lan::kResultWait;
    s.Advance(now, links);
    EXPECT_EQ(s.Step(), SettleStep::Void);
    EXPECT_TRUE(links.connections[Of(2)].givenUp);
}

// However late the payout begins, a player is never told a result after it
// may have given the race up: the waits end before, and past it nothing is
// sent at all.
TEST_F(LanSettlementTest, NoResultIsCountedOnceAPlayerMayHaveGivenTheRaceUp) {
    {
        SCOPED_TRACE("the winner's wait is cut short");
        lan::LanSettlement s = Settlement({false, {2, 3}}, start);
        Withhold(links.connections[Of(2)]);
        now = start + lan::kLastResultBy - milliseconds(100);
        s.Advance(now, links);
        ASSERT_EQ(links.order.size(), 1u);
        now += milliseconds(100);
        s.Advance(now, links);
        EXPECT_EQ(s.Step(), SettleStep::Void);
    }
    for (const bool hostWon : {false, true}) {
        SCOPED_TRACE(hostWon ? "too late, the host won" : "too late, a player won");
        links = ScriptedLinks();
        for (int slot : {2, 3}) links.connections[Of(slot)];
        lan::LanSettlement s = Settlement({hostWon, {2, 3}}, start);
        s.Advance(start + lan::kLastResultBy, links);
        EXPECT_TRUE(links.order.empty()) << "nothing sent";
        ASSERT_TRUE(s.Finished());
        EXPECT_EQ(s.Booking().money, kCharge) << "as if the race had not been run";
    }
    EXPECT_LT(std::chrono::milliseconds(lan::kLastResultBy), std::chrono::milliseconds(lan::kLongestRaceSilenceMs));
}

// The host leaving waits for nothing: what was acknowledged counts.
TEST_F(LanSettlementTest, LeavingKeepsWhatWasAcknowledgedAndGivesUpTheRest) {
    {
        SCOPED_TRACE("the winner's result not yet acknowledged");
        lan::LanSettlement s = Settlement({false, {2, 3}}, start);
        s.Advance(now, links);
        s.Leave(now, links);
        EXPECT_EQ(s.Step(), SettleStep::Void);
        EXPECT_TRUE(links.connections[Of(3)].results.empty());
    }
    {
        SCOPED_TRACE("the winner's acknowledged, the losers' not yet sent");
        links = ScriptedLinks();
        for (int slot : {2, 3}) links.connections[Of(slot)];
        lan::LanSettlement s = Settlement({false, {2, 3}}, start);
        s.Advance(now, links);
        links.RoundTrip();
        s.Leave(now, links);
        EXPECT_EQ(s.Step(), SettleStep::Settled);
        EXPECT_EQ(s.DeliveryTo(2), Delivery::Delivered);
        EXPECT_EQ(s.DeliveryTo(3), Delivery::GivenUp);
        EXPECT_TRUE(links.connections[Of(3)].results.empty()) << "nothing goes out as the host leaves";
        EXPECT_EQ(s.Booking().money, -kCharge);
    }
    {
        SCOPED_TRACE("one loser acknowledged, one not");
        links = ScriptedLinks();
        for (int slot : {2, 3}) links.connections[Of(slot)];
        lan::LanSettlement s = Settlement({true, {2, 3}}, start);
        Withhold(links.connections[Of(3)]);
        s.Advance(now, links);
        links.RoundTrip();
        s.Leave(now, links);
        EXPECT_EQ(s.DeliveryTo(2), Delivery::Delivered);
        EXPECT_EQ(s.DeliveryTo(3), Delivery::GivenUp);
        EXPECT_EQ(s.Booking().money, 2 * kCharge);
    }
}

// What a leaving host may still wait for: results sent and not yet
// acknowledged, with what their acknowledgement must reach.
TEST_F(LanSettlementTest, TheResultsOnTheirWayAreKnown) {
    lan::LanSettlement s = Settlement({true, {2, 3}}, start);
    EXPECT_TRUE(s.AwaitedResults().empty());
    s.Advance(now, links);
    const auto awaited = s.AwaitedResults();
    ASSERT_EQ(awaited.size(), 2u);
    EXPECT_EQ(awaited[0].connection, Of(2));
    EXPECT_EQ(awaited[0].mark, links.connections[Of(2)].sent);
    links.connections[Of(3)].acknowledges = false;
    links.RoundTrip();
    s.Advance(now, links);
    ASSERT_EQ(s.AwaitedResults().size(), 1u);
    EXPECT_EQ(s.AwaitedResults()[0].connection, Of(3));
}

TEST_F(LanSettlementTest, AHostAloneIsSettledAtOnce) {
    links.connections.clear();
    lan::LanSettlement s = lan::LanSettlement(true, {}, kCharge, kCharge, start);
    s.Advance(now, links);
    ASSERT_TRUE(s.Finished());
    const lan::HostBooking b = s.Booking();
    EXPECT_TRUE(b.counts);
    EXPECT_TRUE(b.won);
    EXPECT_EQ(b.money, kCharge);
}

}  // namespace
