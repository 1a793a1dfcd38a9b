#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <string>

#include "net/Socket.h"
#include "online/MessageReader.h"

namespace online {

// A socket that hands out whole messages: it reads every arrival into a
// MessageReader for its protocol's grammar and raises MessageReceived once
// per message, however TCP joined or split them. A message whose end only
// silence shows comes out after the idle gap. A peer that holds more than
// the reader's cap of unfinished bytes is dropped.
//
// However a connection ends, what the peer sent is not lost: at the peer's
// close, a reset, an error or a time-out the system finds, and at the
// owner's own Close (the watchdog's, a reconnect, quitting), every whole
// message that has arrived is handed out first, those whose end only the
// silence would have shown too, and only then does the owner hear of the end
// (Ended, or the return of Close). Only Discard throws away what the peer
// sent, for a peer the owner gives up on.
//
// Messages never come out inside Send: an end that a send runs into, and
// what the system still held for the peer then, are handed on from the
// event loop once the send is over. The owner sends through Send(), connects
// to the socket's ConnectEvent through Socket(), and hears of the end by
// Ended (or by the socket's own events: the channel's handlers of them run
// first).
class MessageChannel : public QObject {
    Q_OBJECT
public:
    // A channel with a socket of its own.
    explicit MessageChannel(const Grammar& grammar, QObject* parent = nullptr);
    // A channel that reads a socket a window already holds (the main
    // window's server connections); the socket must outlive the channel.
    MessageChannel(const Grammar& grammar, net::Socket& socket, QObject* parent = nullptr);

    net::Socket& Socket() { return *socket_; }
    const net::Socket& Socket() const { return *socket_; }

    // Sends one message as it stands.
    void Send(const std::string& message);

    // The connection ends here: every whole message the peer sent is handed
    // out (bytes the system still holds for it are read first), then the
    // socket is closed. Called from a handler of MessageReceived, the rest
    // of what arrived comes out inside the call.
    void Close();
    // What Discard threw away of what the peer sent: whole messages not yet
    // handed out, and bytes that made none.
    struct Unhandled {
        std::size_t messages = 0;
        std::size_t bytes = 0;
    };
    // The owner gives the peer up (it floods, stopped reading, broke its
    // protocol, or belongs to a game that is over): the socket is closed and
    // what the peer sent that is not handed out yet is thrown away.
    Unhandled Discard();

    // Holds the socket's reading back, or lets it go on (a server reads a
    // client no faster than its budget). While held, no message is handed
    // out, not even those of the last read still waiting in the reader; and
    // the peer's silence is none of its own, so the idle gap does not run:
    // a message whose end only silence shows is not cut short by bytes that
    // wait unread. Once reading goes on the waiting messages come out from
    // the event loop and the gap starts afresh.
    void HoldReading(bool hold);
    bool ReadingHeld() const { return held_; }
    // The peer is gone (it closed, or its connection failed): every whole
    // message it sent is handed out now, hold or not, and nothing more will
    // be read. The channel does so itself when the socket reports the end.
    void HandOutAsPeerGone();
    bool PeerGone() const { return peerGone_; }

    // Tests shorten it.
    void SetIdleGap(std::chrono::milliseconds gap) { idle_.setInterval(gap); }
    // The idle gap has passed: hand out what waited for it.
    void IdleGap_Timer();

    const MessageReader& Reader() const { return reader_; }
    // Messages handed out so far, and bytes skipped because they fitted no
    // message of the protocol.
    std::uint64_t MessagesReceived() const { return received_; }

signals:
    void MessageReceived(const std::string& message);
    // Bytes came from the peer, whole messages or not: it is still there.
    void BytesArrived(std::size_t count);
    // The peer closed, or the connection failed or could not be made (a
    // reset, an error, a time-out): every whole message it sent has been
    // handed out. Once per connection, never inside Send or a handler of
    // MessageReceived; not after the owner's own Close or Discard.
    void Ended();
    // The peer passed the reader's cap; the channel has closed the socket.
    void Overflowed();

private:
    enum class Take {
        Whole,      // messages the bytes show whole
        AfterIdle,  // those whose end the silence shows too
        Last,       // everything whole, hold or not: nothing more will come
    };
    void Socket_DataArrival(int bytesTotal);
    // The socket reports the peer's close or an error.
    void Socket_Ended();
    void HandOut(Take take);
    // Hands out from the event loop what came inside a Send.
    void HandOutLater();
    void ForgetUnread();

    net::Socket* socket_;
    MessageReader reader_;
    QTimer idle_;
    bool held_ = false;  // reading and handing out held back
    bool peerGone_ = false;
    bool ended_ = false;     // the end was heard of, or the owner closed
    bool endDue_ = false;    // Ended is owed once the messages are out
    bool laterDue_ = false;  // a hand-out from the event loop is on its way
    int depth_ = 0;          // handlers of MessageReceived running
    int sending_ = 0;        // Sends running
    // Counts connections: what is owed to one is never paid to the next.
    std::uint64_t connection_ = 0;
    std::uint64_t received_ = 0;
};

}  // namespace online
