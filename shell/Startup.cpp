#include "shell/Startup.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <memory>
#include <system_error>

#include "core/NewGame.h"
#include "platform/Dialogs.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/SystemHelpers.h"
#include "shell/TracksPanel.h"
#include "shell/TreeView.h"

namespace shell {

namespace {

std::filesystem::path InFolder(const std::filesystem::path& folder, const char* file) {
    const std::string text = folder.string();
    return std::filesystem::path(text + SlashFor(text) + file);
}

}  // namespace

Startup::Startup(Form1& form, TracksPanel& tracks, StartupSettings settings)
    : QObject(&form), form_(form), tracks_(tracks), settings_(std::move(settings)), lock_(settings_.InstanceName) {
    setObjectName("Startup");
    Seams.EndProcess = [](int exitCode) { QCoreApplication::exit(exitCode); };
    form_.installEventFilter(this);
}

Startup::~Startup() = default;

bool Startup::Form_Load() {
    if (stage_ != Stage::NotStarted) return stage_ == Stage::Playing;
    stage_ = Stage::Loading;
    form_.ProgramVersion = kProgramVersion;
    // A lock that cannot be used at all does not keep the player out.
    if (lock_.Acquire() == platform::InstanceLock::Result::HeldElsewhere) {
        form_.Dialogs().MsgBox(kAlreadyRunning, platform::kInformation, kAlreadyRunningTitle);
        stage_ = Stage::Ending;
        return false;
    }
    RemoveLeftOverPatch();
    form_.PaintBackgrounds();
    if (Seams.LoadHiddenWindows) Seams.LoadHiddenWindows();
    form_.Game().Randomize();
    // A termination request while a box of the load or the fresh game was
    // open has ended start-up already.
    if (!LoadOrStartGame() || stage_ == Stage::Ending) {
        stage_ = Stage::Ending;
        return false;
    }
    core::FillTrackField(form_.Game(), form_.Game().Random());
    form_.FillProductTrees();
    tracks_.Command1->setEnabled(false);
    tracks_.Command3->setEnabled(true);
    ConnectOnlineServices();
    form_.Timer("LiveUpdate").SetEnabled(true);
    form_.BringToFront(Panel::Tracks);
    form_.ShowNotice(kWelcome);
    // The money line shows the game's money from the first moment, unless
    // the level-up rule must see it first (at its first tick).
    if (form_.Game().Money < Form1::kLevelUpMoney) form_.UpdateMoneyLine();
    form_.EnableDesignTimeTimers();
    stage_ = Stage::Playing;
    return true;
}

void Startup::RemoveLeftOverPatch() {
    if (settings_.ProgramFolder.empty()) return;
    const std::filesystem::path patch = InFolder(settings_.ProgramFolder, kPatchFileName);
    if (!FileExists(patch)) return;
    // Best effort: a patch that cannot be removed is left for the next start.
    std::error_code error;
    std::filesystem::remove(patch, error);
}

bool Startup::LoadOrStartGame() {
    std::error_code error;
    const std::filesystem::path folder =
        settings_.GameFolder.empty() ? std::filesystem::current_path(error) : settings_.GameFolder;
    const std::filesystem::path saveFile = InFolder(folder, kSaveFileName);
    if (FileExists(saveFile) && Seams.LoadSavedGame) {
        switch (Seams.LoadSavedGame(saveFile)) {
            case LoadOutcome::Restored: return true;
            case LoadOutcome::EndProgram: return false;
            case LoadOutcome::StartFresh: break;
        }
    }
    StartFreshGame();
    return true;
}

void Startup::StartFreshGame() {
    core::StartFreshGame(form_.Game(), form_.Game().Random(), *form_.StableTree, *form_.MarketTree);
    form_.setWindowTitle(QStringLiteral("Trotwick"));
    form_.Dialogs().MsgBox(kFirewallNotice, platform::kOkOnly + platform::kInformation, kNoticeTitle);
}

void Startup::ConnectOnlineServices() {
    if (!form_.Game().Server.empty() && Seams.ConnectLiveUpdate) Seams.ConnectLiveUpdate(form_.Game().Server);
    if (!form_.Game().Server.empty() && Seams.ConnectChat) Seams.ConnectChat(form_.Game().Server);
}

void Startup::ShowMainWindow() {
    if (shown_) return;
    shown_ = true;
    if (!Form_Load()) {
        End(0);
        return;
    }
    if (unloadPending_) {
        unloadPending_ = false;
        // Play goes on only after a failed save the player did not want to
        // leave behind, which brings the window back.
        Form_Unload();
        return;
    }
    ShowForPlay();
}

void Startup::ShowForPlay() {
    form_.show();
    if (readyTold_) return;
    readyTold_ = true;
    emit Ready();
}

bool Startup::Form_Unload() { return Unload(true); }

bool Startup::Unload(bool mayAsk) {
    switch (stage_) {
        case Stage::Loading:
            // The game is half made: it is saved once start-up has finished.
            unloadPending_ = true;
            return false;
        case Stage::Ending: return true;
        case Stage::NotStarted:
            // Nothing has been loaded, so there is nothing to save.
            stage_ = Stage::Ending;
            End(0);
            return true;
        case Stage::Playing: break;
    }
    stage_ = Stage::Ending;
    form_.hide();
    if (!Seams.SaveOnExit) {
        End(0);
        return true;
    }
    auto ended = std::make_shared<bool>(false);
    Seams.SaveOnExit(mayAsk, [this, mayAsk, ended](bool ending) {
        // Without a question a failed save cannot keep the game open: the
        // desktop's request to end wins.
        if (!ending && mayAsk) {
            stage_ = Stage::Playing;
            ShowForPlay();
            return;
        }
        *ended = true;
        End(0);
    });
    return *ended;
}

void Startup::exit_Click() { form_.close(); }

void Startup::TerminationRequested() {
    switch (stage_) {
        case Stage::NotStarted:
        case Stage::Loading:
            // No whole game yet: nothing to save. Ending the process's event
            // loops also closes a box that start-up waits on ("Notice").
            stage_ = Stage::Ending;
            End(0);
            return;
        case Stage::Ending:
            // Asked again: whatever the shutdown still waits for is left.
            End(0);
            return;
        case Stage::Playing:
            Unload(false);
            return;
    }
}

void Startup::End(int exitCode) {
    if (Seams.EndProcess) Seams.EndProcess(exitCode);
}

bool Startup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::Close) {
        if (stage_ == Stage::Loading) {
            unloadPending_ = true;
            event->ignore();
            return true;
        }
        if (Form_Unload()) return false;  // the window closes
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace shell
