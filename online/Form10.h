#pragma once

#include <functional>

#include "core/Game.h"
#include "shell/FormWindow.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class Dialogs;
}

namespace online {

// "Live Update Settings": the online-services server's address. "Apply"
// takes an address that can name a server and reconnects to it at once;
// any other text is refused with a box, and the default server is put back.
class Form10 : public shell::FormWindow {
    Q_OBJECT
public:
    // `serverChanged` reconnects the server connections to the game's
    // Server; it may throw runtime::Error.
    Form10(core::Game& game, platform::Dialogs& dialogs, std::function<void()> serverChanged, QWidget* owner);

    // Fills the address box and paints the background.
    void Form_Load();
    void Command1_Click();  // "Apply"

    QLabel* Label1 = nullptr;  // the note
    QLabel* Label2 = nullptr;  // "Canterloo Server:"
    QLineEdit* Text8 = nullptr;
    QLabel* Label3 = nullptr;  // "Default Address:"
    QLabel* Label4 = nullptr;  // the default server
    QPushButton* Command1 = nullptr;

private:
    // False when the connections could not be made.
    bool Reconnect();

    core::Game& game_;
    platform::Dialogs& dialogs_;
    std::function<void()> serverChanged_;
};

}  // namespace online
