#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <string>

#include "online/MessageChannel.h"
#include "server/FloodGuard.h"

// One client on one of the server's ports: its socket, its message reader
// and the limits that keep a hostile or broken client from hurting the
// server or the other players. Everything it holds is capped:
//  - what it sends that makes no whole message yet (the reader's cap);
//  - what it may send per second (its FloodGuard budget): each message is
//    paid for as it is handed out, and once past the budget the rest waits,
//    in the reader and in the system's small receive buffer; one that keeps
//    sending past its budget is dropped;
//  - what waits to go out to it (the socket's send queue limit, and the
//    system's send buffer): a client that stops reading is dropped once its
//    queue would pass the limit.
namespace server {

class LoopWatch;

struct ClientLimits {
    SendBudget budget;
    // What each message costs beyond its bytes, so that a stream of tiny
    // messages, each asking for an answer, is a flood too.
    std::size_t costPerMessage = 64;
    // The most bytes that may wait to go out to the client.
    std::int32_t sendQueue = 64 * 1024;
    // The system's own send buffer for the client (0: the system's choice,
    // which grows to megabytes for a client that does not read). Small, it
    // bounds what a client costs in the kernel too, and a client that stops
    // reading shows sooner.
    std::int32_t systemSendBuffer = 0;
    // The system's receive buffer for the client (0: the system's choice).
    // Small, what waits there beyond the budget holds the client back soon.
    std::int32_t systemReceiveBuffer = 0;
    // A client whose machine sleeps, or loses its network, never closes:
    // after this long without a byte from it the system asks whether it is
    // still there, every keepAliveInterval, and gives it up after
    // keepAliveProbes unanswered questions (2 minutes in all), so it does
    // not keep its place in the per-address limit for good.
    std::chrono::seconds keepAliveIdle{60};
    std::chrono::seconds keepAliveInterval{10};
    std::int32_t keepAliveProbes = 6;
    // The same for a client that receives (the chat sends to every player):
    // what the server sent may wait this long for its acknowledgement.
    std::chrono::milliseconds unacknowledged{120000};
};

class ClientConnection final : public QObject {
    Q_OBJECT
public:
    // `loop` tells how long the server was too busy to read (null: never).
    ClientConnection(std::uint64_t id, const online::Grammar& grammar, const ClientLimits& limits,
                     const LoopWatch* loop = nullptr, QObject* parent = nullptr);

    // Takes over the connection waiting on a listener. False when it is
    // gone already.
    bool Accept(std::int32_t requestID);

    // Queues one message to the client. A client whose queue it would take
    // past the limit has stopped reading: it is dropped instead. Nothing
    // goes to a client that has closed.
    void Send(const std::string& message);
    // Drops a client whose queue would pass the limit (also for owners that
    // keep messages of their own for it before they send them).
    void DropAsStalled();
    // Closes the connection and reports Gone (once). Safe to call from the
    // client's own handlers.
    void Drop(const std::string& reason);
    // Owes the client this much more budget (an answer the server asked for).
    void Grant(std::size_t bytes) { guard_.Grant(bytes); }
    const FloodGuard& Budget() const { return guard_; }
    // Whether its reading waits for its budget to refill.
    bool Held() const { return hold_.isActive(); }
    // The budget's end of a hold has come: reads on, holds on or drops.
    void Hold_Timer();

    std::uint64_t Id() const { return id_; }
    // The client's IP address (known from the moment it is taken over,
    // even to handlers of what it sent before).
    const std::string& Address() const;
    bool Connected() const { return !gone_; }
    std::int32_t BytesToSend() const { return channel_->Socket().BytesToSend(); }
    std::size_t BytesHeld() const { return channel_->Reader().BytesHeld(); }
    online::MessageChannel& Channel() { return *channel_; }

signals:
    void MessageReceived(const std::string& message);
    // The client left or was dropped; `reason` says which, for the log.
    // The object deletes itself once control returns to the event loop.
    void Gone(const std::string& reason);

private:
    void Channel_Message(const std::string& message);
    void Socket_DataArrival(int bytesTotal);
    void Spend(std::size_t bytes);
    // Bytes the reader threw away since they were last paid for.
    std::size_t SkippedSinceLastPaid();
    // Applies the budget's verdict to the reading.
    void LookAtBudget();
    // Whether the client has sent bytes not handled yet: in the reader, or
    // waiting to be read.
    bool MoreWaiting() const;
    // Its connection failed: what it sent is handed out, then it is dropped.
    void Lost(const std::string& reason);
    // It closed, or its connection failed: it reads nothing more, and its
    // budget no longer matters.
    bool PeerGone() const;

    std::uint64_t id_;
    ClientLimits limits_;
    const LoopWatch* loop_;
    online::MessageChannel* channel_;
    FloodGuard guard_;
    QTimer hold_;
    mutable std::string address_;
    std::uint64_t skippedPaid_ = 0;  // the reader's skipped bytes paid for so far
    bool lost_ = false;  // the connection failed; it is dropped from the event loop
    bool gone_ = false;
};

// " (2 messages and 40 bytes of an unfinished one it sent thrown away)" for
// the log line of a client let go; empty when nothing was.
std::string UnhandledText(std::size_t messages, std::size_t bytes);

}  // namespace server
