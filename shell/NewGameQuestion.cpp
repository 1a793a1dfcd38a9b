#include "shell/NewGameQuestion.h"

#include <QPushButton>

#include "core/NewGame.h"
#include "shell/Form1.h"
#include "shell/TracksPanel.h"
#include "shell/TreeView.h"

namespace shell {

NewGameQuestion::NewGameQuestion(Form1& form, TracksPanel& tracks) : QObject(&form), form_(form), tracks_(tracks) {
    setObjectName("NewGameQuestion");
    connect(form_.Command26, &QPushButton::clicked, this, &NewGameQuestion::Command26_Click);
}

void NewGameQuestion::Command26_Click() { NewGame(); }

void NewGameQuestion::NewGame() {
    core::NewGame(form_.Game(), form_.Game().Random(), *form_.StableTree, *form_.MarketTree);
    form_.setWindowTitle(QStringLiteral("Trotwick"));
    form_.FillProductTrees();
    tracks_.ResetForNewGame();
    form_.BringToFront(Panel::Tracks);
    form_.UpdateMoneyLine();
    emit form_.GameReset();
}

}  // namespace shell
