#pragma once

#include <QObject>
#include <array>
#include <memory>
#include <string>

#include "online/LanPlayer.h"
#include "online/ServerPorts.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class PictureBox;
class Timer;
class UserNameSource;
}  // namespace platform
namespace shell {
class Form1;
class TreeView;
}  // namespace shell

namespace online {

class LanJoinBox;
class MessageChannel;

// The joining side of a LAN race on the main window: the join on Picture2
// (LanJoinBox), the client lobby Picture7 with its roster, the race screen
// WANtracks, and the connection Socket2 to the host, read message by message
// through a MessageChannel. The rules are the PlayerSession's; this class
// passes it what happens and shows what it answers.
class LanPlayerScreens : public QObject {
    Q_OBJECT
public:
    struct Options {
        // The port the host listens on (tests give a host of their own).
        int HostPort = kLanRacePort;
        // Where the player's name comes from; the system's user when empty.
        std::shared_ptr<platform::UserNameSource> UserName;
    };

    explicit LanPlayerScreens(shell::Form1& form);
    LanPlayerScreens(shell::Form1& form, Options options);
    ~LanPlayerScreens() override;

    // Connects to the host and shows the lobby.
    void JoinGame(const std::string& hostAddress);

    void Socket2_Connect();
    void Socket2_CloseSck();
    // One whole message from the host (the channel cuts them).
    void Socket2_DataArrival(const std::string& message);
    void Command24_Click();  // "REFRESH LIST!"
    void RandInterval_Timer();
    void Connecti_Timer();
    void Contend_NodeClick(const std::string& key);
    // A new game leaves the old game's LAN game: its stake was paid from
    // the old game's money, so no result may reach the new one's.
    void GameReset();
    // The program is ending: the LAN game is left, and a stake paid for a
    // race without its result comes back before the game is saved.
    void Quitting();
    // The host has been quiet for as long as the session allows (a race
    // with no frame or result, a roster question without its answer).
    void HostQuiet_Timer();
    // Applies one race frame to the pictures; the frame is used up.
    void UpdataPos(std::string& InputData);

    const lan::PlayerSession& Session() const { return session_; }
    MessageChannel& Channel() const { return *channel_; }
    // Runs while the host owes us something; see HostQuiet_Timer.
    platform::Timer& HostQuiet() const { return *hostQuiet_; }
    LanJoinBox& JoinBox() const { return *join_; }
    // The address of the last join, kept for the run.
    const std::string& LastHost() const { return lastHost_; }

    // Picture7, the lobby.
    shell::TreeView* Contend = nullptr;
    QPlainTextEdit* Text9 = nullptr;
    QPushButton* Command24 = nullptr;
    QLabel* Label41 = nullptr;
    // WANtracks, the race.
    platform::PictureBox* Picture10 = nullptr;
    std::array<platform::PictureBox*, lan::kSlots> WANpic{};  // WANpic(1..5)
    std::array<QLabel*, lan::kSlots> WANtit{};                // WANtit(1..5)
    QLabel* WanWinCap = nullptr;

private:
    void BuildLobby();
    void BuildRaceScreen();
    void Apply(const lan::PlayerReaction& reaction);
    // Restarts the host's allowance of quiet after it spoke or was asked,
    // and stops it when the host owes nothing.
    void WatchHost(bool restart);
    void SetUpRace();
    void MovePictures(const lan::FramePositions& positions);
    std::string UserName();

    shell::Form1& form_;
    Options options_;
    MessageChannel* channel_;
    platform::Timer* hostQuiet_;
    lan::PlayerSession session_;
    LanJoinBox* join_ = nullptr;
    std::string lastHost_;
};

}  // namespace online
