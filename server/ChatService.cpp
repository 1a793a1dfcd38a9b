#include "server/ChatService.h"

#include "online/ChatProtocol.h"

namespace server {

ChatService::ChatService(ServiceSettings settings, const PlayerDirectory* directory, ServerLog& log, QObject* parent)
    : Service(std::move(settings), online::chat::GameToServerGrammar(), log, parent), room_(directory) {}

void ChatService::Joined(ClientConnection& client) { room_.Join(client.Id(), client.Address()); }

void ChatService::Received(ClientConnection& client, const std::string& message) {
    // It may speak before it is taken in fully.
    room_.Join(client.Id(), client.Address());
    const ChatRoom::Reply reply = room_.Received(client.Id(), message);
    if (reply.to == ChatRoom::Reply::To::Sender) {
        client.Send(reply.text);
        return;
    }
    ForEachClient([&](ClientConnection& member) { member.Send(reply.text); });
}

void ChatService::Left(ClientConnection& client) { room_.Leave(client.Id()); }

}  // namespace server
