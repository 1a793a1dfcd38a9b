#include "server/BoardDesk.h"

#include "online/LeaderBoardProtocol.h"
#include "runtime/Numbers.h"
#include "runtime/Overloaded.h"
#include "server/ServerLog.h"

namespace server {

namespace {

std::string Describe(const online::ScoreRecord& s) {
    return PeerText(s.Name) + " level " + runtime::NumberText(s.Level) + ", won " + runtime::NumberText(s.LANwon) +
           ", lost " + runtime::NumberText(s.LANlost) + ", wager " + runtime::NumberText(s.LANwager);
}

}  // namespace

BoardAnswer AnswerBoardMessage(const std::string& message, ScoreStore& store) {
    namespace board = online::leaderboard;
    const auto known = board::RecogniseGameMessage(message);
    if (!known) return {std::nullopt, "ignored " + PeerText(message, 16) + ": no question and no score"};
    return std::visit(
        runtime::Overloaded{
            [&](const board::TopPlayerQuery& query) -> BoardAnswer {
                const auto top = store.Top();
                return {board::TopPlayerMessage(top.value_or(NoTopPlayerYet())),
                        "asked for the top player as " + PeerText(query.name) + ": " +
                            (top ? Describe(*top) : std::string("none yet"))};
            },
            [&](const board::ScoreSubmission& submission) -> BoardAnswer {
                const auto score = online::DecodeScoreCode(submission.code);
                if (!score) return {std::nullopt, "ignored a score code that does not read"};
                const std::string described = Describe(*score);
                if (!store.Record(*score)) {
                    return {std::nullopt, "could not keep the score of " + described + ": " + store.LastError(), true,
                            false, described};
                }
                return {std::nullopt, "score " + described, true, true, described};
            },
        },
        *known);
}

}  // namespace server
