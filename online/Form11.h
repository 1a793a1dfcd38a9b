#pragma once

#include <string>

#include "core/Game.h"
#include "online/LeaderBoardProtocol.h"
#include "online/ServerPorts.h"
#include "shell/FormWindow.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace net {
class Socket;
}
namespace platform {
class Dialogs;
class Timer;
class UserNameSource;
}  // namespace platform

namespace online {

class MessageChannel;

// "Leader's Board": the best player the online-services server knows, and
// the button that submits the player's own record. Each opening connects
// afresh to the server (its own socket, `Socket`) and asks for the top
// player; while it is open, a connection refused or lost is made again every
// 10 seconds (as the chat's is), and asks again. A status line says
// "Connecting..." while the board waits, and whether a submitted score was
// sent: handed whole to the system for the server, which is all the game
// can know (no answer says the board took it). Closing the window ends the
// connection.
class Form11 : public shell::FormWindow {
    Q_OBJECT
public:
    // `port`: where the board listens (tests use a port of their own).
    Form11(const core::GameState& game, platform::Dialogs& dialogs, platform::UserNameSource& userName,
           QWidget* owner, int port = kLeaderBoardPort);

    // Paints the background and connects to the server.
    void Form_Load();
    // Asks for the top player.
    void Socket_Connect();
    // A whole message from the server: a readable top player fills the five
    // fields; anything else changes nothing.
    void Socket_DataArrival(const std::string& message);
    // "Submit My Score".
    void Command4_Click();
    // Every second: the caption says whether the board is still connecting.
    void Timer1_Timer();
    // Every 10 seconds: a board that is not connected connects again.
    void Reconnect_Timer();

    net::Socket& Socket() const;
    MessageChannel& Channel() const { return *channel_; }
    const leaderboard::BoardSession& Session() const { return session_; }

    QLabel* Label11 = nullptr;
    QLabel* Text13 = nullptr;  // "User Name:"
    QLabel* Text2 = nullptr;   // "Player Level:"
    QLabel* Text1 = nullptr;   // "LAN Battles Won:"
    QLabel* Text3 = nullptr;   // "LAN Battles Lost:"
    QLabel* Text9 = nullptr;   // "Biggest LAN Wager:"
    QLineEdit* Text4 = nullptr;  // the top player's name
    QLineEdit* Text5 = nullptr;  // level
    QLineEdit* Text6 = nullptr;  // LAN races won
    QLineEdit* Text7 = nullptr;  // LAN races lost
    QLineEdit* Text8 = nullptr;  // the highest LAN wager, as money
    QPushButton* Command4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Status = nullptr;  // connecting, and what became of a submitted score
    platform::Timer* Timer1 = nullptr;
    platform::Timer* Reconnect = nullptr;

    static constexpr const char* kNotConnected = "You are not connected to the Server.";
    static constexpr const char* kNotConnectedTitle = "Sorry";

    static constexpr int kReconnectMs = 10000;

private:
    void Connect();
    void ConnectionLost();
    void Told(leaderboard::Submission submission);
    // The caption and the status line, for the link and the last score.
    void ShowStatus();
    void ShowTopPlayer(const ScoreRecord& top);

    const core::GameState& game_;
    platform::Dialogs& dialogs_;
    platform::UserNameSource& userName_;
    int port_;
    MessageChannel* channel_;
    leaderboard::BoardSession session_;
    std::string submitted_;  // what became of the last score submitted
};

}  // namespace online
