#pragma once

#include <map>

#include "core/Game.h"
#include "core/Ports.h"
#include "development/EliteHorse.h"
#include "shell/FormWindow.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace shell {
class TreeView;
}

namespace development {

// "Create Elite Horse", the window of each level-up: the player names the
// horse, picks its sex and coat, and shares the rating and pace budgets
// between coupled bars. "Create Horse" puts it in the stable and closes the
// window; closing it any other way creates nothing.
class Form9 : public shell::FormWindow {
    Q_OBJECT
public:
    // `stableTree` is the main window's stable tree, where the new horse's
    // node goes.
    Form9(core::Game& game, core::Notices& notices, core::TreeNodes& stableTree, QWidget* owner);

    // Fills the appearance tree, chooses "Male", paints the background.
    void Form_Load();

    // Each bar keeps its partner at the rest of the budget.
    void Speed_Change();
    void Stamina_Change();
    void HScroll1_Change();
    void HScroll2_Change();

    void Command22_Click();  // "Create Horse"

    // What the controls say now.
    EliteDesign Design() const;

    QLabel* Label12 = nullptr;  // "Genetical Engineering Lab"
    QLabel* Text3 = nullptr;    // "Name:"
    QLineEdit* Text4 = nullptr;
    QLabel* Text1 = nullptr;    // "Sex:"
    QComboBox* Combo1 = nullptr;
    QLabel* Label1 = nullptr;   // "Choose Appearance:"
    shell::TreeView* StableTree = nullptr;  // this window's appearances
    QScrollBar* Speed = nullptr;
    QScrollBar* Stamina = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* HScroll2 = nullptr;
    QPushButton* Command22 = nullptr;

private:
    QScrollBar* MakeBar(const char* name, const char* label, const char* labelName, double top, int maximum,
                        int value, void (Form9::*handler)());
    void ShowValue(const QScrollBar* bar);

    core::Game& game_;
    core::Notices& notices_;
    core::TreeNodes& stableTree_;
    // The number shown beside each bar's label.
    std::map<const QScrollBar*, QLabel*> shownValues_;
};

}  // namespace development
