#include "online/ChatProtocol.h"

#include "runtime/Overloaded.h"

namespace online::chat {

namespace {

constexpr std::string_view kList = "LIST0";
constexpr std::string_view kStampOpen = " [";
constexpr std::string_view kStampClose = "]:\r\n";
constexpr std::string_view kLineEnd = "\r\n";

// Cuts chat lines and list requests.
class ChatLineGrammar final : public Grammar {
public:
    Cut Next(std::string_view pending, bool idle) const override {
        if (pending.starts_with(kList)) return Cut::Take(kList.size());
        if (kList.starts_with(pending) && !idle) return Cut::More();

        const std::string_view head = pending.substr(0, kMaxStamp + kStampClose.size());
        const std::size_t stamp = head.find(kStampClose);
        // A stamp is one line: a line end before it ends some noise.
        const std::size_t lineEnd = head.find(kLineEnd);
        if (lineEnd != std::string_view::npos && (stamp == std::string_view::npos || lineEnd < stamp + 2)) {
            return SkipLine(pending);
        }
        if (stamp == std::string_view::npos) {
            if (pending.size() < kMaxStamp + kStampClose.size() && !idle) return Cut::More();
            return SkipLine(pending);
        }
        const std::size_t lineStart = stamp + kStampClose.size();
        const std::size_t end = pending.substr(0, lineStart + kMaxLine + kLineEnd.size()).find(kLineEnd, lineStart);
        if (end != std::string_view::npos) return Cut::Take(end + kLineEnd.size());
        if (pending.size() - lineStart < kMaxLine + kLineEnd.size() && !idle) return Cut::More();
        // A line without its end, or too long: give it up.
        return Cut::Drop(lineStart);
    }

private:
    // Bytes that begin no message: skip through the next line end, where a
    // new message may begin.
    static Cut SkipLine(std::string_view pending) {
        const std::size_t end = pending.find(kLineEnd);
        return Cut::Drop(end == std::string_view::npos ? pending.size() : end + kLineEnd.size());
    }
};

class BurstGrammar final : public Grammar {
public:
    Cut Next(std::string_view pending, bool idle) const override {
        if (idle) return Cut::Take(pending.size());
        if (pending.size() < kBurstLimit) return Cut::More();
        const std::size_t lastLine = pending.rfind('\n');
        return Cut::Take(lastLine == std::string_view::npos ? pending.size() : lastLine + 1);
    }
};

}  // namespace

std::string Format(const GameMessage& message) {
    return std::visit(runtime::Overloaded{
                          [](const ChatLine& m) {
                              return m.user + std::string(kStampOpen) + m.time + std::string(kStampClose) + m.line +
                                     std::string(kLineEnd);
                          },
                          [](const ListRequest&) { return std::string(kList); },
                      },
                      message);
}

std::string OneLine(std::string_view typed) {
    std::string line(typed);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

std::optional<GameMessage> RecogniseGameMessage(std::string_view text) {
    if (text == kList) return ListRequest{};
    const std::size_t stamp = text.find(kStampClose);
    if (stamp == std::string_view::npos || !text.ends_with(kLineEnd)) return std::nullopt;
    const std::size_t open = text.substr(0, stamp).rfind(kStampOpen);
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t lineStart = stamp + kStampClose.size();
    if (text.size() < lineStart + kLineEnd.size()) return std::nullopt;
    return ChatLine{std::string(text.substr(0, open)),
                    std::string(text.substr(open + kStampOpen.size(), stamp - open - kStampOpen.size())),
                    std::string(text.substr(lineStart, text.size() - lineStart - kLineEnd.size()))};
}

std::string PlayerList(const std::vector<std::string>& names) {
    std::string text = "In the chat (" + std::to_string(names.size()) + "):" + std::string(kLineEnd);
    for (const std::string& name : names) {
        for (const char c : name) text += (c == '\r' || c == '\n') ? ' ' : c;
        text += kLineEnd;
    }
    return text;
}

const Grammar& GameToServerGrammar() {
    static const ChatLineGrammar grammar;
    return grammar;
}

const Grammar& ServerToGameGrammar() {
    static const BurstGrammar grammar;
    return grammar;
}

ChatLog::ChatLog(std::size_t cap) : text_(kLogDesignText), cap_(cap) {}

ChatLog::Change ChatLog::Append(std::string_view serverText) {
    Change change;
    change.appended = std::string(kLineEnd);
    change.appended += serverText;
    text_ += change.appended;
    if (text_.size() > cap_) {
        std::size_t cut = text_.size() - cap_;
        // Start the kept part at a line, or at least not between CR and LF.
        const std::size_t nextLine = text_.find('\n', cut - 1);
        if (nextLine != std::string::npos && nextLine + 1 < text_.size()) {
            cut = nextLine + 1;
        } else if (text_[cut - 1] == '\r' && text_[cut] == '\n') {
            ++cut;
        }
        change.removed = text_.substr(0, cut);
        text_.erase(0, cut);
    }
    return change;
}

}  // namespace online::chat
