#include "shell/SaveGameWindows.h"

#include <QAction>
#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <memory>

#include "platform/Dialogs.h"
#include "platform/QtText.h"
#include "shell/Form1.h"
#include "shell/SystemHelpers.h"
#include "shell/TreeView.h"

namespace shell {

SaveGameWindows& SaveGameWindows::Install(Form1& form, std::filesystem::path folder) {
    if (auto* installed = form.findChild<SaveGameWindows*>(QString(), Qt::FindDirectChildrenOnly)) return *installed;
    return *new SaveGameWindows(form, std::move(folder));
}

SaveGameWindows::SaveGameWindows(Form1& form, std::filesystem::path folder)
    : QObject(&form), form_(form), files_(form.Dialogs(), std::move(folder)) {
    setObjectName("SaveGameWindows");
    connect(form.Save, &QAction::triggered, this, &SaveGameWindows::Save_Click);
}

template <class Window>
Window* SaveGameWindows::OpenWindow() {
    form_.hide();
    auto* window = new Window(&form_);
    window->show();
    window->Form_Load();
    emit WindowOpened(window);
    return window;
}

void SaveGameWindows::Close(QPointer<LogWindow> window) {
    if (window) window->close();
}

namespace {

// Where a save's steps go once its window has gone.
class NoLog final : public savegame::StepLog {
public:
    void ShowLog(const std::string&) override {}
};

}  // namespace

void SaveGameWindows::SaveInWindow(std::function<void(const savegame::SaveOutcome&, QPointer<LogWindow>)> then) {
    saving_ = true;
    const QPointer<LogWindow> window = OpenWindow<Form3>();
    auto started = std::make_shared<bool>(false);
    const auto save = [this, window, started, then] {
        if (*started) return;
        *started = true;
        NoLog gone;
        const savegame::SaveOutcome outcome =
            files_.Save(form_.Game(), window ? static_cast<savegame::StepLog&>(*window) : gone);
        then(outcome, window);
        saving_ = false;
        emit SaveFinished();
    };
    connect(window, &LogWindow::Shown, this, save);
    QTimer::singleShot(kLongestWaitForWindowMs, this, save);
}

void SaveGameWindows::Save_Click() {
    if (saving_ || files_.Busy()) return;
    SaveInWindow([this](const savegame::SaveOutcome& outcome, QPointer<LogWindow> window) {
        if (outcome.result == savegame::SaveResult::kFailed) {
            form_.Dialogs().MsgBox(savegame::SaveFailedText(outcome), platform::kExclamation,
                                   savegame::kSaveFailedTitle);
        }
        Close(window);
        form_.show();
        if (outcome.result == savegame::SaveResult::kSaved) form_.ShowNotice(kGameSaved);
    });
}

void SaveGameWindows::SaveAndQuit(bool mayAsk, std::function<void(bool ending)> done) {
    if (!form_.SaveOnClose) {  // already ending, saved or refused
        done(true);
        return;
    }
    if (saving_ || files_.Busy()) {
        done(false);
        return;
    }
    emit form_.Quitting();
    SaveInWindow([this, mayAsk, done](const savegame::SaveOutcome& outcome, QPointer<LogWindow> window) {
        if (outcome.result == savegame::SaveResult::kFailed && !mayAsk) {
            qWarning("%s", savegame::SaveFailedText(outcome).c_str());
        } else if (outcome.result == savegame::SaveResult::kFailed) {
            const int answer = form_.Dialogs().MsgBox(savegame::SaveFailedOnQuitText(outcome),
                                                      platform::kYesNo | platform::kExclamation,
                                                      savegame::kSaveFailedTitle);
            if (answer != platform::kYes) {
                Close(window);
                form_.show();
                done(false);
                return;
            }
        }
        Close(window);
        EndProgram();
        done(true);
    });
}

SavedGameLoad SaveGameWindows::LoadSavedGame() {
    if (!FileExists(files_.SaveFile())) return SavedGameLoad::NoSavedGame;
    if (files_.Busy()) return SavedGameLoad::Busy;
    QPointer<LogWindow> window = OpenWindow<Form4>();
    const savegame::LoadTargets targets{*form_.StableTree, *form_.MarketTree, [this](const std::string& caption) {
                                            form_.setWindowTitle(platform::ToQString(caption));
                                        }};
    const savegame::LoadResult result = files_.Load(form_.Game(), targets, *window);
    Close(window);
    // The main window stays hidden: start-up shows it when it has finished.
    switch (result) {
        case savegame::LoadResult::kLoaded: return SavedGameLoad::Loaded;
        case savegame::LoadResult::kNoSaveFile: return SavedGameLoad::NoSavedGame;
        case savegame::LoadResult::kBusy: return SavedGameLoad::Busy;
        case savegame::LoadResult::kOldGame:
        case savegame::LoadResult::kUnreadable: EndProgram(); return SavedGameLoad::Refused;
    }
    return SavedGameLoad::Refused;
}

void SaveGameWindows::EndProgram() {
    form_.SaveOnClose = false;
    if (endProgram_) {
        endProgram_();
        return;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != &form_ && window->isVisible()) window->close();
    }
    form_.close();
    // Queued, so that it also ends a start-up that has not reached the event loop.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

SavedGameLoad LoadSavedGame(Form1& form) { return SaveGameWindows::Install(form).LoadSavedGame(); }

void SaveAndQuit(Form1& form, bool mayAsk, std::function<void(bool ending)> done) {
    SaveGameWindows::Install(form).SaveAndQuit(mayAsk, std::move(done));
}

}  // namespace shell
