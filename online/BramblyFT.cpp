#include "online/BramblyFT.h"

#include <QPointer>
#include <system_error>

#include "net/Socket.h"
#include "platform/Timer.h"
#include "runtime/Error.h"
#include "runtime/Rounding.h"

namespace online {

namespace fs = std::filesystem;

BramblyFT::BramblyFT(QObject* parent)
    : QObject(parent), Server(new net::Socket(this)), Client(new net::Socket(this)),
      Speed(new platform::Timer(QStringLiteral("Speed"), 1000, this)) {
    Server->setObjectName("Server");
    Client->setObjectName("Client");
    random_.Randomize();
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietGap);
    silence_.setSingleShot(true);
    silence_.setInterval(kSilenceTimeout);
    connect(&quiet_, &QTimer::timeout, this, &BramblyFT::Quiet_Timer);
    connect(&silence_, &QTimer::timeout, this, &BramblyFT::Silence_Timer);
    connect(Speed, &platform::Timer::Tick, this, &BramblyFT::Speed_Timer);
    connect(Server, &net::Socket::ConnectionRequest, this, &BramblyFT::Server_ConnectionRequest);
    connect(Server, &net::Socket::DataArrival, this, &BramblyFT::Server_DataArrival);
    connect(Server, &net::Socket::CloseSckEvent, this, &BramblyFT::Server_Close);
    connect(Server, &net::Socket::Error, this, &BramblyFT::Server_Close);
    connect(Client, &net::Socket::ConnectEvent, this, &BramblyFT::Client_Connect);
    connect(Client, &net::Socket::DataArrival, this, &BramblyFT::Client_DataArrival);
    connect(Client, &net::Socket::CloseSckEvent, this, &BramblyFT::Client_Close);
    connect(Client, &net::Socket::Error, this, &BramblyFT::Client_Error);
}

BramblyFT::~BramblyFT() {
    // Nothing is told any more; what a side left on disk goes.
    blockSignals(true);
    EndReceiving();
    EndSending();
}

// ---- Sending ---------------------------------------------------------------

bool BramblyFT::HostFile(const std::string& FileDir) {
    if (bufferSize_ < 1 || static_cast<std::size_t>(bufferSize_) > transfer::kMaxBlockSize) return false;
    std::error_code error;
    const fs::path file = fs::absolute(fs::path(FileDir), error);
    if (error || !fs::is_regular_file(file, error)) return false;
    const std::optional<fs::path> copy = transfer::MakeTempFile(file, random_);
    if (!copy) return false;
    std::shared_ptr<const transfer::FileSource> source;
    if (fs::copy_file(file, *copy, fs::copy_options::overwrite_existing, error)) {
        source = transfer::OpenFileSource(*copy, error);
    }
    if (!source) {
        transfer::RemoveTempFile(*copy);
        return false;
    }
    EndReceiving();
    EndSending();
    bool listening = false;
    try {
        Server->LocalPort(port_);
        Server->Listen(listening);
    } catch (const runtime::Error&) {
        listening = false;
    }
    if (!listening) {
        Server->CloseSck();
        transfer::RemoveTempFile(*copy);
        return false;
    }
    copy_ = *copy;
    source_ = std::move(source);
    hostedBlockSize_ = static_cast<std::size_t>(bufferSize_);
    UpdateSpeed();
    return true;
}

void BramblyFT::Server_ConnectionRequest(int requestID) {
    if (!source_ || sender_) return;
    // The listener closes and carries the connection itself: one receiver
    // per HostFile.
    Server->CloseSck();
    Server->Accept(requestID);
    sender_.emplace(source_, hostedBlockSize_);
    emit NewConnection();
}

void BramblyFT::Server_DataArrival(int /*bytesTotal*/) {
    std::string bytes;
    Server->GetData(bytes);
    if (!sender_) return;
    transfer::SenderStep step = sender_->OnBytes(bytes);
    const QPointer<BramblyFT> alive(this);
    std::string host = Server->RemoteHostIP();
    if (step.started) {
        emit SendingStarted(host);
        if (!alive || !sender_) return;
    }
    try {
        for (const std::string& message : step.messages) {
            Server->SendData(message);
            byteCount_ += message.size();
        }
    } catch (const runtime::Error&) {
        step.failed = true;
    }
    if (step.failed) {
        EndSending();
        return;
    }
    if (step.finished) {
        // The connection stays open, as the receiver expects; the copy goes.
        transfer::RemoveTempFile(copy_);
        copy_.clear();
        source_.reset();
        UpdateSpeed();
        emit SendingFinished(host);
    }
}

void BramblyFT::Server_Close() {
    if (sender_) EndSending();
}

void BramblyFT::EndSending() {
    Server->CloseSck();
    sender_.reset();
    source_.reset();
    transfer::RemoveTempFile(copy_);
    copy_.clear();
    UpdateSpeed();
}

// ---- Receiving -------------------------------------------------------------

bool BramblyFT::GetFile(const std::string& Host, const std::string& SavePath) {
    EndReceiving();
    EndSending();
    if (download_.Open(fs::path(SavePath))) {
        lastFault_ = transfer::Fault::FileError;
        return false;
    }
    receiver_ = transfer::Receiver(limits_);
    lastFault_ = transfer::Fault::None;
    // Receiving already, so a connection that fails inside Connect (its Error
    // comes at once) ends the fetch there and then, not at the silence.
    receiving_ = true;
    starting_ = true;
    bool thrown = false;
    try {
        Client->Connect(Host, port_);
    } catch (const runtime::Error&) {
        thrown = true;
    }
    starting_ = false;
    if (thrown || !receiving_) {
        EndReceiving();
        lastFault_ = transfer::Fault::ConnectFailed;
        return false;
    }
    silence_.start();
    UpdateSpeed();
    return true;
}

void BramblyFT::Client_Connect() {
    if (!receiving_) return;
    silence_.start();
    SendToSender(receiver_.Start());
    if (receiving_) emit ReceivingStarted();
}

void BramblyFT::Client_DataArrival(int /*bytesTotal*/) {
    std::string bytes;
    Client->GetData(bytes);
    if (!receiving_) return;
    byteCount_ += bytes.size();
    quiet_.start();
    silence_.start();
    Apply(receiver_.OnBytes(bytes));
}

void BramblyFT::Quiet_Timer() {
    if (receiving_) Apply(receiver_.OnQuiet());
}

void BramblyFT::Silence_Timer() {
    if (receiving_) Apply(receiver_.Fail(transfer::Fault::Silence));
}

void BramblyFT::Client_Close() {
    if (receiving_) Apply(receiver_.OnClosed());
}

void BramblyFT::Client_Error() {
    if (!receiving_) return;
    const bool connected = receiver_.State() != transfer::ReceiverState::Idle;
    Apply(receiver_.Fail(connected ? transfer::Fault::BrokenOff : transfer::Fault::ConnectFailed));
}

void BramblyFT::SendToSender(std::string_view message) {
    try {
        Client->SendData(std::string(message));
    } catch (const runtime::Error&) {
        Apply(receiver_.Fail(transfer::Fault::BrokenOff));
    }
}

void BramblyFT::Apply(transfer::ReceiverStep step) {
    if (step.block && download_.Append(*step.block)) step = receiver_.Fail(transfer::Fault::FileError);
    if (step.acknowledge) SendToSender(transfer::kAcknowledge);
    if (step.finished) {
        if (download_.Commit()) {
            step = receiver_.Fail(transfer::Fault::FileError);
        } else {
            // The connection stays open, as the sender expects.
            receiving_ = false;
            quiet_.stop();
            silence_.stop();
            UpdateSpeed();
            emit ReceivingFinished();
            return;
        }
    }
    if (step.fault != transfer::Fault::None) {
        lastFault_ = step.fault;
        EndReceiving();
        if (!starting_) emit ReceivingFailed(step.fault);
    }
}

void BramblyFT::EndReceiving() {
    Client->CloseSck();
    receiving_ = false;
    download_.Abandon();
    quiet_.stop();
    silence_.stop();
    UpdateSpeed();
}

// ---- Both ------------------------------------------------------------------

void BramblyFT::CloseSck() {
    EndSending();
    EndReceiving();
}

void BramblyFT::Speed_Timer() {
    std::int32_t rate = runtime::SaturateLong(static_cast<std::int64_t>(byteCount_));
    byteCount_ = 0;
    emit TransferRate(rate);
}

void BramblyFT::UpdateSpeed() {
    // The rate is told while a transfer runs, and stops with it.
    const bool running = receiving_ || source_ != nullptr;
    if (running == Speed->Enabled()) return;
    byteCount_ = 0;
    Speed->SetEnabled(running);
}

}  // namespace online
