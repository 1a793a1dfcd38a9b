#include "online/LanHostSockets.h"

#include <algorithm>

#include "net/CSocketEngine.h"
#include "net/Socket.h"
#include "online/MessageChannel.h"
#include "runtime/Error.h"

namespace online {

LanHostSockets::LanHostSockets(QObject* parent, int port)
    : QObject(parent), listener_(new net::Socket(this)), port_(port), idleGap_(kIdleGap) {
    setObjectName("Socket1");
    listener_->setObjectName("Socket1(0)");
    connect(listener_, &net::Socket::ConnectionRequest, this, &LanHostSockets::ConnectionRequest);
}

bool LanHostSockets::Listen() {
    try {
        listener_->CloseSck();
        listener_->LocalPort(port_);
        bool ok = false;
        listener_->Listen(ok);
        if (!ok) listener_->CloseSck();
        return ok;
    } catch (const runtime::Error&) {
        listener_->CloseSck();
        return false;
    }
}

void LanHostSockets::StopListening() { listener_->CloseSck(); }

bool LanHostSockets::Listening() const { return listener_->State() == net::sckListening; }

int LanHostSockets::ListeningPort() const { return listener_->LocalPort(); }

bool LanHostSockets::Accept(int requestID, lan::ConnectionId id) {
    Carrier& carrier = FreeCarrier();
    carrier.id = id;
    carrier.acknowledgedAtEnd.reset();
    MessageChannel* channel = carrier.channel;
    try {
        channel->Socket().Accept(requestID);
    } catch (const runtime::Error&) {
        Close(id);
        return false;
    }
    carrier.acknowledgedAtStart = channel->Socket().BytesAcknowledged();
    try {
        channel->Socket().UnacknowledgedTimeout(lan::kUnacknowledgedTimeoutMs);
    } catch (const runtime::Error&) {
        // The payout still waits for the player, only for no longer.
    }
    return true;
}

LanHostSockets::Carrier& LanHostSockets::FreeCarrier() {
    for (Carrier& e : elements_) {
        if (e.id == 0 && e.channel->Socket().State() == net::sckClosed) return e;
    }
    auto* channel = new MessageChannel(lan::PlayerToHostGrammar(), this);
    channel->SetIdleGap(idleGap_);
    channel->Socket().SendQueueLimit(kSendQueueLimit);
    channel->Socket().setObjectName(QStringLiteral("Socket1(%1)").arg(elements_.size() + 1));
    connect(channel, &MessageChannel::MessageReceived, this, [this, channel](const std::string& message) {
        if (const lan::ConnectionId id = IdOf(channel)) emit MessageReceived(id, message);
    });
    connect(channel, &MessageChannel::Overflowed, this, [this, channel] { Lost(channel); });
    // The player's close, a reset, or a player cut off past the
    // unacknowledged timeout (an error rather than a close): the host hears
    // of it as soon, after what the player sent before it, and never inside
    // one of its own sends.
    connect(channel, &MessageChannel::Ended, this, [this, channel] { Lost(channel); });
    Carrier carrier;
    carrier.channel = channel;
    elements_.push_back(carrier);
    return elements_.back();
}

void LanHostSockets::Lost(MessageChannel* channel) {
    for (Carrier& e : elements_) {
        if (e.channel == channel) KeepAcknowledged(e);
    }
    // The descriptor goes at once; the element waits for the host to let go.
    channel->Close();
    if (const lan::ConnectionId id = IdOf(channel)) emit ConnectionClosed(id);
}

void LanHostSockets::KeepAcknowledged(Carrier& carrier) {
    if (!carrier.acknowledgedAtEnd && carrier.channel->Socket().SocketHandle() >= 0) {
        carrier.acknowledgedAtEnd = carrier.channel->Socket().BytesAcknowledged();
    }
}

lan::ConnectionId LanHostSockets::IdOf(const MessageChannel* channel) const {
    for (const Carrier& e : elements_) {
        if (e.channel == channel) return e.id;
    }
    return 0;
}

void LanHostSockets::Send(lan::ConnectionId id, const std::string& text) {
    Carrier* e = Find(id);
    if (!e) return;
    try {
        e->channel->Send(text);
    } catch (const runtime::Error&) {
        // A player that stopped reading is let go, and what it sent with it;
        // the host learns of it once the send in hand has finished.
        KeepAcknowledged(*e);
        e->channel->Discard();
        QMetaObject::invokeMethod(
            this, [this, id] { if (Find(id)) emit ConnectionClosed(id); }, Qt::QueuedConnection);
    }
}

void LanHostSockets::Close(lan::ConnectionId id) {
    if (Carrier* e = Find(id)) {
        e->id = 0;
        e->acknowledgedAtEnd.reset();
        // The host has let the connection go: what it sent goes with it.
        e->channel->Discard();
    }
}

void LanHostSockets::Reset(lan::ConnectionId id) {
    if (Carrier* e = Find(id)) {
        e->channel->Socket().Abort();
        Close(id);
    }
}

int LanHostSockets::State(lan::ConnectionId id) const {
    const Carrier* e = Find(id);
    return e ? e->channel->Socket().State() : net::sckClosed;
}

bool LanHostSockets::CaughtUp(lan::ConnectionId id) const {
    const Carrier* e = Find(id);
    return e && e->channel->Socket().State() == net::sckConnected && e->channel->Socket().BytesUnacknowledged() == 0;
}

lan::LinkState LanHostSockets::Link(lan::ConnectionId id) const {
    const Carrier* e = Find(id);
    if (!e) return {};
    const net::Socket& socket = e->channel->Socket();
    const std::int64_t now = e->acknowledgedAtEnd ? *e->acknowledgedAtEnd : socket.BytesAcknowledged();
    const bool up = !e->acknowledgedAtEnd && socket.State() == net::sckConnected;
    return {static_cast<std::uint64_t>(std::max<std::int64_t>(0, now - e->acknowledgedAtStart)), up};
}

int LanHostSockets::Queued(lan::ConnectionId id) const {
    const Carrier* e = Find(id);
    return e ? e->channel->Socket().BytesToSend() : 0;
}

int LanHostSockets::ElementOf(lan::ConnectionId id) const {
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        if (id != 0 && elements_[i].id == id) return static_cast<int>(i) + 1;
    }
    return -1;
}

net::Socket& LanHostSockets::Element(int index) const {
    if (index == 0) return *listener_;
    return elements_.at(static_cast<std::size_t>(index - 1)).channel->Socket();
}

void LanHostSockets::SetIdleGap(std::chrono::milliseconds gap) {
    idleGap_ = gap;
    for (Carrier& e : elements_) e.channel->SetIdleGap(gap);
}

LanHostSockets::Carrier* LanHostSockets::Find(lan::ConnectionId id) {
    const int index = ElementOf(id);
    return index < 0 ? nullptr : &elements_[static_cast<std::size_t>(index - 1)];
}

const LanHostSockets::Carrier* LanHostSockets::Find(lan::ConnectionId id) const {
    const int index = ElementOf(id);
    return index < 0 ? nullptr : &elements_[static_cast<std::size_t>(index - 1)];
}

}  // namespace online
