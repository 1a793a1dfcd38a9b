#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "net/Variant.h"
#include "net/modSocketEngine.h"
#include "platform/Winsock.h"

namespace platform {
class Dialogs;
}

namespace net {

// The seven events of a socket object. Every handler may call any member of
// the object that raised it, close it or send on it; the object checks its
// state again after each event. An exception thrown by a handler goes no
// further than the object (the remaining steps still run).
class SocketEvents {
public:
    virtual ~SocketEvents() = default;
    // The peer has closed the connection (state 8).
    virtual void CloseSck() {}
    // The connection is up (state 7).
    virtual void Connect() {}
    // A connection waits on a listener; Accept(requestID) on a closed
    // object takes it over, otherwise it is refused once this returns.
    virtual void ConnectionRequest(std::int32_t /*requestID*/) {}
    // Bytes arrived; bytesTotal counts every byte waiting, not only the new.
    virtual void DataArrival(std::int32_t /*bytesTotal*/) {}
    // An asynchronous failure (the state is 9 where the operation says so).
    // Setting cancelDisplay to false makes the object show the description
    // in a message box titled with the source.
    virtual void Error(int /*number*/, std::string& /*description*/, std::int32_t /*scode*/,
                       const std::string& /*source*/, const std::string& /*helpFile*/, std::int32_t /*helpContext*/,
                       bool& /*cancelDisplay*/) {}
    // Every queued byte has been handed to the system.
    virtual void SendComplete() {}
    // Bytes handed to the system in this run of the sender, and bytes left.
    virtual void SendProgress(std::int32_t /*bytesSent*/, std::int32_t /*bytesRemaining*/) {}
};

// States of a socket object, by their own names.
inline constexpr std::int32_t sckClosed = 0;
inline constexpr std::int32_t sckOpen = 1;
inline constexpr std::int32_t sckListening = 2;
inline constexpr std::int32_t sckResolvingHost = 4;
inline constexpr std::int32_t sckHostResolved = 5;
inline constexpr std::int32_t sckConnecting = 6;
inline constexpr std::int32_t sckConnected = 7;
inline constexpr std::int32_t sckClosing = 8;
inline constexpr std::int32_t sckError = 9;

// Protocols.
inline constexpr std::int32_t sckTCPProtocol = 0;
inline constexpr std::int32_t sckUDPProtocol = 1;

// One asynchronous TCP or UDP socket. Its calls never wait on the network:
// progress arrives as notifications from the event loop and becomes state
// changes and events.
//
// Misuse and failures inside a call raise runtime::Error with a number, a
// source ("CSocketEngine.Connect") and a description. Failures found while
// handling a notification put the object into state 9 and raise its Error
// event instead (a failed accept, a failed receive and a failure of the
// connect step after a lookup end the handling of their notification
// without an event).
//
// Objects live in a std::shared_ptr (Create): the notification routing
// holds them weakly and keeps them alive while one is handled.
class CSocketEngine final : public std::enable_shared_from_this<CSocketEngine> {
    struct Key {};

public:
    static std::shared_ptr<CSocketEngine> Create();
    explicit CSocketEngine(Key);
    ~CSocketEngine();
    CSocketEngine(const CSocketEngine&) = delete;
    CSocketEngine& operator=(const CSocketEngine&) = delete;

    // Who receives the events (null: nobody), and where a message box asked
    // for by an Error handler is shown (null: platform::DefaultDialogs(), and
    // without those the log).
    void SetEvents(SocketEvents* events) { events_ = events; }
    void SetDialogs(platform::Dialogs* dialogs) { dialogs_ = dialogs; }

    // Entry point for the hidden notification window only.
    void WndProc(std::uint32_t uMsg, std::int32_t wParam, std::int32_t lParam) noexcept;

    std::int32_t RemotePort() const { return remotePort_; }
    void RemotePort(std::int32_t lngPort);
    const std::string& RemoteHost() const { return remoteHost_; }
    void RemoteHost(const std::string& strHost);
    const std::string& RemoteHostIP() const { return remoteHostIP_; }
    // The bound port when the system chose one, else the port asked for.
    std::int32_t LocalPort() const { return boundLocalPort_ != 0 ? boundLocalPort_ : localPort_; }
    void LocalPort(std::int32_t lngPort);
    std::int32_t State() const { return state_; }
    std::string LocalHostName() const;
    std::string LocalIP() const;
    std::int32_t BytesReceived() const;
    std::int32_t SocketHandle() const { return socketHandle_; }
    const std::string& Tag() const { return tag_; }
    void Tag(const std::string& strTag) { tag_ = strTag; }
    std::int32_t Protocol() const { return protocol_; }
    void Protocol(std::int32_t enmProtocol);

    // What a server needs beyond the game's use; the defaults keep the
    // game's behaviour, and CloseSck leaves the two limits as they are.
    //
    // Bytes SendData has queued that the system has not taken yet (the
    // system's own send buffer not counted). A peer that stops reading makes
    // it grow.
    std::int32_t BytesToSend() const;
    // The most bytes the send queue may hold; 0, the default, for no limit.
    // A SendData that would take the queue beyond it is refused whole with
    // error 10055 "No buffer space available." (source
    // "CSocketEngine.SendData"): nothing of it is queued or sent, no event
    // follows, and the state stays, so the owner can close a peer that does
    // not keep up. Set it above the largest single SendData. A negative
    // limit raises 40014.
    std::int32_t SendQueueLimit() const { return sendQueueLimit_; }
    void SendQueueLimit(std::int32_t lngBytes);
    // How many connections may wait for their ConnectionRequest, given to
    // the system at Listen: 5 by default; the system lowers a bigger number
    // to its own maximum (net.core.somaxconn). Set in state 0 or 1 (else
    // 40020); below 1 raises 40014.
    std::int32_t ListenBacklog() const { return listenBacklog_; }
    void ListenBacklog(std::int32_t lngBacklog);
    // Bytes the system has taken from the send queue whose arrival the peer
    // has not acknowledged yet; 0 without a connection. A peer that is cut
    // off, or has stopped reading, leaves them there.
    std::int32_t BytesUnacknowledged() const;
    // Bytes sent on this connection that the peer has acknowledged, counted
    // from its start (an accepted connection begins at 0). Unlike the count
    // above it stays readable once the connection has failed (reset, or
    // given up by the system), until CloseSck: what reached the peer before
    // the end is still known. 0 without a TCP socket.
    std::int64_t BytesAcknowledged() const;
    // How long, in milliseconds, sent bytes may wait for the peer's
    // acknowledgement before the system gives the connection up (it then
    // ends in error, as a reset one does); 0 for the system's own, many
    // minutes. For a connected TCP socket (else 40006); negative raises
    // 40014. It holds for this connection only.
    void UnacknowledgedTimeout(std::int32_t lngMilliseconds);
    // Asks a silent peer whether it is still there: after `idleSeconds`
    // with nothing from it, a probe every `intervalSeconds`; after `probes`
    // unanswered ones the system gives the connection up (it then ends in
    // error, as a reset one does). A peer that sleeps or loses its network
    // does not close. An idle time of 0 asks nothing (the default). For a
    // connected TCP socket (else 40006); a negative number, or an interval
    // or count of 0 with an idle time, raises 40014.
    void KeepAlive(std::int32_t idleSeconds, std::int32_t intervalSeconds, std::int32_t probes);
    // Whether each send goes out at once rather than waiting to be joined
    // with the next while the peer has not acknowledged the last (Nagle's
    // joining; off by default as the system has it). For a connected TCP
    // socket (else 40006).
    void NoDelay(bool noDelay);
    // The system's own send and receive buffers for this socket, in bytes
    // (the system doubles them for its bookkeeping); 0 leaves one as it is.
    // Small, they bound what a peer costs in the kernel: a peer that is not
    // read is held back sooner, one that does not read shows sooner. A
    // listener's go to the connections it accepts. For a TCP socket that
    // exists: listening or connected (else 40006); negative raises 40014.
    void SystemBuffers(std::int32_t sendBytes, std::int32_t receiveBytes);
    // Bytes the peer has sent that no read has taken yet (a held receive
    // leaves them with the system); 0 without a connection.
    std::int32_t BytesWaiting() const;
    // Whether receiving is held: while it is, a notification of arriving
    // bytes reads nothing, so they stay with the system, whose receive
    // window then holds the peer back (a server reads a client no faster
    // than its budget). Releasing lets a DataArrival follow from the event
    // loop for what waits. A TCP connection only; CloseSck releases it.
    bool ReceiveHeld() const { return receiveHeld_; }
    void HoldReceive(bool hold);
    // Reads now what the peer sent that the system still holds (held or
    // not) and announces it with DataArrival, so that an owner about to
    // close the connection has all that reached the machine. A connected
    // TCP socket only; otherwise nothing happens. A connection that fails
    // does the same before it reports the failure: a reset does not take
    // back what arrived before it, but once in error nothing is read.
    void ReceiveWaiting();

    void CloseSck();
    // Ends a TCP connection at once: what waits to be sent, in the queue or
    // in the system, is thrown away and the peer hears a reset instead of an
    // orderly close, so nothing not yet sent can still reach it later (a
    // peer cut off would otherwise get the rest when it comes back). Then as
    // CloseSck; on any other socket just CloseSck.
    void Abort();
    void Connect(std::optional<Variant> remoteHost = std::nullopt, std::optional<Variant> remotePort = std::nullopt);
    void Bind(std::optional<Variant> localPort = std::nullopt, std::optional<Variant> localIP = std::nullopt);
    void SendData(const Variant& data);
    // data's own type decides the conversion, unless data is Empty: then
    // *varType does (array of Byte when varType is null). A non-numeric
    // *maxLen receives the count of bytes available.
    void GetData(Variant& data, Variant* varType = nullptr, Variant* maxLen = nullptr);
    void PeekData(Variant& data, Variant* varType = nullptr, Variant* maxLen = nullptr);
    Variant Listen(bool* successfull = nullptr);
    void Accept(std::int32_t requestID);

    // Whether this object only holds an accepted connection until a
    // listener's owner takes it over.
    bool IsHolder() const { return holder_; }

private:
    friend void ::net::modSocketEngine::RegisterAccept(std::int32_t);

    // Makes a fresh object the holder of an accepted connection.
    void HoldAccepted(std::int32_t handle);

    // Notifications.
    void OnLookupDone(std::int32_t task, int error);
    void OnSocketEvent(std::int32_t event, int error);
    void OnConnected();
    void OnConnectionRequest();
    void OnReadable();

    // Connections.
    bool SocketExists();
    void ResolveIfHostname();
    void ConnectToIP(int error, std::uint32_t address, bool inCall);
    bool BindInternal(const std::optional<Variant>& port = std::nullopt,
                      const std::optional<Variant>& ip = std::nullopt);
    void CancelLookups();
    void ReadPeer(std::int32_t handle);
    std::string HostNameAddress() const;

    // Data.
    void ProcessOptions();
    bool ConnectedTcp() const;
    // Raises 40006 for `operation` unless this is a connected TCP socket.
    void RequireConnectedTcp(const char* operation) const;
    // A byte count the system keeps for the connection (FIONREAD, SIOCOUTQ);
    // 0 without a connection.
    std::int32_t SystemQueue(unsigned long command) const;
    // Sends the queue, or, when the queue is empty, `fresh` bytes.
    void SendBufferedData(std::string_view fresh = {});
    void SendBufferedDataUDP(std::string_view datagram);
    // The buffer every receive goes through, of at least a receive piece.
    std::vector<char>& Scratch() const;
    void RecvDataToBuffer();
    void ReceiveDatagramNotice();
    void RecvData(Variant& data, Variant* varType, Variant* maxLen, bool peek);
    int TakeBytes(std::size_t n, bool peek, std::string& out);
    std::size_t Pending() const { return sendBuffer_.size() - sendOffset_; }
    // Empties the send queue.
    void ReleaseSendBuffer();

    // Events.
    template <class F>
    void Raise(F&& raise) noexcept {
        if (!events_) return;
        try {
            raise(*events_);
        } catch (const std::exception& e) {
            ReportHandlerFailure(e.what());
        } catch (...) {
            ReportHandlerFailure("unknown exception");
        }
    }
    static void ReportHandlerFailure(const char* what) noexcept;
    void RaiseError(int number, const std::string& operation);
    void Fail(int number, const std::string& operation);

    platform::ws::SOCKET socketHandle_ = platform::ws::INVALID_SOCKET;
    std::int32_t state_ = sckClosed;
    std::string tag_;
    std::string remoteHost_;
    std::int32_t remotePort_ = 0;
    std::string remoteHostIP_;
    std::int32_t localPort_ = 0;
    std::int32_t boundLocalPort_ = 0;
    std::string boundLocalIP_;
    std::int32_t protocol_ = sckTCPProtocol;
    std::int32_t sendQueueLimit_ = 0;
    std::int32_t listenBacklog_ = 5;
    std::shared_ptr<platform::ws::HostEnt> lookupBuffer_;
    std::int32_t sendPieceSize_ = 0;
    std::int32_t recvPieceSize_ = 0;
    std::string sendBuffer_;
    std::size_t sendOffset_ = 0;  // bytes at the front of sendBuffer_ already sent
    std::string recvBuffer_;
    bool holder_ = false;
    bool receiveHeld_ = false;
    bool readMissed_ = false;  // a notification of arriving bytes came while receiving was held
    bool datagramTaken_ = false;  // the announced datagram was read by a handler
    std::set<std::int32_t> pendingLookups_;

    SocketEvents* events_ = nullptr;
    platform::Dialogs* dialogs_ = nullptr;
};

}  // namespace net
