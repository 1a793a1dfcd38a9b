#pragma once

#include <optional>
#include <string>

// Modal message boxes and input boxes. Every window asks through this
// interface, so tests can put a recorder in its place that answers for the
// player. Texts are game text (Windows-1252 bytes). The interface needs no
// display; the real boxes are QtDialogs (platform/QtDialogs.h).
namespace platform {

// Buttons and icon of a message box, combined by adding one of each group.
enum MsgBoxStyle : int {
    kOkOnly = 0,
    kOkCancel = 1,
    kAbortRetryIgnore = 2,
    kYesNoCancel = 3,
    kYesNo = 4,
    kRetryCancel = 5,
    kCritical = 16,
    kQuestion = 32,
    kExclamation = 48,
    kInformation = 64,
};

enum MsgBoxResult : int { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };

// The application's title, used when a box names no title of its own.
inline constexpr const char* kAppTitle = "Trotwick";

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal box and returns the button pressed.
    virtual int MsgBox(const std::string& prompt, int style = kOkOnly, const std::string& title = kAppTitle) = 0;
    // Asks for a line of text; nothing when the player cancels.
    virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title = kAppTitle,
                                                const std::string& defaultText = "") = 0;
};

// The boxes for code that has no window of its own to ask through (a
// socket's error box that an event handler asked for). The game installs its
// real boxes at start-up; until then, and in a program without a display,
// there are none (null).
void SetDefaultDialogs(Dialogs* dialogs);
Dialogs* DefaultDialogs();

}  // namespace platform
