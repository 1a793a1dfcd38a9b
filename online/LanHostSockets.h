#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "online/LanHost.h"
#include "online/ServerPorts.h"

namespace net {
class Socket;
}

namespace online {

class MessageChannel;

// `Socket1`, the LAN host's sockets: element 0 listens for players on every
// address of the machine, and each accepted connection is an element of its
// own, read through a MessageChannel with the players' grammar. Elements are
// known to the host by the connection id it gave them; an element whose
// connection the host has closed carries the next one, so the array grows
// only to the most connections held at once.
class LanHostSockets : public QObject {
    Q_OBJECT
public:
    // The most bytes a player's connection may have waiting to go out. A
    // player that stops reading is dropped there instead of making the
    // host hold ever more frames and answers for it.
    static constexpr int kSendQueueLimit = 64 * 1024;

    explicit LanHostSockets(QObject* parent = nullptr, int port = kLanRacePort);

    // The port Listen() binds; 0 lets the system choose one (tests).
    void SetPort(int port) { port_ = port; }
    // Closes the listener and listens afresh. False when the port could not
    // be bound or listened on.
    bool Listen();
    void StopListening();
    bool Listening() const;
    // The port the listener is bound to.
    int ListeningPort() const;

    // Takes a waiting connection (from a ConnectionRequest handler) into a
    // free element for the connection `id`. False when it could not. A
    // connection that leaves what the host sent unacknowledged for
    // lan::kUnacknowledgedTimeoutMs (its player was cut off) ends in error.
    bool Accept(int requestID, lan::ConnectionId id);
    // A send the connection cannot take (its player stopped reading) closes
    // it, and ConnectionClosed follows from the event loop.
    void Send(lan::ConnectionId id, const std::string& text);
    // Closes the connection's element and frees it for another connection.
    void Close(lan::ConnectionId id);
    // Cuts the connection off at once: what it holds unsent is thrown away
    // and its player hears a reset, so nothing of it arrives later. Then as
    // Close.
    void Reset(lan::ConnectionId id);
    // The socket state of the connection's element (closed for none).
    int State(lan::ConnectionId id) const;
    // Whether the connection is up and its player has acknowledged all
    // that was sent on it.
    bool CaughtUp(lan::ConnectionId id) const;
    // What the connection's player has acknowledged of what was sent on
    // it, in bytes from its start, and whether it is still connected. Once
    // the connection has ended (closed, reset, cut off) the count is what
    // had been acknowledged by then, until Close(id).
    lan::LinkState Link(lan::ConnectionId id) const;
    // Bytes sent on the connection that its socket still holds, the system
    // having taken no more (0 for none).
    int Queued(lan::ConnectionId id) const;
    // The element that carries the connection; -1 for none.
    int ElementOf(lan::ConnectionId id) const;

    // Element 0 is the listener.
    net::Socket& Element(int index) const;
    int Count() const { return static_cast<int>(elements_.size()) + 1; }

    // Tests shorten the quiet gap after which a message without an end mark
    // is whole.
    void SetIdleGap(std::chrono::milliseconds gap);

signals:
    // A player is connecting: the handler calls Accept, or it is refused.
    void ConnectionRequest(int requestID);
    void MessageReceived(lan::ConnectionId id, const std::string& message);
    // The player closed, the connection failed (reset, or cut off), or the
    // player sent more than a message may hold; the element is closed and
    // stays the connection's until Close(id).
    void ConnectionClosed(lan::ConnectionId id);

private:
    struct Carrier {
        MessageChannel* channel = nullptr;
        lan::ConnectionId id = 0;  // 0: free
        // The system's count when the connection was taken, and at its end.
        std::int64_t acknowledgedAtStart = 0;
        std::optional<std::int64_t> acknowledgedAtEnd;
    };
    Carrier* Find(lan::ConnectionId id);
    const Carrier* Find(lan::ConnectionId id) const;
    Carrier& FreeCarrier();
    // The connection a channel carries now; 0 for none.
    lan::ConnectionId IdOf(const MessageChannel* channel) const;
    void Lost(MessageChannel* channel);
    // Keeps what the player of a connection that is ending acknowledged
    // (the count goes with the descriptor).
    static void KeepAcknowledged(Carrier& carrier);

    net::Socket* listener_;
    std::vector<Carrier> elements_;  // element n is elements_[n - 1]
    int port_;
    std::chrono::milliseconds idleGap_;
};

}  // namespace online
