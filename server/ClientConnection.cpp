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
    // The bytes are spent before their messages are handed out: once past
    // the budget, the rest of the read waits.
    connect(channel_, &online::MessageChannel::BytesArrived, this, &ClientConnection::Channel_BytesArrived);
    connect(&socket, &net::Socket::CloseSckEvent, this, [this] { Drop("left"); });
    connect(&socket, &net::Socket::Error, this,
            [this](int number, std::string& description, int, const std::string&, const std::string&, int,
                   bool& cancelDisplay) {
                cancelDisplay = true;
                Drop("dropped: network error " + std::to_string(number) + " (" + description + ")");
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
        // The connection is gone already (a reset): its error event follows.
        Drop("dropped: " + error.Description());
    }
    return !gone_;
}

const std::string& ClientConnection::Address() const {
    if (address_.empty() && !gone_) address_ = channel_->Socket().RemoteHostIP();
    return address_;
}

void ClientConnection::Send(const std::string& message) {
    if (gone_) return;
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

void ClientConnection::DropAsStalled() {
    Drop("dropped: stopped reading (" + std::to_string(BytesToSend()) + " bytes waiting)");
}

void ClientConnection::Drop(const std::string& reason) {
    if (gone_) return;
    Address();  // before the close forgets it
    gone_ = true;
    hold_.stop();
    channel_->Close();
    emit Gone(reason);
    deleteLater();
}

void ClientConnection::Spend(std::size_t bytes) {
    const auto now = FloodGuard::Clock::now();
    guard_.Spend(bytes, now, loop_ ? loop_->Busy(now) : ServerBusy{});
    LookAtBudget();
}

bool ClientConnection::MoreWaiting() const { return channel_->Socket().BytesWaiting() > 0; }

void ClientConnection::LookAtBudget() {
    if (gone_) return;
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
    // Its bytes were counted as they were read.
    if (!gone_) Spend(limits_.costPerMessage);
}

void ClientConnection::Channel_BytesArrived(std::size_t bytes) {
    if (gone_) return;
    // Every byte read counts, whether or not it makes a message.
    Spend(bytes);
}

}  // namespace server
