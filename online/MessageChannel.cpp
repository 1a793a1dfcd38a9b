#include "online/MessageChannel.h"

#include <QPointer>

namespace online {

MessageChannel::MessageChannel(const Grammar& grammar, QObject* parent)
    : MessageChannel(grammar, *new net::Socket(), parent) {
    socket_->setParent(this);
}

MessageChannel::MessageChannel(const Grammar& grammar, net::Socket& socket, QObject* parent)
    : QObject(parent), socket_(&socket), reader_(grammar) {
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleGap);
    connect(&idle_, &QTimer::timeout, this, &MessageChannel::IdleGap_Timer);
    connect(socket_, &net::Socket::DataArrival, this, &MessageChannel::Socket_DataArrival);
    connect(socket_, &net::Socket::ConnectEvent, this, &MessageChannel::ForgetUnread);
    // The peer's close or a failure ends its last message as surely as
    // silence does. Connected before any owner's handler of the socket, so
    // the messages are out before an owner hears of the end.
    connect(socket_, &net::Socket::CloseSckEvent, this, &MessageChannel::Socket_Ended);
    connect(socket_, &net::Socket::Error, this,
            [this](int, std::string&, int, const std::string&, const std::string&, int, bool&) { Socket_Ended(); });
}

void MessageChannel::Send(const std::string& message) {
    struct Sending {
        int& count;
        explicit Sending(int& c) : count(c) { ++count; }
        ~Sending() { --count; }
    } sending(sending_);
    socket_->SendData(message);
}

void MessageChannel::Close() {
    const QPointer<MessageChannel> alive(this);
    const std::uint64_t connection = connection_;
    // The owner ends it and knows: no Ended for this connection.
    ended_ = true;
    endDue_ = false;
    // Bytes that have reached this machine have arrived, read or not.
    socket_->ReceiveWaiting();
    if (!alive || connection_ != connection) return;
    peerGone_ = true;
    HandOut(Take::Last);
    // A handler may have closed it itself meanwhile (or the channel gone).
    if (!alive || connection_ != connection) return;
    Discard();
}

MessageChannel::Unhandled MessageChannel::Discard() {
    socket_->CloseSck();
    held_ = false;
    Unhandled unhandled;
    while (reader_.Next()) ++unhandled.messages;
    unhandled.bytes = reader_.BytesHeld();
    ForgetUnread();
    return unhandled;
}

void MessageChannel::ForgetUnread() {
    idle_.stop();
    reader_.Clear();
    peerGone_ = false;
    ended_ = false;
    endDue_ = false;
    laterDue_ = false;
    ++connection_;
}

void MessageChannel::HandOutAsPeerGone() {
    peerGone_ = true;
    // Inside a handler the hand-out under way takes the rest.
    if (depth_ == 0) HandOut(Take::Last);
}

void MessageChannel::Socket_Ended() {
    peerGone_ = true;
    if (ended_) return;
    ended_ = true;
    endDue_ = true;
    if (depth_ > 0) return;  // the hand-out under way finishes, then tells
    if (sending_ > 0) {
        HandOutLater();
        return;
    }
    HandOut(Take::Last);
}

void MessageChannel::Socket_DataArrival(int /*bytesTotal*/) {
    std::string bytes;
    socket_->GetData(bytes);
    reader_.Append(bytes);
    if (!bytes.empty()) emit BytesArrived(bytes.size());
    // A connection that fails in a send hands over what it still held first.
    if (sending_ > 0) {
        HandOutLater();
        return;
    }
    HandOut(Take::Whole);
}

void MessageChannel::HandOutLater() {
    if (laterDue_) return;
    laterDue_ = true;
    QMetaObject::invokeMethod(this, [this, connection = connection_] {
        if (connection != connection_) return;
        laterDue_ = false;
        HandOut(Take::Whole);
    }, Qt::QueuedConnection);
}

void MessageChannel::HoldReading(bool hold) {
    if (held_ == hold) return;
    held_ = hold;
    if (hold) {
        socket_->HoldReceive(true);
        idle_.stop();
        return;
    }
    // The messages the hold kept back come out first, from the event loop
    // (not inside the caller, who may be handling one of them); only then
    // is the socket read again, unless a handler held it anew.
    QMetaObject::invokeMethod(this, [this] {
        if (held_) return;
        const QPointer<MessageChannel> alive(this);
        HandOut(Take::Whole);
        if (alive && !held_) socket_->HoldReceive(false);
    }, Qt::QueuedConnection);
}

void MessageChannel::IdleGap_Timer() { HandOut(Take::AfterIdle); }

void MessageChannel::HandOut(Take take) {
    // A handler may close the connection or delete the channel (through
    // deleteLater) while messages are still being handed out.
    const QPointer<MessageChannel> alive(this);
    const std::uint64_t connection = connection_;
    ++depth_;
    while (alive && connection_ == connection) {
        // Once the peer is gone nothing more will come: every message is
        // whole that its bytes can make, hold or not. Before, a handler may
        // hold reading back, and the messages after it wait too.
        const bool last = take == Take::Last || peerGone_;
        if (held_ && !last) break;
        auto message = take == Take::Whole && !last ? reader_.Next() : reader_.NextAfterIdle();
        if (!message) break;
        ++received_;
        emit MessageReceived(*message);
    }
    if (!alive) return;
    --depth_;
    // A handler closed the connection, or an outer hand-out goes on.
    if (connection_ != connection || depth_ > 0) return;
    // While held, what the reader keeps may be whole messages not yet taken.
    if (!held_ && reader_.Overflowing()) {
        Discard();
        emit Overflowed();
        return;
    }
    // Every arrival starts the quiet period afresh (not while reading is
    // held: the bytes still to come wait unread, and so do the messages).
    if (held_ || peerGone_ || !reader_.HoldsBytes()) {
        idle_.stop();
    } else if (take == Take::Whole) {
        idle_.start();
    }
    if (endDue_) {
        endDue_ = false;
        emit Ended();
    }
}

}  // namespace online
