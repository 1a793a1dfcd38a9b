// The file transfer control over loopback: fetching from a scripted server,
// serving a plain client, and two controls with each other.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/Socket.h"
#include "online/BramblyFT.h"
#include "platform/Timer.h"
#include "tests/online/ScriptedFileServer.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RawSocket.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using online::BramblyFT;
using online::transfer::Fault;
using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;
using testing_support::ScriptedFileServer;
using testing_support::ServePlan;
using Messages = std::vector<std::string>;
using testing_support::TransferBlocksOf;
using testing_support::TransferFileOf;
using testing_support::TransferRequestsFor;

constexpr std::size_t B = 1024;

class TransferControl : public ::testing::Test {
protected:
    TransferControl() {
        ft.SetQuietGap(std::chrono::milliseconds(300));
        QObject::connect(&ft, &BramblyFT::ReceivingStarted, [this] { events.push_back("ReceivingStarted"); });
        QObject::connect(&ft, &BramblyFT::ReceivingFinished, [this] { events.push_back("ReceivingFinished"); });
        QObject::connect(&ft, &BramblyFT::ReceivingFailed,
                         [this](Fault f) { events.push_back(std::string("ReceivingFailed: ") + FaultText(f)); });
        QObject::connect(&ft, &BramblyFT::NewConnection, [this] { events.push_back("NewConnection"); });
        QObject::connect(&ft, &BramblyFT::SendingStarted,
                         [this](std::string& host) { events.push_back("SendingStarted " + host); });
        QObject::connect(&ft, &BramblyFT::SendingFinished,
                         [this](std::string& host) { events.push_back("SendingFinished " + host); });
        QObject::connect(&ft, &BramblyFT::TransferRate, [this](std::int32_t& rate) { rates.push_back(rate); });
    }

    // Fetches from the scripted server and waits for the end.
    void Fetch(ScriptedFileServer& server) {
        ft.SetPort(server.Port());
        ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string()));
        EXPECT_TRUE(ft.Receiving());
        ASSERT_TRUE(RunUntil([&] { return !ft.Receiving(); }, 15000));
        server.Join();
    }

    // The connection a fetch makes, once the control has asked for the file.
    RawSocket Asked(RawSocket& listener) {
        RawSocket line = listener.Accept();
        EXPECT_TRUE(RunUntil([&] { return !events.empty(); }));
        EXPECT_EQ(line.ReceiveExactly(5), "FILE?");
        return line;
    }

    testing_support::TempFolder folder;
    fs::path save = folder / "Patch.exe";
    BramblyFT ft;
    Messages events;
    std::vector<std::int32_t> rates;
};

TEST_F(TransferControl, FetchesFilesOfEverySizeByteForByte) {
    for (const std::size_t size : {std::size_t{0}, B - 1, B, 2 * B, 2 * B + B / 2}) {
        SCOPED_TRACE(size);
        events.clear();
        const std::string content = TransferFileOf(size);
        ScriptedFileServer server;
        server.Serve({content, B});
        Fetch(server);
        EXPECT_EQ(events, (Messages{"ReceivingStarted", "ReceivingFinished"}));
        EXPECT_TRUE(folder.Read("Patch.exe") == content) << "the file arrived damaged";
        EXPECT_EQ(folder.Names(), Messages{"Patch.exe"}) << "no receive file is left";
        const Messages blocks = TransferBlocksOf(content, B);
        EXPECT_TRUE(server.Sent() == blocks);
        EXPECT_EQ(server.Received(), TransferRequestsFor(blocks.size())) << "nothing follows the last block";
        EXPECT_FALSE(ft.Speed->Enabled()) << "the rate stops with the transfer";
    }
}

TEST_F(TransferControl, BlocksSplitAcrossReadsWithAPauseArriveWhole) {
    const std::string content = TransferFileOf(2 * B + B / 2);
    ScriptedFileServer server;
    server.Serve({content, B, /*splitBlocks=*/true, /*pauseMs=*/80});
    Fetch(server);
    EXPECT_EQ(events, (Messages{"ReceivingStarted", "ReceivingFinished"}));
    EXPECT_TRUE(folder.Read("Patch.exe") == content);
    EXPECT_EQ(server.Received(), TransferRequestsFor(3));
}

TEST_F(TransferControl, TransferDroppedInTheMiddleLeavesNothingBehind) {
    folder.Write("Patch.exe", "the patch from before");
    ServePlan plan{TransferFileOf(3 * B), B};
    plan.dropAfterBlocks = 2;
    ScriptedFileServer server;
    server.Serve(plan);
    Fetch(server);
    EXPECT_EQ(events, (Messages{"ReceivingStarted", "ReceivingFailed: the connection ended before the last block"}));
    EXPECT_EQ(ft.LastFault(), Fault::BrokenOff);
    EXPECT_EQ(folder.Names(), Messages{"Patch.exe"});
    EXPECT_EQ(folder.Read("Patch.exe"), "the patch from before") << "a broken fetch replaces nothing";
    EXPECT_FALSE(ft.Speed->Enabled());
}

// Every way a fetch can fail on its last steps ends it with the failure
// event, leaves nothing on disk, and the next fetch brings the file whole.
TEST_F(TransferControl, AFetchThatFailsAtAnyStepEndsAndTheNextOneBringsTheFileWhole) {
    const std::string content = TransferFileOf(2 * B + B / 2);
    struct Case {
        const char* name;
        std::function<bool()> before;  // puts the fault in place
        std::function<void()> after;   // takes it away again
        int closeInBlock;
        Fault fault;
    };
    std::optional<testing_support::FileSizeLimit> fullDisk;
    const Case cases[] = {
        {"the finished file cannot take its name (a folder stands there)",
         [&] { return fs::create_directory(save); }, [&] { fs::remove(save); }, -1, Fault::FileError},
        {"the sender closes in the middle of a block", [] { return true; }, [] {}, 2, Fault::BrokenOff},
        {"the last block cannot be written (a full disk)",
         [&] {
             // The two full blocks fit; the last one does not.
             fullDisk.emplace(2 * B + 10);
             return fullDisk->InForce();
         },
         [&] { fullDisk.reset(); }, -1, Fault::FileError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        if (!c.before()) {
            // The other cases still run.
            ADD_FAILURE() << "the fault cannot be made here";
            continue;
        }
        ServePlan plan{content, B};
        plan.closeInBlock = c.closeInBlock;
        ScriptedFileServer failing;
        failing.Serve(plan);
        Fetch(failing);
        c.after();
        EXPECT_EQ(events, (Messages{"ReceivingStarted", std::string("ReceivingFailed: ") + FaultText(c.fault)}));
        EXPECT_EQ(ft.LastFault(), c.fault);
        EXPECT_FALSE(ft.Receiving());
        EXPECT_FALSE(ft.Speed->Enabled()) << "no rate is told after the end";
        EXPECT_TRUE(folder.Names().empty()) << "the partial file is closed and removed";

        events.clear();
        ScriptedFileServer whole;
        whole.Serve({content, B});
        Fetch(whole);
        EXPECT_EQ(events, (Messages{"ReceivingStarted", "ReceivingFinished"}));
        EXPECT_TRUE(folder.Read("Patch.exe") == content) << "the next fetch brings it whole";
        EXPECT_EQ(folder.Names(), Messages{"Patch.exe"});
        fs::remove(save);
    }
}

TEST_F(TransferControl, RefusedSilentAndHostileSendersEndTheFetch) {
    {
        SCOPED_TRACE("refused");
        RawSocket refusing = RawSocket::RefusingPort();
        ft.SetPort(refusing.Port());
        ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string()));
        ASSERT_TRUE(RunUntil([&] { return !ft.Receiving(); }));
        EXPECT_EQ(events, Messages{"ReceivingFailed: no connection to the sender"});
    }
    {
        SCOPED_TRACE("silent");
        events.clear();
        RawSocket listener = RawSocket::Listen();
        ft.SetPort(listener.Port());
        ft.SetSilenceTimeout(std::chrono::milliseconds(400));
        ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string()));
        RawSocket line = Asked(listener);
        ASSERT_TRUE(RunUntil([&] { return !ft.Receiving(); }));
        EXPECT_EQ(events, (Messages{"ReceivingStarted", "ReceivingFailed: nothing arrived for too long"}));
        EXPECT_TRUE(line.WaitForClose()) << "the receiver hangs up";
    }
    {
        SCOPED_TRACE("hostile");
        events.clear();
        RawSocket listener = RawSocket::Listen();
        ft.SetPort(listener.Port());
        ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string()));
        RawSocket line = Asked(listener);
        line.SendAll("HTTP/1.1 200 OK\r\n");
        ASSERT_TRUE(RunUntil([&] { return !ft.Receiving(); }));
        EXPECT_EQ(events, (Messages{"ReceivingStarted", "ReceivingFailed: bytes that begin no block"}));
        EXPECT_TRUE(line.WaitForClose());
    }
    EXPECT_TRUE(folder.Names().empty());
}

// A fetch that cannot start says so by its result, at once: no event
// follows, nothing runs and nothing is left on disk; the next fetch starts.
TEST_F(TransferControl, AFetchThatCannotStartIsFalseAndLeavesNothing) {
    RawSocket listener = RawSocket::Listen();
    RawSocket taken = RawSocket::Listen();  // its port cannot be bound again
    struct Case {
        const char* name;
        std::function<void()> before;
        std::function<void()> after;
        fs::path savePath;
        Fault fault;
    };
    const Case cases[] = {
        {"its file cannot be made (no such folder)", [] {}, [] {}, folder / "absent" / "Patch.exe", Fault::FileError},
        {"the connection fails inside Connect (the local port is taken)",
         [&] { ft.Client->LocalPort(taken.Port()); }, [&] { ft.Client->LocalPort(0); }, save, Fault::ConnectFailed},
        {"the connection cannot even be tried (no such port)", [&] { ft.SetPort(70000); },
         [&] { ft.SetPort(listener.Port()); }, save, Fault::ConnectFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        ft.SetPort(listener.Port());
        c.before();
        EXPECT_FALSE(ft.GetFile("127.0.0.1", c.savePath.string()));
        c.after();
        EXPECT_STREQ(FaultText(ft.LastFault()), FaultText(c.fault));
        EXPECT_FALSE(ft.Receiving());
        EXPECT_FALSE(ft.Speed->Enabled());
        EXPECT_EQ(ft.Client->State(), 0) << "nothing is left connecting";
        EXPECT_TRUE(folder.Names().empty());
        RunFor(50);
        EXPECT_TRUE(events.empty()) << "the result says it all";

        ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string())) << "the next fetch starts";
        RawSocket line = Asked(listener);
        line.SendAll("F:file");
        ASSERT_TRUE(RunUntil([&] { return !ft.Receiving(); }));
        EXPECT_EQ(folder.Read("Patch.exe"), "file");
        fs::remove(save);
        ft.CloseSck();  // the finished fetch's connection stays open
    }
}

TEST_F(TransferControl, RateCountsTheBytesOfEachSecondWhileTheFetchRuns) {
    RawSocket listener = RawSocket::Listen();
    ft.SetPort(listener.Port());
    ft.Speed->SetInterval(3600 * 1000);  // the test ticks it itself
    ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string()));
    EXPECT_TRUE(ft.Speed->Enabled());
    RawSocket line = Asked(listener);
    line.SendAll("C:" + std::string(1500, 'x'));
    RunFor(700);  // the first block is whole after the quiet gap
    EXPECT_EQ(line.ReceiveExactly(2, 3000), "N!");
    ft.Speed_Timer();
    ft.Speed_Timer();
    EXPECT_EQ(rates, (std::vector<std::int32_t>{1502, 0}));
    line.SendAll("F:" + std::string(1500, 'y'));
    ASSERT_TRUE(RunUntil([&] { return !ft.Receiving(); }));
    EXPECT_FALSE(ft.Speed->Enabled());
    EXPECT_EQ(fs::file_size(save), 3000u);
}

TEST_F(TransferControl, CloseInTheMiddleRemovesThePartialFileQuietly) {
    RawSocket listener = RawSocket::Listen();
    ft.SetPort(listener.Port());
    ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string()));
    RawSocket line = Asked(listener);
    line.SendAll("C:abcd");
    RunFor(700);
    EXPECT_EQ(line.ReceiveExactly(2, 3000), "N!");
    ft.CloseSck();
    EXPECT_FALSE(ft.Receiving());
    EXPECT_TRUE(folder.Names().empty());
    EXPECT_EQ(events, Messages{"ReceivingStarted"});
    EXPECT_TRUE(line.WaitForClose());
}

// ---- Sending side ----------------------------------------------------------

// A plain receiver on its own thread: asks, acknowledges each "C:" block,
// then sends a stray "N!" after the last and checks that nothing follows.
struct PlainReceiver {
    Messages blocks;
    std::string file;
    std::string afterLast;
    std::atomic<bool> done{false};
    std::thread thread;

    void Start(std::uint16_t port, std::size_t blockSize) {
        thread = std::thread([this, port, blockSize] {
            RawSocket line = RawSocket::Connect(port);
            line.SendAll("FILE?");
            for (;;) {
                std::string block = line.ReceiveExactly(2, 3000);
                if (block.size() < 2) break;
                const bool last = block == "F:";
                // A last block ends where the sender stops sending.
                block += last ? line.ReceiveSome(300) : line.ReceiveExactly(blockSize, 3000);
                blocks.push_back(block);
                file += block.substr(2);
                line.SendAll("N!");
                if (last) break;
            }
            afterLast = line.ReceiveSome(300);
            done = true;
        });
    }
    ~PlainReceiver() {
        if (thread.joinable()) thread.join();
    }
};

TEST_F(TransferControl, HostsACopyOfTheFileForOneReceiver) {
    const std::string content = TransferFileOf(2 * B + B / 2);
    folder.Write("Patch.exe", content);
    ft.BufferSize(static_cast<std::int32_t>(B));
    ft.SetPort(0);
    ASSERT_TRUE(ft.HostFile(save.string()));
    EXPECT_TRUE(ft.Sending());
    ASSERT_EQ(folder.Names("Patch.exeTRAN").size(), 1u) << "the copy that is served";
    // The file itself may change now; the copy is what goes out.
    folder.Write("Patch.exe", "changed");

    PlainReceiver receiver;
    receiver.Start(static_cast<std::uint16_t>(ft.Server->LocalPort()), B);
    ASSERT_TRUE(RunUntil([&] { return receiver.done.load(); }, 10000));
    receiver.thread.join();
    EXPECT_TRUE(receiver.file == content);
    EXPECT_TRUE(receiver.blocks == TransferBlocksOf(content, B));
    EXPECT_EQ(receiver.afterLast, "") << "a stray N! after the last block is ignored";
    EXPECT_EQ(events, (Messages{"NewConnection", "SendingStarted 127.0.0.1", "SendingFinished 127.0.0.1"}));
    EXPECT_EQ(folder.Names(), Messages{"Patch.exe"}) << "the copy and its folder are gone";
    EXPECT_FALSE(ft.Sending());
    EXPECT_FALSE(ft.Speed->Enabled());

    // The listener closed for the one receiver.
    EXPECT_NE(ft.Server->State(), 2);
}

TEST_F(TransferControl, HostFileRefusesWhatCannotBeServed) {
    folder.Write("Patch.exe", "patch");
    ft.SetPort(0);
    EXPECT_FALSE(ft.HostFile(save.string())) << "no block size: empty blocks for ever";
    ft.BufferSize(-5);
    EXPECT_FALSE(ft.HostFile(save.string()));
    ft.BufferSize(1024);
    EXPECT_FALSE(ft.HostFile((folder / "missing.exe").string()));
    EXPECT_FALSE(ft.HostFile(folder.Path().string())) << "a folder is no file";
    BramblyFT other;
    other.BufferSize(1024);
    other.SetPort(0);
    ASSERT_TRUE(other.HostFile(save.string()));
    ft.SetPort(other.Server->LocalPort());
    EXPECT_FALSE(ft.HostFile(save.string())) << "a port in use";
    other.CloseSck();
    EXPECT_EQ(folder.Names(), Messages{"Patch.exe"}) << "no copy is left";
    EXPECT_FALSE(ft.Sending());
}

TEST_F(TransferControl, TwoControlsMoveFilesOfEverySize) {
    BramblyFT host;
    host.BufferSize(static_cast<std::int32_t>(B));
    host.SetPort(0);
    for (const std::size_t size : {std::size_t{0}, B - 1, B, 2 * B, 2 * B + B / 2}) {
        SCOPED_TRACE(size);
        const std::string content = TransferFileOf(size);
        folder.Write("served.bin", content);
        ASSERT_TRUE(host.HostFile((folder / "served.bin").string()));
        ft.SetPort(host.Server->LocalPort());
        ASSERT_TRUE(ft.GetFile("127.0.0.1", save.string()));
        ASSERT_TRUE(RunUntil([&] { return !ft.Receiving() && !host.Sending(); }, 10000));
        EXPECT_TRUE(folder.Read("Patch.exe") == content);
        EXPECT_EQ(ft.LastFault(), Fault::None);
        EXPECT_EQ(folder.Names(), (Messages{"Patch.exe", "served.bin"}));
    }
}

}  // namespace
