#include <QApplication>
#include <QFont>

#include "core/Game.h"
#include "development/HorseDevelopment.h"
#include "platform/Dialogs.h"
#include "shell/Form1.h"
#include "shell/OwnRaceScreen.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Trotwick");
    QFont font = QApplication::font();
    font.setPointSizeF(8);
    QApplication::setFont(font);

    core::Game game;
    platform::QtDialogs dialogs;
    shell::Form1 form1(game, dialogs);
    // The screens install themselves on the window, which owns them.
    new shell::OwnRaceScreen(form1);
    new development::HorseDevelopment(form1);
    form1.PaintBackgrounds();
    game.Randomize();
    game.Money = core::kStartingMoney;
    form1.FillProductTrees();
    form1.UpdateMoneyLine();
    form1.EnableDesignTimeTimers();
    form1.show();
    form1.ShowNotice("Welcome To Trotwick");
    return QApplication::exec();
}
