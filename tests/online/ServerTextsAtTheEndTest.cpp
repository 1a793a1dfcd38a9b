// The leader's board, the chat and the live update keep what their server
// sent when the connection then ends, however it ends: each text has no end
// mark but the silence after it, and the silence is far off here.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "net/Socket.h"
#include "online/Form11.h"
#include "online/LeaderBoardProtocol.h"
#include "online/LiveUpdate.h"
#include "online/MessageChannel.h"
#include "online/ServerConnections.h"
#include "platform/QtText.h"
#include "platform/Winsock.h"
#include "tests/online/CommunityTestKit.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"
#include "tests/support/TempFolder.h"

using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;

namespace {

namespace ws = platform::ws;

constexpr auto kFarOff = std::chrono::minutes(1);

class ServerTextsAtTheEnd : public community_tests::InstalledWindows {
protected:
    ServerTextsAtTheEnd() {
        game.Server = "127.0.0.1";
        online::LiveUpdateOptions options;
        options.LiveUpdatePort = liveUpListener.Port();
        options.ChatPort = chatListener.Port();
        options.ProgramFolder = folder.Path();
        options.Executable = "/opt/trotwick/trotwick";
        options.UserName = &player;
        live = new online::LiveUpdate(form, options);
        live->Channel().SetIdleGap(kFarOff);
        windows.Feed().SetIdleGap(kFarOff);
    }

    std::string Notice() const { return platform::FromQString(form.Notice->text()); }
    net::Socket& Chat() { return online::ServerConnections::Of(form).Chat(); }

    testing_support::TempFolder folder;
    RawSocket boardListener = RawSocket::Listen();
    RawSocket chatListener = RawSocket::Listen();
    RawSocket liveUpListener = RawSocket::Listen();
    online::LiveUpdate* live = nullptr;
    QWidget owner;
    std::unique_ptr<online::Form11> board;
};

struct Owner {
    const char* name;
    // Connects the owner to its scripted server; the server's end.
    std::function<RawSocket()> open;
    std::function<online::MessageChannel&()> channel;
    std::string text;
    // What reached the owner shows, and it has heard of the end after it.
    std::function<void()> expectKept;
};

struct End {
    const char* name;
    std::function<void(RawSocket&, net::Socket&)> end;
};

TEST_F(ServerTextsAtTheEnd, WhatCameBeforeTheEndIsKept) {
    const online::ScoreRecord champion{"Jenny Ash", 3, 10, 2, 5000};
    const std::string line = "bob [14:06:00]:\r\nHi all\r\n";
    const Owner owners[] = {
        {"the leader's board",
         [&] {
             board = std::make_unique<online::Form11>(game, dialogs, player, &owner, boardListener.Port());
             board->Channel().SetIdleGap(kFarOff);
             RawSocket peer = boardListener.Accept();
             EXPECT_TRUE(RunUntil([&] { return board->Session().State() == online::leaderboard::LinkState::Connected; }));
             EXPECT_EQ(peer.ReceiveExactly(12), "LEADER?jenny");
             return peer;
         },
         [&]() -> online::MessageChannel& { return board->Channel(); }, online::leaderboard::TopPlayerMessage(champion),
         [&] {
             EXPECT_EQ(board->Text4->text(), "Jenny Ash");
             EXPECT_EQ(board->Text7->text(), "2");
             EXPECT_EQ(board->Session().State(), online::leaderboard::LinkState::Closed);
         }},
        {"the chat",
         [&] {
             Chat().CloseSck();
             Chat().Connect(std::string("127.0.0.1"), chatListener.Port());
             RawSocket peer = chatListener.Accept();
             EXPECT_TRUE(RunUntil([&] { return Chat().State() == 7; }));
             return peer;
         },
         [&]() -> online::MessageChannel& { return windows.Feed(); }, line,
         [&] {
             const std::string& log = windows.ChatWindow().Log().Text();
             EXPECT_EQ(log.substr(log.size() - line.size()), line);
             windows.ChatWindow().AppendServerText("-");  // the next case's line is its own
         }},
        {"the live update",
         [&] {
             form.ShowNotice("");
             live->ConnectLiveUpdate();  // the player asks
             RawSocket peer = liveUpListener.Accept();
             EXPECT_TRUE(RunUntil([&] { return live->Channel().Socket().State() == 7; }));
             return peer;
         },
         [&]() -> online::MessageChannel& { return live->Channel(); }, "VERSION:29",
         [&] {
             EXPECT_EQ(Notice(), online::liveupdate::kUpToDate) << "not the failure of a check unanswered";
             EXPECT_EQ(live->Check().ServerVersion(), 29);
         }},
    };
    const End ends[] = {
        {"a reset", [](RawSocket& peer, net::Socket&) { peer.Reset(); }},
        {"a close", [](RawSocket& peer, net::Socket&) { peer.Close(); }},
        {"an error",
         [](RawSocket&, net::Socket& socket) {
             ASSERT_EQ(ws::PostSocketNotification(socket.SocketHandle(), ws::FD_READ, ws::WSAECONNABORTED), 0);
         }},
    };
    for (const Owner& o : owners) {
        for (const End& e : ends) {
            SCOPED_TRACE(std::string(o.name) + " at " + e.name);
            RawSocket peer = o.open();
            ASSERT_TRUE(peer.Valid());
            online::MessageChannel& channel = o.channel();
            net::Socket& socket = channel.Socket();
            peer.SendAll(o.text);
            // Read, and waiting for the silence that would show it whole.
            ASSERT_TRUE(RunUntil([&] { return channel.Reader().BytesHeld() == o.text.size(); }));
            e.end(peer, socket);
            ASSERT_TRUE(RunUntil([&] { return socket.State() != 7; }));
            RunFor(20);
            o.expectKept();
        }
    }
}

}  // namespace
