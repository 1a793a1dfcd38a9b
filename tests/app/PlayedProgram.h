#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "app/Program.h"
#include "platform/InstanceLock.h"
#include "shell/Form15.h"
#include "shell/Startup.h"
#include "tests/support/RecordingDialogs.h"

namespace app_test {

// The whole program as a test runs it: its folders in `folder`, a lock of its
// own called after `name`, its boxes answered by `dialogs`, and no signal
// handlers.
inline app::ProgramOptions OptionsFor(const QTemporaryDir& folder, platform::Dialogs& dialogs, const std::string& name) {
    app::ProgramOptions options;
    options.Startup.InstanceName = "trotwick-test-" + std::to_string(::getpid()) + "-" + name;
    options.Startup.ProgramFolder = folder.path().toStdString();
    options.Startup.GameFolder = folder.path().toStdString();
    options.Dialogs = &dialogs;
    options.HandleTerminationSignals = false;
    return options;
}

// The program started through the splash into a fresh game, as the player
// finds it; how it ended is recorded in `ended`.
class PlayedProgram : public ::testing::Test {
protected:
    PlayedProgram() : program(OptionsFor(folder, dialogs, "played")) {
        program.Startup().Seams.EndProcess = [this](int code) { ended.push_back(code); };
        program.Start();
        program.Splash()->Timer1_Timer();
    }
    ~PlayedProgram() override {
        std::error_code error;
        std::filesystem::remove(platform::LockFilePath(program.Startup().Settings().InstanceName), error);
    }

    QTemporaryDir folder;
    testing_support::RecordingDialogs dialogs;
    app::Program program;
    std::vector<int> ended;
};

}  // namespace app_test
