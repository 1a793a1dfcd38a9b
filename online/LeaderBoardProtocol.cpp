#include "online/LeaderBoardProtocol.h"

#include "runtime/Overloaded.h"

namespace online::leaderboard {

namespace {

constexpr std::string_view kQuery = "LEADER?";
constexpr std::string_view kScore = "SCORE:";
constexpr std::string_view kTopPlayer = "LEADER:";

}  // namespace

std::string Format(const GameMessage& message) {
    return std::visit(runtime::Overloaded{
                          [](const TopPlayerQuery& m) { return std::string(kQuery) + m.name; },
                          [](const ScoreSubmission& m) { return std::string(kScore) + m.code; },
                      },
                      message);
}

std::string Format(const ServerMessage& message) {
    return std::visit(runtime::Overloaded{
                          [](const TopPlayer& m) { return std::string(kTopPlayer) + m.code; },
                      },
                      message);
}

std::optional<GameMessage> RecogniseGameMessage(std::string_view text) {
    if (text.starts_with(kQuery)) return TopPlayerQuery{std::string(text.substr(kQuery.size()))};
    if (text.starts_with(kScore)) return ScoreSubmission{std::string(text.substr(kScore.size()))};
    return std::nullopt;
}

std::optional<ServerMessage> RecogniseServerMessage(std::string_view text) {
    if (text.starts_with(kTopPlayer)) return TopPlayer{std::string(text.substr(kTopPlayer.size()))};
    return std::nullopt;
}

const Grammar& GameToServerGrammar() {
    static const KeywordGrammar grammar({
        {kQuery, Tail::Text},
        {kScore, Tail::ScoreCode},
    });
    return grammar;
}

const Grammar& ServerToGameGrammar() {
    static const KeywordGrammar grammar({
        {kTopPlayer, Tail::ScoreCode},
    });
    return grammar;
}

std::string ScoreMessage(const ScoreRecord& record) { return Format(ScoreSubmission{EncodeScoreCode(record)}); }

std::string TopPlayerMessage(const ScoreRecord& record) { return Format(TopPlayer{EncodeScoreCode(record)}); }

std::string BoardSession::Connected(std::string_view userName) {
    state_ = LinkState::Connected;
    submitting_ = false;
    return Format(TopPlayerQuery{std::string(userName)});
}

std::optional<ScoreRecord> BoardSession::Received(std::string_view message) {
    if (state_ == LinkState::Connected) {
        if (const auto known = RecogniseServerMessage(message)) {
            // The fields change only when the whole record reads.
            if (auto record = DecodeScoreCode(std::get<TopPlayer>(*known).code)) return record;
        }
    }
    ++ignored_;
    return std::nullopt;
}

Submission BoardSession::Closed() {
    state_ = LinkState::Closed;
    const bool lost = submitting_;
    submitting_ = false;
    return lost ? Submission::NotSent : Submission::None;
}

std::optional<std::string> BoardSession::Submit(const ScoreRecord& mine) {
    if (state_ != LinkState::Connected) return std::nullopt;
    submitting_ = true;
    return ScoreMessage(mine);
}

Submission BoardSession::SendDone() {
    const bool sent = submitting_;
    submitting_ = false;
    return sent ? Submission::Sent : Submission::None;
}

std::string Caption(LinkState state, bool serverSet) {
    const bool connecting = state == LinkState::Connecting || (state == LinkState::Closed && serverSet);
    return std::string(connecting ? kConnectingCaption : kCaption);
}

}  // namespace online::leaderboard
