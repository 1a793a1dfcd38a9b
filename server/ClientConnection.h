#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "online/MessageChannel.h"
#include "server/FloodGuard.h"
#include "server/TurnShare.h"

// One client on one of the server's ports: its socket, its message reader
// and the limits that keep a hostile or broken client from hurting the
// server or the other players. Everything it holds is capped:
//  - what it sends that makes no whole message yet (the reader's cap), and
//    how long it may keep a message unfinished;
//  - what it may send per second (its FloodGuard budget, and its address's,
//    which all connections from one machine share, reconnections too): each
//    message is paid for as it is handed out, and once past the budget the
//    rest waits, in the reader and in the system's small receive buffer;
//    one that keeps sending past its budget is dropped;
//  - how much of one turn of the event loop its messages take (TurnShare):
//    past its slice, the rest waits for a later turn, its reading held;
//  - what waits to go out to it (the socket's send queue limit, and the
//    system's send buffer): a client whose queue would pass the limit, or
//    that takes nothing of what waits for it for a while, has stopped
//    reading and is dropped.
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
    // What all connections from one address may send together, across
    // reconnections (burst 0: no such budget), and what each connection
    // costs it, so that connecting in a loop spends it too.
    SendBudget addressBudget{};
    std::size_t costPerConnection = 0;
    // A client that has bytes waiting to go out to it and takes none of
    // them for this long has stopped reading.
    std::chrono::milliseconds stalledAfter{20000};
    // A client that keeps a message unfinished this long (it has sent part
    // of one and not the rest, while the server was reading it) is let go.
    std::chrono::milliseconds unfinishedAfter{10000};
};

class ClientConnection final : public QObject, private TurnShare::Taker {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    // `loop` tells how long the server was too busy to read (null: never);
    // `turns` shares out the event loop's turns; `address` is the budget of
    // the client's address (null: none). Each must outlive the client.
    ClientConnection(std::uint64_t id, const online::Grammar& grammar, const ClientLimits& limits, TurnShare& turns,
                     const LoopWatch* loop = nullptr, FloodGuard* address = nullptr, QObject* parent = nullptr);

    // Takes over the connection waiting on a listener. False when it is
    // gone already.
    bool Accept(std::int32_t requestID);

    // Queues one message to the client. A client whose queue it would take
    // past the limit has stopped reading: it is dropped instead. Nothing
    // goes to a client that has closed.
    void Send(const std::string& message);
    // Drops a client that has stopped reading; the log says how many bytes
    // waited for it: in its queue, in the system's, and `alsoWaiting` more
    // that its port kept for it.
    void DropAsStalled(std::int64_t alsoWaiting = 0);
    // Closes the connection and reports Gone (once). Safe to call from the
    // client's own handlers.
    void Drop(const std::string& reason);
    // Owes the client this much more budget (an answer the server asked for).
    void Grant(std::size_t bytes);
    const FloodGuard& Budget() const { return guard_; }
    // Whether its reading waits for its budget to refill.
    bool Held() const { return hold_.isActive(); }
    // Whether it waits for a turn of the event loop.
    bool WaitingForTurn() const { return waitingTurn_; }
    // The budget's end of a hold has come: reads on, holds on or drops.
    void Hold_Timer();

    // Since when it has had bytes waiting to go out that the system took
    // none of (nothing while none wait).
    std::optional<Clock::time_point> WaitingToBeReadSince() const;
    // Since when it has kept a message unfinished while it was read
    // (nothing while it has not).
    std::optional<Clock::time_point> UnfinishedSince() const;

    std::uint64_t Id() const { return id_; }
    // The client's IP address (known from the moment it is taken over,
    // even to handlers of what it sent before).
    const std::string& Address() const;
    bool Connected() const { return !gone_; }
    // When it was taken in, and how many of its messages were handed out.
    Clock::time_point Since() const { return since_; }
    std::uint64_t MessagesHandled() const { return handled_; }
    std::int32_t BytesToSend() const { return channel_->Socket().BytesToSend(); }
    // Bytes it sent that wait here: unfinished, or whole and not yet
    // handed out.
    std::size_t BytesHeld() const { return channel_->Reader().BytesHeld() + laterBytes_; }
    online::MessageChannel& Channel() { return *channel_; }

signals:
    void MessageReceived(const std::string& message);
    // Everything queued for the client has gone to the system.
    void Drained();
    // The client left or was dropped; `reason` says which, for the log.
    // The object deletes itself once control returns to the event loop.
    void Gone(const std::string& reason);

private:
    void TakeTurn() override;
    void Channel_Message(const std::string& message);
    void Socket_DataArrival(int bytesTotal);
    // Hands the message to the owner and pays for it.
    void HandOut(const std::string& message);
    // Its slice of the turn is used up: the rest waits for the next.
    void WaitForTurn();
    std::size_t SliceUsed() const;
    void Spend(std::size_t bytes);
    // Bytes the reader threw away since they were last paid for.
    std::size_t SkippedSinceLastPaid();
    // Applies the budgets' verdict to the reading.
    void LookAtBudget();
    // Whether the client has sent bytes not handled yet: in the reader, or
    // waiting to be read.
    bool MoreWaiting() const;
    // It closed, or its connection failed: once every whole message it sent
    // is handed out, it is let go with `reason`.
    void Closed(const std::string& reason);
    // Its connection failed: what it sent is handed out, then it is dropped.
    void Lost(const std::string& reason);
    // It closed, or its connection failed: it reads nothing more, and its
    // budget no longer matters.
    bool PeerGone() const;
    void NoteUnfinished(bool handedOut);
    // Nothing holds its reading back but, perhaps, its turn: reading goes
    // on, or its messages read already wait for a turn.
    void Resume();

    std::uint64_t id_;
    ClientLimits limits_;
    TurnShare& turns_;
    const LoopWatch* loop_;
    FloodGuard* addressBudget_;
    online::MessageChannel* channel_;
    FloodGuard guard_;
    QTimer hold_;
    mutable std::string address_;
    Clock::time_point since_;
    std::uint64_t skippedPaid_ = 0;  // the reader's skipped bytes paid for so far
    std::uint64_t handled_ = 0;
    // Whole messages read in a turn that had no room left for them: handed
    // out first at the client's next turn.
    std::deque<std::string> later_;
    std::size_t laterBytes_ = 0;
    std::size_t sliceUsed_ = 0;
    std::uint64_t sliceTurn_ = 0;
    bool waitingTurn_ = false;
    bool inTurn_ = false;  // handing out its slice in TakeTurn
    std::optional<std::string> closing_;  // it closed; let go once `later_` is out
    Clock::time_point progressAt_{};      // the system last took bytes queued for it
    std::optional<Clock::time_point> unfinishedSince_;
    bool lost_ = false;  // the connection failed; it is dropped from the event loop
    bool gone_ = false;
};

// " (2 messages and 40 bytes of an unfinished one it sent thrown away)" for
// the log line of a client let go; empty when nothing was.
std::string UnhandledText(std::size_t messages, std::size_t bytes);

}  // namespace server
