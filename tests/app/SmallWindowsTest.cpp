// The whole program's small windows and text boxes, as the player meets
// them: Escape closes each small window as its close box does, and a paste
// from an empty clipboard brings no box of the game down.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <unistd.h>

#include "app/Program.h"
#include "platform/InstanceLock.h"
#include "shell/Form1.h"
#include "shell/Form15.h"
#include "shell/LogWindow.h"
#include "tests/support/RecordingDialogs.h"

namespace {

using shell::SmallWindow;

class PlayedProgram : public ::testing::Test {
protected:
    PlayedProgram() : program(Options()) {
        program.Startup().Seams.EndProcess = [](int) {};
        program.Start();
        program.Splash()->Timer1_Timer();
    }
    ~PlayedProgram() override {
        std::error_code error;
        std::filesystem::remove(platform::LockFilePath(program.Startup().Settings().InstanceName), error);
    }

    app::ProgramOptions Options() {
        app::ProgramOptions options;
        options.Startup.InstanceName = "trotwick-test-" + std::to_string(::getpid()) + "-small-windows";
        options.Startup.ProgramFolder = folder.path().toStdString();
        options.Startup.GameFolder = folder.path().toStdString();
        options.Dialogs = &dialogs;
        options.HandleTerminationSignals = false;
        return options;
    }

    // The shown top-level window of that name, or null.
    static QWidget* Shown(const QString& name) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == name && window->isVisible()) return window;
        }
        return nullptr;
    }

    QTemporaryDir folder;
    testing_support::RecordingDialogs dialogs;
    app::Program program;
};

struct SmallWindowCase {
    SmallWindow window;
    const char* name;
    bool kept;  // loaded for the whole run: closing only hides it
};

const SmallWindowCase kSmallWindows[] = {
    {SmallWindow::About, "Form5", false},          {SmallWindow::Disclaimer, "Form7", false},
    {SmallWindow::HelpFiles, "Form12", false},     {SmallWindow::PlayerStats, "Form8", false},
    {SmallWindow::GeneCollection, "Form14", false}, {SmallWindow::UpdateSettings, "Form10", false},
    {SmallWindow::LeaderBoard, "Form11", false},   {SmallWindow::ChatWindow, "Form13", true},
    {SmallWindow::LanChat, "Form6", true},
};

TEST_F(PlayedProgram, EscapeClosesEverySmallWindowAsItsCloseBoxDoes) {
    for (const SmallWindowCase& c : kSmallWindows) {
        SCOPED_TRACE(c.name);
        program.Form1().Open(c.window);
        QPointer<QWidget> window = Shown(QString::fromLatin1(c.name));
        ASSERT_NE(window, nullptr);
        QApplication::setActiveWindow(window);
        // Where the player is: in a box of the window, or on the window.
        QWidget* focus = window->focusWidget() ? window->focusWidget() : window.data();
        QTest::keyClick(focus, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (c.kept) {
            ASSERT_NE(window, nullptr) << "kept loaded";
            EXPECT_FALSE(window->isVisible());
            // It opens again as it was left.
            program.Form1().Open(c.window);
            EXPECT_TRUE(window->isVisible());
            window->close();
        } else {
            EXPECT_EQ(window, nullptr) << "unloaded, as by its close box";
        }
    }
}

// With nothing copied, the X11 clipboard offers a source without a single
// format; Ctrl+V, Shift+Insert and the paste item of a box must take nothing
// from it, in every window of the game.
TEST_F(PlayedProgram, APasteFromAnEmptyClipboardChangesNoTextBox) {
    for (const SmallWindowCase& c : kSmallWindows) program.Form1().Open(c.window);
    program.Form1().Open(SmallWindow::EliteHorse);
    shell::Form3 saving(&program.Form1());
    saving.show();

    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    std::vector<std::string> editable;
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* line = qobject_cast<QLineEdit*>(widget);
        auto* plain = qobject_cast<QPlainTextEdit*>(widget);
        auto* rich = qobject_cast<QTextEdit*>(widget);
        if (!line && !plain && !rich) continue;
        const auto text = [&] { return line ? line->text() : plain ? plain->toPlainText() : rich->toPlainText(); };
        const QString before = text();
        const std::string name =
            widget->window()->objectName().toStdString() + "." + widget->objectName().toStdString();
        SCOPED_TRACE(name);
        QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(widget, Qt::Key_Insert, Qt::ShiftModifier);
        QMetaObject::invokeMethod(widget, "paste");
        EXPECT_EQ(text(), before);
        const bool readOnly = line ? line->isReadOnly() : plain ? plain->isReadOnly() : rich->isReadOnly();
        if (!readOnly) editable.push_back(name);
    }
    // The boxes the player types into were among them.
    for (const char* box : {"Form6.Text4", "Form6.Text3", "Form13.Text8", "Form10.Text8", "Form9.Text4"}) {
        EXPECT_NE(std::find(editable.begin(), editable.end(), box), editable.end()) << box;
    }
}

}  // namespace
