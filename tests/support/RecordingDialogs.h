#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace testing_support {

// Records every box a window shows and answers from a queue (OK, or the
// first button, when nothing is queued; an input box answers "Cancel").
class RecordingDialogs final : public platform::Dialogs {
public:
    struct Box {
        std::string prompt;
        int style;
        std::string title;
    };

    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        boxes.push_back({prompt, style, title});
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return (style & 7) == platform::kYesNo || (style & 7) == platform::kYesNoCancel ? platform::kYes
                                                                                        : platform::kOk;
    }

    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        boxes.push_back({prompt, -1, title});
        (void)defaultText;
        if (inputs.empty()) return std::nullopt;
        auto answer = inputs.front();
        inputs.pop_front();
        return answer;
    }

    std::vector<Box> boxes;
    std::deque<int> answers;
    std::deque<std::optional<std::string>> inputs;
};

}  // namespace testing_support
