#pragma once

#include <array>
#include <string_view>

// The topics of the help window, in the order of their buttons. Texts are
// game text (Windows-1252, CR LF line breaks).
namespace shell {

struct HelpTopic {
    const char* button;   // the topic button's name
    const char* caption;  // what the button says
    const char* box;      // the name of the text box that holds the topic
    std::string_view text;
};

extern const std::array<HelpTopic, 7> kHelpTopics;

inline constexpr const char* kHelpPrompt = "Please Select a Topic";

}  // namespace shell
