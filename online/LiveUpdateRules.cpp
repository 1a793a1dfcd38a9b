#include "online/LiveUpdateRules.h"

#include <charconv>

#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace online::liveupdate {

std::string CannotSaveNotice(std::string_view folder) {
    return "Trotwick Live Update cannot save the new version in " + std::string(folder) +
           " - the folder cannot be written to";
}

std::string PatchWaitingNotice(std::string_view patchPath) {
    return "The new version of Trotwick waits in " + std::string(patchPath) +
           " - press \"Start Patch\" to install it";
}

std::chrono::seconds RetryPause(int failures) {
    if (failures <= 1) return std::chrono::seconds(10);
    if (failures == 2) return std::chrono::seconds(30);
    return std::chrono::minutes(5);
}

const Grammar& ServerToGameGrammar() {
    static const KeywordGrammar grammar({{kVersionKeyword, Tail::Text}});
    return grammar;
}

std::optional<std::int32_t> ParseVersion(std::string_view message) {
    if (message.substr(0, kVersionKeyword.size()) != kVersionKeyword) return std::nullopt;
    const std::string_view number = message.substr(kVersionKeyword.size());
    const std::size_t digitsFrom = !number.empty() && number.front() == '-' ? 1 : 0;
    if (number.size() == digitsFrom) return std::nullopt;
    for (std::size_t i = digitsFrom; i < number.size(); ++i) {
        if (number[i] < '0' || number[i] > '9') return std::nullopt;
    }
    std::int32_t version = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), version);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return version;
}

std::string FormatAnswer(Answer answer, std::string_view user, std::int32_t programVersion) {
    return std::string(answer == Answer::Accept ? "ACCEPT" : "REJECT") + std::string(user) + ":" +
           runtime::NumberText(programVersion);
}

std::string FormatVersion(std::int32_t newestVersion) {
    return std::string(kVersionKeyword) + runtime::NumberText(newestVersion);
}

namespace {
constexpr std::string_view kReject = "REJECT";
constexpr std::string_view kAccept = "ACCEPT";
}  // namespace

const Grammar& GameToServerGrammar() {
    static const KeywordGrammar grammar({{kReject, Tail::Text}, {kAccept, Tail::Text}});
    return grammar;
}

std::optional<VersionAnswer> RecogniseAnswer(std::string_view message) {
    VersionAnswer answer;
    if (message.starts_with(kAccept)) {
        answer.answer = Answer::Accept;
    } else if (!message.starts_with(kReject)) {
        return std::nullopt;
    }
    const std::string_view rest = message.substr(kAccept.size());
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    answer.user = std::string(rest.substr(0, colon));
    answer.version = ParseVersion(std::string(kVersionKeyword) + std::string(rest.substr(colon + 1)));
    return answer;
}

std::string RateCaption(std::int32_t bytesPerSecond) {
    const double kilobytes = runtime::Round(static_cast<double>(bytesPerSecond) / 1000.0);
    return "Trotwick Zircona - (" + runtime::NumberText(static_cast<std::int64_t>(kilobytes)) + "KB/sec)";
}

bool IsServerAddress(std::string_view text) {
    if (text.empty() || text.size() > 253) return false;
    std::size_t labelStart = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            const std::string_view label = text.substr(labelStart, i - labelStart);
            if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
            labelStart = i + 1;
            continue;
        }
        const char c = text[i];
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '-' || c == '_';
        if (!allowed) return false;
    }
    return true;
}

bool NeedsReconnect(std::int32_t socketState, std::string_view server) {
    constexpr std::int32_t kConnected = 7;
    return socketState != kConnected && !server.empty();
}

// ---- UpdateCheck -----------------------------------------------------------

bool UpdateCheck::ManualCheckExpired() {
    const bool pending = manual_;
    manual_ = false;
    return pending;
}

VersionDecision UpdateCheck::OnMessage(std::string_view message) {
    VersionDecision decision;
    if (message.substr(0, kVersionKeyword.size()) != kVersionKeyword) return decision;
    const bool manual = manual_;
    manual_ = false;
    const std::optional<std::int32_t> version = ParseVersion(message);
    if (!version) {
        stopped_ = true;
        decision.kind = VersionDecision::Kind::Unreadable;
        decision.notice = kUpdateFailed;
        return decision;
    }
    serverVersion_ = *version;
    decision.version = *version;
    if (programVersion_ >= *version) {
        // Nothing newer to fetch: a run of failed fetches is over.
        failures_ = 0;
        retryDue_ = false;
        decision.kind = VersionDecision::Kind::UpToDate;
        decision.answer = Answer::Reject;
        decision.notice = manual ? kUpToDate : nullptr;
        return decision;
    }
    decision.kind = VersionDecision::Kind::Newer;
    decision.answer = Answer::Accept;
    if (downloading_) {
        decision.notice = manual ? kDownloading : nullptr;
    } else if (downloaded_ && *version <= *downloaded_) {
        decision.patchWaiting = manual;
    } else if (!manual && refused_ && *version <= *refused_) {
        // Trying again would end the same way; the player may.
    } else if (!manual && failures_ > 0 && !retryDue_) {
        // The pause after a failed fetch still runs.
    } else {
        decision.notice = manual ? kDownloading : nullptr;
        decision.download = true;
        fetchAsked_ = manual;
    }
    return decision;
}

void UpdateCheck::HandshakeFailed() {
    stopped_ = true;
    manual_ = false;
}

void UpdateCheck::DownloadStarted(std::int32_t version) {
    downloading_ = true;
    fetching_ = version;
    retryDue_ = false;
}

void UpdateCheck::DownloadRefused(std::int32_t version) {
    refused_ = version;
    if (downloading_ && fetching_ == version) {
        downloading_ = false;
        fetchAsked_ = false;
    }
}

void UpdateCheck::DownloadFinished() {
    if (!downloading_) return;
    downloading_ = false;
    downloaded_ = fetching_;
    failures_ = 0;
    retryDue_ = false;
}

FailedFetch UpdateCheck::DownloadFailed() {
    if (!downloading_) return {};
    downloading_ = false;
    if (failures_ < 1000) ++failures_;
    retryDue_ = false;
    FailedFetch failed;
    failed.tell = failures_ == 1 || fetchAsked_;
    failed.pause = RetryPause(failures_);
    fetchAsked_ = false;
    return failed;
}

void UpdateCheck::ServerChanged() {
    failures_ = 0;
    retryDue_ = false;
    refused_.reset();
}

}  // namespace online::liveupdate
