#pragma once

#include <QTimer>
#include <map>

#include "server/ChatRoom.h"
#include "server/Service.h"

// Port 3113: the chat. What goes to each player is gathered while the
// server reads, and sent once the read is done: a burst of lines from one
// player reaches each other player in one send, not one send per line.
namespace server {

class ChatService final : public Service {
    Q_OBJECT
public:
    ChatService(ServiceSettings settings, const PlayerDirectory* directory, ServerLog& log, QObject* parent = nullptr);

    const ChatRoom& Room() const { return room_; }

protected:
    void Joined(ClientConnection& client) override;
    void Received(ClientConnection& client, const std::string& message) override;
    void Left(ClientConnection& client) override;

private:
    void ToPlayer(ClientConnection& client, const std::string& text);
    void Flush_Timer();

    ChatRoom room_;
    std::map<std::uint64_t, std::string> outbox_;
    QTimer flush_;
};

}  // namespace server
