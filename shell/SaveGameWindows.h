#pragma once

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>

#include "savegame/SavedGame.h"
#include "shell/LogWindow.h"

namespace shell {

class Form1;

// Told in the notice line after Game > "Save Game" has saved the game.
inline constexpr const char* kGameSaved = "Game saved.";

// What the load at start-up came to.
enum class SavedGameLoad {
    NoSavedGame,  // no "Zirc.enc" in the folder: start a fresh game
    Loaded,       // the saved game is in place and the main window shows
    Refused,      // an old or unreadable save file: the box was shown and the
                  // program is ending without a save; start-up stops here
    Busy,         // another save or load is running: nothing was done
};

// Saving and loading on the main window: Game > "Save Game", the load at
// start-up and the save at the end. Each shows its window (Form3 saving,
// Form4 loading) with the steps while the main window is hidden.
//
// A save begins once its window shows (a window that has never been painted
// would stand on the screen as an empty frame while the steps run), or after
// kLongestWaitForWindowMs when the desktop does not show it; so a save
// finishes after the handler that asked for it. One save at a time.
//
// The program ends without the close-time save after a save on the way out
// and after a refused save file: Form1::SaveOnClose is then false, and
// SaveAndQuit does nothing more.
class SaveGameWindows : public QObject {
    Q_OBJECT
public:
    // Installs on the main window, which owns the result, once: a second
    // call returns the first. `folder` holds "Zirc.enc"; empty means the
    // current directory at the time of each save and load.
    static SaveGameWindows& Install(Form1& form, std::filesystem::path folder = {});

    // Game > "Save Game": the save window, a save, and play goes on. A
    // failed save is reported in a box; the old file stays whole. Asked for
    // while a save is on its way, it does nothing.
    void Save_Click();
    // Loads "Zirc.enc" when the folder has one (see SavedGameLoad).
    SavedGameLoad LoadSavedGame();
    // Saves and ends the program (Save with Cancel False), then tells `done`
    // whether the program is ending, so the main window may close: false
    // when the save failed and the player chose to play on, or another save
    // is on its way (told at once). After a save that ended the program it
    // tells true at once and saves nothing. `mayAsk` false: a failed save is
    // not questioned (nobody may be there to answer); it is reported on the
    // standard error and the program ends, leaving the old save file whole.
    void SaveAndQuit(bool mayAsk, std::function<void(bool ending)> done);

    // A save has been asked for and has not finished.
    bool Saving() const { return saving_; }
    savegame::SavedGame& Files() { return files_; }
    // How the program ends; tests record it instead. The default closes
    // every window (the main window without its close-time save) and quits
    // the event loop, also when it has not started yet.
    void SetEndProgram(std::function<void()> end) { endProgram_ = std::move(end); }

    static constexpr int kLongestWaitForWindowMs = 500;

signals:
    // A save or load window has opened (tests watch its steps).
    void WindowOpened(shell::LogWindow* window);
    // A save has finished: written, or failed and dealt with.
    void SaveFinished();

private:
    SaveGameWindows(Form1& form, std::filesystem::path folder);
    // Hides the main window and shows a fresh save or load window.
    template <class Window>
    Window* OpenWindow();
    // Opens a save window and saves once it shows; `then` deals with the
    // outcome, with the window still open (or null, if it has gone).
    void SaveInWindow(std::function<void(const savegame::SaveOutcome&, QPointer<LogWindow>)> then);
    static void Close(QPointer<LogWindow> window);
    void EndProgram();

    Form1& form_;
    savegame::SavedGame files_;
    std::function<void()> endProgram_;
    bool saving_ = false;
};

// The entry points for start-up and shutdown (installing on first use).
// Start-up starts a fresh game for NoSavedGame and stops for Refused; it
// shows the main window itself when it has finished. Shutdown ends the
// program when SaveAndQuit tells it so.
SavedGameLoad LoadSavedGame(Form1& form);
void SaveAndQuit(Form1& form, bool mayAsk, std::function<void(bool ending)> done);

}  // namespace shell
