// The game against our own server on loopback: the live update fetches a
// newer version whole, the leader's board takes a score from Form11 and
// then reports its player on top, and two games chat through the server.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ServerFixture.h"
#include "net/Socket.h"
#include "online/BramblyFT.h"
#include "online/CommunityWindows.h"
#include "online/Form11.h"
#include "online/Form13.h"
#include "online/LiveUpdate.h"
#include "online/LiveUpdateRules.h"
#include "online/MessageChannel.h"
#include "online/ProcessStart.h"
#include "online/ServerConnections.h"
#include "platform/QtText.h"
#include "server/BoardService.h"
#include "server/ChatService.h"
#include "server/TransferService.h"
#include "server/VersionService.h"
#include "shell/Form1.h"
#include "tests/online/CommunityTestKit.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RecordingDialogs.h"

using testing_support::RunUntil;

namespace {

class NoStarts final : public online::ProcessStarter {
public:
    bool StartDetached(const std::filesystem::path&, const std::vector<std::string>&) override {
        ++starts;
        return true;
    }
    int starts = 0;
};

// A copy of the game pointed at the server: its main window, and the
// player's name.
struct Copy {
    explicit Copy(std::string name) : player(name) { game.Server = "127.0.0.1"; }
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    community_tests::FixedUserName player;
};

struct GameAgainstServer : server_testing::ServerFixture {};

TEST_F(GameAgainstServer, ANewerVersionIsDownloadedWholeByTheLiveUpdate) {
    std::string patch;
    for (int i = 0; i < 100000; ++i) patch += static_cast<char>(i * 31 % 251);
    folder.Write("Patch.exe", patch);
    options.Version = 30;  // the game is 29
    StartServer();

    Copy copy("jenny");
    testing_support::TempFolder programFolder;
    NoStarts starter;
    online::LiveUpdateOptions live;
    live.LiveUpdatePort = server->Version().Port();
    live.ChatPort = server->Chat().Port();
    live.ProgramFolder = programFolder.Path();
    live.Executable = "/opt/trotwick/trotwick";
    live.UserName = &copy.player;
    live.Starter = &starter;
    auto* update = new online::LiveUpdate(copy.form, live);
    update->PatchFT->SetPort(server->Transfer().Port());
    update->PatchFT->SetQuietGap(std::chrono::milliseconds(300));

    update->LiveUpdate_Timer();  // the watchdog's first tick connects both
    ASSERT_TRUE(RunUntil([&] { return server->Transfer().Finished() == 1 && !update->Check().Downloading(); }, 20000));
    EXPECT_TRUE(programFolder.Read("Patch.exe") == patch) << "the patch arrived damaged";
    EXPECT_EQ(platform::FromQString(copy.form.Notice->text()), online::liveupdate::kDownloaded);
    EXPECT_TRUE(log.Has("ACCEPT from \"jenny\" at version 29: the patch follows"));
    EXPECT_TRUE(log.Has("sent the patch whole"));
    EXPECT_EQ(starter.starts, 0) << "the player starts the patch";

    // The connections stay up: no handshake loop, no second download.
    testing_support::RunFor(500);
    update->LiveUpdate_Timer();
    testing_support::RunFor(300);
    EXPECT_EQ(server->Version().ClientCount(), 1u);
    EXPECT_EQ(server->Chat().ClientCount(), 1u);
    EXPECT_EQ(server->Transfer().Finished(), 1u);
}

TEST_F(GameAgainstServer, AScoreSubmittedFromTheBoardWindowIsThenTheTopPlayer) {
    StartServer();
    Copy copy("jenny");
    copy.game.Level = 4;
    copy.game.LANwon = 12;
    copy.game.LANlost = 3;
    copy.game.LANwager = 2500.5;
    QWidget owner;

    auto first = std::make_unique<online::Form11>(copy.game, copy.dialogs, copy.player, &owner,
                                                  server->Board().Port());
    ASSERT_TRUE(RunUntil([&] { return first->Socket().State() == 7; }));
    ASSERT_TRUE(RunUntil([&] { return log.Has("asked for the top player as \"jenny\": none yet"); }));
    first->Command4->click();
    ASSERT_TRUE(RunUntil([&] { return log.Has("score \"jenny\" level 4, won 12, lost 3, wager 2500.5"); }));
    EXPECT_TRUE(copy.dialogs.boxes.empty()) << "connected: no Sorry box";
    EXPECT_EQ(first->Status->text(), "Score sent.");
    first.reset();

    online::Form11 again(copy.game, copy.dialogs, copy.player, &owner, server->Board().Port());
    ASSERT_TRUE(RunUntil([&] { return !again.Text4->text().isEmpty(); }));
    EXPECT_EQ(again.Text4->text().toStdString(), "jenny");
    EXPECT_EQ(again.Text5->text().toStdString(), "4");
    EXPECT_EQ(again.Text6->text().toStdString(), "12");
    EXPECT_EQ(again.Text7->text().toStdString(), "3");
    EXPECT_EQ(again.Text8->text().toStdString(), "\xC2\xA3" "2,500.5");
}

// A copy with its chat window loaded hidden, as start-up leaves it, and its
// chat connection to the server.
struct ChattingCopy : Copy {
    explicit ChattingCopy(std::string name, int chatPort)
        : Copy(name), windows(online::CommunityWindows::Install(form, community_tests::TestOptions(sender, player))) {
        windows.LoadHiddenWindows();
        windows.Feed().SetIdleGap(std::chrono::milliseconds(60));
        online::ServerConnections::Of(form).Chat().Connect(game.Server, chatPort);
    }
    void Say(const std::string& line) {
        windows.ChatWindow().Text8->setText(QString::fromStdString(line));
        QTest::keyClick(windows.ChatWindow().Text8, Qt::Key_Return);
    }
    bool LogEndsWith(const std::string& text) const { return windows.ChatWindow().Log().Text().ends_with(text); }

    testing_support::RecordingMessageSender sender;
    online::CommunityWindows& windows;
};

TEST_F(GameAgainstServer, TwoGamesChatThroughTheServer) {
    StartServer();
    ChattingCopy ann("ann", server->Chat().Port());
    ChattingCopy bob("bob", server->Chat().Port());
    ASSERT_TRUE(RunUntil([&] { return server->Chat().Room().Size() == 2; }));

    ann.Say("Hello bob!");
    const std::string hello = "\r\nann [14:05:09]:\r\nHello bob!\r\n";
    ASSERT_TRUE(RunUntil([&] { return ann.LogEndsWith(hello) && bob.LogEndsWith(hello); }));

    bob.Say("Hi ann");
    const std::string hi = "\r\nbob [14:05:09]:\r\nHi ann\r\n";
    ASSERT_TRUE(RunUntil([&] { return ann.LogEndsWith(hi) && bob.LogEndsWith(hi); }));

    // The longest line the input takes reaches everyone whole.
    ann.Say(std::string(online::chat::kMaxLine + 50, 'z'));
    const std::string longest = "\r\nann [14:05:09]:\r\n" + std::string(online::chat::kMaxLine, 'z') + "\r\n";
    ASSERT_TRUE(RunUntil([&] { return ann.LogEndsWith(longest) && bob.LogEndsWith(longest); }));

    bob.windows.ChatWindow().ListPlayers->click();
    const std::string list = "\r\nIn the chat (2):\r\nann\r\nbob\r\n";
    ASSERT_TRUE(RunUntil([&] { return bob.LogEndsWith(list); }));
    EXPECT_TRUE(ann.LogEndsWith(longest)) << "the list went to bob alone";
}

}  // namespace
