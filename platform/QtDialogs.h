#pragma once

#include <optional>
#include <string>

#include "platform/Dialogs.h"

class QWidget;

namespace platform {

// The real boxes, on top of `parent` (or of the active window).
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    int MsgBox(const std::string& prompt, int style, const std::string& title) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;

private:
    QWidget* parent_;
};

}  // namespace platform
