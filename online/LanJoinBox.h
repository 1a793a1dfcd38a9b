#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

class QEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace shell {
class Form1;
}

namespace online {

// The way into someone else's LAN race, on the lower part of the LAN set-up
// screen Picture2 beneath the hosting controls: the host's address (a host
// name or a dotted address, kept for the run) and the join button. It also
// shows this computer's own LAN address, which a host tells its players.
class LanJoinBox : public QObject {
    Q_OBJECT
public:
    // `join` starts a join to the address typed.
    LanJoinBox(shell::Form1& form, std::function<void(const std::string&)> join);

    void JoinButton_Click();
    // The address other computers of the LAN reach this one at, as shown.
    void ShowLocalIP();

    QLineEdit* HostAddress = nullptr;
    QPushButton* JoinButton = nullptr;
    QLabel* LocalIP = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void HostAddress_Change();

    std::function<void(const std::string&)> join_;
};

// This computer's address on its network, dotted; nothing when no network
// but the loopback is up.
std::optional<std::string> LanAddress();

}  // namespace online
