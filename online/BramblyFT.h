#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "online/FileTransfer.h"
#include "online/ServerPorts.h"
#include "online/TransferFiles.h"
#include "runtime/Random.h"

namespace net {
class Socket;
}
namespace platform {
class Timer;
}

namespace online {

// The file transfer control: it sends one file (HostFile: listen, serve the
// first receiver that connects) or fetches one (GetFile), block by block as
// transfer::Sender and transfer::Receiver have it, and tells its owner how
// it goes through its events. It shows nothing.
//
// Its events come in this order of declaration: ReceivingStarted,
// ReceivingFinished, SendingStarted, SendingFinished, TransferRate,
// NewConnection; ReceivingFailed tells that a fetch ended without its file
// (refused, broken off, silent, inconsistent, or not writable), which has
// then been removed.
//
// A fetched file reaches its save path only whole: it is written beside it
// as <save path>.TMP and renamed into place at the end.
class BramblyFT : public QObject {
    Q_OBJECT
public:
    // Quiet time after which the first block, or a short last one, is whole.
    static constexpr std::chrono::milliseconds kQuietGap{1000};
    // Silence after which a fetch is given up (connecting included).
    static constexpr std::chrono::milliseconds kSilenceTimeout{30000};

    explicit BramblyFT(QObject* parent = nullptr);
    ~BramblyFT() override;

    // The sending side's block size. Nothing gives it a value: set it (1 to
    // transfer::kMaxBlockSize) before HostFile, which refuses any other.
    std::int32_t BufferSize() const { return bufferSize_; }
    void BufferSize(std::int32_t size) { bufferSize_ = size; }

    // Serves a copy of the file (so the file itself may change meanwhile) to
    // the first receiver that connects. False for a missing file, a bad
    // block size, or a port that cannot be listened on.
    bool HostFile(const std::string& FileDir);
    // Fetches the file from the host into SavePath. False when the fetch
    // could not start (the receive file cannot be made there, or the
    // connection to the host fails at once or cannot be tried): no event
    // follows, LastFault says why and nothing is left on disk. True means
    // the fetch has started, and its end comes as an event.
    bool GetFile(const std::string& Host, const std::string& SavePath);
    // Ends both sides at once, without an event; a partial file is removed.
    void CloseSck();

    bool IfExist(const std::string& Path) const { return transfer::IfExist(Path); }
    std::string FileFromPath(const std::string& FilePath) const { return transfer::FileFromPath(FilePath); }
    std::string slashval(const std::string& Path) const { return transfer::slashval(Path); }
    std::string FolderFromPath(const std::string& FilePath) const { return transfer::FolderFromPath(FilePath); }

    // The port the sending side listens on and the receiving side connects
    // to (tests listen on port 0 and read the port from Server).
    void SetPort(std::int32_t port) { port_ = port; }
    std::int32_t Port() const { return port_; }
    void SetLimits(transfer::ReceiverLimits limits) { limits_ = limits; }
    const transfer::ReceiverLimits& Limits() const { return limits_; }
    void SetQuietGap(std::chrono::milliseconds gap) { quiet_.setInterval(gap); }
    void SetSilenceTimeout(std::chrono::milliseconds timeout) { silence_.setInterval(timeout); }

    // A fetch is under way (from GetFile to its end).
    bool Receiving() const { return receiving_; }
    // A file is hosted and not sent whole yet.
    bool Sending() const { return source_ != nullptr; }
    transfer::Fault LastFault() const { return lastFault_; }

    net::Socket* Server = nullptr;  // the sending side
    net::Socket* Client = nullptr;  // the receiving side
    platform::Timer* Speed = nullptr;

    // Event handlers, public so tests can call them.
    void Server_ConnectionRequest(int requestID);
    void Server_DataArrival(int bytesTotal);
    void Server_Close();
    void Client_Connect();
    void Client_DataArrival(int bytesTotal);
    void Client_Close();
    void Client_Error();
    void Speed_Timer();
    void Quiet_Timer();
    void Silence_Timer();

signals:
    void ReceivingStarted();
    void ReceivingFinished();
    void SendingStarted(std::string& Host);
    void SendingFinished(std::string& Host);
    void TransferRate(std::int32_t& BytesPerSec);
    void NewConnection();
    void ReceivingFailed(online::transfer::Fault fault);

private:
    void Apply(transfer::ReceiverStep step);
    void SendToSender(std::string_view message);
    // Ends a side without an event.
    void EndReceiving();
    void EndSending();
    void UpdateSpeed();

    std::int32_t bufferSize_ = 0;
    std::int32_t port_ = kFileTransferPort;
    transfer::ReceiverLimits limits_;
    runtime::LcgRandom random_;

    // Sending side.
    std::filesystem::path copy_;
    std::shared_ptr<const transfer::FileSource> source_;
    std::size_t hostedBlockSize_ = 0;
    std::optional<transfer::Sender> sender_;

    // Receiving side.
    bool receiving_ = false;
    bool starting_ = false;  // inside GetFile: a failure is its result, not an event
    transfer::Receiver receiver_;
    transfer::DownloadFile download_;
    QTimer quiet_;
    QTimer silence_;
    transfer::Fault lastFault_ = transfer::Fault::None;

    std::uint64_t byteCount_ = 0;
};

}  // namespace online
