#pragma once

#include <QTreeWidget>
#include <functional>
#include <string>
#include <unordered_map>

#include "core/Ports.h"

namespace shell {

// A flat list of keyed nodes with pictures, as the stable, market and product
// trees show them. Nodes keep the order they were added in. The selection is
// what the player clicked; a current item that focus alone made current is
// not a selection.
class TreeView : public QTreeWidget, public core::TreeNodes {
    Q_OBJECT
public:
    // `images` gives the icon for a node's image number (1-based); it may be empty.
    explicit TreeView(std::function<QIcon(int)> images = {}, QWidget* parent = nullptr);

    void AddNode(const std::string& key, const std::string& text, int image) override;
    // Removing the selected node leaves nothing selected.
    void RemoveNode(const std::string& key) override;
    void Clear() override;
    bool HasNode(const std::string& key) const override;
    std::string SelectedKey() const override;
    void ClearSelection() override;

    // Selects a node as a click would, and raises NodeClick.
    void ClickNode(const std::string& key);
    // Selects a node without raising anything.
    void SelectNode(const std::string& key);

    int Count() const { return topLevelItemCount(); }
    std::string KeyAt(int row) const;
    std::string TextOf(const std::string& key) const;
    int ImageOf(const std::string& key) const;

signals:
    // The player clicked a node (or moved the selection to it with the keys).
    void NodeClick(const std::string& key);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    static std::string KeyOf(const QTreeWidgetItem* item);

    std::function<QIcon(int)> images_;
    std::unordered_map<std::string, QTreeWidgetItem*> byKey_;
};

}  // namespace shell
