#include "shell/TreeView.h"

#include <QHeaderView>
#include <QKeyEvent>

#include "platform/QtText.h"

namespace shell {

namespace {
constexpr int kKeyRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
}  // namespace

TreeView::TreeView(std::function<QIcon(int)> images, QWidget* parent)
    : QTreeWidget(parent), images_(std::move(images)) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        if (item) emit NodeClick(KeyOf(item));
    });
}

std::string TreeView::KeyOf(const QTreeWidgetItem* item) {
    const QByteArray key = item->data(0, kKeyRole).toByteArray();
    return std::string(key.constData(), static_cast<std::size_t>(key.size()));
}

void TreeView::AddNode(const std::string& key, const std::string& text, int image) {
    // A key names one node: adding it again renews that node.
    QTreeWidgetItem* item = nullptr;
    if (auto found = byKey_.find(key); found != byKey_.end()) {
        item = found->second;
    } else {
        item = new QTreeWidgetItem(this);
        item->setData(0, kKeyRole, QByteArray(key.data(), static_cast<qsizetype>(key.size())));
        byKey_.emplace(key, item);
    }
    item->setText(0, platform::ToQString(text));
    item->setData(0, kImageRole, image);
    if (images_) item->setIcon(0, images_(image));
}

void TreeView::RemoveNode(const std::string& key) {
    auto found = byKey_.find(key);
    if (found == byKey_.end()) return;
    QTreeWidgetItem* item = found->second;
    byKey_.erase(found);
    // The list would move the selection to a neighbour as the node goes, and
    // report that as a change of selection: the cards and the breeding boxes
    // would show a horse the player never chose, and the next action would
    // fall on it. So the selection goes first.
    if (item->isSelected() || item == currentItem()) {
        clearSelection();
        setCurrentItem(nullptr);
    }
    delete item;
}

void TreeView::Clear() {
    byKey_.clear();
    clear();
}

bool TreeView::HasNode(const std::string& key) const { return byKey_.count(key) != 0; }

std::string TreeView::SelectedKey() const {
    const auto selected = selectedItems();
    return selected.isEmpty() ? std::string() : KeyOf(selected.front());
}

void TreeView::ClearSelection() { clearSelection(); }

void TreeView::SelectNode(const std::string& key) {
    auto found = byKey_.find(key);
    if (found == byKey_.end()) return;
    setCurrentItem(found->second);
    found->second->setSelected(true);
}

void TreeView::ClickNode(const std::string& key) {
    if (!HasNode(key)) return;
    SelectNode(key);
    emit NodeClick(key);
}

std::string TreeView::KeyAt(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? KeyOf(item) : std::string();
}

std::string TreeView::TextOf(const std::string& key) const {
    auto found = byKey_.find(key);
    return found == byKey_.end() ? std::string() : platform::FromQString(found->second->text(0));
}

int TreeView::ImageOf(const std::string& key) const {
    auto found = byKey_.find(key);
    return found == byKey_.end() ? 0 : found->second->data(0, kImageRole).toInt();
}

void TreeView::keyPressEvent(QKeyEvent* event) {
    const std::string before = SelectedKey();
    QTreeWidget::keyPressEvent(event);
    const std::string after = SelectedKey();
    if (!after.empty() && after != before) emit NodeClick(after);
}

}  // namespace shell
