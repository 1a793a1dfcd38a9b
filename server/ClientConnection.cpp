#include "server/ClientConnection.h"

#include <algorithm>
#include <chrono>

#include "platform/Winsock.h"
#include "server/LoopWatch.h"
#include "runtime/Error.h"

namespace server {

ClientConnection::ClientConnection(std::uint64_t id, const online::Grammar& grammar, const ClientLimits& limits,
                                   const LoopWatch* loop, QObject* parent)
    : QObject(parent),
      id_(id),
      limits_(limits),
      loop_(loop),
      channel_(new online::MessageChannel(grammar, this)),
      guard_(limits.budget, FloodGuard::Clock::now()) {
    hold_.setSingleShot(true);
    hold_.setTimerType(Qt::PreciseTimer);
    connect(&hold_, &QTimer::timeout, this, &ClientConnection::Hold_Timer);
    net::Socket& socket = channel_->Socket();
    socket.SendQueueLimit(limits.sendQueue);
    connect(channel_, &online::MessageChannel::MessageReceived, this, &ClientConnection::Channel_Message);
    connect(channel_, &online::MessageChannel::Overflowed, this,
            [this] { Drop("dropped: a message that never ends"); });
    // Each message is paid for as it is handed out: what fits the budget of
    // a read goes on at once, and once past it the rest of the read waits.
    // Bytes that made no message are paid for once the read's messages are
    // out (this is connected after the channel's own reading).
    connect(&socket, &net::Socket::DataArrival, this, &ClientConnection::Socket_DataArrival);
    // The channel has handed out every whole message the client sent by the
    // time its close is heard of here.
    connect(&socket, &net::Socket::CloseSckEvent, this, [this] { Drop("left"); });
    connect(&socket, &net::Socket::Error, this,
            [this](int number, std::string& description, int, const std::string&, const std::string&, int,
                   bool& cancelDisplay) {
                cancelDisplay = true;
                Lost("dropped: network error " + std::to_string(number) + " (" + description + ")");
            });
}

bool ClientConnection::Accept(std::int32_t requestID) {
    net::Socket& socket = channel_->Socket();
    try {
        socket.Accept(requestID);
    } catch (const runtime::Error&) {
        Drop("left before it was taken over");
        return false;
    }
    Address();
    // What arrived before the take-over has been handled already, and the
    // client may have left meanwhile.
    if (gone_) return false;
    try {
        socket.SystemBuffers(limits_.systemSendBuffer, limits_.systemReceiveBuffer);
        socket.NoDelay(true);
        socket.KeepAlive(static_cast<std::int32_t>(limits_.keepAliveIdle.count()),
                         static_cast<std::int32_t>(limits_.keepAliveInterval.count()), limits_.keepAliveProbes);
        socket.UnacknowledgedTimeout(static_cast<std::int32_t>(limits_.unacknowledged.count()));
    } catch (const runtime::Error& error) {
        // The connection failed between its arrival and now (a reset).
        Drop("dropped: " + error.Description());
    }
    return !gone_;
}

const std::string& ClientConnection::Address() const {
    if (address_.empty() && !gone_) address_ = channel_->Socket().RemoteHostIP();
    return address_;
}

void ClientConnection::Send(const std::string& message) {
    // A client that has closed reads nothing more; what it sent before is
    // still being handed out.
    if (gone_ || PeerGone()) return;
    try {
        channel_->Send(message);
    } catch (const runtime::Error& error) {
        if (error.Number() == platform::ws::WSAENOBUFS) {
            DropAsStalled();
        } else {
            Drop("dropped: " + error.Description());
        }
    }
}

void ClientConnection::Lost(const std::string& reason) {
    if (gone_ || lost_) return;
    lost_ = true;
    hold_.stop();
    // The error may come inside a send to this client, while one of its own
    // messages is being handed out: the rest follow it from the event loop,
    // in order, before it is let go.
    QMetaObject::invokeMethod(this, [this, reason] {
        if (gone_) return;
        channel_->HandOutAsPeerGone();
        Drop(reason);
    }, Qt::QueuedConnection);
}

bool ClientConnection::PeerGone() const { return lost_ || channel_->PeerGone(); }

void ClientConnection::DropAsStalled() {
    Drop("dropped: stopped reading (" + std::to_string(BytesToSend()) + " bytes waiting)");
}

void ClientConnection::Drop(const std::string& reason) {
    if (gone_) return;
    Address();  // before the close forgets it
    gone_ = true;
    hold_.stop();
    const online::MessageChannel::Unhandled unhandled = channel_->Discard();
    emit Gone(reason + UnhandledText(unhandled.messages, unhandled.bytes));
    deleteLater();
}

std::string UnhandledText(std::size_t messages, std::size_t bytes) {
    if (messages == 0 && bytes == 0) return {};
    std::string text = " (";
    if (messages > 0) text += std::to_string(messages) + (messages == 1 ? " message" : " messages");
    if (messages > 0 && bytes > 0) text += " and ";
    if (bytes > 0) text += std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") + " of an unfinished one";
    return text + " it sent thrown away)";
}

void ClientConnection::Spend(std::size_t bytes) {
    const auto now = FloodGuard::Clock::now();
    guard_.Spend(bytes, now, loop_ ? loop_->Busy(now) : ServerBusy{});
    LookAtBudget();
}

bool ClientConnection::MoreWaiting() const {
    return channel_->Reader().HoldsBytes() || channel_->Socket().BytesWaiting() > 0;
}

std::size_t ClientConnection::SkippedSinceLastPaid() {
    const std::uint64_t skipped = channel_->Reader().SkippedBytes();
    const std::uint64_t unpaid = skipped >= skippedPaid_ ? skipped - skippedPaid_ : skipped;
    skippedPaid_ = skipped;
    return static_cast<std::size_t>(unpaid);
}

void ClientConnection::LookAtBudget() {
    if (gone_ || PeerGone()) return;
    const auto now = FloodGuard::Clock::now();
    const FloodGuard::Verdict verdict =
        guard_.Look(now, loop_ ? loop_->Busy(now) : ServerBusy{}, [this] { return MoreWaiting(); });
    switch (verdict.kind) {
        case FloodGuard::Verdict::Kind::Read:
            hold_.stop();
            channel_->HoldReading(false);
            return;
        case FloodGuard::Verdict::Kind::Hold: {
            channel_->HoldReading(true);
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(verdict.until - now);
            hold_.start(std::max(wait, std::chrono::milliseconds(1)));
            return;
        }
        case FloodGuard::Verdict::Kind::Drop:
            Drop("dropped: flooding (past its budget of " + std::to_string(limits_.budget.perSecond) +
                 " bytes a second for " + std::to_string(limits_.budget.sustained.count()) + " ms)");
            return;
    }
}

void ClientConnection::Hold_Timer() { LookAtBudget(); }

void ClientConnection::Channel_Message(const std::string& message) {
    if (gone_) return;
    emit MessageReceived(message);
    // Once the client is gone its budget no longer matters: every message
    // it sent is handed out before it is let go.
    if (gone_ || PeerGone()) return;
    Spend(message.size() + limits_.costPerMessage + SkippedSinceLastPaid());
}

void ClientConnection::Socket_DataArrival(int /*bytesTotal*/) {
    if (gone_ || PeerGone()) return;
    // Every byte read counts, whether or not it makes a message.
    if (const std::size_t skipped = SkippedSinceLastPaid(); skipped > 0) Spend(skipped);
}

}  // namespace server
