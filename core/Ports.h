#pragma once

#include <string>

// What the game rules need of the main window, kept free of window code: the
// notice line and the keyed trees (stable, market, products). The main window
// implements them; tests use in-memory fakes.
namespace core {

class Notices {
public:
    virtual ~Notices() = default;
    // Puts a message into the notice line (game text).
    virtual void ShowNotice(const std::string& text) = 0;
};

// A tree whose nodes are found by key, like the stable tree ("STUD3") or a
// product tree ("STAM1"). Images index the tree's image list from 1.
class TreeNodes {
public:
    virtual ~TreeNodes() = default;
    virtual void AddNode(const std::string& key, const std::string& text, int image) = 0;
    // Removing a key that is not there does nothing.
    virtual void RemoveNode(const std::string& key) = 0;
    virtual void Clear() = 0;
    virtual bool HasNode(const std::string& key) const = 0;
    // The key of the node the player selected, "" when nothing is selected.
    // Selection, not keyboard focus: a tree that merely has a current item
    // has nothing selected.
    virtual std::string SelectedKey() const = 0;
    virtual void ClearSelection() = 0;
};

// True when the tree has a selected node with a non-empty key.
inline bool HasSelectedNode(const TreeNodes& tree) { return !tree.SelectedKey().empty(); }

}  // namespace core
