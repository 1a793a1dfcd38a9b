#include "app/Program.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <system_error>

#include "development/HorseDevelopment.h"
#include "development/LabWindows.h"
#include "online/CommunityWindows.h"
#include "online/LanHostScreens.h"
#include "online/LanPlayerScreens.h"
#include "online/LiveUpdate.h"
#include "online/ServerConnections.h"
#include "platform/QtDialogs.h"
#include "platform/TerminationSignals.h"
#include "resources/Pictures.h"
#include "shell/Form1.h"
#include "shell/Form15.h"
#include "shell/InformationWindows.h"
#include "shell/NewGameQuestion.h"
#include "shell/OwnRaceScreen.h"
#include "shell/SaveGameWindows.h"
#include "shell/StablePanel.h"
#include "shell/TracksPanel.h"

namespace app {

Program::Program(ProgramOptions options) {
    if (!options.Dialogs) ownDialogs_ = std::make_unique<platform::QtDialogs>();
    platform::Dialogs& dialogs = options.Dialogs ? *options.Dialogs : *ownDialogs_;
    // A socket whose error handler asks for the box shows it through these.
    platform::SetDefaultDialogs(&dialogs);
    defaultDialogs_ = &dialogs;
    form1_ = std::make_unique<shell::Form1>(game_, dialogs);
    // The screens install themselves on the main window, which owns them.
    auto* tracks = new shell::TracksPanel(*form1_);
    new shell::StablePanel(*form1_);
    new shell::NewGameQuestion(*form1_, *tracks);
    startup_ = new shell::Startup(*form1_, *tracks, std::move(options.Startup));
    ConnectSavedGame();
    shell::InformationWindows::Install(*form1_);
    development::LabWindows::Install(*form1_);
    new shell::OwnRaceScreen(*form1_);
    new development::HorseDevelopment(*form1_);
    online::ServerConnections::Of(*form1_);
    online::CommunityWindows::Install(*form1_).PlugInto(*startup_);
    online::LiveUpdate::Install(*form1_, *startup_);
    new online::LanHostScreens(*form1_);
    new online::LanPlayerScreens(*form1_);
    if (options.HandleTerminationSignals) {
        signals_ = std::make_unique<platform::TerminationSignals>();
        QObject::connect(signals_.get(), &platform::TerminationSignals::Received, startup_,
                         [this](int) { startup_->TerminationRequested(); });
    }
}

Program::~Program() {
    if (platform::DefaultDialogs() == defaultDialogs_) platform::SetDefaultDialogs(nullptr);
    signals_.reset();
    splash_.reset();
    form1_.reset();
}

void Program::ConnectSavedGame() {
    shell::SaveGameWindows& saves = shell::SaveGameWindows::Install(*form1_, startup_->Settings().GameFolder);
    startup_->Seams.LoadSavedGame = [&saves](const std::filesystem::path&) {
        switch (saves.LoadSavedGame()) {
            case shell::SavedGameLoad::Loaded: return shell::LoadOutcome::Restored;
            case shell::SavedGameLoad::Refused: return shell::LoadOutcome::EndProgram;
            case shell::SavedGameLoad::NoSavedGame:
            case shell::SavedGameLoad::Busy: break;
        }
        return shell::LoadOutcome::StartFresh;
    };
    startup_->Seams.SaveOnExit = [&saves](bool mayAsk, std::function<void(bool)> done) {
        saves.SaveAndQuit(mayAsk, std::move(done));
    };
}

void Program::Start() {
    if (splash_) return;
    splash_ = std::make_unique<shell::Form15>([this] { startup_->ShowMainWindow(); });
    splash_->show();
}

shell::StartupSettings DefaultStartupSettings() {
    shell::StartupSettings settings;
    settings.InstanceName = "trotwick";
    settings.ProgramFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    std::error_code error;
    settings.GameFolder = std::filesystem::current_path(error);
    return settings;
}

void ConfigureApplication(QApplication& application) {
    QApplication::setApplicationName("Trotwick");
    // The desktop matches the windows to the installed trotwick.desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral("trotwick"));
    QApplication::setWindowIcon(resources::GameIcon());
    QFont font = QApplication::font();
    font.setPointSizeF(8);
    QApplication::setFont(font);
    application.setQuitOnLastWindowClosed(false);
}

}  // namespace app
