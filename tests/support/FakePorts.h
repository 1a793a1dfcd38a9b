#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/Ports.h"

namespace testing_support {

// Records every notice shown.
class RecordingNotices final : public core::Notices {
public:
    void ShowNotice(const std::string& text) override { shown.push_back(text); }
    std::string Last() const { return shown.empty() ? std::string() : shown.back(); }
    std::vector<std::string> shown;
};

// A keyed tree in memory, in insertion order.
class MemoryTree final : public core::TreeNodes {
public:
    struct Node {
        std::string key;
        std::string text;
        int image;
    };

    void AddNode(const std::string& key, const std::string& text, int image) override {
        nodes.push_back({key, text, image});
    }
    void RemoveNode(const std::string& key) override {
        std::erase_if(nodes, [&](const Node& n) { return n.key == key; });
        if (selected == key) selected.clear();
    }
    void Clear() override {
        nodes.clear();
        selected.clear();
    }
    bool HasNode(const std::string& key) const override { return Find(key) != nullptr; }
    std::string SelectedKey() const override { return selected; }
    void ClearSelection() override { selected.clear(); }

    void Select(const std::string& key) { selected = key; }
    const Node* Find(const std::string& key) const {
        auto it = std::find_if(nodes.begin(), nodes.end(), [&](const Node& n) { return n.key == key; });
        return it == nodes.end() ? nullptr : &*it;
    }

    std::vector<Node> nodes;
    std::string selected;
};

}  // namespace testing_support
