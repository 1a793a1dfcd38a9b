#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "shell/Form1.h"
#include "shell/HelpTexts.h"
#include "shell/InformationWindows.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"

namespace {

using shell::InformationWindows;

class InformationWindowsTest : public ::testing::Test {
protected:
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    InformationWindows& windows = InformationWindows::Install(form);

    // Each caption with its mnemonic marked by "&".
    static QStringList Captions(const QMenu* menu) {
        QStringList captions;
        for (const QAction* action : menu->actions()) captions << (action->isSeparator() ? "-" : action->text());
        return captions;
    }
};

TEST_F(InformationWindowsTest, MenuItemsWhereAPlayerLooksForThem) {
    EXPECT_EQ(Captions(form.HelpMenu()), QStringList({"&Help Files", "&Disclaimer", "-", "&About"}));
    EXPECT_EQ(Captions(form.GameMenu()), QStringList({"&New Game", "&Save Game", "&Player Profile", "&Quit"}));

    windows.helpFiles->trigger();
    ASSERT_NE(windows.HelpFiles(), nullptr);
    EXPECT_TRUE(windows.HelpFiles()->isVisible());
    windows.disclaimer->trigger();
    ASSERT_NE(windows.Disclaimer(), nullptr);
    EXPECT_TRUE(windows.Disclaimer()->isVisible());
    windows.profile->trigger();
    ASSERT_NE(windows.PlayerProfile(), nullptr);
    EXPECT_TRUE(windows.PlayerProfile()->isVisible());
    form.ab->trigger();
    ASSERT_NE(windows.About(), nullptr);
    EXPECT_TRUE(windows.About()->isVisible());
}

TEST_F(InformationWindowsTest, AboutShowsTheNameAndClosesWithItsButton) {
    form.ab->trigger();
    shell::Form5* about = windows.About();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_EQ(about->BackColor(), 0xFFFFFFu);
    EXPECT_EQ(about->Label1->text(), "Trotwick");
    EXPECT_FALSE(about->Label2->text().isEmpty());
    EXPECT_EQ(about->Command1->text(), "Close");
    form.ab->trigger();
    EXPECT_EQ(windows.About(), about);
    testing_support::SaveScreenshot(*about, "form5-about");

    QTest::mouseClick(about->Command1, Qt::LeftButton);
    EXPECT_EQ(windows.About(), nullptr);
    EXPECT_FALSE(about->isVisible());
}

// The small windows open centred over the main window; Escape closes them.
TEST_F(InformationWindowsTest, EachOpensCentredOverTheMainWindowAndEscapeClosesIt) {
    form.move(40, 30);
    form.show();
    const std::vector<std::pair<QAction*, std::function<QWidget*()>>> windowsToOpen = {
        {form.ab, [&] { return windows.About(); }},
        {windows.disclaimer, [&] { return windows.Disclaimer(); }},
        {windows.profile, [&] { return windows.PlayerProfile(); }},
        {windows.helpFiles, [&] { return windows.HelpFiles(); }},
    };
    for (const auto& [action, loaded] : windowsToOpen) {
        SCOPED_TRACE(action->text().toStdString());
        action->trigger();
        QWidget* window = loaded();
        ASSERT_NE(window, nullptr);
        const QPoint offset = window->frameGeometry().center() - form.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2);
        QApplication::setActiveWindow(window);
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_EQ(loaded(), nullptr);
    }
}

TEST_F(InformationWindowsTest, TheDisclaimerHoldsItsText) {
    form.ShowDisclaimer();
    shell::Form7* disclaimer = windows.Disclaimer();
    ASSERT_NE(disclaimer, nullptr);
    EXPECT_EQ(disclaimer->windowTitle(), "Disclaimer");
    EXPECT_TRUE(disclaimer->Text1->isReadOnly());
    EXPECT_TRUE(disclaimer->Text1->toPlainText().contains("network"));
    // As the help and the patch screen have it: the update program waits
    // for the player.
    EXPECT_TRUE(disclaimer->Text1->toPlainText().contains(
        "it is started on your computer only when you press \"Start Patch\""));
    EXPECT_FALSE(disclaimer->Text1->toPlainText().contains('\r'));
    testing_support::SaveScreenshot(*disclaimer, "form7-disclaimer");
}

TEST_F(InformationWindowsTest, TheProfileIsTakenWhenTheWindowLoads) {
    game.Level = 3;
    game.LANwon = 12;
    game.LANlost = 4;
    game.LANwager = 2500000;
    form.ShowPlayerStats();
    shell::Form8* profile = windows.PlayerProfile();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->windowTitle(), "Player Profile");
    EXPECT_EQ(profile->Text1->toPlainText(),
              QString::fromUtf8("Player Level: 3\nLAN Battles Won: 12\nLAN Battles Lost: 4\n"
                                "Biggest LAN Wager: \u00A32,500,000"));
    EXPECT_EQ(profile->Label1->text(),
              QString::fromUtf8("Welcome to your Player Profile room, this room contains information kept on your "
                                "gaming history. The medals to the left indicate how many times you have won the "
                                "game (you win a game whenever you exceed \u00A31,000,000,000)"));
    testing_support::SaveScreenshot(*profile, "form8-profile");

    // Not refreshed while open; loaded afresh once closed.
    game.Level = 4;
    form.ShowPlayerStats();
    EXPECT_EQ(windows.PlayerProfile(), profile);
    EXPECT_TRUE(profile->Text1->toPlainText().startsWith("Player Level: 3\n"));
    profile->close();
    form.ShowPlayerStats();
    ASSERT_NE(windows.PlayerProfile(), nullptr);
    EXPECT_TRUE(windows.PlayerProfile()->Text1->toPlainText().startsWith("Player Level: 4\n"));
}

TEST_F(InformationWindowsTest, ManyMedalsStillFitTheProfile) {
    game.Level = 37;
    form.ShowPlayerStats();
    testing_support::SaveScreenshot(*windows.PlayerProfile(), "form8-profile-many-medals");
}

// The page the player sees in the middle of the help window's stack.
QWidget* PageOnTop(shell::Form12& help) {
    const QRect stack = help.Picture1->geometry();
    QWidget* hit = help.childAt(stack.center());
    for (QWidget* page : help.Boxes) {
        if (hit == page || page->isAncestorOf(hit)) return page;
    }
    return hit == help.Picture1 || help.Picture1->isAncestorOf(hit) ? help.Picture1 : hit;
}

TEST_F(InformationWindowsTest, HelpOpensOnThePromptAndEachButtonRaisesItsTopic) {
    form.ShowHelpFiles();
    shell::Form12* help = windows.HelpFiles();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), "Help Files");
    EXPECT_EQ(help->Front(), help->Picture1);
    EXPECT_EQ(PageOnTop(*help), help->Picture1);
    EXPECT_EQ(help->Prompt->text(), "Please Select a Topic");
    testing_support::SaveScreenshot(*help, "form12-help-prompt");

    const std::tuple<const char*, const char*, const char*> topics[] = {
        {"Command1", "Placing Bets", "Bets"},         {"Command2", "Buying a Horse", "BuyHorse"},
        {"Command3", "Improving a Horse", "ImpHorse"}, {"Command4", "Racing a Horse", "RaceH"},
        {"Command5", "Breeding Horses", "Breed"},      {"Command6", "Online Features", "Online"},
        {"Command9", "Port Information", "Port"},
    };
    for (const auto& [buttonName, caption, boxName] : topics) {
        auto* button = help->findChild<QPushButton*>(buttonName);
        auto* box = help->findChild<QPlainTextEdit*>(boxName);
        ASSERT_NE(button, nullptr) << buttonName;
        ASSERT_NE(box, nullptr) << boxName;
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(box->geometry(), help->Picture1->geometry()) << boxName;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(help->Front(), box) << boxName;
        EXPECT_EQ(PageOnTop(*help), box) << boxName;
        EXPECT_FALSE(box->toPlainText().isEmpty()) << boxName;
        QTest::mouseClick(button, Qt::LeftButton);  // the same button again keeps it in front
        EXPECT_EQ(PageOnTop(*help), box) << boxName;
        testing_support::SaveScreenshot(*help, std::string("form12-help-") + boxName);
    }
    EXPECT_TRUE(help->Boxes[6]->toPlainText().contains("2094 TCP outbound"));

    // Reopened after closing, it is back at the prompt.
    help->close();
    form.ShowHelpFiles();
    ASSERT_NE(windows.HelpFiles(), nullptr);
    EXPECT_NE(windows.HelpFiles(), help);
    EXPECT_EQ(PageOnTop(*windows.HelpFiles()), windows.HelpFiles()->Picture1);
}

TEST(HelpTexts, CallTheGameCanterlooAndNameNoServerHost) {
    for (const shell::HelpTopic& topic : shell::kHelpTopics) {
        const std::string text(topic.text);
        EXPECT_EQ(text.find("Trotwick"), std::string::npos) << topic.box;
        for (const char* host : {"localhost", "127.0.0.1", "www.", ".com", ".net", ".org", "http"}) {
            EXPECT_EQ(text.find(host), std::string::npos) << topic.box << " names " << host;
        }
        // Game text with CR LF breaks only.
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
            ASSERT_GT(at, 0u);
            EXPECT_EQ(text[at - 1], '\r') << topic.box;
        }
    }
    const std::string online(shell::kHelpTopics[5].text);
    EXPECT_NE(online.find("Canterloo Server"), std::string::npos);
}

TEST(HelpTexts, ThePortTableInItsOrder) {
    const std::string port(shell::kHelpTopics[6].text);
    const char* lines[] = {
        "2094 TCP outbound - live update patch requester\r\n",
        "5917 TCP outbound - leader's board\r\n",
        "5989 TCP outbound - joining LAN games\r\n",
        "5989 TCP inbound - hosting LAN games\r\n",
        "3113 TCP outbound - chat (BramChat)\r\n",
        "7812 TCP outbound - live update file transfer\r\n",
    };
    std::size_t after = 0;
    for (const char* line : lines) {
        const std::size_t at = port.find(line, after);
        ASSERT_NE(at, std::string::npos) << line;
        after = at + 1;
    }
}

}  // namespace
