#include "online/FileTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace online::transfer {

const char* FaultText(Fault fault) {
    switch (fault) {
        case Fault::None: return "no fault";
        case Fault::NotABlock: return "bytes that begin no block";
        case Fault::EmptyBlock: return "an empty block";
        case Fault::BlockTooLong: return "a block longer than the block size";
        case Fault::FileTooLarge: return "a file larger than allowed";
        case Fault::BrokenOff: return "the connection ended before the last block";
        case Fault::Silence: return "nothing arrived for too long";
        case Fault::ConnectFailed: return "no connection to the sender";
        case Fault::FileError: return "the file could not be read or written";
    }
    return "unknown fault";
}

// ---- Sources ---------------------------------------------------------------

namespace {

class MemorySource final : public FileSource {
public:
    explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool AppendTo(std::string& out, std::uint64_t offset, std::size_t length) const override {
        if (offset > bytes_.size() || length > bytes_.size() - offset) return false;
        out.append(bytes_, static_cast<std::size_t>(offset), length);
        return true;
    }

private:
    const std::string bytes_;
};

class DescriptorSource final : public FileSource {
public:
    DescriptorSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~DescriptorSource() override { ::close(fd_); }
    DescriptorSource(const DescriptorSource&) = delete;
    DescriptorSource& operator=(const DescriptorSource&) = delete;

    std::uint64_t Size() const override { return size_; }
    bool AppendTo(std::string& out, std::uint64_t offset, std::size_t length) const override {
        if (offset > size_ || length > size_ - offset) return false;
        const std::size_t before = out.size();
        out.resize(before + length);
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pread(fd_, out.data() + before + done, length - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {  // an error, or the file shrank under us
                out.resize(before);
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    const int fd_;
    const std::uint64_t size_;
};

}  // namespace

std::shared_ptr<const FileSource> BytesSource(std::string bytes) {
    return std::make_shared<MemorySource>(std::move(bytes));
}

std::shared_ptr<const FileSource> OpenFileSource(const std::filesystem::path& file, std::error_code& error) {
    error.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::error_code(errno, std::generic_category());
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::error_code(errno, std::generic_category());
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(std::errc::is_a_directory);
        ::close(fd);
        return nullptr;
    }
    return std::make_shared<DescriptorSource>(fd, static_cast<std::uint64_t>(info.st_size));
}

// ---- Sender ----------------------------------------------------------------

const Grammar& ReceiverToSenderGrammar() {
    static const KeywordGrammar grammar({{kRequest, Tail::None}, {kAcknowledge, Tail::None}});
    return grammar;
}

Sender::Sender(std::shared_ptr<const FileSource> file, std::size_t blockSize)
    : file_(std::move(file)), blockSize_(blockSize), reader_(ReceiverToSenderGrammar()) {
    if (!file_) throw std::invalid_argument("a sender needs a file");
    if (blockSize_ < 1 || blockSize_ > kMaxBlockSize) throw std::invalid_argument("block size out of range");
}

SenderStep Sender::OnBytes(std::string_view bytes) {
    SenderStep step;
    reader_.Append(bytes);
    while (auto message = reader_.Next()) {
        SenderStep one = OnMessage(*message);
        step.started = step.started || one.started;
        step.finished = step.finished || one.finished;
        step.failed = step.failed || one.failed;
        step.fileBytes += one.fileBytes;
        for (auto& m : one.messages) step.messages.push_back(std::move(m));
        if (state_ == SenderState::Failed) break;
    }
    return step;
}

SenderStep Sender::OnMessage(std::string_view message) {
    SenderStep step;
    if (state_ == SenderState::AwaitingRequest && message == kRequest) {
        step.started = true;
        SendNext(step);
    } else if (state_ == SenderState::Sending && message == kAcknowledge) {
        SendNext(step);
    }
    return step;
}

void Sender::SendNext(SenderStep& step) {
    const std::uint64_t remaining = BytesRemaining();
    const bool last = remaining <= blockSize_;
    const std::size_t length = last ? static_cast<std::size_t>(remaining) : blockSize_;
    std::string message(last ? kLastBlock : kBlock);
    message.reserve(message.size() + length);
    if (!file_->AppendTo(message, position_, length)) {
        state_ = SenderState::Failed;
        step.failed = true;
        return;
    }
    position_ += length;
    step.fileBytes += length;
    step.messages.push_back(std::move(message));
    if (last) {
        state_ = SenderState::Done;
        step.finished = true;
    } else {
        state_ = SenderState::Sending;
    }
}

// ---- Receiver --------------------------------------------------------------

Receiver::Receiver(ReceiverLimits limits) : limits_(limits) {}

std::string Receiver::Start() {
    if (state_ == ReceiverState::Idle) state_ = ReceiverState::AwaitingFirst;
    return std::string(kRequest);
}

ReceiverStep Receiver::OnBytes(std::string_view bytes) {
    if (state_ != ReceiverState::AwaitingFirst && state_ != ReceiverState::AwaitingBlock) return {};
    // Never more than one block plus its prefix is held: anything beyond
    // is refused by Examine before the next arrival.
    pending_.append(bytes);
    return Examine(Moment::Arrival);
}

ReceiverStep Receiver::OnQuiet() {
    if (state_ != ReceiverState::AwaitingFirst && state_ != ReceiverState::AwaitingBlock) return {};
    return Examine(Moment::Quiet);
}

ReceiverStep Receiver::OnClosed() {
    if (state_ != ReceiverState::AwaitingFirst && state_ != ReceiverState::AwaitingBlock) return {};
    return Examine(Moment::Closed);
}

ReceiverStep Receiver::Fail(Fault fault) {
    if (state_ == ReceiverState::Failed) return {};
    state_ = ReceiverState::Failed;
    fault_ = fault;
    pending_.clear();
    pending_.shrink_to_fit();
    ReceiverStep step;
    step.fault = fault;
    return step;
}

ReceiverStep Receiver::Examine(Moment moment) {
    const bool closed = moment == Moment::Closed;
    const bool quiet = moment == Moment::Quiet;
    const std::size_t prefix = kBlock.size();
    // The prefix, as far as it has come, must begin a block.
    const std::string_view held(pending_);
    const std::string_view start = held.substr(0, prefix);
    if (start != kBlock.substr(0, start.size()) && start != kLastBlock.substr(0, start.size())) {
        return Fail(Fault::NotABlock);
    }
    if (held.size() < prefix) return closed ? Fail(Fault::BrokenOff) : ReceiverStep{};

    const bool last = start == kLastBlock;
    const bool first = blockSize_ == 0;
    const std::size_t body = held.size() - prefix;
    if (body > (first ? limits_.maxBlock : blockSize_)) return Fail(Fault::BlockTooLong);
    if (body > limits_.maxFile - fileBytes_) return Fail(Fault::FileTooLarge);

    if (!last) {
        if (closed) return Fail(Fault::BrokenOff);
        if (first) {
            if (!quiet) return {};
            if (body == 0) return Fail(Fault::EmptyBlock);
            blockSize_ = body;
        } else if (body < blockSize_) {
            return {};
        }
        return TakeBlock(false);
    }
    const bool full = !first && body == blockSize_;
    if (full || quiet || closed) return TakeBlock(true);
    return {};
}

ReceiverStep Receiver::TakeBlock(bool last) {
    ReceiverStep step;
    step.block = pending_.substr(kBlock.size());
    fileBytes_ += step.block->size();
    pending_.clear();
    if (last) {
        state_ = ReceiverState::Done;
        step.finished = true;
    } else {
        state_ = ReceiverState::AwaitingBlock;
        step.acknowledge = true;
    }
    return step;
}

}  // namespace online::transfer
