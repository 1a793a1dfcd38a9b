#include "shell/LogWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>

#include "platform/PasteGuard.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "shell/GradientRect.h"

namespace shell {

using platform::PlaceTwips;

namespace {
constexpr const char* kWarning =
    "Termination of this process at this point in time will severley damage save game data, and information will "
    "be lost.";
}  // namespace

LogWindow::LogWindow(QWidget* owner, const char* name, const QString& caption, const QString& heading)
    : FormWindow(owner, name, caption, 5400, 3930) {
    SetBackColor(0xE0E0E0);

    Label12 = new QLabel(heading, this);
    Label12->setObjectName("Label12");
    Label12->setAttribute(Qt::WA_TranslucentBackground);
    QFont bold = Label12->font();
    bold.setPointSize(12);
    bold.setBold(true);
    Label12->setFont(bold);
    PlaceTwips(Label12, 240, 120, 4920, 375);

    Label1 = new QLabel(platform::ToQString(kWarning), this);
    Label1->setObjectName("Label1");
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceTwips(Label1, 240, 540, 4920, 615);

    Text1 = new platform::PlainTextBox(this);
    Text1->setObjectName("Text1");
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    PlaceTwips(Text1, 240, 1260, 4920, 2445);
}

void LogWindow::Form_Load() { ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0); }

void LogWindow::paintEvent(QPaintEvent* event) {
    FormWindow::paintEvent(event);
    // A picture taken of a window (grab) is no paint on the screen.
    if (painted_ || !windowHandle() || !windowHandle()->isExposed()) return;
    painted_ = true;
    // Once this paint has reached the screen.
    QTimer::singleShot(0, this, &LogWindow::Shown);
}

void LogWindow::closeEvent(QCloseEvent* event) {
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    FormWindow::closeEvent(event);
}

void LogWindow::ShowLog(const std::string& text) {
    Text1->setPlainText(platform::ToQStringLines(text));
    ScrollLogToEnd();
    repaint();
    emit LogShown();
}

void LogWindow::ScrollLogToEnd() {
    QTextCursor cursor = Text1->textCursor();
    cursor.movePosition(QTextCursor::End);
    Text1->setTextCursor(cursor);
    Text1->ensureCursorVisible();
    // A last line that only just fits counts as visible; scroll it fully in.
    QScrollBar* bar = Text1->verticalScrollBar();
    bar->setValue(bar->maximum());
}

Form3::Form3(QWidget* owner) : LogWindow(owner, "Form3", QStringLiteral("Saving Game"), QStringLiteral("Saving Game Data...")) {}

Form4::Form4(QWidget* owner)
    : LogWindow(owner, "Form4", QStringLiteral("Loading Game"), QStringLiteral("Loading Game Data...")) {}

}  // namespace shell
