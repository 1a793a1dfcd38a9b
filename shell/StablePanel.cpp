#include "shell/StablePanel.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "core/Stable.h"
#include "platform/QtText.h"
#include "platform/TextBox.h"
#include "runtime/Numbers.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"

namespace shell {

StablePanel::StablePanel(Form1& form) : QObject(&form), form_(form) {
    setObjectName("StablePanel");
    connect(form_.StableTree, &TreeView::NodeClick, this, &StablePanel::StableTree_NodeClick);
    connect(form_.MarketTree, &TreeView::NodeClick, this, &StablePanel::MarketTree_NodeClick);
    // A selection moved by any means shows its horse too, so the card never
    // describes another horse than the one an action would take.
    connect(form_.StableTree, &QTreeWidget::itemSelectionChanged, this, [this] {
        const std::string key = form_.StableTree->SelectedKey();
        if (!key.empty()) StableTree_NodeClick(key);
    });
    connect(form_.MarketTree, &QTreeWidget::itemSelectionChanged, this, [this] {
        const std::string key = form_.MarketTree->SelectedKey();
        if (!key.empty()) MarketTree_NodeClick(key);
    });
    connect(form_.Command10, &QPushButton::clicked, this, &StablePanel::Command10_Click);
    connect(form_.Command25, &QPushButton::clicked, this, &StablePanel::Command25_Click);
    connect(&form_, &Form1::HorsesChanged, this, &StablePanel::FollowHorses);
    // A new game's horses may take the old ones' keys: nothing old stays.
    connect(&form_, &Form1::GameReset, this, &StablePanel::EmptyCards);
}

void StablePanel::StableTree_NodeClick(const std::string& key) {
    const auto selection = core::SelectStableHorse(form_.Game(), key);
    if (!selection) return;
    stableCardKey_ = key;
    form_.Text1->setPlainText(platform::ToQStringLines(selection->Card));
    platform::TextBox* box = selection->Stallion ? form_.MalePart : form_.FemalePart;
    box->setText(platform::ToQString(selection->Name));
    box->Tag = selection->Slot;
}

void StablePanel::MarketTree_NodeClick(const std::string& key) {
    const auto card = core::SelectMarketHorse(form_.Game(), key);
    if (!card) return;
    marketCardKey_ = key;
    form_.Text2->setPlainText(platform::ToQStringLines(*card));
}

void StablePanel::Command10_Click() {
    if (core::BuyHorse(form_.Game(), form_.Game().Random(), form_, *form_.MarketTree, *form_.StableTree)) {
        emit form_.HorsesChanged();
    }
}

void StablePanel::Command25_Click() {
    if (core::SellHorse(form_.Game(), form_.Game().Random(), form_, *form_.StableTree, *form_.MarketTree)) {
        emit form_.HorsesChanged();
        form_.BringToFront(Panel::Stables);
    }
}

void StablePanel::FollowHorses() {
    const core::GameState& game = form_.Game();
    const auto stableCard = form_.StableTree->HasNode(stableCardKey_)
                                ? core::SelectStableHorse(game, stableCardKey_)
                                : std::nullopt;
    if (stableCard) {
        form_.Text1->setPlainText(platform::ToQStringLines(stableCard->Card));
    } else {
        stableCardKey_.clear();
        form_.Text1->clear();
    }
    const auto marketCard = form_.MarketTree->HasNode(marketCardKey_)
                                ? core::SelectMarketHorse(game, marketCardKey_)
                                : std::nullopt;
    if (marketCard) {
        form_.Text2->setPlainText(platform::ToQStringLines(*marketCard));
    } else {
        marketCardKey_.clear();
        form_.Text2->clear();
    }
    FollowBreedingBox(*form_.MalePart, true);
    FollowBreedingBox(*form_.FemalePart, false);
}

// A box keeps its horse while that horse is in the stable under the same
// name; otherwise it is emptied, tag included, so breeding asks for a pair.
void StablePanel::FollowBreedingBox(platform::TextBox& box, bool stallion) {
    if (box.text().isEmpty()) return;
    const auto slot = runtime::ParseLong(box.Tag);
    const bool stillThere = slot && *slot >= 0 && *slot < core::kStableSlots &&
                            form_.StableTree->HasNode((stallion ? "STUD" : "MAIR") + box.Tag) &&
                            form_.Game().OwnedHorse[static_cast<std::size_t>(*slot)].Name ==
                                platform::FromQString(box.text());
    if (stillThere) return;
    box.clear();
    box.Tag.clear();
}

void StablePanel::EmptyCards() {
    stableCardKey_.clear();
    marketCardKey_.clear();
    form_.Text1->clear();
    form_.Text2->clear();
    for (platform::TextBox* box : {form_.MalePart, form_.FemalePart}) {
        box->clear();
        box->Tag.clear();
    }
}

}  // namespace shell
