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
    // The peer's close ends its last message as surely as silence does: hand
    // it out before the owner hears of the close.
    connect(socket_, &net::Socket::CloseSckEvent, this, &MessageChannel::HandOutAsPeerGone);
}

MessageChannel::Unhandled MessageChannel::Close() {
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
}

void MessageChannel::HandOutAsPeerGone() {
    peerGone_ = true;
    HandOut(true);
}

void MessageChannel::Socket_DataArrival(int /*bytesTotal*/) {
    std::string bytes;
    socket_->GetData(bytes);
    reader_.Append(bytes);
    if (!bytes.empty()) emit BytesArrived(bytes.size());
    HandOut(false);
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
        HandOut(false);
        if (alive && !held_) socket_->HoldReceive(false);
    }, Qt::QueuedConnection);
}

void MessageChannel::IdleGap_Timer() { HandOut(true); }

void MessageChannel::HandOut(bool idle) {
    // A handler may close the connection or delete the channel (through
    // deleteLater) while messages are still being handed out.
    const QPointer<MessageChannel> alive(this);
    // A handler may hold reading back: the messages after it wait too, unless
    // the peer is gone.
    while (alive && (!held_ || peerGone_)) {
        auto message = idle ? reader_.NextAfterIdle() : reader_.Next();
        if (!message) break;
        ++received_;
        emit MessageReceived(*message);
    }
    if (!alive) return;
    // While held, what the reader keeps may be whole messages not yet taken.
    if (!held_ && reader_.Overflowing()) {
        Close();
        emit Overflowed();
        return;
    }
    // Every arrival starts the quiet period afresh (not while reading is
    // held: the bytes still to come wait unread, and so do the messages).
    if (held_) {
        idle_.stop();
    } else if (reader_.HoldsBytes() && !idle) {
        idle_.start();
    } else if (!reader_.HoldsBytes()) {
        idle_.stop();
    }
}

}  // namespace online
