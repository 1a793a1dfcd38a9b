#include "online/ChatFeed.h"

#include <QPointer>

#include "net/Socket.h"
#include "online/ChatProtocol.h"

namespace online {

ChatFeed::ChatFeed(net::Socket& chat, QObject* parent)
    : QObject(parent), chat_(chat), reader_(chat::ServerToGameGrammar()) {
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleGap);
    connect(&idle_, &QTimer::timeout, this, &ChatFeed::IdleGap_Timer);
    connect(&chat_, &net::Socket::DataArrival, this, &ChatFeed::Chat_DataArrival);
    // What an old connection sent is shown before a new one begins.
    connect(&chat_, &net::Socket::ConnectEvent, this, &ChatFeed::IdleGap_Timer);
    connect(&chat_, &net::Socket::CloseSckEvent, this, &ChatFeed::IdleGap_Timer);
}

void ChatFeed::Chat_DataArrival(int /*bytesTotal*/) {
    std::string bytes;
    chat_.GetData(bytes);
    reader_.Append(bytes);
    HandOut(false);
}

void ChatFeed::IdleGap_Timer() { HandOut(true); }

void ChatFeed::HandOut(bool idle) {
    const QPointer<ChatFeed> alive(this);
    while (alive) {
        auto text = idle ? reader_.NextAfterIdle() : reader_.Next();
        if (!text) break;
        emit TextReceived(*text);
    }
    if (!alive) return;
    // Every arrival starts the quiet period afresh.
    if (reader_.HoldsBytes()) {
        idle_.start();
    } else {
        idle_.stop();
    }
}

}  // namespace online
