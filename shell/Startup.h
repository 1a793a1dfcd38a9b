#pragma once

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/InstanceLock.h"

namespace shell {

class Form1;
class TracksPanel;

inline constexpr const char* kAlreadyRunning = "Trotwick is already running!";
inline constexpr const char* kAlreadyRunningTitle = "Already Running";
inline constexpr const char* kNoticeTitle = "Notice";
inline constexpr const char* kFirewallNotice =
    "FIREWALL NOTICE!\r\n\r\n"
    "If this is the first time you have used Trotwick, then your firewall may try and block Trotwick from "
    "accessing the internet.\r\n"
    "By allowing Trotwick to have internet access, you are enabling the LAN racing feature, Live Updates, and "
    "the Leader's Board. If you block Trotwick, none of these three features will work.";
inline constexpr const char* kWelcome = "Welcome To Trotwick";
inline constexpr const char* kSaveFileName = "Zirc.enc";
inline constexpr const char* kPatchFileName = "Patch.exe";
inline constexpr std::int32_t kProgramVersion = 29;

struct StartupSettings {
    // The single-instance lock's name; tests use names of their own.
    std::string InstanceName = "trotwick";
    // Where a live update leaves "Patch.exe" (the executable's folder);
    // empty: no clean-up.
    std::filesystem::path ProgramFolder;
    // Where "Zirc.enc" is looked for; empty: the current directory.
    std::filesystem::path GameFolder;
};

// What the saved-game loader did.
enum class LoadOutcome {
    Restored,    // the saved game is the game now
    StartFresh,  // no game could be restored: start-up starts a fresh one
    EndProgram,  // the program must end now, without saving (an old game's file)
};

// The places where other parts of the program plug into start-up and
// shutdown. Each may be left empty.
struct StartupSeams {
    // Loads the contacts and chat windows without showing them.
    std::function<void()> LoadHiddenWindows;
    // Restores the game saved in `saveFile` (which exists) into the main
    // window's game and trees: money, profile, server, cheats and caption,
    // stable, a fresh market, contacts. It must not show Form1: start-up
    // shows it when it has finished. StartFresh means the fresh game is
    // saved over the file at the end of play, so keep the file's content
    // safe before answering it.
    std::function<LoadOutcome(const std::filesystem::path& saveFile)> LoadSavedGame;
    // Opens the live-update connection (port 2094) and the chat connection
    // (port 3113) to the server; called only when the server address is set.
    std::function<void(const std::string& server)> ConnectLiveUpdate;
    std::function<void(const std::string& server)> ConnectChat;
    // Writes the game on the way out (the save window with Save(False)), at
    // once or later, and then tells `done`. Form1 is hidden already. True:
    // the process ends (it may close Form1 and the other windows: the
    // shutdown runs once). False: the save failed and the player chose to
    // play on, so Form1 comes back. `mayAsk` is false when the desktop asked
    // the program to end: nobody may be there to answer, so a failed save
    // must not wait for a question.
    std::function<void(bool mayAsk, std::function<void(bool ending)> done)> SaveOnExit;
    // Ends the process (leaves the event loop); tests record it instead.
    std::function<void(int exitCode)> EndProcess;
};

// Brings the program from the splash to a playable main window, and down
// again through one path: the close box, Game > "Quit" and the termination
// signals all end in Form_Unload.
class Startup : public QObject {
    Q_OBJECT
public:
    enum class Stage { NotStarted, Loading, Playing, Ending };

    Startup(Form1& form, TracksPanel& tracks, StartupSettings settings);
    ~Startup() override;

    StartupSeams Seams;

    // The start-up sequence. True when the game is ready; false when this
    // copy must end (another copy runs, or the loader said so). It runs once;
    // the timers that run from the window's start begin when it has
    // finished, so nothing sees a half-made game.
    bool Form_Load();
    // The splash's tick: start-up, then Form1 is shown, last. Runs once.
    void ShowMainWindow();
    // The shutdown: Form1 hidden, the game saved, the process ended. Runs
    // once, however often it is asked for. Asked for while start-up is still
    // running, it waits for start-up to finish. True when the process is
    // ending now; false while the save is still on its way (it ends the
    // process when it has finished) and when play goes on (a failed save the
    // player did not want to leave behind).
    bool Form_Unload();
    void exit_Click();  // Game > "Quit"
    // SIGTERM, SIGINT, SIGHUP: the program ends now, whatever box is open.
    // A game in play is saved first (a failed save asks nothing); before
    // start-up has finished nothing is saved, as there is no whole game.
    void TerminationRequested();

    Stage CurrentStage() const { return stage_; }
    const StartupSettings& Settings() const { return settings_; }

signals:
    // Form1 is shown and the game can be played.
    void Ready();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RemoveLeftOverPatch();
    // False when the program must end.
    bool LoadOrStartGame();
    void StartFreshGame();
    void ConnectOnlineServices();
    // The shutdown; `mayAsk` as for StartupSeams::SaveOnExit.
    bool Unload(bool mayAsk);
    void End(int exitCode);
    // Form1 shown for play; Ready raised the first time.
    void ShowForPlay();

    Form1& form_;
    TracksPanel& tracks_;
    StartupSettings settings_;
    platform::InstanceLock lock_;
    Stage stage_ = Stage::NotStarted;
    bool shown_ = false;
    bool unloadPending_ = false;
    bool readyTold_ = false;
};

}  // namespace shell
