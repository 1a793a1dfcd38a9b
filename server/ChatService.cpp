#include "server/ChatService.h"

#include <vector>

#include "online/ChatProtocol.h"

namespace server {

ChatService::ChatService(ServiceSettings settings, const PlayerDirectory* directory, ServerLog& log, QObject* parent)
    : Service(std::move(settings), online::chat::GameToServerGrammar(), log, parent),
      room_(directory),
      backlog_(kBacklog) {
    flush_.setSingleShot(true);
    flush_.setInterval(0);
    connect(&flush_, &QTimer::timeout, this, &ChatService::Flush_Timer);
}

ChatService::Reader& ChatService::ReaderOf(ClientConnection& client) {
    const auto [it, fresh] = readers_.try_emplace(client.Id());
    if (fresh) {
        it->second.next = backlog_.End();
        const std::uint64_t id = client.Id();
        connect(&client, &ClientConnection::Drained, this, [this, id] { Pump(id); });
    }
    return it->second;
}

void ChatService::Joined(ClientConnection& client) {
    room_.Join(client.Id(), client.Address());
    ReaderOf(client);
}

void ChatService::Received(ClientConnection& client, const std::string& message) {
    // It may speak before it is taken in fully.
    room_.Join(client.Id(), client.Address());
    Reader& reader = ReaderOf(client);
    ChatRoom::Reply reply = room_.Received(client.Id(), message);
    if (reply.to == ChatRoom::Reply::To::Sender) {
        reader.list = std::move(reply.text);
        reader.listAt = backlog_.End();
    } else {
        backlog_.Add(std::move(reply.text));
    }
    if (!flush_.isActive()) flush_.start();
}

void ChatService::Left(ClientConnection& client) {
    room_.Leave(client.Id());
    readers_.erase(client.Id());
}

std::int64_t ChatService::BytesKeptFor(const ClientConnection& client) const {
    const auto it = readers_.find(client.Id());
    if (it == readers_.end()) return 0;
    const Reader& reader = it->second;
    return static_cast<std::int64_t>(backlog_.BytesFrom(reader.next) + (reader.list ? reader.list->size() : 0));
}

void ChatService::Pump(std::uint64_t id) {
    // A send that empties the queue at once says so from inside the send.
    if (pumping_) return;
    pumping_ = true;
    for (;;) {
        ClientConnection* client = Find(id);
        const auto it = readers_.find(id);
        // What the system does not take waits for the queue to empty.
        if (!client || it == readers_.end() || !client->Connected() || client->BytesToSend() > 0) break;
        Reader& reader = it->second;
        if (reader.next < backlog_.Begin()) {
            if (!reader.fellBehind) {
                LogMessage(*client, RepeatSummary::Event::Message,
                           "fell more than " + std::to_string(kBacklog) + " bytes behind the chat: " +
                               std::to_string(backlog_.Begin() - reader.next) + " lines it had not taken were skipped");
            }
            reader.fellBehind = true;
            reader.next = backlog_.Begin();
        }
        std::string piece;
        if (reader.list && reader.listAt <= reader.next) {
            piece = std::move(*reader.list);
            reader.list.reset();
        } else {
            const std::uint64_t until = reader.list ? reader.listAt : backlog_.End();
            if (reader.next >= until) break;
            reader.next = backlog_.Take(reader.next, until, kPiece, piece);
        }
        client->Send(piece);  // may let the client go
    }
    pumping_ = false;
}

void ChatService::Flush_Timer() {
    std::vector<std::uint64_t> ids;
    ids.reserve(readers_.size());
    for (const auto& [id, reader] : readers_) ids.push_back(id);
    for (const std::uint64_t id : ids) Pump(id);
}

}  // namespace server
