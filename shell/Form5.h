#pragma once

#include "shell/FormWindow.h"

class QFrame;
class QLabel;
class QPushButton;

namespace shell {

// "About": the product name and a paragraph about where the game comes from.
class Form5 : public FormWindow {
    Q_OBJECT
public:
    explicit Form5(QWidget* owner);

    void Form_Load() {}
    void Command1_Click();  // "Close"

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* Command1 = nullptr;
};

// The publisher's paragraph, game text.
extern const char* const kAboutParagraph;

}  // namespace shell
