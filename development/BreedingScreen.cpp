#include "development/BreedingScreen.h"

#include <QPushButton>

#include "development/Form2.h"
#include "platform/QtText.h"
#include "platform/TextBox.h"
#include "platform/Timer.h"
#include "runtime/Numbers.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"

namespace development {

BreedingScreen::BreedingScreen(shell::Form1& form) : QObject(&form), form_(form) {
    setObjectName("BreedingScreen");
    connect(form_.Command5, &QPushButton::clicked, this, &BreedingScreen::Command5_Click);
    connect(&form_.Timer("Baby"), &platform::Timer::Tick, this, &BreedingScreen::Baby_Timer);
    connect(&form_, &shell::Form1::GameReset, this, &BreedingScreen::GameReset);
}

void BreedingScreen::Command5_Click() {
    // One foal on its way at a time: the timer carries only one.
    if (onItsWay_) return;
    const BreedingPair pair{
        form_.MalePart->Tag,
        platform::FromQString(form_.MalePart->text()),
        form_.FemalePart->Tag,
        platform::FromQString(form_.FemalePart->text()),
    };
    const auto bred = BreedHorses(form_.Game(), form_, *form_.StableTree, pair);
    // Even a refused pair may have cost the mare health, or her life.
    emit form_.HorsesChanged();
    if (!bred) return;
    form_.Command5->setEnabled(false);
    onItsWay_ = bred->foal;
    platform::Timer& baby = form_.Timer("Baby");
    baby.SetInterval(bred->delayMs);
    baby.Tag = runtime::NumberText(static_cast<std::int64_t>(bred->foal.slot));
    baby.SetEnabled(true);
}

void BreedingScreen::Baby_Timer() {
    platform::Timer& baby = form_.Timer("Baby");
    if (!onItsWay_) {
        baby.SetEnabled(false);
        return;
    }
    if (!FoalArrives(form_.Game().Random())) return;
    baby.SetEnabled(false);
    const FoalTicket foal = *onItsWay_;
    onItsWay_.reset();
    form_.Command5->setEnabled(true);
    // A foal whose slot has been emptied or taken since is dropped quietly.
    if (!FoalStillWaiting(form_.Game(), *form_.StableTree, foal)) return;
    const int index = FreeWindowIndex();
    auto* window = new Form2(form_, foal);
    window->Tag = runtime::NumberText(static_cast<std::int64_t>(index));
    foalWindows_[index] = window;
    window->LoadUp();
}

int BreedingScreen::FreeWindowIndex() const {
    for (int index = 0; index < kFoalWindowSlots; ++index) {
        auto found = foalWindows_.find(index);
        if (found == foalWindows_.end() || found->second.isNull() || found->second->Tag == "CLOSE") return index;
    }
    // Every entry holds an open window: the oldest entry is taken over; its
    // window stays open and working.
    return 0;
}

Form2* BreedingScreen::FoalWindow(int index) const {
    auto found = foalWindows_.find(index);
    return found == foalWindows_.end() ? nullptr : found->second.data();
}

std::vector<Form2*> BreedingScreen::OpenFoalWindows() const {
    std::vector<Form2*> open;
    for (Form2* window : form_.findChildren<Form2*>(Qt::FindDirectChildrenOnly)) {
        if (window->Tag != "CLOSE") open.push_back(window);
    }
    return open;
}

// The foals of the old game are gone: nothing more arrives and no window
// names a horse of the new game.
void BreedingScreen::GameReset() {
    platform::Timer& baby = form_.Timer("Baby");
    baby.SetEnabled(false);
    baby.Tag.clear();
    onItsWay_.reset();
    form_.Command5->setEnabled(true);
    for (Form2* window : OpenFoalWindows()) window->Dismiss();
    foalWindows_.clear();
}

}  // namespace development
