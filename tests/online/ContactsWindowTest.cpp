// The contacts window: the game's contacts list and net send messages, with
// a recording messenger in place of the real one, and the contacts through a
// save and a load of the whole program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Program.h"
#include "core/Game.h"
#include "online/CommunityWindows.h"
#include "platform/InstanceLock.h"
#include "shell/Form1.h"
#include "shell/Form15.h"
#include "shell/SaveGameWindows.h"
#include "shell/Startup.h"
#include "tests/online/CommunityTestKit.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/RecordingMessageSender.h"
#include "tests/support/Screenshots.h"
#include "tests/support/TempFolder.h"

using platform::SendResult;
using testing_support::RunUntil;
using Contacts = std::vector<std::string>;

namespace {

class ContactsWindow : public community_tests::InstalledWindows {
protected:
    ContactsWindow() : window(&windows.ContactsWindow()) {}

    Contacts Listed() const {
        Contacts names;
        for (int i = 0; i < window->List1->count(); ++i) names.push_back(window->List1->item(i)->text().toStdString());
        return names;
    }

    void Write(const char* recipient, const char* message) {
        window->Text3->setText(QString::fromUtf8(recipient));
        window->Text4->setPlainText(QString::fromUtf8(message));
    }

    online::Form6* window;
};

TEST_F(ContactsWindow, AddsWithTheInputBoxAndDeletesTheSelectedContact) {
    dialogs.inputs = {std::string("alice"), std::string("Bob PC"), std::string(""), std::nullopt, std::string("alice")};
    for (int i = 0; i < 5; ++i) window->Command4->click();
    ASSERT_EQ(dialogs.boxes.size(), 5u);
    EXPECT_EQ(dialogs.boxes[0].prompt, "Enter a the new contact's username:");
    EXPECT_EQ(dialogs.boxes[0].title, "Add New Contact");
    // An empty answer and Cancel add nothing; a double is kept.
    EXPECT_EQ(game.Contacts, (Contacts{"alice", "Bob PC", "alice"}));
    EXPECT_EQ(Listed(), game.Contacts);

    // Nothing selected: nothing deleted.
    window->Command3_Click();
    EXPECT_EQ(game.Contacts.size(), 3u);
    window->List1->setCurrentRow(1);
    EXPECT_EQ(window->Text3->text(), "Bob PC");
    window->Command3->click();
    EXPECT_EQ(game.Contacts, (Contacts{"alice", "alice"}));
    EXPECT_EQ(Listed(), game.Contacts);
}

// The saved game reads back 254 characters of a contact: a longer answer
// is kept as it will load.
TEST_F(ContactsWindow, AContactIsNoLongerThanTheSavedGameReadsBack) {
    dialogs.inputs = {std::string(300, 'x')};
    window->Command4->click();
    EXPECT_EQ(game.Contacts, Contacts{std::string(254, 'x')});
}

TEST_F(ContactsWindow, SendHandsTheMessengerTheExactTextAndEmptiesTheMessage) {
    game.Contacts = {"bob"};
    form.ShowLanChat();
    window->List1->setCurrentRow(0);
    window->Text4->setPlainText(QStringLiteral("Race you!\nTonight? \u00A35"));
    window->Command1->click();
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].recipient, "bob");
    EXPECT_EQ(sender.sent[0].text,
              "<-Trotwick EXTERNAL GAME MESSAGE->\r\nFrom User: jenny\r\n\r\nRace you!\r\nTonight? \xA3" "5");
    EXPECT_EQ(window->Text4->toPlainText(), "");

    // Enter in the message sends too.
    window->Text4->setPlainText(QStringLiteral("again"));
    QTest::keyClick(window->Text4, Qt::Key_Return);
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_TRUE(sender.sent[1].text.ends_with("\r\n\r\nagain"));
    EXPECT_TRUE(dialogs.boxes.empty());
    window->Text4->setPlainText(QStringLiteral("See you at the track."));
    testing_support::SaveScreenshot(*window, "form6-lan-chat");
}

TEST_F(ContactsWindow, RecipientsThatAreNoSingleNameAreRefusedAndNothingRuns) {
    struct Case {
        const char* recipient;
        const char* box;     // the box's title, or null
        const char* notice;  // the notice, or null
    };
    const char* const bad = "A username or computer name cannot begin with \"-\" or hold blanks: the message was not sent.";
    const Case cases[] = {
        {"*", "DON'T EVEN TRY IT!", nullptr},
        {"* ", "DON'T EVEN TRY IT!", nullptr},
        {"", nullptr, "Choose a contact or type a username to send the message to."},
        {"   ", nullptr, "Choose a contact or type a username to send the message to."},
        {"-M", nullptr, bad},
        {"--help", nullptr, bad},
        {"bob & rm -rf ~", nullptr, bad},
        {"bob\tpc", nullptr, bad},
    };
    for (const Case& c : cases) {
        dialogs.boxes.clear();
        form.Notice->clear();
        Write(c.recipient, "$(rm -rf ~)");
        window->Command1_Click();
        EXPECT_TRUE(sender.sent.empty()) << c.recipient;
        EXPECT_EQ(window->Text4->toPlainText(), "$(rm -rf ~)") << c.recipient;
        if (c.box) {
            ASSERT_EQ(dialogs.boxes.size(), 1u) << c.recipient;
            EXPECT_EQ(dialogs.boxes[0].prompt, "Trotwick will not let you send a message to the whole network!");
            EXPECT_EQ(dialogs.boxes[0].style, platform::kInformation);
            EXPECT_EQ(dialogs.boxes[0].title, c.box);
        } else {
            EXPECT_TRUE(dialogs.boxes.empty()) << c.recipient;
            EXPECT_EQ(form.Notice->text().toStdString(), c.notice) << c.recipient;
            EXPECT_EQ(window->Status->text().toStdString(), c.notice) << "told where the player writes";
        }
    }
}

TEST_F(ContactsWindow, AMessageThatDidNotGoStaysInTheBox) {
    sender.results = {SendResult::NoMessenger, SendResult::Failed, SendResult::Refused};
    const char* notices[] = {
        "No messenger is available on this computer: the message was not sent.",
        "The message could not be delivered to bob.",
        "A username or computer name cannot begin with \"-\" or hold blanks: the message was not sent.",
    };
    windows.contacts->trigger();
    for (const char* notice : notices) {
        Write("bob", "keep me");
        window->Command1_Click();
        EXPECT_EQ(window->Text4->toPlainText(), "keep me");
        EXPECT_EQ(form.Notice->text().toStdString(), notice);
        // Also in the window, where the player looks: the main window's
        // notice line may well be behind it.
        EXPECT_EQ(window->Status->text().toStdString(), notice);
        EXPECT_TRUE(window->Status->isVisible());
        EXPECT_TRUE(window->Command1->isEnabled());
    }
    EXPECT_EQ(sender.sent.size(), 3u);
    testing_support::SaveScreenshot(*window, "form6-no-messenger");

    // A message that goes leaves nothing to be told.
    Write("bob", "now it goes");
    window->Command1_Click();
    EXPECT_EQ(window->Status->text(), "");
    EXPECT_EQ(window->Text4->toPlainText(), "");
}

TEST_F(ContactsWindow, OneMessageAtATimeAndWhatIsTypedMeanwhileStays) {
    sender.holdAnswers = true;
    Write("bob", "first");
    window->Command1_Click();
    EXPECT_TRUE(window->Sending());
    EXPECT_FALSE(window->Command1->isEnabled());
    window->Command1_Click();
    EXPECT_EQ(sender.sent.size(), 1u);

    window->Text4->setPlainText(QStringLiteral("second"));
    sender.Answer();
    EXPECT_FALSE(window->Sending());
    EXPECT_TRUE(window->Command1->isEnabled());
    EXPECT_EQ(window->Text4->toPlainText(), "second");
}

TEST_F(ContactsWindow, ClosingDuringPlayOnlyHidesTheWindow) {
    game.Contacts = {"alice", "bob"};
    windows.contacts->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(windows.contacts->text(), "LAN C&hat");
    Write("bob", "unsent");
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(&windows.ContactsWindow(), window);
    form.ShowLanChat();
    EXPECT_EQ(Listed(), (Contacts{"alice", "bob"}));
    EXPECT_EQ(window->Text4->toPlainText(), "unsent");
}

// The whole program, started in a folder of its own.
class ProgramRun {
public:
    ProgramRun(const testing_support::TempFolder& folder, const std::string& name) {
        app::ProgramOptions options;
        options.Startup.InstanceName = "trotwick-test-" + std::to_string(::getpid()) + "-" + name;
        options.Startup.GameFolder = folder.Path();
        options.Dialogs = &dialogs;
        options.HandleTerminationSignals = false;
        program = std::make_unique<app::Program>(std::move(options));
        program->Startup().Seams.EndProcess = [](int) {};
        shell::SaveGameWindows::Install(program->Form1()).SetEndProgram([] {});
        program->Start();
        program->Splash()->Timer1_Timer();
    }
    ~ProgramRun() {
        const std::string lock = program->Startup().Settings().InstanceName;
        program.reset();
        std::error_code error;
        std::filesystem::remove(platform::LockFilePath(lock), error);
    }
    online::CommunityWindows& Windows() { return online::CommunityWindows::Install(program->Form1()); }

    testing_support::RecordingDialogs dialogs;
    std::unique_ptr<app::Program> program;
};

TEST(ContactsThroughTheSavedGame, AreSavedAndShownAgainAfterTheLoad) {
    testing_support::TempFolder folder;
    {
        ProgramRun first(folder, "contacts-first");
        online::Form6& contacts = first.Windows().ContactsWindow();
        // Loaded hidden at start-up, with the new game's empty list.
        EXPECT_FALSE(contacts.isVisible());
        EXPECT_FALSE(first.Windows().ChatWindow().isVisible());
        first.program->Form1().ShowLanChat();
        EXPECT_EQ(contacts.List1->count(), 0);
        first.dialogs.inputs = {std::string("alice"), std::string("bob"), std::string("carol")};
        for (int i = 0; i < 3; ++i) contacts.Command4_Click();
        contacts.List1->setCurrentRow(1);
        contacts.Command3_Click();
        first.program->Form1().close();  // saves on the way out, once its window shows
        ASSERT_TRUE(RunUntil([&] { return !shell::SaveGameWindows::Install(first.program->Form1()).Saving(); }));
    }
    ASSERT_TRUE(std::filesystem::exists(folder / "Zirc.enc"));

    ProgramRun second(folder, "contacts-second");
    EXPECT_EQ(second.program->Game().Contacts, (Contacts{"alice", "carol"}));
    online::Form6& contacts = second.Windows().ContactsWindow();
    EXPECT_FALSE(contacts.isVisible());
    second.program->Form1().ShowLanChat();
    ASSERT_EQ(contacts.List1->count(), 2);
    EXPECT_EQ(contacts.List1->item(0)->text(), "alice");
    EXPECT_EQ(contacts.List1->item(1)->text(), "carol");
}

}  // namespace
