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
    const BoardAnswer answer = AnswerBoardMessage(message, store_);
    LogMessage(client, answer.score ? RepeatSummary::Event::Score : RepeatSummary::Event::Message, answer.log);
    if (answer.reply) client.Send(*answer.reply);
    if (store_.Pending() > 0 && !commit_.isActive()) commit_.start();
}

void BoardService::Commit_Timer() {
    commit_.stop();
    const std::size_t pending = store_.Pending();
    if (pending > 0 && !store_.Commit()) {
        Log("could not write " + std::to_string(pending) + (pending == 1 ? " score" : " scores") +
            " to the board: " + store_.LastError());
    }
}

}  // namespace server
