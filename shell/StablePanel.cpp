#include "shell/StablePanel.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "core/Stable.h"
#include "platform/QtText.h"
#include "platform/TextBox.h"
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
}

void StablePanel::StableTree_NodeClick(const std::string& key) {
    const auto selection = core::SelectStableHorse(form_.Game(), key);
    if (!selection) return;
    form_.Text1->setPlainText(platform::ToQStringLines(selection->Card));
    platform::TextBox* box = selection->Stallion ? form_.MalePart : form_.FemalePart;
    box->setText(platform::ToQString(selection->Name));
    box->Tag = selection->Slot;
}

void StablePanel::MarketTree_NodeClick(const std::string& key) {
    const auto card = core::SelectMarketHorse(form_.Game(), key);
    if (!card) return;
    form_.Text2->setPlainText(platform::ToQStringLines(*card));
}

void StablePanel::Command10_Click() {
    core::BuyHorse(form_.Game(), form_.Game().Random(), form_, *form_.MarketTree, *form_.StableTree);
}

void StablePanel::Command25_Click() {
    if (core::SellHorse(form_.Game(), form_.Game().Random(), form_, *form_.StableTree, *form_.MarketTree)) {
        form_.BringToFront(Panel::Stables);
    }
}

}  // namespace shell
