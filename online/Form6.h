#pragma once

#include <string>
#include <string_view>

#include "core/Game.h"
#include "platform/MessageSender.h"
#include "online/KeptWindow.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace core {
class Notices;
}
namespace platform {
class Dialogs;
class UserNameSource;
}  // namespace platform

namespace online {

// "LAN Chat": the player's contacts (the game's list, saved with it) and a
// message to one user or computer on the local network. Loaded hidden when
// the game starts and only hidden when closed (also with Escape); it goes
// for good only when its Tag is "Cancel". Whenever it is shown, the list
// shows the game's contacts as they are (so also those of a game loaded
// after it was made).
class Form6 : public KeptWindow {
    Q_OBJECT
public:
    Form6(core::GameState& game, core::Notices& notices, platform::Dialogs& dialogs,
          platform::UserNameSource& userName, platform::MessageSender& sender, QWidget* owner);

    void Form_Load();
    // "Send" (also Enter in the message): the message to the recipient in
    // Text3. The message box empties only once the message has gone.
    void Command1_Click();
    bool Text4_KeyDown(int keyCode);
    void Command4_Click();  // "Add New"
    void Command3_Click();  // "Delete": the selected contact
    void List1_Click();     // a contact becomes the recipient
    // Fills the list from the game's contacts.
    void ShowContacts();
    // A message is on its way (Send waits for it).
    bool Sending() const { return sending_; }

    QListWidget* List1 = nullptr;
    QPushButton* Command4 = nullptr;  // "Add New"
    QPushButton* Command3 = nullptr;  // "Delete"
    QLabel* Text1 = nullptr;          // "Username/Computer:"
    QLineEdit* Text3 = nullptr;       // the recipient
    QLabel* Text2 = nullptr;          // "Message Body:"
    QPlainTextEdit* Text4 = nullptr;  // the message
    QPushButton* Command1 = nullptr;  // "Send"
    QLabel* Status = nullptr;         // why the last message did not go

    static constexpr const char* kAddPrompt = "Enter a the new contact's username:";
    static constexpr const char* kAddTitle = "Add New Contact";

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // False, after telling the player why, for a recipient the game does
    // not send to.
    bool AcceptRecipient(const std::string& recipient);
    void Delivered(platform::SendResult result, const std::string& recipient, const std::string& message);
    // Told here, where the player is writing, and in the main window's notice.
    void Tell(std::string_view text);

    core::GameState& game_;
    core::Notices& notices_;
    platform::Dialogs& dialogs_;
    platform::UserNameSource& userName_;
    platform::MessageSender& sender_;
    bool sending_ = false;
};

}  // namespace online
