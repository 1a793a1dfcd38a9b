#pragma once

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "net/CSocketEngine.h"
#include "net/Variant.h"

namespace platform {
class Dialogs;
}

namespace net {

// The control a window holds wherever it needs a network endpoint: a QObject
// child of the window that owns one CSocketEngine, passes every member on to
// it and raises its seven events as Qt signals. It adds no behaviour of its
// own: states, checks, errors (runtime::Error, unchanged) and conversions are
// the engine's.
//
// Connect the signals directly (the default for objects of one thread); the
// Error signal hands `description` and `cancelDisplay` by reference. The two
// events whose names are members too are CloseSckEvent and ConnectEvent.
//
//     auto* sock = new net::Socket(this);
//     sock->setObjectName("Socket2");
//     connect(sock, &net::Socket::ConnectEvent, this, &Form1::Socket2_Connect);
//     connect(sock, &net::Socket::DataArrival, this, &Form1::Socket2_DataArrival);
//     sock->CloseSck();
//     sock->Connect(hostText, 5989);
//     ...
//     void Form1::Socket2_DataArrival(int bytesTotal) {
//         std::string message;
//         Socket2->GetData(message);   // the whole buffer, as bytes
//     }
//
// A handler may call any member of the control that raised it (close it,
// accept on it, send on it). Deleting the control from inside one of its own
// handlers must go through deleteLater(), as for any QObject.
class Socket final : public QObject {
    Q_OBJECT

public:
    explicit Socket(QObject* parent = nullptr);
    ~Socket() override;

    std::int32_t RemotePort() const { return engine_->RemotePort(); }
    void RemotePort(std::int32_t lngPort) { engine_->RemotePort(lngPort); }
    const std::string& RemoteHost() const { return engine_->RemoteHost(); }
    void RemoteHost(const std::string& strHost) { engine_->RemoteHost(strHost); }
    const std::string& RemoteHostIP() const { return engine_->RemoteHostIP(); }
    std::int32_t LocalPort() const { return engine_->LocalPort(); }
    void LocalPort(std::int32_t lngPort) { engine_->LocalPort(lngPort); }
    // 0 closed, 1 open, 2 listening, 4 resolving, 5 resolved, 6 connecting,
    // 7 connected, 8 closing (the peer closed), 9 error.
    std::int32_t State() const { return engine_->State(); }
    std::string LocalHostName() const { return engine_->LocalHostName(); }
    std::string LocalIP() const { return engine_->LocalIP(); }
    std::int32_t BytesReceived() const { return engine_->BytesReceived(); }
    std::int32_t SocketHandle() const { return engine_->SocketHandle(); }
    const std::string& Tag() const { return engine_->Tag(); }
    void Tag(const std::string& strTag) { engine_->Tag(strTag); }
    std::int32_t Protocol() const { return engine_->Protocol(); }
    void Protocol(std::int32_t enmProtocol) { engine_->Protocol(enmProtocol); }
    // For a server: the send queue's length and limit, the listen backlog,
    // unacknowledged and acknowledged bytes, asking a silent peer, the
    // system's buffers, bytes waiting, holding back reading, reading what
    // waits now and ending with a reset (CSocketEngine tells how they work).
    // Not kept in the design.
    std::int32_t BytesToSend() const { return engine_->BytesToSend(); }
    std::int32_t SendQueueLimit() const { return engine_->SendQueueLimit(); }
    void SendQueueLimit(std::int32_t lngBytes) { engine_->SendQueueLimit(lngBytes); }
    std::int32_t ListenBacklog() const { return engine_->ListenBacklog(); }
    void ListenBacklog(std::int32_t lngBacklog) { engine_->ListenBacklog(lngBacklog); }
    std::int32_t BytesUnacknowledged() const { return engine_->BytesUnacknowledged(); }
    std::int64_t BytesAcknowledged() const { return engine_->BytesAcknowledged(); }
    void UnacknowledgedTimeout(std::int32_t lngMilliseconds) { engine_->UnacknowledgedTimeout(lngMilliseconds); }
    void KeepAlive(std::int32_t idleSeconds, std::int32_t intervalSeconds, std::int32_t probes) {
        engine_->KeepAlive(idleSeconds, intervalSeconds, probes);
    }
    void NoDelay(bool noDelay) { engine_->NoDelay(noDelay); }
    void SystemBuffers(std::int32_t sendBytes, std::int32_t receiveBytes) {
        engine_->SystemBuffers(sendBytes, receiveBytes);
    }
    std::int32_t BytesWaiting() const { return engine_->BytesWaiting(); }
    bool ReceiveHeld() const { return engine_->ReceiveHeld(); }
    void HoldReceive(bool hold) { engine_->HoldReceive(hold); }
    void ReceiveWaiting() { engine_->ReceiveWaiting(); }

    void Accept(std::int32_t requestID) { engine_->Accept(requestID); }
    void Bind(std::optional<Variant> localPort = std::nullopt, std::optional<Variant> localIP = std::nullopt) {
        engine_->Bind(std::move(localPort), std::move(localIP));
    }
    void CloseSck() { engine_->CloseSck(); }
    void Abort() { engine_->Abort(); }
    // sock->Connect("192.168.0.2", 5989), or Connect() with the properties.
    void Connect(std::optional<Variant> remoteHost = std::nullopt, std::optional<Variant> remotePort = std::nullopt) {
        engine_->Connect(std::move(remoteHost), std::move(remotePort));
    }
    void GetData(Variant& data, Variant* varType = nullptr, Variant* maxLen = nullptr) {
        engine_->GetData(data, varType, maxLen);
    }
    // GetData into a String variable: every byte waiting, as text.
    void GetData(std::string& text);
    void PeekData(Variant& data, Variant* varType = nullptr, Variant* maxLen = nullptr) {
        engine_->PeekData(data, varType, maxLen);
    }
    void PeekData(std::string& text);
    void Listen(bool* successfull = nullptr) { engine_->Listen(successfull); }
    void Listen(bool& successfull) { engine_->Listen(&successfull); }
    // Through the control only text is sent, one byte per character.
    void SendData(const std::string& data) { engine_->SendData(Variant(data)); }

    // Where a message box asked for by an Error handler is shown.
    void SetDialogs(platform::Dialogs* dialogs) { engine_->SetDialogs(dialogs); }

    // The five properties a window's design keeps ("LocalPort", "Protocol",
    // "RemoteHost", "RemotePort", "Tag"). Reading applies each through its
    // setter, so the checks hold (a stored port out of range raises 40014);
    // writing stores only values that differ from their defaults.
    using PropertyBag = std::map<std::string, Variant>;
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

signals:
    void CloseSckEvent();
    void ConnectEvent();
    void ConnectionRequest(int requestID);
    void DataArrival(int bytesTotal);
    void Error(int number, std::string& description, int scode, const std::string& source,
               const std::string& helpFile, int helpContext, bool& cancelDisplay);
    void SendComplete();
    void SendProgress(int bytesSent, int bytesRemaining);

private:
    class Relay;
    std::unique_ptr<Relay> relay_;
    std::shared_ptr<CSocketEngine> engine_;
};

}  // namespace net
