// Who the chat's list of players names, and who gets what.
#include <gtest/gtest.h>

#include "online/ChatProtocol.h"
#include "server/ChatBacklog.h"
#include "server/ChatRoom.h"

using server::ChatRoom;
using server::PlayerDirectory;

namespace {

std::string Line(const std::string& user) { return online::chat::Format(online::chat::ChatLine{user, "9:00", "hi"}); }

TEST(ChatRoom, APlayerIsNamedByTheirLatestLineThenByTheirHandshakeThenByTheirAddress) {
    PlayerDirectory directory;
    ChatRoom room(&directory);
    room.Join(1, "10.0.0.1");
    room.Join(2, "10.0.0.2");
    room.Join(3, "10.0.0.3");
    room.Join(3, "10.0.0.3");  // twice changes nothing
    EXPECT_EQ(room.Names(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));

    directory.Remember(70, "10.0.0.2", "bob");
    directory.Remember(71, "10.0.0.3", "cat");
    directory.Remember(72, "10.0.0.3", "dan");  // two copies on one machine: no telling which
    room.Received(1, Line("ann"));
    EXPECT_EQ(room.Names(), (std::vector<std::string>{"ann", "bob", "10.0.0.3"}));

    room.Received(1, Line("Ann B"));
    room.Received(3, Line("dan"));
    directory.Forget(70);
    EXPECT_EQ(room.Names(), (std::vector<std::string>{"Ann B", "10.0.0.2", "dan"}));

    room.Leave(1);
    EXPECT_EQ(room.Size(), 2u);
}

TEST(ChatRoom, LinesGoToEveryoneTheListToTheAskerAlone) {
    ChatRoom room;
    room.Join(1, "10.0.0.1");
    const ChatRoom::Reply line = room.Received(1, Line("ann"));
    EXPECT_EQ(line.to, ChatRoom::Reply::To::Everyone);
    EXPECT_EQ(line.text, Line("ann"));
    const ChatRoom::Reply list = room.Received(1, "LIST0");
    EXPECT_EQ(list.to, ChatRoom::Reply::To::Sender);
    EXPECT_EQ(list.text, "In the chat (1):\r\nann\r\n");
    const ChatRoom::Reply odd = room.Received(1, "any other text");
    EXPECT_EQ(odd.to, ChatRoom::Reply::To::Everyone);
    EXPECT_EQ(odd.text, "any other text") << "relayed unchanged";
}

// What the chat relayed, kept once: each player takes it from where it has
// got to, in pieces of whole texts; past the cap the oldest go.
TEST(ChatBacklog, EachPlayerTakesFromWhereItIsAndTheOldestGoPastTheCap) {
    server::ChatBacklog backlog(10);
    backlog.Add("aaa");
    backlog.Add("bbb");
    backlog.Add("cc");
    EXPECT_EQ(backlog.Begin(), 0u);
    EXPECT_EQ(backlog.End(), 3u);
    std::string out;
    EXPECT_EQ(backlog.Take(0, 3, 6, out), 2u);
    EXPECT_EQ(out, "aaabbb") << "whole texts while they fit";
    out.clear();
    EXPECT_EQ(backlog.Take(0, 3, 2, out), 1u);
    EXPECT_EQ(out, "aaa") << "at least one, however long";
    out.clear();
    EXPECT_EQ(backlog.Take(1, 2, 100, out), 2u);
    EXPECT_EQ(out, "bbb") << "no further than asked";
    EXPECT_EQ(backlog.BytesFrom(1), 5u);
    EXPECT_EQ(backlog.BytesFrom(3), 0u);

    backlog.Add("dddd");
    EXPECT_EQ(backlog.Begin(), 1u) << "12 bytes: the oldest went";
    EXPECT_EQ(backlog.Bytes(), 9u);
    EXPECT_EQ(backlog.BytesFrom(0), 9u) << "one behind what is kept waits for what is kept";
    out.clear();
    EXPECT_EQ(backlog.Take(0, 4, 100, out), 4u);
    EXPECT_EQ(out, "bbbccdddd");

    backlog.Add(std::string(20, 'e'));
    EXPECT_EQ(backlog.Begin(), 4u) << "the newest stays, even past the cap";
    EXPECT_EQ(backlog.End(), 5u);
    EXPECT_EQ(backlog.Bytes(), 20u);
}

}  // namespace
