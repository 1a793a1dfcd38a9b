// The chat window on the main window's chat connection, against a scripted
// server on loopback: the lines it sends, byte for byte, and the server's
// texts in the log, also while the window is hidden.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>

#include "core/Game.h"
#include "net/Socket.h"
#include "online/MessageChannel.h"
#include "online/CommunityWindows.h"
#include "online/ServerConnections.h"
#include "platform/QtText.h"
#include "shell/Form1.h"
#include "tests/online/CommunityTestKit.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RawSocket.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/RecordingMessageSender.h"
#include "tests/support/Screenshots.h"

using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;

namespace {

namespace chat = online::chat;

class ChatWindow : public community_tests::InstalledWindows {
protected:
    ChatWindow() : chatSocket(online::ServerConnections::Of(form).Chat()), window(&windows.ChatWindow()) {
        windows.Feed().SetIdleGap(std::chrono::milliseconds(60));
    }

    // Connects the chat as start-up would, to the scripted server.
    void ConnectChat() {
        chatSocket.Connect(std::string("127.0.0.1"), server.Port());
        peer = server.Accept();
        ASSERT_TRUE(peer.Valid());
        ASSERT_TRUE(RunUntil([&] { return chatSocket.State() == 7; }));
    }

    std::string Shown() const { return platform::FromQString(window->Text1->toPlainText()); }
    static std::string WithLf(std::string text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
            out += text[i];
        }
        return out;
    }

    net::Socket& chatSocket;
    online::Form13* window;
    RawSocket server = RawSocket::Listen();
    RawSocket peer;
};

TEST_F(ChatWindow, IsLoadedHiddenWithItsDesignText) {
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "BramChat - Prototype");
    EXPECT_EQ(window->Log().Text(), ".:BramChat:.\r\nPublic Talking Comunity\r\n- - - - - - - - - - - - - - - - - \r\n");
    EXPECT_EQ(Shown(), WithLf(window->Log().Text()));
    EXPECT_EQ(window->Text13->text(), "Say:");
    EXPECT_EQ(window->Text8->text(), "Hello!");
}

TEST_F(ChatWindow, EnterSendsTheTypedLineExactlyAndEmptiesTheInput) {
    ConnectChat();
    QTest::keyClick(window->Text8, Qt::Key_Return);
    const std::string first = "jenny [14:05:09]:\r\nHello!\r\n";
    EXPECT_EQ(peer.ReceiveExactly(first.size()), first);
    EXPECT_EQ(window->Text8->text(), "");

    // Other keys are typing; the keypad's Enter sends too.
    QTest::keyClicks(window->Text8, "off to the races \xC2\xA3" "5");
    QTest::keyClick(window->Text8, Qt::Key_Enter);
    const std::string typed = "jenny [14:05:09]:\r\noff to the races \xA3" "5\r\n";
    EXPECT_EQ(peer.ReceiveExactly(typed.size()), typed);
    EXPECT_EQ(peer.ReceiveSome(150), "");
    // The game does not put its own lines in the log.
    EXPECT_EQ(window->Log().Text(), std::string(chat::kLogDesignText));
}

// An empty line is sent too, and so is one of blanks: the player may mean it.
TEST_F(ChatWindow, BlankLinesAreSentTooAndLineBreaksDoNotCutALine) {
    ConnectChat();
    for (const char* blank : {"", "   ", "\t"}) {
        SCOPED_TRACE(blank);
        window->Text8->setText(QString::fromUtf8(blank));
        QTest::keyClick(window->Text8, Qt::Key_Return);
        const std::string line = std::string("jenny [14:05:09]:\r\n") + blank + "\r\n";
        EXPECT_EQ(peer.ReceiveExactly(line.size()), line);
        EXPECT_EQ(window->Text8->text(), "");
    }
    EXPECT_EQ(peer.ReceiveSome(150), "");

    // A pasted line break would end the line on the wire and pass the rest
    // off as another line.
    window->Text8->setText(QStringLiteral("first\r\nsecond"));
    QTest::keyClick(window->Text8, Qt::Key_Return);
    const std::string line = "jenny [14:05:09]:\r\nfirst  second\r\n";
    EXPECT_EQ(peer.ReceiveExactly(line.size()), line);
}

TEST_F(ChatWindow, TheInputTakesNoLongerLineThanTheServerRelays) {
    ConnectChat();
    EXPECT_EQ(window->Text8->maxLength(), static_cast<int>(chat::kMaxLine));
    window->Text8->setText(QString(static_cast<int>(chat::kMaxLine) + 100, QLatin1Char('x')));
    EXPECT_EQ(window->Text8->text().size(), static_cast<int>(chat::kMaxLine));
    QTest::keyClicks(window->Text8, "more");
    EXPECT_EQ(window->Text8->text().size(), static_cast<int>(chat::kMaxLine));
    QTest::keyClick(window->Text8, Qt::Key_Return);
    const std::string line = "jenny [14:05:09]:\r\n" + std::string(chat::kMaxLine, 'x') + "\r\n";
    EXPECT_TRUE(peer.ReceiveExactly(line.size()) == line);
}

TEST_F(ChatWindow, NothingIsSentWhileNotConnected) {
    windows.chat->trigger();
    window->Text8->setText("anyone there?");
    EXPECT_FALSE(window->Text8_KeyDown(13));
    window->ListPlayers->click();
    EXPECT_EQ(window->Text8->text(), "anyone there?");
    EXPECT_EQ(form.Notice->text(), "You are not connected to the chat server.");
    // Also in the window, where the player types.
    EXPECT_EQ(window->Status->text(), "You are not connected to the chat server.");
    EXPECT_TRUE(window->Status->isVisible());
    testing_support::SaveScreenshot(*window, "form13-not-connected");

    // Connected later, the line that waited goes as it was typed.
    ConnectChat();
    EXPECT_EQ(peer.ReceiveSome(100), "");
    EXPECT_TRUE(window->Text8_KeyDown(13));
    const std::string line = "jenny [14:05:09]:\r\nanyone there?\r\n";
    EXPECT_EQ(peer.ReceiveExactly(line.size()), line);
    EXPECT_EQ(window->Status->text(), "");
}

TEST_F(ChatWindow, ListPlayersAsksTheServer) {
    ConnectChat();
    window->ListPlayers->click();
    EXPECT_EQ(peer.ReceiveExactly(5), "LIST0");
    EXPECT_EQ(peer.ReceiveSome(100), "");
}

TEST_F(ChatWindow, ServerTextsAreAppendedUnchangedWhileTheWindowIsHidden) {
    ConnectChat();
    ASSERT_FALSE(window->isVisible());
    // One text in two pieces, then another after a pause.
    peer.SendAll("bob [14:06:00]:\r\n");
    RunFor(10);
    peer.SendAll("Hi all\r\n");
    ASSERT_TRUE(RunUntil([&] { return window->Log().Text().size() > chat::kLogDesignText.size(); }));
    RunFor(150);
    peer.SendAll(std::string("ann [14:06:30]:\r\nraw \xA3\t<b>bytes</b>\r\n"));
    const std::string expected = std::string(chat::kLogDesignText) + "\r\nbob [14:06:00]:\r\nHi all\r\n" +
                                 "\r\nann [14:06:30]:\r\nraw \xA3\t<b>bytes</b>\r\n";
    ASSERT_TRUE(RunUntil([&] { return window->Log().Text() == expected; })) << window->Log().Text();
    EXPECT_EQ(Shown(), WithLf(expected));
    EXPECT_FALSE(window->isVisible());

    // Opened, the window shows it, the newest line in view.
    form.ShowChatWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Shown(), WithLf(expected));
    EXPECT_EQ(window->Text1->textCursor().position(), window->Text1->document()->characterCount() - 1);
    testing_support::SaveScreenshot(*window, "form13-chat");
}

TEST_F(ChatWindow, ClosingOnlyHidesTheWindowAndTheLogLivesOn) {
    form.ShowChatWindow();
    window->AppendServerText("kept");
    window->close();
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(&windows.ChatWindow(), window);
    form.ShowChatWindow();
    EXPECT_TRUE(window->Log().Text().ends_with("\r\nkept"));
}

TEST_F(ChatWindow, AChattyServerCannotGrowTheLogWithoutEnd) {
    const std::string line(999, 'x');
    for (int i = 0; i < 200; ++i) window->AppendServerText(std::to_string(i) + line);
    EXPECT_LE(window->Log().Text().size(), chat::ChatLog::kLogCap);
    EXPECT_TRUE(window->Log().Text().ends_with("199" + line));
    EXPECT_EQ(Shown(), WithLf(window->Log().Text()));

    // One burst longer than the whole log: the box keeps what the log keeps.
    std::string burst;
    for (int i = 0; burst.size() < 2 * chat::ChatLog::kLogCap; ++i) burst += "line " + std::to_string(i) + "\r\n";
    window->AppendServerText(burst);
    EXPECT_LE(window->Log().Text().size(), chat::ChatLog::kLogCap);
    EXPECT_TRUE(Shown() == WithLf(window->Log().Text())) << Shown().size() << " shown";
    window->AppendServerText("after");
    EXPECT_TRUE(Shown() == WithLf(window->Log().Text())) << Shown().size() << " shown";
}

TEST_F(ChatWindow, KeysInTheLogGoToTheInputLine) {
    form.ShowChatWindow();
    window->Text8->setText("Hi");
    window->Text8->setCursorPosition(0);
    QTest::keyClicks(window->Text1, "!");
    EXPECT_EQ(window->Text8->text(), "Hi!");
    EXPECT_EQ(window->Text8->cursorPosition(), 3);
    EXPECT_EQ(window->Log().Text(), std::string(chat::kLogDesignText));
}

TEST_F(ChatWindow, TheGameMenuOpensTheChat) {
    windows.chat->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(windows.chat->text(), "&BramChat");
}

}  // namespace
