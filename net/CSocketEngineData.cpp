// The socket class's data path: sending with progress, receiving into the
// buffer, and GetData / PeekData by type, for TCP streams and UDP datagrams.
#include <arpa/inet.h>
#include <netinet/tcp.h>

#include <algorithm>
#include <climits>

#include "net/CSocketEngine.h"
#include "net/SocketErrors.h"
#include "runtime/Error.h"
#include "runtime/Rounding.h"
#include "runtime/Text.h"

namespace net {

namespace ws = platform::ws;
using namespace socket_errors;

namespace {

// A piece size of 0 would make the sender and the receiver loop for ever.
constexpr std::int32_t kFallbackPiece = 8192;

std::int32_t Clamp(std::size_t n) { return n > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(n); }

// The bytes of a value on the wire: texts and byte arrays (the big ones) seen
// where they are, other values converted into `converted`. Nothing for a
// type that has no bytes.
std::optional<std::string_view> WireView(const Variant& data, std::string& converted) {
    if (const auto* text = std::get_if<std::string>(&data)) return std::string_view(*text);
    if (const auto* bytes = std::get_if<Bytes>(&data)) {
        return std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    }
    auto wire = WireBytes(data);
    if (!wire) return std::nullopt;
    converted = std::move(*wire);
    return std::string_view(converted);
}

}  // namespace

void CSocketEngine::ProcessOptions() {
    auto read = [this](int option) {
        int value = 0;
        if (ws::getsockopt(socketHandle_, SOL_SOCKET, option, &value) == ws::SOCKET_ERROR) {
            RaiseLastError("ProcessOptions");
        }
        return value > 0 ? value : kFallbackPiece;
    };
    if (protocol_ != sckTCPProtocol) {
        ws::setsockopt(socketHandle_, SOL_SOCKET, SO_BROADCAST, 1);
        sendPieceSize_ = recvPieceSize_ = read(ws::SO_MAX_MSG_SIZE);
    } else {
        recvPieceSize_ = read(SO_RCVBUF);
        sendPieceSize_ = read(SO_SNDBUF);
    }
}

std::int32_t CSocketEngine::BytesToSend() const { return Clamp(Pending()); }

void CSocketEngine::ReleaseSendBuffer() {
    // A queue that once held much keeps none of it once empty: an idle
    // connection costs no memory for what it sent long ago.
    runtime::EmptyBuffer(sendBuffer_);
    sendOffset_ = 0;
}

bool CSocketEngine::ConnectedTcp() const { return protocol_ == sckTCPProtocol && state_ == sckConnected; }

void CSocketEngine::RequireConnectedTcp(const char* operation) const {
    if (!ConnectedTcp()) RaiseWrongState(operation);
}

std::int32_t CSocketEngine::SystemQueue(unsigned long command) const {
    unsigned long bytes = 0;
    if (!ConnectedTcp() || ws::ioctlsocket(socketHandle_, command, &bytes) == ws::SOCKET_ERROR) return 0;
    return Clamp(bytes);
}

std::int32_t CSocketEngine::BytesUnacknowledged() const { return SystemQueue(SIOCOUTQ); }

std::int64_t CSocketEngine::BytesAcknowledged() const {
    std::uint64_t bytes = 0;
    if (protocol_ != sckTCPProtocol || socketHandle_ == ws::INVALID_SOCKET ||
        ws::tcp_bytes_acknowledged(socketHandle_, &bytes) == ws::SOCKET_ERROR) {
        return 0;
    }
    return bytes > INT64_MAX ? INT64_MAX : static_cast<std::int64_t>(bytes);
}

void CSocketEngine::Abort() {
    if (protocol_ == sckTCPProtocol && socketHandle_ != ws::INVALID_SOCKET) {
        // Should the system refuse, the close is an orderly one all the same.
        ws::setsockopt(socketHandle_, SOL_SOCKET, SO_LINGER, ::linger{1, 0});
    }
    CloseSck();
}

void CSocketEngine::UnacknowledgedTimeout(std::int32_t lngMilliseconds) {
    if (lngMilliseconds < 0) RaiseOutOfRange("UnacknowledgedTimeout");
    RequireConnectedTcp("UnacknowledgedTimeout");
    if (ws::setsockopt(socketHandle_, IPPROTO_TCP, TCP_USER_TIMEOUT, lngMilliseconds) == ws::SOCKET_ERROR) {
        RaiseLastError("UnacknowledgedTimeout");
    }
}

void CSocketEngine::KeepAlive(std::int32_t idleSeconds, std::int32_t intervalSeconds, std::int32_t probes) {
    if (idleSeconds < 0 || intervalSeconds < 0 || probes < 0) RaiseOutOfRange("KeepAlive");
    if (idleSeconds > 0 && (intervalSeconds == 0 || probes == 0)) RaiseOutOfRange("KeepAlive");
    RequireConnectedTcp("KeepAlive");
    const bool on = idleSeconds > 0;
    if (ws::setsockopt(socketHandle_, SOL_SOCKET, SO_KEEPALIVE, on ? 1 : 0) == ws::SOCKET_ERROR) {
        RaiseLastError("KeepAlive");
    }
    if (!on) return;
    for (const auto& [option, value] : {std::pair{TCP_KEEPIDLE, idleSeconds}, std::pair{TCP_KEEPINTVL, intervalSeconds},
                                        std::pair{TCP_KEEPCNT, probes}}) {
        if (ws::setsockopt(socketHandle_, IPPROTO_TCP, option, value) == ws::SOCKET_ERROR) RaiseLastError("KeepAlive");
    }
}

void CSocketEngine::NoDelay(bool noDelay) {
    RequireConnectedTcp("NoDelay");
    if (ws::setsockopt(socketHandle_, IPPROTO_TCP, TCP_NODELAY, noDelay ? 1 : 0) == ws::SOCKET_ERROR) {
        RaiseLastError("NoDelay");
    }
}

void CSocketEngine::SystemBuffers(std::int32_t sendBytes, std::int32_t receiveBytes) {
    if (sendBytes < 0 || receiveBytes < 0) RaiseOutOfRange("SystemBuffers");
    if (protocol_ != sckTCPProtocol || (state_ != sckConnected && state_ != sckListening)) {
        RaiseWrongState("SystemBuffers");
    }
    for (const auto& [option, value] : {std::pair{SO_SNDBUF, sendBytes}, std::pair{SO_RCVBUF, receiveBytes}}) {
        if (value > 0 && ws::setsockopt(socketHandle_, SOL_SOCKET, option, value) == ws::SOCKET_ERROR) {
            RaiseLastError("SystemBuffers");
        }
    }
    // Sends and receives go in pieces of the new sizes.
    ProcessOptions();
}

std::int32_t CSocketEngine::BytesWaiting() const { return SystemQueue(FIONREAD); }

std::int32_t CSocketEngine::BytesReceived() const {
    if (protocol_ == sckTCPProtocol) return Clamp(recvBuffer_.size());
    unsigned long waiting = 0;
    if (ws::ioctlsocket(socketHandle_, FIONREAD, &waiting) == ws::SOCKET_ERROR) return 0;
    return Clamp(waiting);
}

// ---- Sending --------------------------------------------------------------

void CSocketEngine::SendData(const Variant& data) {
    if (protocol_ != sckTCPProtocol) {
        if (!SocketExists() || !BindInternal()) return;
        state_ = sckOpen;
    } else if (state_ != sckConnected) {
        return;  // nothing is queued and nothing is reported
    }
    std::string converted;
    const auto bytes = WireView(data, converted);
    if (!bytes) RaiseUnsupportedType("SendData");
    if (bytes->empty()) return;
    if (sendQueueLimit_ > 0 && Pending() + bytes->size() > static_cast<std::size_t>(sendQueueLimit_)) {
        RaiseWinsock(ws::WSAENOBUFS, "SendData");  // refused whole: no message goes out cut
    }
    if (protocol_ != sckTCPProtocol) {
        SendBufferedDataUDP(*bytes);
        return;
    }
    if (Pending() == 0) {
        ReleaseSendBuffer();
        SendBufferedData(*bytes);
        return;
    }
    // The bytes wait behind the earlier ones for FD_WRITE.
    if (sendOffset_ > sendBuffer_.size() / 2) {
        sendBuffer_.erase(0, sendOffset_);
        sendOffset_ = 0;
    }
    sendBuffer_ += *bytes;
}

void CSocketEngine::SendBufferedData(std::string_view fresh) {
    const ws::SOCKET handle = socketHandle_;
    // Fresh bytes of an idle sender go out from where they are; only what
    // the system does not take is copied into the queue.
    const bool fromQueue = fresh.empty();
    std::string_view rest = fromQueue ? std::string_view(sendBuffer_).substr(sendOffset_) : fresh;
    std::int32_t sent = 0;
    int code = 0;
    while (!rest.empty()) {
        const std::size_t piece = std::min(rest.size(), static_cast<std::size_t>(sendPieceSize_));
        const int n = ws::send(handle, rest.data(), static_cast<int>(piece), 0);
        if (n == ws::SOCKET_ERROR) {
            code = ws::WSAGetLastError();
            break;
        }
        sent += n;
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    // The queue is right before any handler runs: it may send again.
    if (rest.empty()) {
        ReleaseSendBuffer();
    } else if (fromQueue) {
        sendOffset_ = sendBuffer_.size() - rest.size();
    } else {
        sendBuffer_.assign(rest);
    }
    if (rest.empty()) {
        Raise([sent](SocketEvents& e) { e.SendProgress(sent, 0); });
        // A handler may have closed the socket; bytes it sent meanwhile
        // were handed to a sender of their own.
        if (socketHandle_ != handle || state_ != sckConnected) return;
        Raise([](SocketEvents& e) { e.SendComplete(); });
        return;
    }
    if (code == ws::WSAEWOULDBLOCK) {
        // The rest goes out at the next FD_WRITE.
        const std::int32_t left = Clamp(Pending());
        if (sent >= 1) Raise([sent, left](SocketEvents& e) { e.SendProgress(sent, left); });
        return;
    }
    Fail(code, "SendBufferedData");  // the bytes stay queued
}

void CSocketEngine::SendBufferedDataUDP(std::string_view datagram) {
    int code = 0;
    std::uint32_t address = INADDR_NONE;
    if (remoteHost_.empty()) {
        code = ws::WSAEAFNOSUPPORT;
    } else {
        address = ws::inet_addr(remoteHost_);
        if (address == INADDR_NONE) {
            const auto entry = ws::gethostbyname(remoteHost_);
            if (entry) {
                address = entry->h_addr_list.front();
            } else {
                code = ws::WSAGetLastError();
            }
        }
    }
    if (code != 0) {
        if (code == ws::WSAEAFNOSUPPORT) RaiseWinsock(code, "SendBufferedDataUDP");
        throw runtime::Error(40014, "CSocketEngine.SendBufferedDataUDP", kInvalidArgument);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(remotePort_));
    to.sin_addr.s_addr = address;
    if (ws::sendto(socketHandle_, datagram.data(), static_cast<int>(datagram.size()), 0, to) == ws::SOCKET_ERROR) {
        Fail(ws::WSAGetLastError(), "SendBufferedDataUDP");  // the datagram is lost
    }
}

// ---- Receiving ------------------------------------------------------------

void CSocketEngine::OnReadable() {
    if (protocol_ == sckTCPProtocol) {
        if (state_ != sckConnected) return;
        if (receiveHeld_) {
            // Not read: the notification stays off until a receive.
            readMissed_ = true;
            return;
        }
        RecvDataToBuffer();
    } else if (state_ == sckOpen) {
        ReceiveDatagramNotice();
    }
}

void CSocketEngine::HoldReceive(bool hold) {
    receiveHeld_ = hold;
    if (hold || !readMissed_) return;
    readMissed_ = false;
    // A receive, even of nothing, enables the notification again, as on
    // Winsock: one follows from the event loop for what waits.
    char none = 0;
    if (socketHandle_ != ws::INVALID_SOCKET) ws::recv(socketHandle_, &none, 0, MSG_PEEK);
}

std::vector<char>& CSocketEngine::Scratch() const {
    // One scratch buffer that every socket of the thread shares: a server
    // with thousands of connections keeps none of its own per connection.
    thread_local std::vector<char> scratch;
    if (scratch.size() < static_cast<std::size_t>(recvPieceSize_)) {
        scratch.assign(static_cast<std::size_t>(recvPieceSize_), '\0');
    }
    return scratch;
}

void CSocketEngine::RecvDataToBuffer() {
    // One receive of up to a whole receive buffer per notification.
    std::vector<char>& scratch = Scratch();
    const int n = ws::recv(socketHandle_, scratch.data(), recvPieceSize_, 0);
    if (n > 0) {
        recvBuffer_.append(scratch.data(), static_cast<std::size_t>(n));
        const std::int32_t total = Clamp(recvBuffer_.size());
        Raise([total](SocketEvents& e) { e.DataArrival(total); });
        return;
    }
    if (n == 0) return;
    const int code = ws::WSAGetLastError();
    if (code == ws::WSAEWOULDBLOCK) return;  // nothing there after all: not a failure
    state_ = sckError;
    RaiseWinsock(code, "RecvDataToBuffer");
}

void CSocketEngine::ReceiveWaiting() {
    if (!ConnectedTcp()) return;
    const ws::SOCKET handle = socketHandle_;
    std::vector<char>& scratch = Scratch();
    // A peer that goes on sending is not read for ever here: what the
    // system held when asked, give or take a piece.
    const std::size_t most = 4 * static_cast<std::size_t>(recvPieceSize_);
    std::size_t taken = 0;
    while (taken < most) {
        const int n = ws::recv(handle, scratch.data(), recvPieceSize_, 0);
        // Nothing more (would block), the peer's close, or the failure
        // itself: what came before it is all there is.
        if (n <= 0) break;
        recvBuffer_.append(scratch.data(), static_cast<std::size_t>(n));
        taken += static_cast<std::size_t>(n);
    }
    if (taken == 0) return;
    const std::int32_t total = Clamp(recvBuffer_.size());
    Raise([total](SocketEvents& e) { e.DataArrival(total); });
}

void CSocketEngine::ReceiveDatagramNotice() {
    const ws::SOCKET handle = socketHandle_;
    unsigned long size = 0;
    if (ws::ioctlsocket(handle, FIONREAD, &size) == ws::SOCKET_ERROR) size = 0;
    datagramTaken_ = false;
    if (size > 0) {
        const std::int32_t total = Clamp(size);
        Raise([total](SocketEvents& e) { e.DataArrival(total); });
    }
    // A datagram the handler left unread must not stay in the socket; one
    // it has read is gone already, and the next one is not touched.
    if (!datagramTaken_ && socketHandle_ == handle && state_ == sckOpen) {
        char byte;
        ws::recv(handle, &byte, 1, 0);
    }
}

void CSocketEngine::GetData(Variant& data, Variant* varType, Variant* maxLen) {
    RecvData(data, varType, maxLen, false);
}

void CSocketEngine::PeekData(Variant& data, Variant* varType, Variant* maxLen) {
    RecvData(data, varType, maxLen, true);
}

int CSocketEngine::TakeBytes(std::size_t n, bool peek, std::string& out) {
    if (protocol_ == sckTCPProtocol) {
        if (!peek && n >= recvBuffer_.size()) {
            // All of it: handed over, not copied.
            out.swap(recvBuffer_);
            recvBuffer_.clear();
            return 0;
        }
        out.assign(recvBuffer_, 0, n);
        if (!peek) recvBuffer_.erase(0, n);
        return 0;
    }
    out.assign(n, '\0');
    sockaddr_in from{};
    const int got = ws::recvfrom(socketHandle_, out.data(), static_cast<int>(n), peek ? MSG_PEEK : 0, &from);
    if (!peek) datagramTaken_ = true;
    const int code = got == ws::SOCKET_ERROR ? ws::WSAGetLastError() : 0;
    // A datagram too long for the buffer still fills it.
    if (got == ws::SOCKET_ERROR && code != ws::WSAEMSGSIZE) {
        out.clear();
    } else if (got != ws::SOCKET_ERROR) {
        out.resize(static_cast<std::size_t>(got));
    }
    remotePort_ = ntohs(from.sin_port);
    remoteHostIP_ = ws::inet_ntoa(from.sin_addr.s_addr);
    remoteHost_.clear();
    return code;
}

void CSocketEngine::RecvData(Variant& data, Variant* varType, Variant* maxLen, bool peek) {
    const std::string operation = peek ? "PeekData" : "GetData";
    const bool udp = protocol_ != sckTCPProtocol;
    if (udp ? state_ != sckOpen : !(state_ == sckConnected || (!peek && holder_))) RaiseWrongState(operation);

    std::size_t available = 0;
    if (udp) {
        unsigned long size = 0;
        if (ws::ioctlsocket(socketHandle_, FIONREAD, &size) == ws::SOCKET_ERROR) size = 0;
        if (size == 0) return;  // no datagram waiting: data stays as it was
        available = size;
    } else {
        available = recvBuffer_.size();
    }

    std::optional<std::size_t> limit;
    if (maxLen) {
        if (!IsNumeric(*maxLen)) *maxLen = Clamp(available);
        const double n = runtime::Round(*NumberOf(*maxLen));
        if (n < 0) RaiseOutOfRange(operation);
        limit = n > static_cast<double>(INT32_MAX) ? static_cast<std::size_t>(INT32_MAX) : static_cast<std::size_t>(n);
    }

    std::int32_t type;
    if (!IsEmpty(data)) {
        type = VarType(data);
        if (varType) *varType = static_cast<std::int16_t>(type);
    } else if (!varType) {
        type = vbByteArray;
    } else {
        const auto code = NumberOf(*varType);
        type = code ? runtime::SaturateLong(*code) : -1;
    }

    if (type == vbString || type == vbByteArray) {
        auto store = [&](std::string bytes) {
            if (type == vbString) {
                data = std::move(bytes);
            } else {
                data = Bytes(bytes.begin(), bytes.end());
            }
        };
        std::size_t n = available;
        if (limit) {
            if (available == 0 || *limit == 0) {
                store("");
                if (udp) {
                    char byte;
                    ws::recv(socketHandle_, &byte, 1, 0);
                    datagramTaken_ = true;
                    RaiseWinsock(ws::WSAEMSGSIZE, "RecvData");
                }
                return;
            }
            n = std::min(*limit, available);
        }
        std::string bytes;
        const int code = n == 0 ? 0 : TakeBytes(n, peek, bytes);
        store(std::move(bytes));
        if (code != 0) RaiseWinsock(code, "RecvData");
        return;
    }

    const std::size_t size = FixedSize(type);
    if (size == 0) RaiseUnsupportedType("RecvData");
    if (available < size) return;  // too few bytes: nothing changes
    std::string bytes;
    const int code = TakeBytes(size, peek, bytes);
    if (bytes.size() == size) data = FromWireBytes(type, bytes);
    if (code != 0) RaiseWinsock(code, "RecvData");
}

}  // namespace net
