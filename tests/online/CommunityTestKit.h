#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/Game.h"
#include "online/CommunityWindows.h"
#include "platform/UserName.h"
#include "shell/Form1.h"
#include "tests/support/FixedUserName.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/RecordingMessageSender.h"

// What the tests of the leader's board, the chat and the contacts share.
namespace community_tests {

using testing_support::FixedUserName;

// A main window with the chat and contacts windows installed and loaded
// hidden, as start-up leaves them: the player "jenny", a clock that always
// says 14:05:09, and a recording messenger.
class InstalledWindows : public ::testing::Test {
protected:
    InstalledWindows() : windows(online::CommunityWindows::Install(form, Options())) { windows.LoadHiddenWindows(); }

    online::CommunityOptions Options() {
        online::CommunityOptions options;
        options.Sender = &sender;
        options.UserName = &player;
        options.TimeOfDay = [] { return std::string("14:05:09"); };
        return options;
    }

    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    testing_support::RecordingMessageSender sender;
    FixedUserName player{"jenny"};
    online::CommunityWindows& windows;
};

}  // namespace community_tests
