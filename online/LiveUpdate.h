#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "online/Form10.h"
#include "online/LiveUpdateRules.h"
#include "online/ServerPorts.h"
#include "shell/FormWindow.h"

class QAction;
class QLabel;
class QPushButton;

namespace net {
class Socket;
}
namespace platform {
class UserNameSource;
}
namespace shell {
class Form1;
class Startup;
}  // namespace shell

namespace online {

class BramblyFT;
class MessageChannel;
class ProcessStarter;
class ServerConnections;

struct LiveUpdateOptions {
    // The server's ports (tests use listeners of their own).
    std::int32_t LiveUpdatePort = kLiveUpdatePort;
    std::int32_t ChatPort = kChatPort;
    std::int32_t FileTransferPort = kFileTransferPort;
    // Where the patch program is saved: the game's own folder.
    std::filesystem::path ProgramFolder;
    // The game's executable, handed to the patch program as its argument.
    std::filesystem::path Executable;
    // Null: the system's user name, and starting programs for real.
    platform::UserNameSource* UserName = nullptr;
    ProcessStarter* Starter = nullptr;
    // How long a check the player asked for waits for the server's answer.
    std::chrono::milliseconds ManualCheckTimeout{20000};
};

// The live update of the main window: the version check on its LiveUp
// connection, the download of the patch program by PatchFT, the screen that
// offers to start it (Picture8), the watchdog that keeps LiveUp and Chat
// connected, the settings window Form10 and the two menu items.
//
// The patch program is started only when the player presses the button on
// Picture8: it came from the network, so the player decides.
class LiveUpdate : public QObject {
    Q_OBJECT
public:
    LiveUpdate(shell::Form1& form, LiveUpdateOptions options);
    ~LiveUpdate() override;

    // Installs the live update on the main window (which owns it), with
    // start-up's connects; the patch goes to start-up's program folder.
    static LiveUpdate& Install(shell::Form1& form, shell::Startup& startup);
    // Start-up's two connects.
    void ConnectAtStart(shell::Startup& startup);

    // The player asks for a check now (menu item).
    void ConnectLiveUpdate();
    // A whole message on LiveUp.
    void LiveUp_Message(const std::string& message);
    // Every 10 s: LiveUp (unless the checks stopped), then Chat.
    void LiveUpdate_Timer();
    // The player's check got no answer in time.
    void ManualCheck_Timeout();
    // The pause after a failed fetch is over: the server is asked afresh,
    // and a newer version is fetched again.
    void Retry_Timer();
    void PatchDownloadProgress(std::int32_t& BytesPerSec);
    void PatchDownloaded();
    // The fetch ended without the patch.
    void PatchFailed(online::transfer::Fault fault);
    // Picture8's button: starts the patch program.
    void StartPatch_Click();
    // The server changed (Form10's "Apply"): both connections go to it now.
    void ServerChanged();

    // The patch program's path.
    std::filesystem::path PatchPath() const;
    const liveupdate::UpdateCheck& Check() const { return check_; }
    // LiveUp, read message by message.
    MessageChannel& Channel() const { return *liveUp_; }
    // Whether a fetch waits to be tried again, and how long the wait is.
    bool RetryWaiting() const { return retry_.isActive(); }
    std::chrono::milliseconds RetryPause() const { return retry_.intervalAsDuration(); }
    Form10* Settings() const { return settings_.Loaded(); }

    BramblyFT* PatchFT = nullptr;
    QLabel* PatchHeading = nullptr;       // on Picture8
    QLabel* PatchInstructions = nullptr;  // on Picture8
    QPushButton* StartPatch = nullptr;    // on Picture8
    QAction* checkUpdate = nullptr;       // Game > "Check For Updates"
    QAction* updateSettings = nullptr;    // Game > "Live Update Settings"

private:
    void BuildPicture8();
    void BuildMenus();
    void StartDownload(std::int32_t version);
    // The player's check found the fetched patch still waiting.
    void ShowPatchWaiting();
    // The handshake cannot go on: the checks stop, LiveUp closes.
    void HandshakeFailed();
    void ConnectLiveUp(const std::string& server);
    void ConnectChat(const std::string& server);
    std::string UserName();

    shell::Form1& form_;
    ServerConnections& connections_;
    LiveUpdateOptions options_;
    std::unique_ptr<platform::UserNameSource> ownUserName_;
    std::unique_ptr<ProcessStarter> ownStarter_;
    MessageChannel* liveUp_ = nullptr;
    liveupdate::UpdateCheck check_;
    QTimer manualTimeout_;
    QTimer retry_;
    std::string downloadServer_;  // where the patch on its way comes from
    shell::SingleInstance<Form10> settings_;
};

}  // namespace online
