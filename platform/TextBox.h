#pragma once

#include <QLineEdit>
#include <string>

namespace platform {

// A one-line text box with a Tag, as the game's windows keep a little state
// in their controls (the breeding boxes keep their horse's slot there).
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    std::string Tag;
};

}  // namespace platform
