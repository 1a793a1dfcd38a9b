#include "platform/GameTextValidator.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

#include "platform/QtText.h"

namespace platform {

bool FitsGameText(const QString& text) { return ToQString(FromQString(text)) == text; }

QValidator::State GameTextValidator::validate(QString& input, int&) const {
    return FitsGameText(input) ? Acceptable : Invalid;
}

void GameTextValidator::Guard(QLineEdit& box) { box.setValidator(new GameTextValidator(&box)); }

void GameTextEdit::keyPressEvent(QKeyEvent* event) {
    if (!FitsGameText(event->text())) {
        event->accept();  // used up: it is no key of the window's either
        return;
    }
    PlainTextBox::keyPressEvent(event);
}

void GameTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (FitsGameText(event->commitString())) {
        PlainTextBox::inputMethodEvent(event);
        return;
    }
    // The composition goes on; only the text it would put in is refused.
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
    PlainTextBox::inputMethodEvent(&withoutCommit);
    event->accept();
}

bool GameTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source && FitsGameText(source->text()) && PlainTextBox::canInsertFromMimeData(source);
}

void GameTextEdit::insertFromMimeData(const QMimeData* source) {
    if (source && FitsGameText(source->text())) PlainTextBox::insertFromMimeData(source);
}

}  // namespace platform
