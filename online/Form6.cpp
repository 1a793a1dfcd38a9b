#include "online/Form6.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>

#include "core/Ports.h"
#include "online/NetSendMessage.h"
#include "platform/Dialogs.h"
#include "platform/PasteGuard.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "savegame/modRegistry.h"
#include "shell/GradientRect.h"
#include "shell/PanelControls.h"
#include "shell/SystemHelpers.h"

namespace online {

namespace {

constexpr int kEnter = 13;

// The message as game text, its line breaks CR LF.
std::string MessageBody(const QPlainTextEdit& box) {
    QString text = box.toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return platform::FromQString(text);
}

}  // namespace

Form6::Form6(core::GameState& game, core::Notices& notices, platform::Dialogs& dialogs,
             platform::UserNameSource& userName, platform::MessageSender& sender, QWidget* owner)
    : KeptWindow(owner, "Form6", QStringLiteral("LAN Chat"), 6240, 4740, "Cancel"),
      game_(game),
      notices_(notices),
      dialogs_(dialogs),
      userName_(userName),
      sender_(sender) {
    SetBackColor(0xE0E0E0);

    List1 = new QListWidget(this);
    List1->setObjectName("List1");
    platform::PlaceTwips(List1, 120, 120, 2160, 3480);
    connect(List1, &QListWidget::itemSelectionChanged, this, &Form6::List1_Click);

    Command4 = shell::MakeButton(this, "Command4", QStringLiteral("Add New"), 120, 3720, 1035, 375);
    connect(Command4, &QPushButton::clicked, this, &Form6::Command4_Click);
    Command3 = shell::MakeButton(this, "Command3", QStringLiteral("Delete"), 1245, 3720, 1035, 375);
    connect(Command3, &QPushButton::clicked, this, &Form6::Command3_Click);

    Text1 = shell::MakeLabel(this, "Text1", QStringLiteral("Username/Computer:"), 2400, 150, 3720, 255);
    Text3 = shell::MakeTextBox(this, "Text3", QString(), 2400, 420, 3720, 315);
    Text2 = shell::MakeLabel(this, "Text2", QStringLiteral("Message Body:"), 2400, 870, 3720, 255);
    Text4 = new platform::PlainTextBox(this);
    Text4->setObjectName("Text4");
    platform::PlaceTwips(Text4, 2400, 1140, 3720, 2460);
    Text4->installEventFilter(this);

    Command1 = shell::MakeButton(this, "Command1", QStringLiteral("Send"), 2400, 3720, 3720, 375);
    connect(Command1, &QPushButton::clicked, this, &Form6::Command1_Click);
    Status = shell::MakeStatusLine(this, "Status", 120, 4185, 6000, 465);

    CloseOnEscape();
    Form_Load();
}

void Form6::Form_Load() {
    shell::ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0);
    ShowContacts();
}

void Form6::ShowContacts() {
    List1->clear();
    for (const std::string& contact : game_.Contacts) List1->addItem(platform::ToQString(contact));
}

void Form6::Command4_Click() {
    auto answer = dialogs_.InputBox(kAddPrompt, kAddTitle);
    if (!answer || answer->empty()) return;
    // The saved game reads back no longer a contact.
    if (answer->size() > savegame::kLongestReadValue) answer->resize(savegame::kLongestReadValue);
    game_.Contacts.push_back(*answer);
    List1->addItem(platform::ToQString(*answer));
}

void Form6::Command3_Click() {
    const int row = List1->currentRow();
    if (row < 0 || !List1->currentItem()->isSelected() || row >= static_cast<int>(game_.Contacts.size())) return;
    game_.Contacts.erase(game_.Contacts.begin() + row);
    delete List1->takeItem(row);
}

void Form6::List1_Click() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty()) return;
    Text3->setText(selected.front()->text());
}

bool Form6::AcceptRecipient(const std::string& recipient) {
    switch (netsend::CheckRecipient(recipient)) {
        case netsend::Recipient::Fine: return true;
        case netsend::Recipient::WholeNetwork:
            dialogs_.MsgBox(std::string(netsend::kWholeNetworkText), platform::kInformation,
                            std::string(netsend::kWholeNetworkTitle));
            return false;
        case netsend::Recipient::Missing: Tell(netsend::kMissingText); return false;
        case netsend::Recipient::OptionLike:
        case netsend::Recipient::Unsafe: Tell(netsend::kBadNameText); return false;
    }
    return false;
}

void Form6::Command1_Click() {
    if (sending_) return;
    Status->clear();
    const std::string recipient = platform::FromQString(Text3->text());
    if (!AcceptRecipient(recipient)) return;
    const std::string message = MessageBody(*Text4);
    const std::string text = netsend::MessageText(shell::CurrentUserName(userName_, dialogs_), message);
    sending_ = true;
    Command1->setEnabled(false);
    const QPointer<Form6> self(this);
    sender_.Send(recipient, text, [self, recipient, message](platform::SendResult result) {
        if (self) self->Delivered(result, recipient, message);
    });
}

void Form6::Delivered(platform::SendResult result, const std::string& recipient, const std::string& message) {
    sending_ = false;
    Command1->setEnabled(true);
    switch (result) {
        case platform::SendResult::Sent:
            // Only the message that went leaves the box, not one typed since.
            if (MessageBody(*Text4) == message) Text4->clear();
            Text4->setFocus();
            return;
        case platform::SendResult::NoMessenger: Tell(netsend::kNoMessengerText); return;
        case platform::SendResult::Refused: Tell(netsend::kBadNameText); return;
        case platform::SendResult::Failed: Tell(std::string(netsend::kFailedText) + recipient + "."); return;
    }
}

void Form6::Tell(std::string_view text) {
    Status->setText(platform::ToQString(text));
    notices_.ShowNotice(std::string(text));
}

bool Form6::Text4_KeyDown(int keyCode) {
    if (keyCode != kEnter) return false;
    Command1_Click();
    return true;
}

void Form6::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) ShowContacts();
    KeptWindow::showEvent(event);
}

bool Form6::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text4 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return Text4_KeyDown(kEnter);
    }
    return KeptWindow::eventFilter(watched, event);
}

}  // namespace online
