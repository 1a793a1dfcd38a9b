#pragma once

#include <QTimer>
#include <map>
#include <optional>

#include "server/ChatBacklog.h"
#include "server/ChatRoom.h"
#include "server/Service.h"

// Port 3113: the chat. What is relayed is kept once, in the chat's backlog,
// and each player takes it from there as fast as its connection takes it:
// what arrives while the server reads goes out once the read is done, a
// burst of lines in one send, and a player whose connection is full gets
// the rest as it empties. Nobody is dropped for what a busy moment brought;
// a player that takes nothing of what waits for it for a while has stopped
// reading and is let go, and one that falls more than the backlog behind
// misses the oldest lines it had not taken.
namespace server {

class ChatService final : public Service {
    Q_OBJECT
public:
    // The most bytes the backlog keeps of what players have yet to take.
    static constexpr std::size_t kBacklog = 4 * 1024 * 1024;
    // The most bytes handed to one player's connection at once.
    static constexpr std::size_t kPiece = 16 * 1024;

    ChatService(ServiceSettings settings, const PlayerDirectory* directory, ServerLog& log, QObject* parent = nullptr);

    const ChatRoom& Room() const { return room_; }
    const ChatBacklog& Backlog() const { return backlog_; }

protected:
    void Joined(ClientConnection& client) override;
    void Received(ClientConnection& client, const std::string& message) override;
    void Left(ClientConnection& client) override;
    // A copy of the game may sit in the chat for hours and say nothing.
    bool FirstStepTaken(const ClientConnection&) const override { return true; }
    std::int64_t BytesKeptFor(const ClientConnection& client) const override;

private:
    // Where a player has got to in the backlog.
    struct Reader {
        std::uint64_t next = 0;
        // The list of players it asked for, to go out once it has the
        // texts relayed before it asked; a newer question replaces it.
        std::optional<std::string> list;
        std::uint64_t listAt = 0;
        bool fellBehind = false;  // told in the log once
    };
    Reader& ReaderOf(ClientConnection& client);
    // Hands the player what waits for it, as far as its connection takes it.
    void Pump(std::uint64_t id);
    void Flush_Timer();

    ChatRoom room_;
    ChatBacklog backlog_;
    std::map<std::uint64_t, Reader> readers_;
    QTimer flush_;
    bool pumping_ = false;
};

}  // namespace server
