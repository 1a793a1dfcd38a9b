#pragma once

#include <memory>

#include "core/Game.h"
#include "shell/Startup.h"

class QApplication;

namespace platform {
class Dialogs;
class TerminationSignals;
}  // namespace platform

namespace shell {
class Form1;
class Form15;
}  // namespace shell

// The whole program put together: the game, the main window with its
// screens, the start-up and the splash.
namespace app {

struct ProgramOptions {
    shell::StartupSettings Startup;
    // The message boxes; null: the real ones.
    platform::Dialogs* Dialogs = nullptr;
    // Whether SIGTERM, SIGINT and SIGHUP end the game through its shutdown
    // (only one program per process can have them).
    bool HandleTerminationSignals = true;
};

class Program {
public:
    explicit Program(ProgramOptions options);
    ~Program();

    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Shows the splash; its timer brings up the main window.
    void Start();

    core::Game& Game() { return game_; }
    shell::Form1& Form1() { return *form1_; }
    shell::Startup& Startup() { return *startup_; }
    // Made by Start().
    shell::Form15* Splash() { return splash_.get(); }

private:
    // Loading at start-up, saving at the end and from the menu.
    void ConnectSavedGame();

    std::unique_ptr<platform::Dialogs> ownDialogs_;
    platform::Dialogs* defaultDialogs_ = nullptr;
    core::Game game_;
    std::unique_ptr<shell::Form1> form1_;
    shell::Startup* startup_ = nullptr;  // a child of Form1
    std::unique_ptr<shell::Form15> splash_;
    std::unique_ptr<platform::TerminationSignals> signals_;
};

// The program as the player starts it: the lock "trotwick", a left-over patch
// looked for beside the executable, the saved game in the current directory.
shell::StartupSettings DefaultStartupSettings();

// Application-wide settings: name, icon, font, and ending only when the
// game's shutdown says so (not when its last window closes).
void ConfigureApplication(QApplication& application);

}  // namespace app
