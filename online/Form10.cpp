#include "online/Form10.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "online/LiveUpdateRules.h"
#include "platform/Dialogs.h"
#include "platform/QtText.h"
#include "runtime/Error.h"
#include "shell/GradientRect.h"
#include "shell/PanelControls.h"

namespace online {

namespace {

constexpr const char* kNote =
    "Brambly Server control panel. Unless Brambly has recomended you to do so, dont change anything. ";

}  // namespace

Form10::Form10(core::Game& game, platform::Dialogs& dialogs, std::function<void()> serverChanged, QWidget* owner)
    : shell::FormWindow(owner, "Form10", QStringLiteral("Live Update Settings"), 4920, 2280),
      game_(game), dialogs_(dialogs), serverChanged_(std::move(serverChanged)) {
    SetBackColor(0xE0E0E0);
    Label1 = shell::MakeLabel(this, "Label1", platform::ToQString(kNote), 120, 120, 4680, 615);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2 = shell::MakeLabel(this, "Label2", QStringLiteral("Canterloo Server:"), 120, 900, 1815, 255);
    Text8 = shell::MakeTextBox(this, "Text8", QString(), 1980, 855, 2820, 315);
    shell::LimitToSavedLength(*Text8);
    Label3 = shell::MakeLabel(this, "Label3", QStringLiteral("Default Address:"), 120, 1320, 1815, 255);
    Label4 = shell::MakeLabel(this, "Label4", platform::ToQString(core::kDefaultServer), 1980, 1320, 2820, 255);
    Command1 = shell::MakeButton(this, "Command1", QStringLiteral("Apply"), 3585, 1740, 1215, 375);
    connect(Command1, &QPushButton::clicked, this, &Form10::Command1_Click);
    CloseOnEscape();
    Form_Load();
}

void Form10::Form_Load() {
    Text8->setText(platform::ToQString(game_.Server));
    shell::ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0);
}

void Form10::Command1_Click() {
    const std::string address = platform::FromQString(Text8->text());
    if (liveupdate::IsServerAddress(address)) {
        game_.Server = address;
        if (Reconnect()) {
            close();
            return;
        }
    }
    // The box keeps the refused text, so the player can mend it.
    dialogs_.MsgBox(liveupdate::kInvalidAddress, platform::kInformation, liveupdate::kInvalidAddressTitle);
    game_.Server = core::kDefaultServer;
    Reconnect();
}

bool Form10::Reconnect() {
    try {
        if (serverChanged_) serverChanged_();
        return true;
    } catch (const runtime::Error&) {
        return false;
    }
}

}  // namespace online
