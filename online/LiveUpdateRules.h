#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "online/FileTransfer.h"
#include "online/MessageReader.h"

// The live update's rules, free of sockets and windows: the version
// handshake on port 2094 and what the game does with its outcome.
//
//   server -> game   "VERSION:" & n                      the newest version
//   game -> server   "REJECT" & user & ":" & version     no update wanted
//   game -> server   "ACCEPT" & user & ":" & version     update wanted; the
//                                                         patch is fetched
//                                                         on port 7812 next
namespace online::liveupdate {

inline constexpr std::string_view kVersionKeyword = "VERSION:";

// What the player is told.
inline constexpr const char* kUpToDate = "Your version of Trotwick is already up to date!";
inline constexpr const char* kDownloading = "New version is downloading - DO NOT CLOSE Trotwick!";
inline constexpr const char* kUpdateFailed = "Trotwick Live Update has failed, please try again later";
inline constexpr const char* kCheckServerSettings = "Trotwick Live Update has failed - Please check server settings";
inline constexpr const char* kDownloaded = "NEW VERSION DOWNLOADED - Please close Trotwick";
inline constexpr const char* kPlainCaption = "Trotwick - Zircona Edition";
inline constexpr const char* kDownloadedCaption = "Trotwick Zircona - PATCH DOWNLOADED, FOLLOW INSTRUCTIONS!";
inline constexpr const char* kInvalidAddress = "Invalid server address. The address has been reset to default";
inline constexpr const char* kInvalidAddressTitle = "Error";
// A folder the patch cannot be saved in.
std::string CannotSaveNotice(std::string_view folder);
// The answer to the player's check while a fetched patch waits to be
// started: where it is, and how to start it.
std::string PatchWaitingNotice(std::string_view patchPath);

// The largest patch the game accepts.
inline constexpr std::uint64_t kMaxPatchSize = transfer::kMaxFileSize;

// Cuts what the server sends. A version is the text after the keyword up to
// the next keyword or the quiet gap, so "VERSION:3" and "0" arriving apart
// make one "VERSION:30", and "VERSION:30abc" stays whole (and is refused).
const Grammar& ServerToGameGrammar();

// The version of a whole message: exactly "VERSION:" and a whole number (an
// optional "-" and decimal digits, within 32 bits). Nothing for anything
// else ("VERSION:30abc", "VERSION:", "VERSION:99999999999", "version:30").
std::optional<std::int32_t> ParseVersion(std::string_view message);

enum class Answer { Reject, Accept };
std::string FormatAnswer(Answer answer, std::string_view user, std::int32_t programVersion);

// ---- The server's side of the handshake -------------------------------------

// "VERSION:" & n: what a server sends as soon as a copy connects.
std::string FormatVersion(std::int32_t newestVersion);

// Cuts what a copy of the game sends: "REJECT" or "ACCEPT", the user and
// the version. The answer has no end mark: it ends where the next answer
// begins or at the quiet gap.
const Grammar& GameToServerGrammar();

// A copy's answer as the server reads it. The user is everything up to the
// last ":" (a name may hold ":"); the version is nothing when the text after
// it is no whole number.
struct VersionAnswer {
    Answer answer = Answer::Reject;
    std::string user;
    std::optional<std::int32_t> version;
    bool operator==(const VersionAnswer&) const = default;
};
// Nothing for a text that is no answer (no keyword, or no ":" after it).
std::optional<VersionAnswer> RecogniseAnswer(std::string_view message);

// The status line while the patch arrives: kilobytes a second, rounded half
// to even (1,500 and 2,500 bytes both show 2).
std::string RateCaption(std::int32_t bytesPerSecond);

// Whether the player's text can name a server: a host name or a dotted
// address (letters, digits, ".", "-" and "_"; labels of 1 to 63 characters
// that neither begin nor end with "-"; at most 253 in all). Blanks, control
// characters and anything else are refused.
bool IsServerAddress(std::string_view text);

// Whether the watchdog connects a server socket again: it is not connected
// (state 7) and there is a server to connect to.
bool NeedsReconnect(std::int32_t socketState, std::string_view server);

// How long the live update waits after the `failures`-th failed fetch in a
// row before it fetches again: 10 s, then 30 s, then 5 minutes each time.
std::chrono::seconds RetryPause(int failures);

// What to do with one message from the server.
struct VersionDecision {
    enum class Kind { Ignored, UpToDate, Newer, Unreadable };
    Kind kind = Kind::Ignored;
    std::int32_t version = 0;
    std::optional<Answer> answer;    // send it
    const char* notice = nullptr;    // show it
    bool patchWaiting = false;       // tell the player where the fetched patch waits
    bool download = false;           // fetch the patch (after answering)
};

// What follows a failed fetch: whether the player is told, and the pause
// before the next try.
struct FailedFetch {
    bool tell = false;
    std::chrono::seconds pause{0};
};

// The state of the update checks of one main window. A check the player
// asked for has its outcome shown; others only act. A version the server
// names is fetched once: not while a fetch runs, and not again once it is
// here (while the patch waits). A fetch that failed, one that could not
// even start included, is tried again after a pause that grows with each
// failure in a row; the player hears of the first failure of such a run,
// and of any fetch they asked for, but not of every retry. A fetch refused
// because trying again would end the same way (the patch cannot be saved
// where the game lives, or it is larger than the game takes) is tried again
// only when the player asks, a newer version comes, or the server changes.
// An unreadable version stops the automatic checks for the rest of the run.
class UpdateCheck {
public:
    explicit UpdateCheck(std::int32_t programVersion) : programVersion_(programVersion) {}

    void ManualCheckRequested() { manual_ = true; }
    bool ManualCheckPending() const { return manual_; }
    // The player's check got no answer: true when that is still to be told.
    bool ManualCheckExpired();

    VersionDecision OnMessage(std::string_view message);
    // The handshake could not go on (a failed send): the checks stop.
    void HandshakeFailed();
    bool ChecksStopped() const { return stopped_; }

    void DownloadStarted(std::int32_t version);
    // Ends the fetch of `version`, if it runs, as refused.
    void DownloadRefused(std::int32_t version);
    void DownloadFinished();
    // Ends the fetch under way as failed (nothing when none runs).
    FailedFetch DownloadFailed();
    bool Downloading() const { return downloading_; }
    // The version fetched last (or now).
    std::int32_t Fetching() const { return fetching_; }

    // The pause after a failed fetch has passed: the next "VERSION:" of a
    // newer version fetches again.
    void RetryDue() { retryDue_ = true; }
    // Failed fetches in a row (0 after a whole one, or when there is no
    // newer version any more).
    int Failures() const { return failures_; }

    // A fetched patch waits to be started; PatchGone when its file went.
    bool PatchWaiting() const { return downloaded_.has_value(); }
    void PatchGone() { downloaded_.reset(); }
    // Another server: what went wrong with the old one is forgotten.
    void ServerChanged();

    std::int32_t ServerVersion() const { return serverVersion_; }
    std::int32_t ProgramVersion() const { return programVersion_; }

private:
    std::int32_t programVersion_;
    std::int32_t serverVersion_ = 0;
    bool manual_ = false;
    bool stopped_ = false;
    bool downloading_ = false;
    bool fetchAsked_ = false;  // the player asked for the fetch under way
    std::int32_t fetching_ = 0;
    std::optional<std::int32_t> downloaded_;
    std::optional<std::int32_t> refused_;
    int failures_ = 0;
    bool retryDue_ = false;
};

}  // namespace online::liveupdate
