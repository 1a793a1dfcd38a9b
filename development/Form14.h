#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shell/FormWindow.h"

class QListWidget;

namespace development {

// "Gene Collection": the fixed list of serums, filled when the window loads.
class Form14 : public shell::FormWindow {
    Q_OBJECT
public:
    explicit Form14(QWidget* owner);

    void Form_Load();

    // The text of the item with this key (game text); nothing when no item has it.
    std::optional<std::string> GeneText(std::string_view key) const;

    QListWidget* Genes = nullptr;
};

}  // namespace development
