#include "online/LanJoinBox.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Winsock.h"
#include "runtime/Text.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"

namespace online {

namespace {

constexpr const char* kYourAddress = "This computer's LAN address: ";
constexpr const char* kNoNetwork = "none (not on a network)";

}  // namespace

std::optional<std::string> LanAddress() {
    const auto address = platform::ws::FirstNonLoopbackAddress();
    if (!address) return std::nullopt;
    return platform::ws::inet_ntoa(*address);
}

LanJoinBox::LanJoinBox(shell::Form1& form, std::function<void(const std::string&)> join)
    : QObject(&form), join_(std::move(join)) {
    setObjectName("LanJoinBox");
    platform::PictureBox* panel = &form.PanelBox(shell::Panel::Picture2);
    QLabel* title = shell::MakeLabel(panel, "JoinTitle", QStringLiteral("Join a Game"), 720, 1920, 6000, 375);
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    shell::MakeLabel(panel, "HostAddressCaption", QStringLiteral("Host's Address: "), 720, 2430, 1935, 315);
    HostAddress = shell::MakeTextBox(panel, "HostAddress", QString(), 2655, 2400, 2535, 315);
    JoinButton = shell::MakeButton(panel, "JoinButton", QStringLiteral("Join Game"), 720, 2880, 1935, 495);
    JoinButton->setEnabled(false);
    LocalIP = shell::MakeLabel(panel, "LocalIP", QString(), 2895, 2970, 7000, 315);
    connect(HostAddress, &QLineEdit::textChanged, this, &LanJoinBox::HostAddress_Change);
    connect(HostAddress, &QLineEdit::returnPressed, this, &LanJoinBox::JoinButton_Click);
    connect(JoinButton, &QPushButton::clicked, this, &LanJoinBox::JoinButton_Click);
    // The address can change while the game runs (a laptop moving networks).
    panel->installEventFilter(this);
    ShowLocalIP();
}

void LanJoinBox::HostAddress_Change() {
    JoinButton->setEnabled(!runtime::Trim(platform::FromQString(HostAddress->text())).empty());
}

void LanJoinBox::JoinButton_Click() {
    const std::string host(runtime::Trim(platform::FromQString(HostAddress->text())));
    if (host.empty()) return;
    join_(host);
}

void LanJoinBox::ShowLocalIP() {
    const auto address = LanAddress();
    LocalIP->setText(platform::ToQString(std::string(kYourAddress) + (address ? *address : kNoNetwork)));
}

bool LanJoinBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) ShowLocalIP();
    return QObject::eventFilter(watched, event);
}

}  // namespace online
