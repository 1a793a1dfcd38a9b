#include "online/Form13.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTime>

#include "core/Ports.h"
#include "net/Socket.h"
#include "platform/PasteGuard.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "shell/GradientRect.h"
#include "shell/PanelControls.h"
#include "shell/SystemHelpers.h"

namespace online {

namespace {

constexpr std::int32_t kConnected = 7;
constexpr int kEnter = 13;

bool IsEnter(const QKeyEvent& key) { return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter; }

}  // namespace

std::string LocalTimeOfDay() {
    // The locale's own long time format, without a time zone.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return platform::FromQString(QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}

Form13::Form13(net::Socket& chat, core::Notices& notices, platform::Dialogs& dialogs,
               platform::UserNameSource& userName, QWidget* owner, Clock timeOfDay)
    : KeptWindow(owner, "Form13", QStringLiteral("BramChat - Prototype"), 6600, 5520, "OKAY"),
      chat_(chat),
      notices_(notices),
      dialogs_(dialogs),
      userName_(userName),
      timeOfDay_(std::move(timeOfDay)) {
    SetBackColor(0xE0E0E0);

    Text1 = new platform::PlainTextBox(this);
    Text1->setObjectName("Text1");
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setPlainText(platform::ToQStringLines(log_.Text()));
    platform::PlaceTwips(Text1, 120, 120, 6360, 4440);
    Text1->installEventFilter(this);

    Text13 = shell::MakeLabel(this, "Text13", QStringLiteral("Say:"), 120, 4740, 480, 255);
    Text8 = shell::MakeTextBox(this, "Text8", QStringLiteral("Hello!"), 600, 4710, 4440, 315);
    // No longer than the server relays: a longer line would vanish for all.
    Text8->setMaxLength(static_cast<int>(chat::kMaxLine));
    Text8->installEventFilter(this);

    ListPlayers = shell::MakeButton(this, "ListPlayers", QStringLiteral("List players"), 5160, 4680, 1320, 375);
    ListPlayers->setFocusPolicy(Qt::NoFocus);
    connect(ListPlayers, &QPushButton::clicked, this, &Form13::RequestChatList);
    Status = shell::MakeStatusLine(this, "Status", 120, 5115, 6360, 300);

    CloseOnEscape();
    Form_Load();
}

void Form13::Form_Load() { shell::ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0); }

bool Form13::Connected() const { return chat_.State() == kConnected; }

void Form13::AppendServerText(const std::string& text) {
    const std::size_t before = log_.Text().size();
    const chat::ChatLog::Change change = log_.Append(text);
    if (change.removed.size() >= before) {
        // A text longer than the whole log takes some of itself out too: the
        // box is what the log keeps.
        Text1->setPlainText(platform::ToQStringLines(log_.Text()));
    } else {
        if (!change.removed.empty()) {
            // The log keeps its newest part: the oldest lines leave the box too.
            QTextCursor front(Text1->document());
            front.movePosition(QTextCursor::Start);
            front.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor,
                               static_cast<int>(platform::ToQStringLines(change.removed).size()));
            front.removeSelectedText();
        }
        QTextCursor end(Text1->document());
        end.movePosition(QTextCursor::End);
        end.insertText(platform::ToQStringLines(change.appended));
    }
    Text1->moveCursor(QTextCursor::End);
    Text1->ensureCursorVisible();
}

bool Form13::Text8_KeyDown(int keyCode) {
    if (keyCode != kEnter) return false;
    if (!Connected()) {
        // The line stays in the input for when the chat is back.
        Tell(kNotConnected);
        return false;
    }
    // An empty line is sent too.
    const std::string typed = chat::OneLine(platform::FromQString(Text8->text()));
    const chat::ChatLine line{shell::CurrentUserName(userName_, dialogs_), timeOfDay_(), typed};
    chat_.SendData(chat::Format(line));
    Text8->clear();
    Status->clear();
    return true;
}

void Form13::RequestChatList() {
    if (!Connected()) {
        Tell(kNotConnected);
        return;
    }
    chat_.SendData(chat::Format(chat::ListRequest{}));
    Status->clear();
}

void Form13::Tell(std::string_view text) {
    Status->setText(platform::ToQString(text));
    notices_.ShowNotice(std::string(text));
}

void Form13::Form_GotFocus() {
    Text8->setFocus();
    Text8->end(false);
}

void Form13::Text1_KeyDown() { Form_GotFocus(); }

bool Form13::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) Form_GotFocus();
    return KeptWindow::event(event);
}

bool Form13::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return KeptWindow::eventFilter(watched, event);
    auto& key = static_cast<QKeyEvent&>(*event);
    if (watched == Text8 && IsEnter(key)) return Text8_KeyDown(kEnter);
    if (watched == Text1) {
        // The key goes on to the input line, where the player meant to type.
        Text1_KeyDown();
        QApplication::sendEvent(Text8, event);
        return true;
    }
    return KeptWindow::eventFilter(watched, event);
}

}  // namespace online
