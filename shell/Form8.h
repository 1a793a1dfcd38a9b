#pragma once

#include "core/Game.h"
#include "shell/FormWindow.h"

class QLabel;
class QPlainTextEdit;

namespace shell {

// "Player Profile": a medal for every game won (every level reached) and the
// player's statistics, taken when the window loads.
class Form8 : public FormWindow {
    Q_OBJECT
public:
    Form8(const core::GameState& game, QWidget* owner);

    // Paints the background and the medals, fills Text1.
    void Form_Load();

    QLabel* Label1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;

private:
    void DrawMedals();

    const core::GameState& game_;
};

}  // namespace shell
