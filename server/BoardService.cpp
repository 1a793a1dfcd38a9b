#include "server/BoardService.h"

#include "online/LeaderBoardProtocol.h"

namespace server {

BoardService::BoardService(ServiceSettings settings, ScoreStore& store, ServerLog& log, QObject* parent)
    : Service(std::move(settings), online::leaderboard::GameToServerGrammar(), log, parent), store_(store) {
    commit_.setSingleShot(true);
    commit_.setInterval(0);
    connect(&commit_, &QTimer::timeout, this, &BoardService::Commit_Timer);
}

BoardService::~BoardService() { Commit_Timer(); }

void BoardService::Received(ClientConnection& client, const std::string& message) {
    const std::size_t pendingBefore = store_.Pending();
    const BoardAnswer answer = AnswerBoardMessage(message, store_);
    // A store that gave its transaction up took the scores before this one
    // with it.
    if (answer.score && !answer.kept && store_.Pending() < pendingBefore) LoseWaiting(store_.LastError());
    if (answer.kept) {
        waiting_.push_back({client.Id(), client.Address(), answer.described});
    } else {
        LogMessage(client, answer.score ? RepeatSummary::Event::Score : RepeatSummary::Event::Message, answer.log);
    }
    if (answer.reply) client.Send(*answer.reply);
    if (waiting_.size() >= kMostWaiting) {
        Commit_Timer();
    } else if (!waiting_.empty() && !commit_.isActive()) {
        commit_.start();
    }
}

void BoardService::Commit_Timer() {
    commit_.stop();
    if (waiting_.empty() && store_.Pending() == 0) return;
    if (!store_.Commit()) {
        const std::size_t lost = waiting_.size();
        Log("could not write " + std::to_string(lost) + (lost == 1 ? " score" : " scores") +
            " to the board: " + store_.LastError());
        LoseWaiting("not written to the board");
        return;
    }
    std::vector<Waiting> written;
    written.swap(waiting_);
    for (const Waiting& score : written) {
        LogMessage(score.client, score.address, RepeatSummary::Event::Score, "score " + score.described);
    }
}

void BoardService::LoseWaiting(const std::string& why) {
    std::vector<Waiting> lost;
    lost.swap(waiting_);
    for (const Waiting& score : lost) {
        LogMessage(score.client, score.address, RepeatSummary::Event::LostScore,
                   "lost the score of " + score.described + ": " + why);
    }
}

}  // namespace server
