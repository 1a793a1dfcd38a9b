#include <gtest/gtest.h>

#include <QKeySequence>
#include <QMenu>
#include <QTemporaryDir>
#include <unistd.h>

#include <functional>
#include <set>

#include "app/Program.h"
#include "online/BramblyFT.h"
#include "platform/IniDocument.h"
#include "platform/InstanceLock.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/Form15.h"
#include "shell/SaveGameWindows.h"
#include "shell/TreeView.h"
#include "tests/app/PlayedProgram.h"
#include "tests/savegame/SaveFixtures.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RecordingDialogs.h"

namespace {

using app_test::PlayedProgram;

TEST(Program, StartsThroughTheSplashIntoAPlayableGame) {
    QTemporaryDir folder;
    testing_support::RecordingDialogs dialogs;
    app::Program program(app_test::OptionsFor(folder, dialogs, "program"));
    std::vector<int> ended;
    program.Startup().Seams.EndProcess = [&](int code) { ended.push_back(code); };

    // The live update is installed: start-up connects its two sockets.
    EXPECT_TRUE(program.Startup().Seams.ConnectLiveUpdate);
    EXPECT_TRUE(program.Startup().Seams.ConnectChat);
    EXPECT_NE(program.Form1().findChild<online::BramblyFT*>("PatchFT"), nullptr);

    program.Start();
    ASSERT_NE(program.Splash(), nullptr);
    EXPECT_TRUE(program.Splash()->isVisible());
    EXPECT_FALSE(program.Form1().isVisible());
    EXPECT_TRUE(dialogs.boxes.empty());  // nothing happens before the splash's time

    program.Splash()->Timer1_Timer();
    EXPECT_FALSE(program.Splash()->isVisible());
    EXPECT_TRUE(program.Form1().isVisible());
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(program.Form1().FrontPanel(), shell::Panel::Tracks);
    EXPECT_EQ(program.Form1().MarketTree->Count(), 251);
    EXPECT_EQ(program.Game().Money, 5000);

    // Every item of the Game menu, whoever added it, has a key of its own.
    std::set<QChar> keys;
    for (const QAction* action : program.Form1().GameMenu()->actions()) {
        if (action->isSeparator()) continue;
        const QString text = action->text();
        const auto amp = text.indexOf('&');
        ASSERT_GE(amp, 0) << text.toStdString();
        EXPECT_TRUE(keys.insert(text.at(amp + 1).toLower()).second) << text.toStdString();
    }

    program.Form1().close();
    // The save on the way out runs once its window has shown.
    EXPECT_TRUE(testing_support::RunUntil([&] { return !ended.empty(); }));
    EXPECT_EQ(ended, std::vector<int>{0});
    EXPECT_FALSE(program.Form1().isVisible());
    std::error_code error;
    std::filesystem::remove(platform::LockFilePath(program.Startup().Settings().InstanceName), error);
}

// The desktop ends the game (logout, SIGTERM) just after the player asked for
// a save, before its window has shown: the game is saved as the player had
// it before the program ends, and nobody is asked anything.
class DesktopEnding : public PlayedProgram {
protected:
    void AfterAskingForASave(const std::function<void()>& ask) {
        const std::filesystem::path save = std::filesystem::path(folder.path().toStdString()) / "Zirc.enc";
        shell::SaveGameWindows::Install(program.Form1()).SetEndProgram([] {});
        dialogs.boxes.clear();
        program.Game().Money = 7777;
        ask();
        ASSERT_FALSE(std::filesystem::exists(save)) << "the save waits for its window";
        program.Startup().TerminationRequested();
        EXPECT_EQ(ended, std::vector<int>{0});
        EXPECT_TRUE(dialogs.boxes.empty());
        const auto plain = platform::IniDocument::Parse(save_test::PlainOf(save));
        EXPECT_EQ(plain.Find("Data", "Money").value_or("(missing)"), "7777");
    }
};

TEST_F(DesktopEnding, AfterSaveGameTheGameIsSavedFirst) {
    AfterAskingForASave([&] { program.Form1().Save->trigger(); });
}

TEST_F(DesktopEnding, AfterTheCloseBoxTheGameIsSavedFirst) {
    AfterAskingForASave([&] { program.Form1().close(); });
}

}  // namespace
