#include "shell/SaveGameWindows.h"

#include <QAction>
#include <QApplication>
#include <QMetaObject>

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

void SaveGameWindows::Save_Click() {
    if (files_.Busy()) return;
    QPointer<LogWindow> window = OpenWindow<Form3>();
    const savegame::SaveOutcome outcome = files_.Save(form_.Game(), *window);
    if (outcome.result == savegame::SaveResult::kFailed) {
        form_.Dialogs().MsgBox(savegame::SaveFailedText(outcome.reason), platform::kExclamation,
                               savegame::kSaveFailedTitle);
    }
    Close(window);
    form_.show();
    if (outcome.result == savegame::SaveResult::kSaved) form_.ShowNotice(kGameSaved);
}

bool SaveGameWindows::SaveAndQuit(bool mayAsk) {
    if (!form_.SaveOnClose) return true;  // already ending, saved or refused
    if (files_.Busy()) return false;
    emit form_.Quitting();
    QPointer<LogWindow> window = OpenWindow<Form3>();
    const savegame::SaveOutcome outcome = files_.Save(form_.Game(), *window);
    if (outcome.result == savegame::SaveResult::kFailed && !mayAsk) {
        qWarning("%s", savegame::SaveFailedText(outcome.reason).c_str());
    } else if (outcome.result == savegame::SaveResult::kFailed) {
        const int answer = form_.Dialogs().MsgBox(savegame::SaveFailedOnQuitText(outcome.reason),
                                                  platform::kYesNo | platform::kExclamation, savegame::kSaveFailedTitle);
        if (answer != platform::kYes) {
            Close(window);
            form_.show();
            return false;
        }
    }
    Close(window);
    EndProgram();
    return true;
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

bool SaveAndQuit(Form1& form, bool mayAsk) { return SaveGameWindows::Install(form).SaveAndQuit(mayAsk); }

}  // namespace shell
