#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "online/LanHost.h"
#include "online/ServerPorts.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace platform {
class PictureBox;
class Timer;
class UserNameSource;
}  // namespace platform
namespace shell {
class AmountBox;
class Form1;
}  // namespace shell

namespace online {

class LanHostSockets;

// Hosting a LAN race on the main window: the set-up controls in the upper
// part of `Picture2` ("Create a Game"), the lobby `Picture6` and the race
// screen `LANtracks`, with the host's sockets `Socket1`. The rules are the
// LanHost model's; this only carries out what it asks (sends, closes) and
// shows its fields. Installs itself on the window it is given.
class LanHostScreens : public QObject {
    Q_OBJECT
public:
    // `port`: where players connect (tests pass 0 and read ListeningPort()).
    // `userNames`: where the host's name comes from (null: the system's).
    explicit LanHostScreens(shell::Form1& form, int port = kLanRacePort,
                            platform::UserNameSource* userNames = nullptr);
    ~LanHostScreens() override;

    // Handlers.
    void Command22_Click();  // "Create a Game"
    // The charge box's rule, applied when its editing ends: a text that is
    // not a number of zero or more becomes "2000" (see shell::AmountBox).
    void Text14_Change();
    void Socket1_ConnectionRequest(int index, int requestID);
    void Socket1_DataArrival(lan::ConnectionId id, const std::string& message);
    void Socket1_CloseSck(lan::ConnectionId id);
    void Command23_Click();  // "START RACE!"
    void LANrace_Timer();
    // One second after the last runner came in: the payout begins.
    void PayEm_Timer();
    // While the payout waits for what its players acknowledge, every
    // lan::kPayoutPoll.
    void PayCheck_Timer();
    void Timer2_Timer();  // the drop sweeper
    void Lobby_Click(int index);
    // A new game ends the old game's LAN game: no race runs on into the new
    // game's money, and every player is let go.
    void GameReset();
    // The program is ending: the LAN game ends. A race whose results are
    // going out is settled with what its players have acknowledged (any
    // other is void for everyone), and a race not paid out gives the host
    // its charge back, before the game is saved and before any connection
    // closes.
    void Quitting();
    // "START RACE!" on the race screen, once a race is paid: the next race
    // with the players still ready.
    void RaceAgain_Click();

    // Sends to one player (2..5) or to every player (6): ready slots whose
    // connection is up.
    void SendData(int targetPlayer, const std::string& data);
    int FindFreeLAN() const { return host_.FindFreeLAN(); }
    // The element of `Socket1` that carries a slot's connection; -1 for none.
    int PlayerSocket(int slot) const;

    const lan::LanHost& Host() const { return host_; }
    LanHostSockets& Sockets() const { return *sockets_; }
    platform::Timer& PayCheck() const { return *payCheck_; }
    // Tests set the time the race and its payout go by.
    void SetClock(std::function<lan::SettleTime()> clock);

    // Picture2 (upper part).
    QLineEdit* Text15 = nullptr;  // "Charge per Player: "
    QLineEdit* Text14 = nullptr;  // the charge
    shell::AmountBox* Text14Rule = nullptr;  // what the charge box keeps to
    QPushButton* Command22 = nullptr;
    // Picture6.
    std::array<platform::PictureBox*, lan::kSlots> Lobby{};  // Lobby(1..5)
    QPlainTextEdit* Text10 = nullptr;
    QLabel* Label38 = nullptr;
    QPushButton* Command23 = nullptr;
    // LANtracks.
    platform::PictureBox* Picture9 = nullptr;
    std::array<platform::PictureBox*, lan::kSlots> LANpic{};  // LANpic(1..5)
    std::array<QLabel*, lan::kSlots> LANtit{};                // LANtit(1..5)
    QLabel* LanWinCap = nullptr;
    QScrollBar* PackF = nullptr;
    QPushButton* RaceAgain = nullptr;  // shown once a race is paid

private:
    void BuildSetUp();
    void BuildLobby();
    void BuildTrack();
    // Carries out what the host asked for, then shows its state.
    void Apply(const lan::HostActions& actions);
    void ShowLobby();
    void ShowRace();
    // Every connection whose socket is no longer connected is lost.
    void NoticeLostConnections(lan::HostActions& actions);
    // Takes the payout as far as it can go now.
    void Settle();
    // The program is ending: waits (up to lan::kLeavingWait) for the
    // results already with the system to be acknowledged.
    void AwaitResultsOnTheWire() const;
    void ShowPayout(const lan::Payout& payout);
    lan::LinkLook Links() const;
    // Ends the LAN game where it stands; `chargeBack`: a race not paid out
    // gives the host its charge back.
    void EndLanGame(bool chargeBack);
    std::string HostName();

    shell::Form1& form_;
    lan::LanHost host_;
    LanHostSockets* sockets_;
    std::unique_ptr<platform::UserNameSource> ownUserNames_;
    platform::UserNameSource* userNames_;
    platform::Timer* payCheck_;
};

}  // namespace online
