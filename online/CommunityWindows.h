#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "online/Form11.h"
#include "online/Form13.h"
#include "online/Form6.h"
#include "online/ServerPorts.h"
#include "shell/FormWindow.h"

class QAction;

namespace platform {
class MessageSender;
class UserNameSource;
}  // namespace platform
namespace shell {
class Form1;
class Startup;
}  // namespace shell

namespace online {

class MessageChannel;

// What the windows use that tests put in place of the real thing.
struct CommunityOptions {
    // Carries net send messages; null: smbclient when it is installed.
    platform::MessageSender* Sender = nullptr;
    // The player's name; null: the system's user name.
    platform::UserNameSource* UserName = nullptr;
    // Where the leader's board listens.
    int LeaderBoardPort = kLeaderBoardPort;
    // The time of day in a chat line's stamp; empty: this machine's clock.
    Form13::Clock TimeOfDay;
};

// The windows where players meet: the leader's board (a fresh window at each
// opening), the chat and the contacts for net send messages (both loaded
// hidden at start-up and kept for the whole run), with their items in the
// Game menu. Everything the server sends on the main window's chat
// connection goes to the chat log, whether the chat window shows or not.
class CommunityWindows : public QObject {
    Q_OBJECT
public:
    // Installs on the main window, which owns the result, once: a second
    // call returns the first.
    static CommunityWindows& Install(shell::Form1& form, CommunityOptions options = {});
    ~CommunityWindows() override;

    // Start-up loads the chat and contacts windows hidden through this.
    void PlugInto(shell::Startup& startup);
    void LoadHiddenWindows();

    // A whole text from the chat server: what arrived in one burst (see
    // chat::ServerToGameGrammar).
    void AppendToChatLog(const std::string& text);

    Form11* LeaderBoard() const { return leaderBoard_.Loaded(); }
    // Loaded on first use, hidden.
    Form13& ChatWindow();
    Form6& ContactsWindow();
    MessageChannel& Feed() const { return *feed_; }

    QAction* leaderBoard = nullptr;  // Game > "Leader's Board"
    QAction* chat = nullptr;         // Game > "BramChat"
    QAction* contacts = nullptr;     // Game > "LAN Chat"

private:
    CommunityWindows(shell::Form1& form, CommunityOptions options);
    void AddMenuItems();
    static void Show(QWidget& window);

    shell::Form1& form_;
    std::unique_ptr<platform::UserNameSource> ownUserName_;
    platform::UserNameSource& userName_;
    platform::MessageSender& sender_;
    CommunityOptions options_;
    shell::SingleInstance<Form11> leaderBoard_;
    QPointer<Form13> chatWindow_;
    QPointer<Form6> contactsWindow_;
    MessageChannel* feed_;
};

}  // namespace online
