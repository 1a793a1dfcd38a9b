#pragma once

#include "server/ChatRoom.h"
#include "server/Service.h"

// Port 3113: the chat.
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
    ChatRoom room_;
};

}  // namespace server
