// The socket class: members, checks, states, connecting, binding,
// listening, accepting and closing. Sending and receiving are in
// CSocketEngineData.cpp.
#include "net/CSocketEngine.h"

#include <QDebug>
#include <arpa/inet.h>

#include <new>

#include "net/SocketErrors.h"
#include "platform/Dialogs.h"
#include "runtime/Error.h"
#include "runtime/Rounding.h"

namespace net {

namespace ws = platform::ws;
using namespace modSocketEngine;
using namespace socket_errors;

std::shared_ptr<CSocketEngine> CSocketEngine::Create() { return std::make_shared<CSocketEngine>(Key{}); }

CSocketEngine::CSocketEngine(Key) { InitiateProcesses(); }

CSocketEngine::~CSocketEngine() {
    // Destructors never throw: whatever fails here has nobody to tell.
    try {
        CancelLookups();
        if (!holder_ && socketHandle_ != ws::INVALID_SOCKET) {
            ws::closesocket(socketHandle_);
            UnregisterSocket(socketHandle_);
        }
    } catch (...) {
    }
    try {
        FinalizeProcesses();
    } catch (...) {
    }
}

// ---- Events ---------------------------------------------------------------

void CSocketEngine::ReportHandlerFailure(const char* what) noexcept {
    // Caught at the event boundary: the rest of the step still runs.
    qWarning("A socket event handler failed: %s", what);
}

void CSocketEngine::RaiseError(int number, const std::string& operation) {
    std::string description = GetErrorDescription(number);
    const std::string source = "CSocketEngine." + operation;
    bool cancelDisplay = true;
    Raise([&](SocketEvents& e) { e.Error(number, description, 0, source, "", 0, cancelDisplay); });
    if (cancelDisplay) return;
    platform::Dialogs* dialogs = dialogs_ ? dialogs_ : platform::DefaultDialogs();
    if (!dialogs) {
        // No boxes in this program (a server without a display): the log
        // says what the box would have said.
        qWarning("%s: %s", source.c_str(), description.c_str());
        return;
    }
    try {
        dialogs->MsgBox(description, platform::kOkOnly, source);
    } catch (...) {
    }
}

void CSocketEngine::Fail(int number, const std::string& operation) {
    if (ConnectedTcp()) {
        // What the peer sent before the failure is the owner's: once in
        // error nothing more is read.
        const ws::SOCKET handle = socketHandle_;
        ReceiveWaiting();
        // A handler of it may have closed the connection: its failure then
        // concerns nobody.
        if (socketHandle_ != handle || state_ != sckConnected) return;
    }
    state_ = sckError;
    RaiseError(number, operation);
}

// ---- Notifications --------------------------------------------------------

void CSocketEngine::WndProc(std::uint32_t uMsg, std::int32_t wParam, std::int32_t lParam) noexcept {
    // Alive until this returns, whatever the handlers do with their
    // references.
    const auto self = weak_from_this().lock();
    try {
        if (uMsg == kHostResolvedMessage) {
            OnLookupDone(wParam, HiWord(lParam));
        } else if (uMsg == kSocketMessage) {
            OnSocketEvent(LoWord(lParam), HiWord(lParam));
        }
    } catch (...) {
        // An error raised while a notification is handled ends its handling;
        // nobody above the notification window could catch it.
    }
}

void CSocketEngine::OnSocketEvent(std::int32_t event, int error) {
    if (error != 0) {
        Fail(error, "PostSocket");
        return;
    }
    switch (event) {
        case ws::FD_CONNECT: OnConnected(); break;
        case ws::FD_ACCEPT:
            if (state_ == sckListening) OnConnectionRequest();
            break;
        case ws::FD_READ: OnReadable(); break;
        case ws::FD_WRITE:
            if (state_ == sckConnected && Pending() > 0) SendBufferedData();
            break;
        case ws::FD_CLOSE:
            if (state_ == sckConnected) {
                state_ = sckClosing;
                Raise([](SocketEvents& e) { e.CloseSck(); });
            }
            break;
        default: break;
    }
}

void CSocketEngine::OnConnected() {
    if (state_ != sckConnecting) return;
    // Linux sizes a connection's buffers once it is up, as an accepted
    // socket's are when Accept reads them: the sender then hands the system
    // pieces as large as it really takes.
    try {
        ProcessOptions();
    } catch (const runtime::Error&) {
        // The sizes read at the socket's creation stay.
    }
    sockaddr_in peer{};
    if (ws::getpeername(socketHandle_, &peer) == 0) {
        remotePort_ = ntohs(peer.sin_port);
        remoteHostIP_ = ws::inet_ntoa(peer.sin_addr.s_addr);
    }
    state_ = sckConnected;
    Raise([](SocketEvents& e) { e.Connect(); });
}

void CSocketEngine::ReadPeer(std::int32_t handle) {
    sockaddr_in peer{};
    if (ws::getpeername(handle, &peer) == 0) {
        remotePort_ = ntohs(peer.sin_port);
        remoteHostIP_ = ws::inet_ntoa(peer.sin_addr.s_addr);
    } else {
        remotePort_ = 0;
        remoteHostIP_.clear();
    }
    remoteHost_.clear();
}

void CSocketEngine::OnConnectionRequest() {
    const ws::SOCKET handle = ws::accept(socketHandle_, nullptr);
    if (handle == ws::INVALID_SOCKET) RaiseLastError("PostSocket");
    try {
        RegisterAccept(handle);
    } catch (...) {
        ws::closesocket(handle);
        UnregisterSocket(handle);
        throw;
    }
    const std::int32_t savedPort = remotePort_;
    const std::string savedIP = remoteHostIP_;
    const std::string savedHost = remoteHost_;
    ReadPeer(handle);
    Raise([handle](SocketEvents& e) { e.ConnectionRequest(handle); });
    if (state_ == sckListening) {
        remotePort_ = savedPort;
        remoteHostIP_ = savedIP;
        remoteHost_ = savedHost;
    }
    if (IsAcceptRegistered(handle)) {
        // Nobody took it: the connection is refused.
        ws::closesocket(handle);
        UnregisterSocket(handle);
        UnregisterAccept(handle);
    }
}

void CSocketEngine::OnLookupDone(std::int32_t task, int error) {
    const bool mine = pendingLookups_.erase(task) != 0;
    // The lookup's entries go, whatever state the object is in now.
    UnregisterResolution(task);
    if (!mine) return;
    const std::shared_ptr<ws::HostEnt> entry = std::move(lookupBuffer_);
    if (state_ != sckResolvingHost) return;
    if (error != 0) {
        ConnectToIP(error, 0, false);
        return;
    }
    state_ = sckHostResolved;
    if (!entry || entry->h_addr_list.empty()) {
        ConnectToIP(ws::WSANO_DATA, 0, false);
        return;
    }
    ConnectToIP(0, entry->h_addr_list.front(), false);
}

// ---- Properties -----------------------------------------------------------

void CSocketEngine::RemotePort(std::int32_t lngPort) {
    if (protocol_ == sckTCPProtocol && state_ != sckClosed) RaiseInvalidState("RemotePort");
    if (lngPort < 0 || lngPort > 65535) RaiseOutOfRange("RemotePort");
    remotePort_ = lngPort;
}

void CSocketEngine::RemoteHost(const std::string& strHost) {
    if (protocol_ == sckTCPProtocol && state_ != sckClosed) RaiseInvalidState("RemoteHost");
    remoteHost_ = strHost;
}

void CSocketEngine::LocalPort(std::int32_t lngPort) {
    if (state_ != sckClosed) RaiseInvalidState("LocalPort");
    if (lngPort < 0 || lngPort > 65535) RaiseOutOfRange("LocalPort");
    localPort_ = lngPort;
}

void CSocketEngine::Protocol(std::int32_t enmProtocol) {
    if (state_ != sckClosed) RaiseInvalidState("Protocol");
    protocol_ = enmProtocol;
}

void CSocketEngine::SendQueueLimit(std::int32_t lngBytes) {
    if (lngBytes < 0) RaiseOutOfRange("SendQueueLimit");
    sendQueueLimit_ = lngBytes;
}

void CSocketEngine::ListenBacklog(std::int32_t lngBacklog) {
    if (state_ != sckClosed && state_ != sckOpen) RaiseInvalidState("ListenBacklog");
    if (lngBacklog < 1) RaiseOutOfRange("ListenBacklog");
    listenBacklog_ = lngBacklog;
}

std::string CSocketEngine::LocalHostName() const {
    char name[256] = {};
    if (ws::gethostname(name, sizeof name) == ws::SOCKET_ERROR) RaiseLastError("GetLocalHostName");
    return name;
}

std::string CSocketEngine::HostNameAddress() const {
    const auto entry = ws::gethostbyname(LocalHostName());
    if (!entry) RaiseLastError("GetLocalIP");
    return ws::inet_ntoa(entry->h_addr_list.front());
}

std::string CSocketEngine::LocalIP() const {
    if (state_ == sckOpen || state_ == sckListening) {
        if (boundLocalIP_ != "0.0.0.0") return boundLocalIP_;
        // Bound to every address: the one other machines can reach.
        if (const auto address = ws::FirstNonLoopbackAddress()) return ws::inet_ntoa(*address);
    }
    return HostNameAddress();
}

// ---- Connecting -----------------------------------------------------------

bool CSocketEngine::SocketExists() {
    if (socketHandle_ != ws::INVALID_SOCKET) return true;
    const ws::SOCKET handle = protocol_ != sckTCPProtocol ? ws::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)
                                                          : ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle == ws::INVALID_SOCKET) {
        Fail(ws::WSAGetLastError(), "SocketExists");
        return false;
    }
    socketHandle_ = handle;
    RegisterSocket(handle, weak_from_this(), true);
    ProcessOptions();
    return true;
}

namespace {

// A port argument: numeric and, rounded, within [low, 65535].
std::optional<std::int32_t> PortArgument(const Variant& v, std::int32_t low) {
    const auto n = NumberOf(v);
    if (!n) return std::nullopt;
    const double r = runtime::Round(*n);
    if (!(r >= low && r <= 65535)) return std::nullopt;
    return static_cast<std::int32_t>(r);
}

}  // namespace

void CSocketEngine::Connect(std::optional<Variant> remoteHost, std::optional<Variant> remotePort) {
    if (state_ != sckClosed) RaiseInvalidState("Connect");
    std::optional<std::int32_t> port;
    if (remotePort) {
        if (!IsNumeric(*remotePort)) RaiseUnsupportedType("Connect");
        port = PortArgument(*remotePort, 1);
        if (!port) RaiseOutOfRange("Connect");
    }
    if (remoteHost) remoteHost_ = TextOf(*remoteHost);
    if (port) remotePort_ = *port;

    if (!SocketExists()) return;
    if (protocol_ != sckTCPProtocol) {
        if (BindInternal()) state_ = sckOpen;
        return;
    }
    const std::uint32_t address = ws::inet_addr(remoteHost_);
    if (address != INADDR_NONE) {
        ConnectToIP(0, address, true);
    } else {
        ResolveIfHostname();
    }
}

void CSocketEngine::ResolveIfHostname() {
    state_ = sckResolvingHost;
    try {
        lookupBuffer_ = std::make_shared<ws::HostEnt>();
    } catch (const std::bad_alloc&) {
        state_ = sckError;
        throw runtime::Error(7, "CSocketEngine.ResolveIfHostname", "Out of memory");
    }
    const std::int32_t task = ResolveHost(remoteHost_, lookupBuffer_, weak_from_this());
    if (task != 0) {
        pendingLookups_.insert(task);
    } else {
        lookupBuffer_.reset();
        Fail(ws::WSAGetLastError(), "ResolveIfHostname");
    }
}

void CSocketEngine::ConnectToIP(int error, std::uint32_t address, bool inCall) {
    if (error != 0) {
        Fail(error, "ConnectToIP");
        return;
    }
    ws::WSASetLastError(0);
    if (!BindInternal()) {
        // Reported, not left waiting for ever in state 5 or 6.
        const int code = ws::WSAGetLastError();
        Fail(code != 0 ? code : ws::WSAEINVAL, "ConnectToIP");
        return;
    }
    state_ = sckConnecting;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(remotePort_));
    to.sin_addr.s_addr = address;
    if (ws::connect(socketHandle_, to) == 0) return;
    const int code = ws::WSAGetLastError();
    if (code == ws::WSAEWOULDBLOCK) return;  // FD_CONNECT follows
    Fail(code, "ConnectToIP");
    if (code == ws::WSAEADDRNOTAVAIL && inCall) RaiseWinsock(code, "ConnectToIP");
}

// ---- Binding and listening ------------------------------------------------

namespace {

// A local or remote address text resolved at once: a dotted text as it is,
// a name through a lookup. Nothing for an empty text (code 10047) or a
// failed lookup (its code).
std::optional<std::uint32_t> ResolveNow(const std::string& text, int& code) {
    if (text.empty()) {
        code = ws::WSAEAFNOSUPPORT;
        return std::nullopt;
    }
    const std::uint32_t dotted = ws::inet_addr(text);
    if (dotted != INADDR_NONE) return dotted;
    const auto entry = ws::gethostbyname(text);
    if (!entry) {
        code = ws::WSAGetLastError();
        return std::nullopt;
    }
    return entry->h_addr_list.front();
}

}  // namespace

bool CSocketEngine::BindInternal(const std::optional<Variant>& port, const std::optional<Variant>& ip) {
    if (state_ == sckOpen) return true;
    std::int32_t localPort = localPort_;
    if (port) {
        const auto given = PortArgument(*port, 0);
        if (!given) return false;
        localPort = *given;
    }
    // Without an address of its own the socket takes every address of the
    // machine, so other machines can reach a listener.
    std::uint32_t address = htonl(INADDR_ANY);
    const std::string ipText = ip ? TextOf(*ip) : std::string();
    if (!ipText.empty()) {
        int code = 0;
        const auto resolved = ResolveNow(ipText, code);
        if (!resolved) throw runtime::Error(40014, "CSocketEngine.BindInternal", kInvalidArgument);
        address = *resolved;
    }
    if (!SocketExists()) return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(localPort));
    local.sin_addr.s_addr = address;
    if (ws::bind(socketHandle_, local) == ws::SOCKET_ERROR) return false;
    boundLocalIP_ = ws::inet_ntoa(address);
    if (localPort != 0) {
        localPort_ = localPort;
    } else {
        sockaddr_in bound{};
        if (ws::getsockname(socketHandle_, &bound) == ws::SOCKET_ERROR) RaiseLastError("BindInternal");
        boundLocalPort_ = ntohs(bound.sin_port);
    }
    return true;
}

void CSocketEngine::Bind(std::optional<Variant> localPort, std::optional<Variant> localIP) {
    if (state_ != sckClosed) RaiseInvalidState("Bind");
    if (BindInternal(localPort, localIP)) state_ = sckOpen;
}

Variant CSocketEngine::Listen(bool* successfull) {
    if (state_ != sckClosed && state_ != sckOpen) RaiseInvalidState("Listen");
    bool ok = BindInternal() && SocketExists();
    if (ok && ws::listen(socketHandle_, listenBacklog_) == ws::SOCKET_ERROR) ok = false;
    if (ok) state_ = sckListening;
    if (successfull) *successfull = ok;
    return Empty{};
}

// ---- Accepting ------------------------------------------------------------

void CSocketEngine::HoldAccepted(std::int32_t handle) {
    protocol_ = sckTCPProtocol;
    socketHandle_ = handle;
    holder_ = true;
    state_ = sckConnected;
    // No selection of its own: an accepted socket reports through the
    // events chosen for its listener.
    RegisterSocket(handle, weak_from_this(), false);
    ProcessOptions();
}

void CSocketEngine::Accept(std::int32_t requestID) {
    if (state_ != sckClosed) RaiseInvalidState("Accept");
    // Only a connection waiting in the registry can be taken over.
    std::shared_ptr<CSocketEngine> holder = GetAcceptClass(requestID);
    if (!holder) RaiseWrongState("Accept");
    UnregisterAccept(requestID);
    // From here on the connection is this object's, before anything can fail.
    ChangeSocketOwner(requestID, weak_from_this());
    protocol_ = sckTCPProtocol;
    socketHandle_ = requestID;
    state_ = sckConnected;
    ProcessOptions();
    sockaddr_in local{};
    if (ws::getsockname(requestID, &local) == ws::SOCKET_ERROR) RaiseLastError("Accept");
    boundLocalPort_ = ntohs(local.sin_port);
    boundLocalIP_ = ws::inet_ntoa(local.sin_addr.s_addr);
    ReadPeer(requestID);
    recvBuffer_ = std::move(holder->recvBuffer_);
    const bool peerClosed = holder->state_ == sckClosing;
    holder.reset();  // a holder leaves the socket open
    if (!recvBuffer_.empty()) {
        const auto total = static_cast<std::int32_t>(recvBuffer_.size());
        Raise([total](SocketEvents& e) { e.DataArrival(total); });
    }
    if (peerClosed && socketHandle_ == requestID && state_ == sckConnected) {
        state_ = sckClosing;
        Raise([](SocketEvents& e) { e.CloseSck(); });
    }
}

// ---- Closing --------------------------------------------------------------

void CSocketEngine::CancelLookups() {
    for (const std::int32_t task : pendingLookups_) {
        ws::WSACancelAsyncRequest(task);
        UnregisterResolution(task);
    }
    pendingLookups_.clear();
    lookupBuffer_.reset();
}

void CSocketEngine::CloseSck() {
    if (socketHandle_ == ws::INVALID_SOCKET) {
        // An object whose socket could not be made is usable again.
        if (state_ == sckError) state_ = sckClosed;
        return;
    }
    state_ = sckClosing;
    CancelLookups();
    const ws::SOCKET handle = socketHandle_;
    const bool closed = ws::closesocket(handle) == 0;
    const int code = ws::WSAGetLastError();
    // Linux frees the descriptor even when close fails: it is forgotten
    // either way, so a new socket with the same number is never mistaken
    // for this one.
    socketHandle_ = ws::INVALID_SOCKET;
    boundLocalPort_ = 0;
    remoteHostIP_.clear();
    std::string().swap(recvBuffer_);
    ReleaseSendBuffer();
    sendPieceSize_ = 0;
    recvPieceSize_ = 0;
    holder_ = false;
    receiveHeld_ = false;
    readMissed_ = false;
    UnregisterSocket(handle);
    if (!closed) {
        state_ = sckError;
        RaiseWinsock(code, "DestroySocket");
    }
    state_ = sckClosed;
}

}  // namespace net
