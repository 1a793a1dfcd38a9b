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

// The windows' options for a test: a recording messenger, a fixed player
// and a clock that always says 14:05:09.
inline online::CommunityOptions TestOptions(platform::MessageSender& sender, platform::UserNameSource& player) {
    online::CommunityOptions options;
    options.Sender = &sender;
    options.UserName = &player;
    options.TimeOfDay = [] { return std::string("14:05:09"); };
    return options;
}

// A main window with the chat and contacts windows installed and loaded
// hidden, as start-up leaves them: the player "jenny", a clock that always
// says 14:05:09, and a recording messenger.
class InstalledWindows : public ::testing::Test {
protected:
    InstalledWindows() : windows(online::CommunityWindows::Install(form, TestOptions(sender, player))) {
        windows.LoadHiddenWindows();
    }

    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    testing_support::RecordingMessageSender sender;
    FixedUserName player{"jenny"};
    online::CommunityWindows& windows;
};

}  // namespace community_tests
