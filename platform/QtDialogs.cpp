#include "platform/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "platform/GameTextValidator.h"
#include "platform/QtText.h"

namespace platform {

namespace {

QMessageBox::Icon IconFor(int style) {
    switch (style & 0x70) {
        case kCritical: return QMessageBox::Critical;
        case kQuestion: return QMessageBox::Question;
        case kExclamation: return QMessageBox::Warning;
        case kInformation: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

struct ButtonChoice {
    QMessageBox::StandardButton button;
    int result;
};

std::vector<ButtonChoice> ButtonsFor(int style) {
    switch (style & 0x7) {
        case kOkCancel: return {{QMessageBox::Ok, kOk}, {QMessageBox::Cancel, kCancel}};
        case kAbortRetryIgnore:
            return {{QMessageBox::Abort, kAbort}, {QMessageBox::Retry, kRetry}, {QMessageBox::Ignore, kIgnore}};
        case kYesNoCancel: return {{QMessageBox::Yes, kYes}, {QMessageBox::No, kNo}, {QMessageBox::Cancel, kCancel}};
        case kYesNo: return {{QMessageBox::Yes, kYes}, {QMessageBox::No, kNo}};
        case kRetryCancel: return {{QMessageBox::Retry, kRetry}, {QMessageBox::Cancel, kCancel}};
        default: return {{QMessageBox::Ok, kOk}};
    }
}

}  // namespace

int QtDialogs::MsgBox(const std::string& prompt, int style, const std::string& title) {
    QWidget* parent = parent_ ? parent_ : QApplication::activeWindow();
    QMessageBox box(IconFor(style), ToQString(title), ToQStringLines(prompt), QMessageBox::NoButton, parent);
    const auto choices = ButtonsFor(style);
    for (const auto& choice : choices) box.addButton(choice.button);
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    for (const auto& choice : choices) {
        if (choice.button == pressed) return choice.result;
    }
    // Closed with the close box or Escape: the last button's answer
    // (Cancel, No or OK).
    return choices.back().result;
}

std::optional<std::string> QtDialogs::InputBox(const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) {
    QWidget* parent = parent_ ? parent_ : QApplication::activeWindow();
    // Held by a guard: the owner may go while the box waits.
    QPointer<QInputDialog> box = new QInputDialog(parent);
    box->setWindowTitle(ToQString(title));
    box->setLabelText(ToQStringLines(prompt));
    box->setTextValue(ToQString(defaultText));
    // The answer is game text: what it cannot hold is refused as it is typed.
    if (auto* line = box->findChild<QLineEdit*>()) GameTextValidator::Guard(*line);
    const int result = box->exec();
    if (!box) return std::nullopt;
    const QString text = box->textValue();
    delete box;
    if (result != QDialog::Accepted) return std::nullopt;
    return FromQString(text);
}

}  // namespace platform
