#pragma once

#include <QValidator>

#include "platform/PasteGuard.h"

class QInputMethodEvent;
class QKeyEvent;
class QLineEdit;
class QMimeData;

namespace platform {

// Keeps a box to the characters the game's text can hold (Windows-1252):
// one it cannot hold is refused as it is typed or pasted, instead of
// turning into "?" once the text is saved or sent.
class GameTextValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override;

    // Puts a validator of this kind on the box (the box owns it).
    static void Guard(QLineEdit& box);
};

// True when every character of the text has its Windows-1252 byte.
bool FitsGameText(const QString& text);

// A multi-line box for game text (a message to send): as a GameTextValidator
// keeps a one-line box, what the game's text cannot hold is refused as it is
// typed, composed or pasted, and a paste or a drop is refused whole.
class GameTextEdit : public PlainTextBox {
    Q_OBJECT
public:
    using PlainTextBox::PlainTextBox;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace platform
