#include "server/ClientConnection.h"

#include <algorithm>
#include <chrono>

#include "platform/Winsock.h"
#include "server/LoopWatch.h"
#include "runtime/Error.h"

namespace server {

ClientConnection::ClientConnection(std::uint64_t id, const online::Grammar& grammar, const ClientLimits& limits,
                                   TurnShare& turns, const LoopWatch* loop, FloodGuard* address, QObject* parent)
    : QObject(parent),
      id_(id),
      limits_(limits),
      turns_(turns),
      loop_(loop),
      addressBudget_(address),
      channel_(new online::MessageChannel(grammar, this)),
      guard_(limits.budget, FloodGuard::Clock::now()),
      since_(Clock::now()) {
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
    connect(&socket, &net::Socket::CloseSckEvent, this, [this] { Closed("left"); });
    connect(&socket, &net::Socket::Error, this,
            [this](int number, std::string& description, int, const std::string&, const std::string&, int,
                   bool& cancelDisplay) {
                cancelDisplay = true;
                Lost("dropped: network error " + std::to_string(number) + " (" + description + ")");
            });
    connect(&socket, &net::Socket::SendProgress, this, [this](int bytesSent, int) {
        if (bytesSent > 0) progressAt_ = Clock::now();
    });
    connect(&socket, &net::Socket::SendComplete, this, [this] {
        if (!gone_) emit Drained();
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
    // A connection from an address past its budget is held from the start.
    if (!gone_ && addressBudget_) LookAtBudget();
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
    const bool wasEmpty = BytesToSend() == 0;
    try {
        channel_->Send(message);
    } catch (const runtime::Error& error) {
        if (error.Number() == platform::ws::WSAENOBUFS) {
            DropAsStalled();
        } else {
            Drop("dropped: " + error.Description());
        }
        return;
    }
    // What the system did not take waits from now on.
    if (wasEmpty && !gone_ && BytesToSend() > 0) progressAt_ = Clock::now();
}

std::optional<ClientConnection::Clock::time_point> ClientConnection::WaitingToBeReadSince() const {
    if (gone_ || BytesToSend() == 0) return std::nullopt;
    return progressAt_;
}

std::optional<ClientConnection::Clock::time_point> ClientConnection::UnfinishedSince() const {
    // Bytes held back by its budget or its turn, or still unread, are the
    // server's doing: only a client read on that has not finished counts.
    if (gone_ || PeerGone() || Held() || waitingTurn_ || !later_.empty()) return std::nullopt;
    if (!channel_->Reader().HoldsBytes() || channel_->Socket().BytesWaiting() > 0) return std::nullopt;
    return unfinishedSince_;
}

void ClientConnection::NoteUnfinished(bool handedOut) {
    if (!channel_->Reader().HoldsBytes()) {
        unfinishedSince_.reset();
    } else if (handedOut || !unfinishedSince_) {
        unfinishedSince_ = Clock::now();
    }
}

void ClientConnection::Grant(std::size_t bytes) {
    guard_.Grant(bytes);
    if (addressBudget_) addressBudget_->Grant(bytes);
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
        Closed(reason);
    }, Qt::QueuedConnection);
}

void ClientConnection::Closed(const std::string& reason) {
    if (gone_ || closing_) return;
    closing_ = reason;
    // Its own budget no longer matters, its address's still does.
    hold_.stop();
    LookAtBudget();
    if (gone_) return;
    if (later_.empty()) {
        Drop(reason);
        return;
    }
    // Messages it sent still wait for their turns, or for its address's
    // budget.
    if (!waitingTurn_ && !inTurn_ && !Held()) WaitForTurn();
}

bool ClientConnection::PeerGone() const { return lost_ || channel_->PeerGone(); }

void ClientConnection::DropAsStalled(std::int64_t alsoWaiting) {
    const std::int64_t waiting =
        std::int64_t{BytesToSend()} + channel_->Socket().BytesUnacknowledged() + std::max<std::int64_t>(alsoWaiting, 0);
    Drop("dropped: stopped reading (" + std::to_string(waiting) + " bytes waiting)");
}

void ClientConnection::Drop(const std::string& reason) {
    if (gone_) return;
    Address();  // before the close forgets it
    gone_ = true;
    hold_.stop();
    if (waitingTurn_) turns_.Forget(*this, address_);
    waitingTurn_ = false;
    online::MessageChannel::Unhandled unhandled = channel_->Discard();
    unhandled.messages += later_.size();
    later_.clear();
    laterBytes_ = 0;
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
    const ServerBusy busy = loop_ ? loop_->Busy(now) : ServerBusy{};
    if (!PeerGone()) guard_.Spend(bytes, now, busy);
    if (addressBudget_) addressBudget_->Spend(bytes, now, busy);
    LookAtBudget();
}

bool ClientConnection::MoreWaiting() const {
    if (PeerGone()) return !later_.empty();
    return !later_.empty() || channel_->Reader().HoldsBytes() || channel_->Socket().BytesWaiting() > 0;
}

std::size_t ClientConnection::SkippedSinceLastPaid() {
    const std::uint64_t skipped = channel_->Reader().SkippedBytes();
    const std::uint64_t unpaid = skipped >= skippedPaid_ ? skipped - skippedPaid_ : skipped;
    skippedPaid_ = skipped;
    return static_cast<std::size_t>(unpaid);
}

void ClientConnection::LookAtBudget() {
    if (gone_) return;
    // Once it is gone its own budget no longer matters: it sends nothing
    // more. What it sent still counts against its address's, or a machine
    // could paste, close and reconnect without end.
    const bool peerGone = PeerGone();
    if (peerGone && !addressBudget_) return;
    const auto now = FloodGuard::Clock::now();
    const ServerBusy busy = loop_ ? loop_->Busy(now) : ServerBusy{};
    const auto more = [this] { return MoreWaiting(); };
    using Kind = FloodGuard::Verdict::Kind;
    const FloodGuard::Verdict own = peerGone ? FloodGuard::Verdict{} : guard_.Look(now, busy, more);
    const FloodGuard::Verdict shared = addressBudget_ ? addressBudget_->Look(now, busy, more) : FloodGuard::Verdict{};
    if (own.kind == Kind::Drop) {
        Drop("dropped: flooding (past its budget of " + std::to_string(limits_.budget.perSecond) +
             " bytes a second for " + std::to_string(limits_.budget.sustained.count()) + " ms)");
        return;
    }
    if (shared.kind == Kind::Drop) {
        Drop("dropped: flooding (its address past its budget of " + std::to_string(limits_.addressBudget.perSecond) +
             " bytes a second for " + std::to_string(limits_.addressBudget.sustained.count()) + " ms)");
        return;
    }
    if (own.kind == Kind::Read && shared.kind == Kind::Read) {
        const bool wasHeld = hold_.isActive();
        hold_.stop();
        if (wasHeld) {
            Resume();
        } else if (!waitingTurn_ && !inTurn_ && later_.empty()) {
            channel_->HoldReading(false);
        }
        return;
    }
    const auto until = std::max(own.kind == Kind::Hold ? own.until : now, shared.kind == Kind::Hold ? shared.until : now);
    if (!peerGone) channel_->HoldReading(true);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    hold_.start(std::max(wait, std::chrono::milliseconds(1)));
}

void ClientConnection::Hold_Timer() { LookAtBudget(); }

void ClientConnection::Resume() {
    if (gone_ || waitingTurn_ || inTurn_) return;  // its turn goes on from where it is
    // What waited meanwhile was not the client's to finish.
    if (unfinishedSince_) unfinishedSince_ = Clock::now();
    if (!later_.empty()) {
        WaitForTurn();
        return;
    }
    if (closing_) {
        Drop(*closing_);
        return;
    }
    channel_->HoldReading(false);
}

std::size_t ClientConnection::SliceUsed() const { return sliceTurn_ == turns_.Turn() ? sliceUsed_ : 0; }

void ClientConnection::WaitForTurn() {
    if (!waitingTurn_) {
        waitingTurn_ = true;
        turns_.Wait(*this, Address());
    }
    // What it sends meanwhile stays with the system.
    if (!PeerGone()) channel_->HoldReading(true);
}

void ClientConnection::TakeTurn() {
    waitingTurn_ = false;
    if (gone_) return;
    sliceTurn_ = turns_.Turn();
    sliceUsed_ = 0;
    if (unfinishedSince_) unfinishedSince_ = Clock::now();
    inTurn_ = true;
    while (!later_.empty()) {
        // Held by a budget: the hold's end asks for the next turn.
        if (Held()) break;
        if (!turns_.MayTake(SliceUsed())) {
            inTurn_ = false;
            WaitForTurn();
            return;
        }
        const std::string message = std::move(later_.front());
        later_.pop_front();
        laterBytes_ -= message.size();
        HandOut(message);
        if (gone_) return;
    }
    inTurn_ = false;
    if (!later_.empty()) return;
    if (closing_) {
        Drop(*closing_);
        return;
    }
    if (!Held()) channel_->HoldReading(false);
}

void ClientConnection::HandOut(const std::string& message) {
    const std::size_t cost = message.size() + limits_.costPerMessage;
    if (sliceTurn_ != turns_.Turn()) {
        sliceTurn_ = turns_.Turn();
        sliceUsed_ = 0;
    }
    sliceUsed_ += cost;
    turns_.Took(cost);
    ++handled_;
    emit MessageReceived(message);
    if (gone_) return;
    if (!PeerGone()) NoteUnfinished(true);
    Spend(cost + SkippedSinceLastPaid());
}

void ClientConnection::Channel_Message(const std::string& message) {
    if (gone_) return;
    // Behind others of its own, held by a budget (a client that has closed
    // is not read, but what it sent is all handed out at once), or past its
    // slice of the turn: it waits.
    if (!later_.empty() || waitingTurn_ || inTurn_ || Held() || !turns_.MayTake(SliceUsed())) {
        later_.push_back(message);
        laterBytes_ += message.size();
        if (!inTurn_ && !Held()) WaitForTurn();
        return;
    }
    HandOut(message);
}

void ClientConnection::Socket_DataArrival(int /*bytesTotal*/) {
    if (gone_ || PeerGone()) return;
    // Every byte read counts, whether or not it makes a message.
    if (const std::size_t skipped = SkippedSinceLastPaid(); skipped > 0) Spend(skipped);
    if (!gone_) NoteUnfinished(false);
}

}  // namespace server
