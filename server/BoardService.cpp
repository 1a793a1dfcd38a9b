#include "server/BoardService.h"

#include "online/LeaderBoardProtocol.h"

namespace server {

BoardService::BoardService(ServiceSettings settings, ScoreStore& store, ServerLog& log, QObject* parent)
    : Service(std::move(settings), online::leaderboard::GameToServerGrammar(), log, parent), store_(store) {}

void BoardService::Received(ClientConnection& client, const std::string& message) {
    const BoardAnswer answer = AnswerBoardMessage(message, store_);
    Log(client, answer.log);
    if (answer.reply) client.Send(*answer.reply);
}

}  // namespace server
