// The LAN race's messages as their senders write them and their receivers
// tell them apart.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "online/LanProtocol.h"

namespace lan = online::lan;
using lan::HostMessage;
using lan::PlayerMessage;

namespace {

TEST(LanMessages, HostMessagesAreWrittenAsTheyStand) {
    const std::pair<HostMessage, const char*> cases[] = {
        {lan::Invitation{2500}, "PARTICIPANT?2500"},
        {lan::Invitation{2500.5}, "PARTICIPANT?2500.5"},
        {lan::GameFull{}, "FULL!"},
        {lan::HorseRequest{}, "HORSE?"},
        {lan::Accepted{}, "ACCEPTED!"},
        {lan::Refresh{}, "REFRESH!"},
        {lan::PlayerAnswer{"bob", 3}, "PLAYER>bob3"},
        {lan::NoPlayer{5}, "UNEXISTENT>5"},
        {lan::RosterHorse{"code", 2}, "HORSE>code2"},
        {lan::NoHorse{4}, "DEAD>4"},
        {lan::StartRace{7500}, "START!7500"},
        {lan::RaceFrame{{360.0f, 360.5f, 9600.0f, 1234.25f, 360.0f}}, "H1360:H2360.5:H39600:H41234.25:H5360:"},
        {lan::Result{12500}, "WIN:12500"},
        {lan::Result{std::nullopt}, "WIN:NO"},
    };
    for (const auto& [message, text] : cases) {
        EXPECT_EQ(lan::Format(message), text);
        EXPECT_EQ(lan::RecogniseHostMessage(text), message) << text;
    }
}

TEST(LanMessages, PlayerMessagesAreWrittenAsTheyStand) {
    const std::pair<PlayerMessage, const char*> cases[] = {
        {lan::Acceptance{"bob"}, "YES>bob"},
        {lan::HorseOffer{"code"}, "HORSE>code"},
        {lan::PlayerQuery{1}, "PLAYER?1"},
        {lan::HorseQuery{5}, "HORSE?5"},
        {lan::DropOut{}, "DROPOUT!"},
    };
    for (const auto& [message, text] : cases) {
        EXPECT_EQ(lan::Format(message), text);
        EXPECT_EQ(lan::RecognisePlayerMessage(text), message) << text;
    }
}

TEST(LanMessages, ThePlayerTakesGameFullInAnyCaseWithBlanks) {
    for (const char* text : {"FULL!", "full!", " FuLl!  ", "Full!"}) {
        EXPECT_EQ(lan::RecogniseHostMessage(text), HostMessage{lan::GameFull{}}) << text;
    }
    EXPECT_EQ(lan::RecogniseHostMessage("FULL"), std::nullopt);
}

TEST(LanMessages, AmountsAreReadWithEitherDecimalPoint) {
    EXPECT_EQ(lan::RecogniseHostMessage("WIN:2500,5"), HostMessage{lan::Result{2500.5}});
    EXPECT_EQ(lan::RecogniseHostMessage("START!7500,25"), HostMessage{lan::StartRace{7500.25}});
    const auto frame = lan::RecogniseHostMessage("H1360,5:H2360:H3360:H4360:H5360:");
    ASSERT_TRUE(frame);
    EXPECT_EQ(std::get<lan::RaceFrame>(*frame).x[0], 360.5f);
}

TEST(LanMessages, NumbersThatCannotBeReadAreMarkedNotGuessed) {
    const auto invitation = lan::RecogniseHostMessage("PARTICIPANT?lots");
    ASSERT_TRUE(invitation);
    EXPECT_TRUE(std::isnan(std::get<lan::Invitation>(*invitation).charge));
    const auto start = lan::RecogniseHostMessage("START!");
    ASSERT_TRUE(start);
    EXPECT_TRUE(std::isnan(std::get<lan::StartRace>(*start).pot));
    const auto win = lan::RecogniseHostMessage("WIN:1E999");
    ASSERT_TRUE(win);
    EXPECT_TRUE(std::isnan(*std::get<lan::Result>(*win).amount));
}

// Field i goes to picture i whatever its label; a field that is no finite
// number, and the fields a short frame lacks, are empty.
TEST(LanMessages, FrameFieldsAreReadInOrderAndCheckedOneByOne) {
    const auto read = [](const char* text) { return std::get<lan::RaceFrame>(*lan::RecogniseHostMessage(text)).x; };
    using X = std::array<std::optional<float>, 5>;
    EXPECT_EQ(read("H1100:H9200:Hx300:H4400:H5500:"), (X{100.f, 200.f, 300.f, 400.f, 500.f}));
    EXPECT_EQ(read("H1100:H2nan:H3:H41E99:H5-7:"), (X{100.f, std::nullopt, std::nullopt, std::nullopt, -7.f}));
    EXPECT_EQ(read("H1100:H2200"), (X{100.f, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
}

TEST(LanMessages, TheSlotIsTheLastCharacterWhenItIsADigit) {
    EXPECT_EQ(lan::RecognisePlayerMessage("PLAYER?0"), PlayerMessage{lan::PlayerQuery{0}});
    EXPECT_EQ(lan::RecognisePlayerMessage("PLAYER?9"), PlayerMessage{lan::PlayerQuery{9}});
    EXPECT_EQ(lan::RecognisePlayerMessage("HORSE?x"), PlayerMessage{lan::HorseQuery{lan::kNoSlot}});
    EXPECT_EQ(lan::RecognisePlayerMessage("HORSE?"), PlayerMessage{lan::HorseQuery{lan::kNoSlot}});
    EXPECT_EQ(lan::RecogniseHostMessage("PLAYER>"), HostMessage{(lan::PlayerAnswer{"", lan::kNoSlot})});
    EXPECT_EQ(lan::RecogniseHostMessage("DEAD>"), HostMessage{lan::NoHorse{lan::kNoSlot}});
}

TEST(LanMessages, OtherTextsAreNoMessage) {
    for (const char* text : {"", "yes>bob", "PLAYER", "HORSE", "DROPOUT", "WIN"}) {
        EXPECT_EQ(lan::RecognisePlayerMessage(text), std::nullopt) << text;
    }
    for (const char* text : {"", "H2100:", "win:5", "REFRESH", "ACCEPTED!!"}) {
        EXPECT_EQ(lan::RecogniseHostMessage(text), std::nullopt) << text;
    }
}

}  // namespace
