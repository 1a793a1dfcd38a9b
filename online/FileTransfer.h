#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "online/MessageReader.h"

// The file transfer (port 7812): one file moves from a sender to a receiver
// on one TCP connection, block by block, each block acknowledged before the
// next is sent.
//
//   receiver -> sender   "FILE?"           request the file
//   sender -> receiver   "C:" & block      exactly block-size bytes; more follow
//   receiver -> sender   "N!"              block written, send the next
//   sender -> receiver   "F:" & block      the rest (0 to block-size bytes)
//
// A block holds the file's bytes unchanged (any byte value) with no length
// and no checksum; nothing follows "F:". Because the sender sends nothing
// until "N!", every byte between two acknowledgements belongs to one block.
// The receiver learns the block size from the first "C:" block, which it
// takes as whole once the line has been quiet for a moment, and every later
// block by that size.
//
// Both sides are state machines free of sockets and timers: the owner hands
// them the bytes that arrived (and, for the receiver, the quiet moments and
// the close) and does what they answer.
namespace online::transfer {

inline constexpr std::string_view kRequest = "FILE?";
inline constexpr std::string_view kBlock = "C:";
inline constexpr std::string_view kAcknowledge = "N!";
inline constexpr std::string_view kLastBlock = "F:";

// The largest block either side accepts: a receiver holds one block in
// memory before it writes it.
inline constexpr std::size_t kMaxBlockSize = 64 * 1024;
// The block size our server sends with.
inline constexpr std::size_t kServedBlockSize = 1024;
// The largest file a receiver accepts unless told otherwise.
inline constexpr std::uint64_t kMaxFileSize = 64ull * 1024 * 1024;

// Why a transfer ended without its file.
enum class Fault {
    None,
    NotABlock,      // bytes that begin neither "C:" nor "F:"
    EmptyBlock,     // a "C:" block without a byte: the transfer would never end
    BlockTooLong,   // more bytes than a block holds before the acknowledgement
    FileTooLarge,   // more bytes than the receiver accepts
    BrokenOff,      // the connection ended before the last block
    Silence,        // nothing arrived for too long
    ConnectFailed,  // no connection to the sender
    FileError,      // the file could not be read or written
};
// A short English description for logs and messages.
const char* FaultText(Fault fault);

// ---- The file being sent ---------------------------------------------------

// The bytes of the file a sender serves. One source can be shared by any
// number of connections at once (each sender keeps its own position); it is
// never changed once made.
class FileSource {
public:
    virtual ~FileSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Appends `length` bytes from `offset` to `out`. False when they cannot
    // be read (out is then as it was).
    virtual bool AppendTo(std::string& out, std::uint64_t offset, std::size_t length) const = 0;
};

// A source that holds the bytes in memory.
std::shared_ptr<const FileSource> BytesSource(std::string bytes);
// A source that reads the file through one descriptor opened now. Its size
// is the file's size now; a file replaced (renamed over) later keeps being
// served as it was, but one rewritten in place is not protected.
std::shared_ptr<const FileSource> OpenFileSource(const std::filesystem::path& file, std::error_code& error);

// ---- Sender ----------------------------------------------------------------

enum class SenderState {
    AwaitingRequest,  // connected; waiting for "FILE?"
    Sending,          // a "C:" block went out; waiting for "N!"
    Done,             // "F:" went out
    Failed,           // the file could not be read
};

// What the sender's owner does after handing it bytes, in this order: tell
// that sending started (`started`), send every message, tell that sending
// finished (`finished`), or close the connection (`failed`).
struct SenderStep {
    bool started = false;
    std::vector<std::string> messages;
    bool finished = false;
    bool failed = false;
    // Bytes of the file in `messages`.
    std::uint64_t fileBytes = 0;
};

// The sending side of one connection. It waits for "FILE?", answers it with
// the first block and every "N!" with the next; anything else the receiver
// sends is ignored (a second "FILE?", an "N!" before the request or after
// "F:", bytes that are no message). It never sends more than one block per
// message received, so a receiver cannot make it send faster than it asks.
//
//     auto patch = transfer::BytesSource(bytes);              // once
//     transfer::Sender sender(patch, transfer::kServedBlockSize);  // per connection
//     SenderStep step = sender.OnBytes(arrived);
//     if (step.started) ...; for (auto& m : step.messages) socket.Send(m);
//     if (step.finished || step.failed) ...
class Sender {
public:
    // blockSize is 1 to kMaxBlockSize; anything else throws
    // std::invalid_argument (a size of 0 would send empty blocks for ever).
    Sender(std::shared_ptr<const FileSource> file, std::size_t blockSize);

    // Bytes that arrived on the connection, however TCP cut them.
    SenderStep OnBytes(std::string_view bytes);
    // One whole message.
    SenderStep OnMessage(std::string_view message);

    SenderState State() const { return state_; }
    std::size_t BlockSize() const { return blockSize_; }
    // Bytes of the file not sent yet.
    std::uint64_t BytesRemaining() const { return file_->Size() - position_; }
    // Bytes from the receiver that were no message.
    std::uint64_t SkippedBytes() const { return reader_.SkippedBytes(); }

private:
    void SendNext(SenderStep& step);

    std::shared_ptr<const FileSource> file_;
    std::size_t blockSize_;
    std::uint64_t position_ = 0;
    SenderState state_ = SenderState::AwaitingRequest;
    MessageReader reader_;
};

// Cuts what a receiver sends: "FILE?" and "N!".
const Grammar& ReceiverToSenderGrammar();

// ---- Receiver --------------------------------------------------------------

enum class ReceiverState {
    Idle,          // not started
    AwaitingFirst, // "FILE?" sent; the block size is not known yet
    AwaitingBlock, // a block was acknowledged; the next is on its way
    Done,          // the last block came: the file is whole
    Failed,
};

struct ReceiverLimits {
    std::size_t maxBlock = kMaxBlockSize;
    std::uint64_t maxFile = kMaxFileSize;
};

// What the receiver's owner does, in this order: append `block` to the file
// (when there is one), send "N!" (`acknowledge`), make the file whole
// (`finished`), or end the transfer and remove the partial file (`fault`).
struct ReceiverStep {
    std::optional<std::string> block;
    bool acknowledge = false;
    bool finished = false;
    Fault fault = Fault::None;
};

// The receiving side of one connection. A block is whole:
// - the first: after a quiet moment (which fixes the block size from a "C:"
//   block), or at the sender's close when it is the last block;
// - every later "C:" block: as soon as it reaches the block size;
// - a later "F:" block: when it reaches the block size, after a quiet
//   moment, or at the sender's close.
// Bytes that begin no block, a block longer than the block size, an empty
// first "C:" block, a file beyond the limit and a close before the last
// block end the transfer with a fault. After the end, only the owner's
// Fail changes it.
class Receiver {
public:
    explicit Receiver(ReceiverLimits limits = {});

    // The connection is up: returns what to send ("FILE?").
    std::string Start();
    ReceiverStep OnBytes(std::string_view bytes);
    // Nothing has arrived for the quiet moment.
    ReceiverStep OnQuiet();
    // The sender closed the connection.
    ReceiverStep OnClosed();
    // The owner ends the transfer (silence, a failed connection, a write
    // error). A transfer the receiver saw whole fails too, for its owner
    // could not keep the file (the last block's write or the final rename
    // failed): the file is not whole on disk. Nothing once it has failed.
    ReceiverStep Fail(Fault fault);

    ReceiverState State() const { return state_; }
    bool Ended() const { return state_ == ReceiverState::Done || state_ == ReceiverState::Failed; }
    Fault LastFault() const { return fault_; }
    // 0 until the first "C:" block fixed it.
    std::size_t BlockSize() const { return blockSize_; }
    // Bytes of the file received in whole blocks.
    std::uint64_t FileBytes() const { return fileBytes_; }
    // Bytes held that do not make a whole block yet.
    std::size_t BytesHeld() const { return pending_.size(); }

private:
    enum class Moment { Arrival, Quiet, Closed };
    ReceiverStep Examine(Moment moment);
    ReceiverStep TakeBlock(bool last);

    ReceiverLimits limits_;
    ReceiverState state_ = ReceiverState::Idle;
    Fault fault_ = Fault::None;
    std::size_t blockSize_ = 0;
    std::uint64_t fileBytes_ = 0;
    std::string pending_;
};

}  // namespace online::transfer
