#include "server/ClientConnection.h"

#include <sys/socket.h>

#include "platform/Winsock.h"
#include "runtime/Error.h"

namespace server {

ClientConnection::ClientConnection(std::uint64_t id, const online::Grammar& grammar, const ClientLimits& limits,
                                   QObject* parent)
    : QObject(parent),
      id_(id),
      limits_(limits),
      channel_(new online::MessageChannel(grammar, this)),
      guard_(limits.budget, FloodGuard::Clock::now()) {
    net::Socket& socket = channel_->Socket();
    socket.SendQueueLimit(limits.sendQueue);
    connect(channel_, &online::MessageChannel::MessageReceived, this, &ClientConnection::Channel_Message);
    connect(channel_, &online::MessageChannel::Overflowed, this,
            [this] { Drop("dropped: a message that never ends"); });
    // Connected after the channel's own reader, so the bytes of this
    // arrival that fitted no message are counted by then.
    connect(&socket, &net::Socket::DataArrival, this, &ClientConnection::Socket_DataArrival);
    connect(&socket, &net::Socket::CloseSckEvent, this, [this] { Drop("left"); });
    connect(&socket, &net::Socket::Error, this,
            [this](int number, std::string& description, int, const std::string&, const std::string&, int,
                   bool& cancelDisplay) {
                cancelDisplay = true;
                Drop("dropped: network error " + std::to_string(number) + " (" + description + ")");
            });
}

bool ClientConnection::Accept(std::int32_t requestID) {
    try {
        channel_->Socket().Accept(requestID);
    } catch (const runtime::Error&) {
        Drop("left before it was taken over");
        return false;
    }
    Address();
    if (limits_.systemSendBuffer > 0 && !gone_) {
        platform::ws::setsockopt(channel_->Socket().SocketHandle(), SOL_SOCKET, SO_SNDBUF, limits_.systemSendBuffer);
    }
    // What arrived before the take-over has been handled already, and the
    // client may have left meanwhile.
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
    channel_->Close();
    emit Gone(reason);
    deleteLater();
}

bool ClientConnection::SpendSkipped() {
    const std::uint64_t skipped = channel_->Reader().SkippedBytes();
    const std::uint64_t fresh = skipped - skippedSeen_;
    skippedSeen_ = skipped;
    return fresh == 0 || guard_.Spend(static_cast<std::size_t>(fresh), FloodGuard::Clock::now());
}

void ClientConnection::Channel_Message(const std::string& message) {
    if (gone_) return;
    if (!SpendSkipped() || !guard_.Spend(message.size() + limits_.costPerMessage, FloodGuard::Clock::now())) {
        Drop("dropped: flooding");
        return;
    }
    emit MessageReceived(message);
}

void ClientConnection::Socket_DataArrival(int /*bytesTotal*/) {
    if (gone_) return;
    if (!SpendSkipped()) Drop("dropped: flooding");
}

}  // namespace server
