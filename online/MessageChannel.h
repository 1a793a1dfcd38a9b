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
// the reader's cap of unfinished bytes is dropped. When the peer closes, every
// whole message it sent is handed out at once, before the owner hears of the
// close, even while reading is held: nothing more will come to slow down.
//
// The owner connects to the socket's own events (ConnectEvent, CloseSckEvent)
// through Socket(), and closes through Close(), which also forgets what the
// old connection left unread.
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
    void Send(const std::string& message) { socket_->SendData(message); }
    // What Close threw away of what the peer sent: whole messages not yet
    // handed out, and bytes that made none.
    struct Unhandled {
        std::size_t messages = 0;
        std::size_t bytes = 0;
    };
    Unhandled Close();
    // Unread bytes from an earlier connection must not join a new one's.
    void ForgetUnread();

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
    // be read. The channel does so itself at the peer's close.
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
    // The peer passed the reader's cap; the channel has closed the socket.
    void Overflowed();

private:
    void Socket_DataArrival(int bytesTotal);
    void HandOut(bool idle);

    net::Socket* socket_;
    MessageReader reader_;
    QTimer idle_;
    bool held_ = false;  // reading and handing out held back
    bool peerGone_ = false;
    std::uint64_t received_ = 0;
};

}  // namespace online
