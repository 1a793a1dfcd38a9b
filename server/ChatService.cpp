#include "server/ChatService.h"

#include "online/ChatProtocol.h"

namespace server {

ChatService::ChatService(ServiceSettings settings, const PlayerDirectory* directory, ServerLog& log, QObject* parent)
    : Service(std::move(settings), online::chat::GameToServerGrammar(), log, parent), room_(directory) {
    flush_.setSingleShot(true);
    flush_.setInterval(0);
    connect(&flush_, &QTimer::timeout, this, &ChatService::Flush_Timer);
}

void ChatService::Joined(ClientConnection& client) { room_.Join(client.Id(), client.Address()); }

void ChatService::Received(ClientConnection& client, const std::string& message) {
    // It may speak before it is taken in fully.
    room_.Join(client.Id(), client.Address());
    const ChatRoom::Reply reply = room_.Received(client.Id(), message);
    if (reply.to == ChatRoom::Reply::To::Sender) {
        ToPlayer(client, reply.text);
        return;
    }
    ForEachClient([&](ClientConnection& member) { ToPlayer(member, reply.text); });
}

void ChatService::Left(ClientConnection& client) {
    room_.Leave(client.Id());
    outbox_.erase(client.Id());
}

void ChatService::ToPlayer(ClientConnection& client, const std::string& text) {
    std::string& waiting = outbox_[client.Id()];
    // What waits here counts against the client's queue like what waits in
    // the socket: past the limit, it has stopped reading.
    if (waiting.size() + text.size() + static_cast<std::size_t>(client.BytesToSend()) >
        static_cast<std::size_t>(Settings().limits.sendQueue)) {
        client.DropAsStalled();  // Left() empties its outbox
        return;
    }
    waiting += text;
    if (!flush_.isActive()) flush_.start();
}

void ChatService::Flush_Timer() {
    std::map<std::uint64_t, std::string> ready;
    ready.swap(outbox_);
    for (auto& [id, text] : ready) {
        if (ClientConnection* client = Find(id)) client->Send(text);
    }
}

}  // namespace server
