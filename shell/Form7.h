#pragma once

#include "shell/FormWindow.h"

class QPlainTextEdit;

namespace shell {

// "Disclaimer": what the game does over the network, in one text box.
class Form7 : public FormWindow {
    Q_OBJECT
public:
    explicit Form7(QWidget* owner);

    QPlainTextEdit* Text1 = nullptr;
};

// The disclaimer, game text with CR LF line breaks.
extern const char* const kDisclaimerText;

}  // namespace shell
