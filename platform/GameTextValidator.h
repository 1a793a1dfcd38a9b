#pragma once

#include <QValidator>

class QLineEdit;

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

}  // namespace platform
