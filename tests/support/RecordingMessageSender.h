#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/MessageSender.h"

namespace testing_support {

// Records every message handed to the messenger and answers from a queue
// (Sent when nothing is queued). Nothing is ever run.
class RecordingMessageSender final : public platform::MessageSender {
public:
    struct Message {
        std::string recipient;
        std::string text;
    };

    void Send(const std::string& recipient, const std::string& text, Done done) override {
        sent.push_back({recipient, text});
        platform::SendResult result = platform::SendResult::Sent;
        if (!results.empty()) {
            result = results.front();
            results.pop_front();
        }
        if (holdAnswers) {
            held.push_back(std::move(done));
            heldResults.push_back(result);
            return;
        }
        done(result);
    }

    // Gives the answers that were held back, as a slow messenger would.
    void Answer() {
        for (std::size_t i = 0; i < held.size(); ++i) held[i](heldResults[i]);
        held.clear();
        heldResults.clear();
    }

    std::vector<Message> sent;
    std::deque<platform::SendResult> results;
    // True: the answers wait for Answer().
    bool holdAnswers = false;
    std::vector<Done> held;
    std::vector<platform::SendResult> heldResults;
};

}  // namespace testing_support
