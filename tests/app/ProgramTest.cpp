#include <gtest/gtest.h>

#include <QKeySequence>
#include <QMenu>
#include <QTemporaryDir>
#include <unistd.h>

#include <set>

#include "app/Program.h"
#include "online/BramblyFT.h"
#include "platform/InstanceLock.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/Form15.h"
#include "shell/TreeView.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RecordingDialogs.h"

namespace {

TEST(Program, StartsThroughTheSplashIntoAPlayableGame) {
    QTemporaryDir folder;
    testing_support::RecordingDialogs dialogs;
    app::ProgramOptions options;
    options.Startup.InstanceName = "trotwick-test-" + std::to_string(::getpid()) + "-program";
    options.Startup.ProgramFolder = folder.path().toStdString();
    options.Startup.GameFolder = folder.path().toStdString();
    options.Dialogs = &dialogs;
    options.HandleTerminationSignals = false;
    app::Program program(std::move(options));
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

}  // namespace
