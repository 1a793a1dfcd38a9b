#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "online/ChatProtocol.h"
#include "online/KeptWindow.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace core {
class Notices;
}
namespace net {
class Socket;
}
namespace platform {
class Dialogs;
class UserNameSource;
}  // namespace platform

namespace online {

// The time of day as this machine writes it, for the chat line's stamp.
std::string LocalTimeOfDay();

// "BramChat - Prototype": the chat log, which shows every text the chat
// server sends, and the line the player types into. Loaded hidden when the
// game starts and only hidden when closed (also with Escape), so the log
// survives; it goes for good only when its Tag is "OKAY".
class Form13 : public KeptWindow {
    Q_OBJECT
public:
    using Clock = std::function<std::string()>;

    Form13(net::Socket& chat, core::Notices& notices, platform::Dialogs& dialogs, platform::UserNameSource& userName,
           QWidget* owner, Clock timeOfDay = LocalTimeOfDay);

    void Form_Load();
    // A text from the server: appended to the log after a line break, and
    // the log shows its end. Also while the window is hidden.
    void AppendServerText(const std::string& text);
    // A key in the input line. Enter while the chat is connected sends the
    // line (its line breaks made blanks, an empty line too) and empties the
    // input. True when the key was used so.
    bool Text8_KeyDown(int keyCode);
    // Asks the server who is in the chat ("List players").
    void RequestChatList();
    // The window, or the log, got the focus or a key: the input line takes
    // the focus with its caret at the end, so the log is never typed into.
    void Form_GotFocus();
    void Text1_KeyDown();

    const chat::ChatLog& Log() const { return log_; }

    QPlainTextEdit* Text1 = nullptr;  // the log
    QLabel* Text13 = nullptr;         // "Say:"
    QLineEdit* Text8 = nullptr;       // the input line
    QPushButton* ListPlayers = nullptr;
    QLabel* Status = nullptr;  // why the last line or question did not go

    static constexpr const char* kNotConnected = "You are not connected to the chat server.";

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Connected() const;
    // Told here, where the player is typing, and in the main window's notice.
    void Tell(std::string_view text);

    net::Socket& chat_;
    core::Notices& notices_;
    platform::Dialogs& dialogs_;
    platform::UserNameSource& userName_;
    Clock timeOfDay_;
    chat::ChatLog log_;
};

}  // namespace online
