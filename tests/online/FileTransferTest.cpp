// The two sides of the file transfer, without sockets: a sender and a
// receiver talk to each other through a wire that cuts the bytes as TCP may.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "online/FileTransfer.h"
#include "tests/online/TransferFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace online::transfer;
using Messages = std::vector<std::string>;
using testing_support::TransferBlocksOf;
using testing_support::TransferFileOf;

struct Conversation {
    Messages toSender;    // whole messages the receiver sent
    Messages toReceiver;  // whole messages the sender sent
    std::string file;     // what the receiver wrote
    bool finished = false;
    Fault fault = Fault::None;
};

// One transfer in memory. Each message reaches the other side in pieces of
// at most `piece` bytes; the receiver is told of a quiet moment only when a
// message has arrived whole and it still holds bytes, as the quiet second
// would come on a real line.
Conversation Transfer(const std::string& content, std::size_t blockSize, std::size_t piece) {
    Conversation c;
    Sender sender(BytesSource(content), blockSize);
    Receiver receiver;
    std::string toSender = receiver.Start();
    c.toSender.push_back(toSender);
    const auto apply = [&](const ReceiverStep& step) {
        if (step.block) c.file += *step.block;
        if (step.acknowledge) {
            c.toSender.emplace_back(kAcknowledge);
            toSender += kAcknowledge;
        }
        c.finished = c.finished || step.finished;
        if (step.fault != Fault::None) c.fault = step.fault;
    };
    for (int round = 0; !toSender.empty() && round < 100000; ++round) {
        SenderStep step;
        for (std::size_t at = 0; at < toSender.size(); at += piece) {
            SenderStep part = sender.OnBytes(std::string_view(toSender).substr(at, piece));
            for (auto& m : part.messages) step.messages.push_back(std::move(m));
        }
        toSender.clear();
        for (const std::string& message : step.messages) {
            c.toReceiver.push_back(message);
            for (std::size_t at = 0; at < message.size(); at += piece) {
                apply(receiver.OnBytes(std::string_view(message).substr(at, piece)));
            }
            if (receiver.BytesHeld() > 0) apply(receiver.OnQuiet());
        }
    }
    return c;
}

struct SizeCase {
    const char* name;
    std::size_t size;
};

TEST(FileTransfer, FilesOfEverySizeArriveWholeWithTheExactMessages) {
    constexpr std::size_t B = kServedBlockSize;
    const SizeCase sizes[] = {
        {"empty", 0}, {"one short of a block", B - 1}, {"one block", B}, {"two blocks", 2 * B},
        {"two and a half blocks", 2 * B + B / 2},
    };
    // Whole messages, every byte apart, and pieces that straddle blocks.
    for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{1}, std::size_t{700}}) {
        for (const auto& [name, size] : sizes) {
            SCOPED_TRACE(std::string(name) + ", pieces of " + std::to_string(piece));
            const std::string content = TransferFileOf(size);
            const Conversation c = Transfer(content, B, piece);
            EXPECT_EQ(c.fault, Fault::None);
            EXPECT_TRUE(c.finished);
            EXPECT_TRUE(c.file == content) << "the file arrived damaged";
            const Messages blocks = TransferBlocksOf(content, B);
            EXPECT_TRUE(c.toReceiver == blocks) << c.toReceiver.size() << " blocks";
            EXPECT_EQ(c.toSender, testing_support::TransferRequestsFor(blocks.size()));
        }
    }
}

TEST(FileTransfer, SenderAnswersOnlyTheRequestAndEachAcknowledgement) {
    Sender sender(BytesSource("abcdefghij"), 4);
    EXPECT_TRUE(sender.OnBytes("N!").messages.empty()) << "no block before the request";
    EXPECT_TRUE(sender.OnBytes("FI").messages.empty());
    SenderStep step = sender.OnBytes("LE?");
    EXPECT_TRUE(step.started);
    EXPECT_EQ(step.messages, Messages{"C:abcd"});
    EXPECT_EQ(step.fileBytes, 4u);
    EXPECT_TRUE(sender.OnBytes("FILE?").messages.empty()) << "a second request starts nothing";
    EXPECT_TRUE(sender.OnBytes("n!xyz").messages.empty()) << "nothing but N! sends a block";
    EXPECT_EQ(sender.State(), SenderState::Sending);
    // An acknowledgement ahead of time sends one block for each.
    step = sender.OnBytes("N!N!");
    EXPECT_EQ(step.messages, (Messages{"C:efgh", "F:ij"}));
    EXPECT_TRUE(step.finished);
    EXPECT_FALSE(step.started);
    EXPECT_EQ(sender.State(), SenderState::Done);
    EXPECT_EQ(sender.BytesRemaining(), 0u);
    step = sender.OnBytes("N!");
    EXPECT_TRUE(step.messages.empty()) << "a stray N! after the last block is ignored";
    EXPECT_FALSE(step.finished);
    EXPECT_GT(sender.SkippedBytes(), 0u);
}

TEST(FileTransfer, OneSourceServesManyReceiversAtOnce) {
    const std::string content = TransferFileOf(5000);
    const auto source = BytesSource(content);
    std::vector<Sender> senders;
    for (int i = 0; i < 3; ++i) senders.emplace_back(source, kServedBlockSize);
    std::vector<std::string> received(senders.size());
    std::vector<std::string> next(senders.size(), "FILE?");
    // Each asks in turn; their positions stay their own.
    for (bool more = true; more;) {
        more = false;
        for (std::size_t i = 0; i < senders.size(); ++i) {
            if (next[i].empty()) continue;
            const SenderStep step = senders[i].OnBytes(next[i]);
            next[i] = step.finished ? "" : "N!";
            for (const auto& m : step.messages) received[i] += m.substr(2);
            more = true;
        }
    }
    for (const auto& r : received) EXPECT_TRUE(r == content);
}

TEST(FileTransfer, SenderThatCannotReadItsFileFails) {
    struct Failing final : FileSource {
        std::uint64_t Size() const override { return 10; }
        bool AppendTo(std::string& out, std::uint64_t offset, std::size_t length) const override {
            if (offset >= 4) return false;
            out.append(length, 'x');
            return true;
        }
    };
    Sender sender(std::make_shared<Failing>(), 4);
    EXPECT_EQ(sender.OnBytes("FILE?").messages, Messages{"C:xxxx"});
    const SenderStep step = sender.OnBytes("N!");
    EXPECT_TRUE(step.failed);
    EXPECT_TRUE(step.messages.empty());
    EXPECT_EQ(sender.State(), SenderState::Failed);
    EXPECT_TRUE(sender.OnBytes("N!").messages.empty());
}

TEST(FileTransfer, BlockSizeMustAllowProgress) {
    const auto source = BytesSource("abc");
    EXPECT_THROW(Sender(source, 0), std::invalid_argument) << "empty blocks would never end";
    EXPECT_THROW(Sender(source, kMaxBlockSize + 1), std::invalid_argument);
    EXPECT_NO_THROW(Sender(source, kMaxBlockSize));
}

TEST(FileTransfer, FileSourceKeepsServingTheFileItOpened) {
    testing_support::TempFolder folder;
    folder.Write("patch", "first version");
    std::error_code error;
    const auto source = OpenFileSource(folder / "patch", error);
    ASSERT_TRUE(source) << error.message();
    // A new patch put in place by a rename does not disturb a transfer.
    folder.Write("patch.new", "second");
    std::filesystem::rename(folder / "patch.new", folder / "patch");
    std::string out;
    ASSERT_TRUE(source->AppendTo(out, 6, 7));
    EXPECT_EQ(out, "version");
    EXPECT_FALSE(source->AppendTo(out, 10, 4)) << "past the end";
    EXPECT_EQ(out, "version");

    EXPECT_FALSE(OpenFileSource(folder / "missing", error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(OpenFileSource(folder.Path(), error)) << "a folder is no file";
}

// ---- Receiver framing ------------------------------------------------------

struct Event {
    enum Kind { Bytes, Quiet, Close } kind;
    std::string bytes;
};
Event In(std::string bytes) { return {Event::Bytes, std::move(bytes)}; }
const Event kQuiet{Event::Quiet, ""};
const Event kClose{Event::Close, ""};

struct FramingCase {
    const char* name;
    std::vector<Event> events;
    std::string file;  // what was written
    int acknowledgements;
    Fault fault;       // None: the file is whole
    ReceiverLimits limits = {};
};

TEST(FileTransfer, ReceiverKnowsWhenABlockIsWhole) {
    const FramingCase cases[] = {
        {"first block in pieces is taken at the quiet, later ones by size",
         {In("C:ab"), In("cd"), kQuiet, In("C:e"), In("fgh"), In("F:i"), kQuiet}, "abcdefghi", 2, Fault::None},
        {"a last block of the full size needs no quiet",
         {In("C:abcd"), kQuiet, In("F:efgh")}, "abcdefgh", 1, Fault::None},
        {"a short last block is taken at the close", {In("C:abcd"), kQuiet, In("F:e"), kClose}, "abcde", 1,
         Fault::None},
        {"a later block waits through a quiet moment until it is whole",
         {In("C:abcd"), kQuiet, In("C:ef"), kQuiet, In("gh"), In("F:"), kQuiet}, "abcdefgh", 2, Fault::None},
        {"a short file is one last block", {In("F:x"), In("yz"), kQuiet}, "xyz", 0, Fault::None},
        {"an empty file", {In("F:"), kQuiet}, "", 0, Fault::None},
        {"an empty file at the close", {In("F"), In(":"), kClose}, "", 0, Fault::None},
        {"bytes that begin no block", {In("HELLO")}, "", 0, Fault::NotABlock},
        {"a prefix that goes wrong in its second byte", {In("C"), In("X")}, "", 0, Fault::NotABlock},
        {"a later block longer than the first", {In("C:abcd"), kQuiet, In("C:efghi")}, "abcd", 1,
         Fault::BlockTooLong},
        {"a last block longer than the first", {In("C:abcd"), kQuiet, In("F:efghi")}, "abcd", 1,
         Fault::BlockTooLong},
        {"a first block beyond the largest", {In("C:123456789")}, "", 0, Fault::BlockTooLong, {8, 100}},
        {"an empty first block would never end", {In("C:"), kQuiet}, "", 0, Fault::EmptyBlock},
        {"a close in the middle of a block", {In("C:abcd"), kQuiet, In("C:ef"), kClose}, "abcd", 1,
         Fault::BrokenOff},
        {"a close in the middle of the first block", {In("C:ab"), kClose}, "", 0, Fault::BrokenOff},
        {"a close before anything came", {kClose}, "", 0, Fault::BrokenOff},
        {"a file beyond the limit", {In("C:abcd"), kQuiet, In("C:ef")}, "abcd", 1, Fault::FileTooLarge,
         {kMaxBlockSize, 5}},
        {"nothing changes a finished transfer", {In("F:ab"), kQuiet, In("C:zz"), kClose, kQuiet}, "ab", 0,
         Fault::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Receiver receiver(c.limits);
        EXPECT_EQ(receiver.Start(), "FILE?");
        std::string file;
        int acknowledgements = 0;
        bool finished = false;
        Fault fault = Fault::None;
        for (const Event& e : c.events) {
            const ReceiverStep step = e.kind == Event::Bytes   ? receiver.OnBytes(e.bytes)
                                      : e.kind == Event::Quiet ? receiver.OnQuiet()
                                                               : receiver.OnClosed();
            EXPECT_FALSE(finished && (step.block || step.acknowledge || step.finished)) << "after the end";
            if (step.block) file += *step.block;
            acknowledgements += step.acknowledge ? 1 : 0;
            finished = finished || step.finished;
            if (step.fault != Fault::None) fault = step.fault;
        }
        EXPECT_EQ(file, c.file);
        EXPECT_EQ(acknowledgements, c.acknowledgements);
        EXPECT_EQ(fault, c.fault) << FaultText(fault);
        EXPECT_EQ(finished, c.fault == Fault::None);
        EXPECT_EQ(receiver.State(), c.fault == Fault::None ? ReceiverState::Done : ReceiverState::Failed);
        EXPECT_EQ(receiver.LastFault(), c.fault);
    }
}

TEST(FileTransfer, ReceiverEndedByItsOwnerStaysEnded) {
    Receiver receiver;
    receiver.Start();
    receiver.OnBytes("C:ab");
    const ReceiverStep step = receiver.Fail(Fault::Silence);
    EXPECT_EQ(step.fault, Fault::Silence);
    EXPECT_EQ(receiver.BytesHeld(), 0u);
    EXPECT_FALSE(receiver.OnQuiet().block);
    EXPECT_EQ(receiver.Fail(Fault::BrokenOff).fault, Fault::None) << "it ended once";
    EXPECT_EQ(receiver.LastFault(), Fault::Silence);
    Receiver idle;
    EXPECT_FALSE(idle.OnBytes("F:abc").block) << "nothing counts before the request";
}

TEST(FileTransfer, AWholeTransferWhoseFileCouldNotBeKeptFails) {
    // The last block came, but its owner could not write it or give the file
    // its name: the transfer ends failed, not done.
    Receiver receiver;
    receiver.Start();
    receiver.OnBytes("F:ab");
    ASSERT_TRUE(receiver.OnQuiet().finished);
    EXPECT_EQ(receiver.State(), ReceiverState::Done);
    const ReceiverStep step = receiver.Fail(Fault::FileError);
    EXPECT_EQ(step.fault, Fault::FileError);
    EXPECT_FALSE(step.finished);
    EXPECT_EQ(receiver.State(), ReceiverState::Failed);
    EXPECT_TRUE(receiver.Ended());
    EXPECT_EQ(receiver.Fail(Fault::Silence).fault, Fault::None) << "it fails once";
    EXPECT_EQ(receiver.LastFault(), Fault::FileError);
}

}  // namespace
