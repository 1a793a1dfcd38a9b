// The log's share of one address's comings and goings and of what its
// clients sent: a few lines one by one, then a count per window; too many
// addresses share one count.
#include <gtest/gtest.h>

#include "server/RepeatSummary.h"

using namespace std::chrono_literals;
using server::RepeatSummary;
using Event = RepeatSummary::Event;

namespace {

const RepeatSummary::Clock::time_point t0{};

TEST(RepeatSummary, AFewLinesOneByOneThenACountWhenTheWindowEnds) {
    RepeatSummary repeats({2, 60s, 10});
    EXPECT_TRUE(repeats.Admit("10.0.0.5", Event::Connection, t0));
    EXPECT_TRUE(repeats.Admit("10.0.0.5", Event::TurnedAway, t0 + 1s));
    for (int i = 0; i < 7; ++i) EXPECT_FALSE(repeats.Admit("10.0.0.5", Event::Connection, t0 + 2s));
    EXPECT_FALSE(repeats.Admit("10.0.0.5", Event::TurnedAway, t0 + 3s));
    EXPECT_TRUE(repeats.Admit("10.0.0.6", Event::Connection, t0 + 30s)) << "another address has its own share";

    EXPECT_EQ(repeats.NextDue(), t0 + 60s);
    EXPECT_TRUE(repeats.TakeDue(t0 + 59s).empty());
    const auto due = repeats.TakeDue(t0 + 60s);
    EXPECT_EQ(due, (std::vector<RepeatSummary::Summary>{{"10.0.0.5", 7, 1}}));
    EXPECT_EQ(server::SummaryLine(due.front(), 60s),
              "10.0.0.5: 7 more connections and 1 turned away in the last 60 s, not written one by one");
    EXPECT_EQ(repeats.NextDue(), t0 + 90s) << "10.0.0.6's window, with nothing left out";
    EXPECT_TRUE(repeats.TakeDue(t0 + 90s).empty());
    EXPECT_EQ(repeats.Addresses(), 0u) << "every window over is forgotten";
    EXPECT_EQ(repeats.NextDue(), std::nullopt);

    EXPECT_TRUE(repeats.Admit("10.0.0.5", Event::Connection, t0 + 91s)) << "a new window, a new share";
}

// Questions in a loop take none of the connections' lines nor the scores'.
TEST(RepeatSummary, MessagesAndScoresHaveSharesOfTheirOwn) {
    RepeatSummary repeats({1, 60s, 10, 2, 3});
    for (int i = 0; i < 100; ++i) repeats.Admit("10.0.0.5", Event::Message, t0);
    EXPECT_TRUE(repeats.Admit("10.0.0.5", Event::Connection, t0 + 1s));
    for (int i = 0; i < 2; ++i) EXPECT_TRUE(repeats.Admit("10.0.0.5", Event::Score, t0 + 2s)) << i;
    EXPECT_TRUE(repeats.Admit("10.0.0.5", Event::LostScore, t0 + 2s)) << "a lost score shares the scores' lines";
    EXPECT_FALSE(repeats.Admit("10.0.0.5", Event::Score, t0 + 3s));
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(repeats.Admit("10.0.0.5", Event::LostScore, t0 + 3s));
    EXPECT_FALSE(repeats.Admit("10.0.0.5", Event::TurnedAway, t0 + 3s));
    const auto due = repeats.TakeDue(t0 + 60s);
    EXPECT_EQ(due, (std::vector<RepeatSummary::Summary>{{"10.0.0.5", 0, 1, 98, 1, 4}}));
    EXPECT_EQ(server::SummaryLine(due.front(), 60s),
              "10.0.0.5: 1 turned away, 98 more messages, 1 more score and 4 scores lost in the last 60 s,"
              " not written one by one");
}

TEST(RepeatSummary, AddressesBeyondTheMostShareOneCount) {
    RepeatSummary repeats({1, 60s, 2});
    EXPECT_TRUE(repeats.Admit("10.0.0.1", Event::Connection, t0));
    EXPECT_TRUE(repeats.Admit("10.0.0.2", Event::Connection, t0));
    for (int i = 3; i < 100; ++i) repeats.Admit("10.0.0." + std::to_string(i), Event::Connection, t0);
    EXPECT_EQ(repeats.Addresses(), 3u) << "two apart and the rest together";
    const auto due = repeats.TakeDue(t0 + 60s);
    EXPECT_EQ(due, (std::vector<RepeatSummary::Summary>{{RepeatSummary::kOtherAddresses, 96, 0}}));
    EXPECT_EQ(server::SummaryLine(due.front(), 60s),
              "other addresses: 96 more connections in the last 60 s, not written one by one");
}

}  // namespace
