// The live update of the main window against scripted servers on loopback:
// the version check on its own port, the patch from a file server, the
// watchdog, the settings window and the menu items.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/Socket.h"
#include "online/BramblyFT.h"
#include "online/LiveUpdate.h"
#include "online/ProcessStart.h"
#include "online/ServerConnections.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/UserName.h"
#include "shell/Form1.h"
#include "tests/online/ScriptedFileServer.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RawSocket.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Resolver.h"
#include "tests/support/Screenshots.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
namespace lu = online::liveupdate;
using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;
using testing_support::ScriptedFileServer;
using testing_support::ServePlan;
using testing_support::TransferBlocksOf;
using testing_support::TransferFileOf;
using testing_support::TransferRequestsFor;

constexpr std::size_t B = 1024;

class FixedUserName final : public platform::UserNameSource {
public:
    std::optional<std::string> Query() override { return "bob"; }
};

// Records what would start: the path the program is given as its name, its
// arguments and the bytes of the very file that would run.
class RecordingStarter final : public online::ProcessStarter {
public:
    struct Start {
        fs::path program;
        std::vector<std::string> arguments;
        std::string content;
    };
    bool StartDetached(const fs::path& program, const std::vector<std::string>&) override {
        ADD_FAILURE() << "started by its name, whatever stands there now: " << program;
        return false;
    }
    bool StartFileDetached(const online::ProgramFile& program, const std::vector<std::string>& arguments) override {
        std::string content(4096, '\0');
        const ssize_t got = ::pread(program.Descriptor(), content.data(), content.size(), 0);
        content.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        starts.push_back({program.Path(), arguments, content});
        return true;
    }
    std::vector<Start> starts;
};

// Starts for real, after `beforeStart` (a file swapped in at the patch's
// name once the game has checked it).
class SwappingStarter final : public online::ProcessStarter {
public:
    bool StartDetached(const fs::path& program, const std::vector<std::string>& arguments) override {
        beforeStart();
        return real.StartDetached(program, arguments);
    }
    bool StartFileDetached(const online::ProgramFile& program, const std::vector<std::string>& arguments) override {
        beforeStart();
        return real.StartFileDetached(program, arguments);
    }
    std::function<void()> beforeStart = [] {};
    online::SystemProcessStarter real;
};

bool HasData(const RawSocket& line) {
    pollfd p{line.Fd(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

// A listener on a port given (0: any), which a server that comes back can
// listen on again.
RawSocket ListenOn(std::uint16_t port) {
    RawSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    ::setsockopt(s.Fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in a = testing_support::Loopback(port);
    if (::bind(s.Fd(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || ::listen(s.Fd(), 8) != 0) {
        return RawSocket();
    }
    return s;
}

class LiveUpdateTest : public ::testing::Test {
protected:
    LiveUpdateTest() {
        game.Server = "127.0.0.1";
        options.LiveUpdatePort = liveUpListener.Port();
        options.ChatPort = chatListener.Port();
        options.ProgramFolder = folder.Path();
        options.Executable = "/opt/trotwick/trotwick";
        options.UserName = &userName;
        options.Starter = &starter;
    }

    // The live update, made on first use (a test may change the options).
    online::LiveUpdate& Live() {
        if (!live_) {
            live_ = new online::LiveUpdate(form, options);
            live_->PatchFT->SetQuietGap(std::chrono::milliseconds(300));
        }
        return *live_;
    }
    net::Socket& LiveUp() { return online::ServerConnections::Of(form).LiveUp(); }
    net::Socket& Chat() { return online::ServerConnections::Of(form).Chat(); }

    // The server's end of the version check, once the game is connected.
    RawSocket AcceptLiveUp() {
        RawSocket line = liveUpListener.Accept();
        EXPECT_TRUE(line.Valid());
        EXPECT_TRUE(RunUntil([&] { return LiveUp().State() == 7; }));
        return line;
    }
    // Everything the game answers to a message.
    std::string AnswerTo(RawSocket& line, const std::string& message) {
        line.SendAll(message);
        if (!RunUntil([&] { return HasData(line); }, 3000)) return "";
        RunFor(100);
        return line.ReceiveSome(500);
    }
    std::string Notice() const { return platform::FromQString(form.Notice->text()); }
    std::string Caption() const { return platform::FromQString(form.Label13->text()); }

    testing_support::TempFolder folder;
    testing_support::RecordingDialogs dialogs;
    core::Game game;
    shell::Form1 form{game, dialogs};
    RawSocket liveUpListener = RawSocket::Listen();
    RawSocket chatListener = RawSocket::Listen();
    FixedUserName userName;
    RecordingStarter starter;
    online::LiveUpdateOptions options;

private:
    online::LiveUpdate* live_ = nullptr;
};

TEST_F(LiveUpdateTest, UpToDateIsAnsweredWithTheExactRejection) {
    Live().ConnectLiveUpdate();
    RawSocket line = AcceptLiveUp();
    EXPECT_EQ(AnswerTo(line, "VERSION:29"), "REJECTbob:29");
    EXPECT_EQ(Notice(), lu::kUpToDate) << "the player asked";
    EXPECT_FALSE(Live().PatchFT->Receiving());
    EXPECT_EQ(Live().Check().ServerVersion(), 29);
    // An older server version is no update either, and unasked says nothing.
    form.ShowNotice("");
    EXPECT_EQ(AnswerTo(line, "VERSION:3"), "REJECTbob:29");
    EXPECT_EQ(Notice(), "");
}

TEST_F(LiveUpdateTest, NewerVersionsDownloadThePatchWholeAndWaitForThePlayer) {
    struct Case {
        std::size_t size;
        bool split;
    };
    const Case cases[] = {{0, false}, {B - 1, false}, {B, false}, {2 * B, false}, {2 * B + B / 2, false},
                          {2 * B + B / 2, true}};
    Live().ConnectLiveUpdate();
    RawSocket line = AcceptLiveUp();
    int version = 30;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + (c.split ? " split" : ""));
        const std::string patch = TransferFileOf(c.size);
        ScriptedFileServer files;
        files.Serve({patch, B, c.split});
        Live().PatchFT->SetPort(files.Port());
        form.BringToFront(shell::Panel::Tracks);
        if (version == 30) {
            // The number split across two reads.
            line.SendAll("VERSION:3");
            RunFor(60);
            EXPECT_EQ(AnswerTo(line, "0"), "ACCEPTbob:29");
            EXPECT_EQ(Notice(), lu::kDownloading);
        } else {
            EXPECT_EQ(AnswerTo(line, "VERSION:" + std::to_string(version)), "ACCEPTbob:29");
        }
        ASSERT_TRUE(RunUntil([&] { return files.Done() && !Live().Check().Downloading(); }, 15000));
        files.Join();
        EXPECT_TRUE(folder.Read("Patch.exe") == patch) << "the patch arrived damaged";
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"Patch.exe"});
        const auto blocks = TransferBlocksOf(patch, B);
        EXPECT_TRUE(files.Sent() == blocks);
        EXPECT_EQ(files.Received(), TransferRequestsFor(blocks.size()));
        EXPECT_EQ(Notice(), lu::kDownloaded);
        EXPECT_EQ(Caption(), lu::kDownloadedCaption);
        EXPECT_EQ(form.FrontPanel(), shell::Panel::Picture8);
        EXPECT_TRUE(Live().StartPatch->isEnabled());
        EXPECT_TRUE(starter.starts.empty()) << "nothing starts before the player says so";
        ++version;
    }

    const std::string fetched = folder.Read("Patch.exe");
    Live().StartPatch->click();
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].program, folder / "Patch.exe");
    EXPECT_EQ(starter.starts[0].arguments, std::vector<std::string>{"/opt/trotwick/trotwick"});
    EXPECT_TRUE(starter.starts[0].content == fetched) << "the fetched file starts";
    EXPECT_EQ(fs::status(folder / "Patch.exe").permissions(), fs::perms::owner_all);
    EXPECT_FALSE(Live().StartPatch->isEnabled());
}

TEST_F(LiveUpdateTest, ADroppedOrRefusedDownloadFailsAndStartsNothing) {
    // Each asked for by the player, so each failure is told.
    const auto check = [&] {
        form.ShowNotice("");
        Live().ConnectLiveUpdate();
        RawSocket line = AcceptLiveUp();
        EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
        return line;
    };
    {
        SCOPED_TRACE("dropped");
        ServePlan plan{TransferFileOf(3 * B), B};
        plan.dropAfterBlocks = 1;
        ScriptedFileServer files;
        files.Serve(plan);
        Live().PatchFT->SetPort(files.Port());
        RawSocket line = check();
        ASSERT_TRUE(RunUntil([&] { return files.Done() && !Live().Check().Downloading(); }, 10000));
    }
    EXPECT_EQ(Notice(), lu::kUpdateFailed);
    EXPECT_EQ(Caption(), lu::kPlainCaption);
    EXPECT_TRUE(folder.Names().empty()) << "the partial patch is gone";
    {
        SCOPED_TRACE("refused");
        RawSocket refusing = RawSocket::RefusingPort();
        Live().PatchFT->SetPort(refusing.Port());
        RawSocket line = check();
        ASSERT_TRUE(RunUntil([&] { return !Live().Check().Downloading(); }));
    }
    EXPECT_EQ(Notice(), lu::kUpdateFailed);
    EXPECT_TRUE(folder.Names().empty());
    {
        SCOPED_TRACE("too large");
        EXPECT_EQ(Live().PatchFT->Limits().maxFile, 64u * 1024 * 1024);
        Live().PatchFT->SetLimits({online::transfer::kMaxBlockSize, 2 * B});
        ScriptedFileServer files;
        files.Serve({TransferFileOf(3 * B), B});
        Live().PatchFT->SetPort(files.Port());
        RawSocket line = check();
        ASSERT_TRUE(RunUntil([&] { return files.Done() && !Live().Check().Downloading(); }, 10000));
    }
    EXPECT_EQ(Notice(), lu::kUpdateFailed);
    EXPECT_TRUE(folder.Names().empty());
    EXPECT_NE(form.FrontPanel(), shell::Panel::Picture8);
    EXPECT_FALSE(Live().StartPatch->isEnabled());
    EXPECT_TRUE(starter.starts.empty());
}

// A fetch that fails at any step, its last included, ends with the failure
// notice and nothing on disk; the next check fetches the patch whole.
TEST_F(LiveUpdateTest, EveryFailedFetchEndsAndTheNextCheckBringsThePatchWhole) {
    const std::string patch = TransferFileOf(2 * B + B / 2);
    const fs::path save = folder / "Patch.exe";
    const fs::path receive = folder / "Patch.exe.TMP";
    folder.Write("precious", "the player's own file");
    std::optional<testing_support::FileSizeLimit> fullDisk;
    struct Case {
        const char* name;
        std::function<bool()> before;  // puts the fault in place
        std::function<void()> after;   // takes it away again
        int closeInBlock;
        const char* notice;            // what the first check ends with
    };
    const Case cases[] = {
        {"the last block cannot be written (a full disk)",
         [&] {
             fullDisk.emplace(2 * B + 10);
             return fullDisk->InForce();
         },
         [&] { fullDisk.reset(); }, -1, lu::kUpdateFailed},
        {"the patch cannot take its name (a folder stands there)", [&] { return fs::create_directory(save); },
         [&] { fs::remove(save); }, -1, lu::kUpdateFailed},
        {"the server closes in the middle of a block", [] { return true; }, [] {}, 2, lu::kUpdateFailed},
        {"a link is planted where the patch arrives",
         [&] {
             fs::create_symlink(folder / "precious", receive);
             return true;
         },
         [] {}, -1, lu::kDownloaded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.before()) {
            ADD_FAILURE() << "the fault cannot be made here";
            continue;
        }
        {
            ServePlan plan{patch, B};
            plan.closeInBlock = c.closeInBlock;
            ScriptedFileServer files;
            files.Serve(plan);
            Live().PatchFT->SetPort(files.Port());
            Live().checkUpdate->trigger();
            RawSocket line = AcceptLiveUp();
            EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
            ASSERT_TRUE(RunUntil([&] { return files.Done() && !Live().PatchFT->Receiving(); }, 15000));
            c.after();
        }
        EXPECT_EQ(Notice(), c.notice);
        EXPECT_FALSE(Live().Check().Downloading());
        EXPECT_FALSE(Live().PatchFT->Speed->Enabled()) << "no rate caption for the rest of the run";
        EXPECT_FALSE(fs::exists(fs::symlink_status(receive))) << "the partial patch is closed and removed";
        EXPECT_EQ(folder.Read("precious"), "the player's own file") << "a linked file is never written";

        if (c.notice == lu::kUpdateFailed) {
            EXPECT_EQ(Caption(), lu::kPlainCaption);
            EXPECT_FALSE(fs::exists(save));
            form.ShowNotice("");
            ScriptedFileServer files;
            files.Serve({patch, B});
            Live().PatchFT->SetPort(files.Port());
            Live().checkUpdate->trigger();
            RawSocket line = AcceptLiveUp();
            EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
            ASSERT_TRUE(RunUntil([&] { return files.Done() && !Live().Check().Downloading(); }, 15000));
            EXPECT_EQ(Notice(), lu::kDownloaded);
        }
        EXPECT_TRUE(folder.Read("Patch.exe") == patch) << "the next check brings the patch whole";
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Patch.exe", "precious"}));
        EXPECT_EQ(Caption(), lu::kDownloadedCaption);
        fs::remove(save);  // the next case fetches it again
    }
}

// Against a server that closes the version port after "VERSION:", so the
// watchdog reconnects every 10 seconds and hears of the newer version each
// time: a failing fetch is tried after growing pauses, and the player hears
// of it once.
TEST_F(LiveUpdateTest, AFailingFetchIsRetriedAfterGrowingPausesWithOneNotice) {
    RawSocket files = RawSocket::Listen();
    Live().PatchFT->SetPort(files.Port());
    // The server's side of one handshake; true when the game then fetches
    // (and the fetch is broken off at once). The game decides while it
    // answers, so by the answer a fetch has started or none will.
    const auto handshake = [&](const std::function<void()>& connect) {
        connect();
        RawSocket line = AcceptLiveUp();
        EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
        const bool fetching = Live().PatchFT->Receiving();
        EXPECT_EQ(Live().Check().Downloading(), fetching);
        line.Close();
        EXPECT_TRUE(RunUntil([&] { return LiveUp().State() != 7; }));
        if (!fetching) return false;
        RawSocket fetch = files.Accept();
        EXPECT_TRUE(fetch.Valid()) << "the fetch reaches the server";
        fetch.Close();
        EXPECT_TRUE(RunUntil([&] { return !Live().Check().Downloading(); }));
        return true;
    };
    const auto watchdog = [&] { Live().LiveUpdate_Timer(); };
    const auto retry = [&] { Live().Retry_Timer(); };
    const auto asked = [&] { Live().ConnectLiveUpdate(); };
    using std::chrono::minutes;
    using std::chrono::seconds;
    using Ms = std::chrono::milliseconds;
    const struct Step {
        const char* name;
        std::function<void()> connect;
        bool fetches;
        const char* notice;
        Ms pause;
    } steps[] = {
        {"the first fetch fails", watchdog, true, lu::kUpdateFailed, seconds(10)},
        {"the watchdog's next handshake waits for the pause", watchdog, false, "", seconds(10)},
        {"after the pause it fails again, quietly", retry, true, "", seconds(30)},
        {"and again", retry, true, "", minutes(5)},
        {"and again, every few minutes", retry, true, "", minutes(5)},
        {"the player's check fetches at once and is told", asked, true, lu::kUpdateFailed, minutes(5)},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        form.ShowNotice("");
        EXPECT_EQ(handshake(step.connect), step.fetches);
        EXPECT_EQ(Notice(), step.notice);
        EXPECT_TRUE(Live().RetryWaiting());
        EXPECT_EQ(Live().RetryPause(), step.pause);
    }
    // The server mends: the next try fetches the patch whole.
    ScriptedFileServer mended;
    mended.Serve({"patch", B});
    Live().PatchFT->SetPort(mended.Port());
    Live().Retry_Timer();
    RawSocket line = AcceptLiveUp();
    EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
    ASSERT_TRUE(RunUntil([&] { return mended.Done() && !Live().Check().Downloading(); }, 10000));
    EXPECT_EQ(folder.Read("Patch.exe"), "patch");
    EXPECT_EQ(Notice(), lu::kDownloaded);
    EXPECT_FALSE(Live().RetryWaiting());
    EXPECT_EQ(Live().Check().Failures(), 0);
}

// A fetch that cannot even start has failed like any other: the player hears
// of it once, it is tried again after its pause, and once the fault is gone
// the patch comes whole.
TEST_F(LiveUpdateTest, AFetchThatCannotStartIsTriedAgainAfterItsPause) {
    RawSocket files = RawSocket::Listen();
    RawSocket taken = RawSocket::Listen();  // its port cannot be bound again
    const fs::path receive = folder / "Patch.exe.TMP";
    struct Case {
        const char* name;
        std::function<void()> before;  // puts the fault in place
        std::function<void()> after;   // takes it away again
    };
    const Case cases[] = {
        {"a folder that cannot be removed stands where the patch arrives",
         [&] { fs::create_directories(receive / "inside"); }, [&] { fs::remove_all(receive); }},
        {"the connection fails at once", [&] { Live().PatchFT->Client->LocalPort(taken.Port()); },
         [&] { Live().PatchFT->Client->LocalPort(0); }},
        {"the connection cannot even be tried", [&] { Live().PatchFT->SetPort(70000); },
         [&] { Live().PatchFT->SetPort(files.Port()); }},
    };
    // A check of the server's, not the player's; true when the fetch runs.
    const auto handshake = [&](const std::function<void()>& connect) {
        connect();
        RawSocket line = AcceptLiveUp();
        EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
        EXPECT_EQ(Live().Check().Downloading(), Live().PatchFT->Receiving());
        return Live().PatchFT->Receiving();
    };
    using std::chrono::seconds;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Live().PatchFT->CloseSck();  // the last fetch's connection stays open
        Live().PatchFT->SetPort(files.Port());
        c.before();
        form.ShowNotice("");
        EXPECT_FALSE(handshake([&] { Live().LiveUpdate_Timer(); })) << "it ends at once";
        EXPECT_EQ(Notice(), lu::kUpdateFailed);
        EXPECT_EQ(Caption(), lu::kPlainCaption);
        EXPECT_TRUE(Live().RetryWaiting());
        EXPECT_EQ(Live().RetryPause(), seconds(10));

        // The pause is over and the fault is still there: it fails again,
        // quietly, and waits longer.
        form.ShowNotice("");
        EXPECT_FALSE(handshake([&] { Live().Retry_Timer(); }));
        EXPECT_EQ(Notice(), "");
        EXPECT_TRUE(Live().RetryWaiting());
        EXPECT_EQ(Live().RetryPause(), seconds(30));

        c.after();
        ASSERT_TRUE(handshake([&] { Live().Retry_Timer(); }));
        RawSocket fetch = files.Accept();
        EXPECT_EQ(fetch.ReceiveExactly(5), "FILE?");
        fetch.SendAll("F:patch");
        ASSERT_TRUE(RunUntil([&] { return !Live().Check().Downloading(); }));
        EXPECT_EQ(folder.Read("Patch.exe"), "patch");
        EXPECT_EQ(Notice(), lu::kDownloaded);
        EXPECT_FALSE(Live().RetryWaiting());
        EXPECT_EQ(Live().Check().Failures(), 0);
        fs::remove(folder / "Patch.exe");  // the next case fetches it again
    }
}

// A patch larger than the game takes would come just as large again: it is
// not fetched again by itself, only when the player asks.
TEST_F(LiveUpdateTest, APatchTooLargeIsFetchedAgainOnlyWhenThePlayerAsks) {
    Live().PatchFT->SetLimits({online::transfer::kMaxBlockSize, 2 * B});
    const auto fetchTooLarge = [&](const std::function<void()>& connect) {
        ScriptedFileServer files;
        files.Serve({TransferFileOf(3 * B), B});
        Live().PatchFT->SetPort(files.Port());
        form.ShowNotice("");
        connect();
        RawSocket line = AcceptLiveUp();
        EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
        ASSERT_TRUE(Live().PatchFT->Receiving());
        ASSERT_TRUE(RunUntil([&] { return files.Done() && !Live().Check().Downloading(); }, 10000));
        EXPECT_EQ(Live().PatchFT->LastFault(), online::transfer::Fault::FileTooLarge);
        EXPECT_EQ(Notice(), lu::kUpdateFailed);
        EXPECT_FALSE(Live().RetryWaiting()) << "no pause to wait out";
        EXPECT_TRUE(folder.Names().empty());
        line.Close();
        EXPECT_TRUE(RunUntil([&] { return LiveUp().State() != 7; }));
    };
    fetchTooLarge([&] { Live().LiveUpdate_Timer(); });
    {
        SCOPED_TRACE("the server names the version again");
        form.ShowNotice("");
        Live().LiveUpdate_Timer();
        RawSocket line = AcceptLiveUp();
        EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
        EXPECT_FALSE(Live().PatchFT->Receiving()) << "not fetched again by itself";
        EXPECT_EQ(Notice(), "");
    }
    SCOPED_TRACE("the player asks");
    fetchTooLarge([&] { Live().ConnectLiveUpdate(); });
}

// "Check For Updates" always ends with words the player can read.
TEST_F(LiveUpdateTest, EveryCheckThePlayerAsksForEndsWithAnAnswer) {
    liveUpListener = ListenOn(0);
    options.LiveUpdatePort = liveUpListener.Port();
    RawSocket files = RawSocket::Listen();
    Live().PatchFT->SetPort(files.Port());
    const std::string waiting = lu::PatchWaitingNotice((folder / "Patch.exe").string());
    // The player checks; the server answers with its version.
    const auto check = [&](const char* version) {
        form.ShowNotice("");
        Live().checkUpdate->trigger();
        RawSocket line = AcceptLiveUp();
        EXPECT_EQ(AnswerTo(line, version), std::string(version) == "VERSION:29" ? "REJECTbob:29" : "ACCEPTbob:29");
        return line;
    };

    RawSocket line = check("VERSION:29");
    EXPECT_EQ(Notice(), lu::kUpToDate);

    line = check("VERSION:30");
    EXPECT_EQ(Notice(), lu::kDownloading);
    RawSocket fetch = files.Accept();
    EXPECT_EQ(fetch.ReceiveExactly(5), "FILE?");
    line = check("VERSION:30");
    EXPECT_EQ(Notice(), lu::kDownloading) << "while the patch is on its way";
    fetch.SendAll("F:patch");
    ASSERT_TRUE(RunUntil([&] { return !Live().Check().Downloading(); }));

    // The patch is here: the check says where it waits and offers to start it.
    form.BringToFront(shell::Panel::Tracks);
    Live().StartPatch->setEnabled(false);
    line = check("VERSION:30");
    EXPECT_EQ(Notice(), waiting);
    EXPECT_EQ(form.FrontPanel(), shell::Panel::Picture8);
    EXPECT_TRUE(Live().StartPatch->isEnabled());
    EXPECT_FALSE(Live().PatchFT->Receiving()) << "it is not fetched again";
    EXPECT_FALSE(Live().Check().Downloading());

    // The server goes away and comes back on its port.
    const std::uint16_t port = liveUpListener.Port();
    line.Close();
    liveUpListener.Close();
    ASSERT_TRUE(RunUntil([&] { return LiveUp().State() != 7; }));
    form.ShowNotice("");
    Live().checkUpdate->trigger();
    EXPECT_TRUE(RunUntil([&] { return Notice() == lu::kCheckServerSettings; })) << "the check failed";
    liveUpListener = ListenOn(port);
    ASSERT_TRUE(liveUpListener.Valid()) << "the port was taken meanwhile";
    line = check("VERSION:30");
    EXPECT_EQ(Notice(), waiting);

    // The player removed the patch: it is fetched again.
    fs::remove(folder / "Patch.exe");
    line = check("VERSION:30");
    EXPECT_EQ(Notice(), lu::kDownloading);
    fetch = files.Accept();
    EXPECT_EQ(fetch.ReceiveExactly(5), "FILE?");
    fetch.SendAll("F:patch");
    ASSERT_TRUE(RunUntil([&] { return !Live().Check().Downloading(); }));
    EXPECT_EQ(Notice(), lu::kDownloaded);
}

TEST_F(LiveUpdateTest, OneDownloadAtATime) {
    RawSocket files = RawSocket::Listen();
    Live().PatchFT->SetPort(files.Port());
    Live().LiveUpdate_Timer();
    RawSocket line = AcceptLiveUp();
    EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
    RawSocket download = files.Accept();
    ASSERT_TRUE(RunUntil([&] { return HasData(download); }));
    EXPECT_EQ(download.ReceiveExactly(5), "FILE?");
    // The server asks again while the patch is on its way. A second fetch
    // would close the first one's connection, so the patch could only come
    // through the first if no second one started.
    EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
    EXPECT_TRUE(Live().PatchFT->Receiving());
    download.SendAll("F:patch");
    ASSERT_TRUE(RunUntil([&] { return !Live().Check().Downloading(); })) << "the first fetch was cut off";
    EXPECT_EQ(folder.Read("Patch.exe"), "patch");
    // It is here now: the same version is not fetched again.
    EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
    EXPECT_FALSE(Live().PatchFT->Receiving());
    EXPECT_FALSE(Live().Check().Downloading());
}

TEST_F(LiveUpdateTest, AnUnwritableProgramFolderIsNamedAndNothingIsFetched) {
    // Not there: nobody can write into it. Its name is UTF-8 on disk.
    options.ProgramFolder = folder / "install\xC3\xA9";
    RawSocket files = RawSocket::Listen();
    Live().PatchFT->SetPort(files.Port());
    Live().ConnectLiveUpdate();
    RawSocket line = AcceptLiveUp();
    EXPECT_EQ(AnswerTo(line, "VERSION:30"), "ACCEPTbob:29");
    EXPECT_TRUE(Notice().starts_with("Trotwick Live Update cannot save the new version in /")) << Notice();
    EXPECT_TRUE(Notice().ends_with("install\xE9 - the folder cannot be written to"))
        << "the folder is named as the player reads it, not as its bytes";
    EXPECT_FALSE(Live().PatchFT->Receiving());
    EXPECT_FALSE(Live().Check().Downloading());
}

TEST_F(LiveUpdateTest, BadVersionsStopTheChecksButNotTheChat) {
    const char* bad[] = {"VERSION:30abc", "VERSION:", "VERSION:99999999999", "VERSION:-"};
    for (const char* message : bad) {
        SCOPED_TRACE(message);
        form.ShowNotice("");
        // A check the player asks for still connects once.
        Live().ConnectLiveUpdate();
        RawSocket line = AcceptLiveUp();
        line.SendAll(message);
        ASSERT_TRUE(RunUntil([&] { return LiveUp().State() == 0; }));
        EXPECT_EQ(line.ReceiveSome(1000), "") << "no answer, and the game hangs up";
        EXPECT_EQ(Notice(), lu::kUpdateFailed);
        EXPECT_EQ(Caption(), lu::kPlainCaption);
        EXPECT_TRUE(Live().Check().ChecksStopped());
    }
    // The watchdog leaves the update checks alone (a connect would have
    // left the socket closed no more) and keeps the chat up.
    Live().LiveUpdate_Timer();
    EXPECT_EQ(LiveUp().State(), 0);
    RawSocket chat = chatListener.Accept();
    EXPECT_TRUE(chat.Valid());
    EXPECT_TRUE(RunUntil([&] { return Chat().State() == 7; }));
}

TEST_F(LiveUpdateTest, OtherMessagesAreIgnored) {
    Live().LiveUpdate_Timer();
    RawSocket line = AcceptLiveUp();
    line.SendAll("version:30VERSION30LEADER:x");
    RunFor(500);
    EXPECT_FALSE(HasData(line));
    EXPECT_EQ(LiveUp().State(), 7);
    EXPECT_FALSE(Live().Check().ChecksStopped());
    EXPECT_EQ(AnswerTo(line, "VERSION:29"), "REJECTbob:29");
}

TEST_F(LiveUpdateTest, ACheckWithoutAnAnswerEndsWithTheFailureNotice) {
    options.ManualCheckTimeout = std::chrono::milliseconds(60 * 1000);
    Live().ConnectLiveUpdate();
    RawSocket line = AcceptLiveUp();
    EXPECT_EQ(Notice(), "");
    Live().ManualCheck_Timeout();  // the server never answered
    EXPECT_EQ(Notice(), lu::kCheckServerSettings);
    // An answer after that is handled, but nobody is told twice.
    form.ShowNotice("");
    EXPECT_EQ(AnswerTo(line, "VERSION:29"), "REJECTbob:29");
    EXPECT_EQ(Notice(), "");

    // A server that cannot be reached ends the check at once, long before
    // the time is up.
    liveUpListener.Close();
    Live().ConnectLiveUpdate();
    EXPECT_TRUE(RunUntil([&] { return Notice() == lu::kCheckServerSettings; }, 5000));
    // Without a server there is nothing to ask.
    form.ShowNotice("");
    game.Server.clear();
    Live().ConnectLiveUpdate();
    EXPECT_EQ(Notice(), lu::kCheckServerSettings);
}

TEST_F(LiveUpdateTest, RateCaptionShowsKilobytesPerSecond) {
    std::int32_t rate = 1500;
    Live().PatchDownloadProgress(rate);
    EXPECT_EQ(Caption(), "Trotwick Zircona - (2KB/sec)");
    rate = 2500;
    Live().PatchDownloadProgress(rate);
    EXPECT_EQ(Caption(), "Trotwick Zircona - (2KB/sec)");
}

TEST_F(LiveUpdateTest, WatchdogReconnectsAfterTheServerComesBack) {
    // Listeners whose ports can be listened on again while their old
    // connections linger.
    liveUpListener = ListenOn(0);
    chatListener = ListenOn(0);
    options.LiveUpdatePort = liveUpListener.Port();
    options.ChatPort = chatListener.Port();
    Live().LiveUpdate_Timer();
    RawSocket liveUp = liveUpListener.Accept();
    RawSocket chat = chatListener.Accept();
    ASSERT_TRUE(RunUntil([&] { return LiveUp().State() == 7 && Chat().State() == 7; }));
    Live().LiveUpdate_Timer();
    EXPECT_EQ(LiveUp().State(), 7) << "a connected socket is left alone";
    EXPECT_EQ(Chat().State(), 7);

    // The server goes away.
    const std::uint16_t liveUpPort = liveUpListener.Port();
    const std::uint16_t chatPort = chatListener.Port();
    liveUp.Close();
    chat.Close();
    liveUpListener.Close();
    chatListener.Close();
    ASSERT_TRUE(RunUntil([&] { return LiveUp().State() != 7 && Chat().State() != 7; }));
    Live().LiveUpdate_Timer();
    ASSERT_TRUE(RunUntil([&] { return LiveUp().State() == 9 && Chat().State() == 9; }));

    // It comes back on the same ports.
    liveUpListener = ListenOn(liveUpPort);
    chatListener = ListenOn(chatPort);
    ASSERT_TRUE(liveUpListener.Valid() && chatListener.Valid()) << "the ports were taken meanwhile";
    Live().LiveUpdate_Timer();
    liveUp = liveUpListener.Accept();
    chat = chatListener.Accept();
    EXPECT_TRUE(liveUp.Valid());
    EXPECT_TRUE(chat.Valid());
    ASSERT_TRUE(RunUntil([&] { return LiveUp().State() == 7 && Chat().State() == 7; }));
    EXPECT_EQ(AnswerTo(liveUp, "VERSION:29"), "REJECTbob:29");

    // Without a server the watchdog never reconnects.
    game.Server.clear();
    liveUp.Close();
    chat.Close();
    ASSERT_TRUE(RunUntil([&] { return LiveUp().State() != 7 && Chat().State() != 7; }));
    const std::int32_t liveUpState = LiveUp().State();
    const std::int32_t chatState = Chat().State();
    Live().LiveUpdate_Timer();
    EXPECT_EQ(LiveUp().State(), liveUpState) << "a connect would have changed it at once";
    EXPECT_EQ(Chat().State(), chatState);
    EXPECT_TRUE(Notice().empty());
}

// ---- The settings window and the menu -------------------------------------

TEST_F(LiveUpdateTest, SettingsApplyAValidAddressAndReconnectBothAtOnce) {
    game.Server = "127.0.0.2";  // nothing answers there
    Live().updateSettings->trigger();
    online::Form10* window = Live().Settings();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Live Update Settings");
    EXPECT_EQ(window->Text8->text(), "127.0.0.2");
    EXPECT_EQ(window->Label1->text(),
              "Brambly Server control panel. Unless Brambly has recomended you to do so, dont change anything. ");
    EXPECT_EQ(window->Label2->text(), "Canterloo Server:");
    EXPECT_EQ(window->Label3->text(), "Default Address:");
    EXPECT_EQ(window->Label4->text(), "localhost");
    EXPECT_EQ(window->Command1->text(), "Apply");
    // The gradient runs from white in one corner to grey in the other.
    const QImage painted = window->grab().toImage();
    EXPECT_NE(painted.pixelColor(2, 2), painted.pixelColor(painted.width() - 3, painted.height() - 3));
    testing_support::SaveScreenshot(*window, "form10-live-update-settings");

    window->Text8->setText("127.0.0.1");
    window->Command1->click();
    EXPECT_EQ(game.Server, "127.0.0.1");
    EXPECT_TRUE(liveUpListener.Accept().Valid());
    EXPECT_TRUE(chatListener.Accept().Valid()) << "the chat moves to the new server at once";
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(LiveUpdateTest, SettingsRefuseTextThatNamesNoServer) {
    Live();
    form.ShowUpdateSettings();
    online::Form10* window = Live().Settings();
    ASSERT_NE(window, nullptr);
    for (const char* text : {"my server", "", "host\tname", "localhost/trotwick"}) {
        SCOPED_TRACE(text);
        dialogs.boxes.clear();
        game.Server = "127.0.0.1";
        window->Text8->setText(QString::fromLatin1(text));
        window->Command1_Click();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].prompt, lu::kInvalidAddress);
        EXPECT_EQ(dialogs.boxes[0].style, platform::kInformation);
        EXPECT_EQ(dialogs.boxes[0].title, "Error");
        EXPECT_EQ(game.Server, "localhost") << "the default is put back";
        EXPECT_EQ(window->Text8->text(), QString::fromLatin1(text)) << "the box keeps the refused text";
        EXPECT_TRUE(window->isVisible());
        EXPECT_NE(LiveUp().State(), 0) << "connecting to the default";
    }
}

TEST_F(LiveUpdateTest, GameMenuChecksNowAndOpensTheSettings) {
    Live();
    const QList<QAction*> actions = form.GameMenu()->actions();
    const auto at = [&](QAction* a) { return actions.indexOf(a); };
    ASSERT_GE(at(Live().checkUpdate), 0);
    EXPECT_EQ(Live().checkUpdate->text(), "Check For &Updates");
    EXPECT_EQ(Live().updateSettings->text(), "Live Update Se&ttings");
    EXPECT_LT(at(Live().checkUpdate), at(form.exit_));
    EXPECT_LT(at(Live().updateSettings), at(form.exit_));

    Live().checkUpdate->trigger();
    RawSocket line = AcceptLiveUp();
    EXPECT_EQ(AnswerTo(line, "VERSION:29"), "REJECTbob:29");
    EXPECT_EQ(Notice(), lu::kUpToDate);
}

TEST_F(LiveUpdateTest, Picture8OffersToStartThePatch) {
    folder.Write("Patch.exe", "patch");
    form.PaintBackgrounds();
    Live().PatchDownloaded();
    EXPECT_EQ(form.FrontPanel(), shell::Panel::Picture8);
    EXPECT_EQ(Live().PatchHeading->text(), "NEW VERSION DOWNLOADED");
    EXPECT_TRUE(Live().PatchInstructions->text().contains(QString::fromStdString((folder / "Patch.exe").string())))
        << "it says where the patch waits";
    EXPECT_TRUE(Live().StartPatch->isEnabled());
    testing_support::SaveScreenshot(form.PanelBox(shell::Panel::Picture8), "picture8-patch-downloaded");
    testing_support::SaveScreenshot(form, "form1-patch-downloaded");

    // A patch that is gone by the time the player presses is not started,
    // nor a link put in its place.
    fs::remove(folder / "Patch.exe");
    Live().StartPatch_Click();
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_EQ(Notice(), lu::kUpdateFailed);
    folder.Write("script", "rm -rf ~");
    fs::permissions(folder / "script", fs::perms(0600));
    fs::create_symlink(folder / "script", folder / "Patch.exe");
    form.ShowNotice("");
    Live().StartPatch_Click();
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_EQ(Notice(), lu::kUpdateFailed);
    EXPECT_EQ(fs::status(folder / "script").permissions(), fs::perms(0600)) << "the linked file is not made executable";
}

// In a folder others can write to, a file put at the patch's name after the
// game checked it is never what starts: the checked file is.
TEST_F(LiveUpdateTest, StartPatchStartsTheCheckedFileNotOneSwappedInAfter) {
    if (!folder.AllowsPrograms()) GTEST_SKIP() << "programs cannot run from " << folder.Path() << " here";
    SwappingStarter swapping;
    options.Starter = &swapping;
    const auto script = [&](const std::string& out) {
        const std::string path = (folder / out).string();
        return "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + path + ".part' && mv '" + path + ".part' '" + path + "'\n";
    };
    folder.Write("Patch.exe", script("fetched-ran"));
    fs::permissions(folder / "Patch.exe", fs::perms(0600));
    folder.Write("swapped", script("swapped-ran"));
    fs::permissions(folder / "swapped", fs::perms(0755));
    swapping.beforeStart = [&] { fs::rename(folder / "swapped", folder / "Patch.exe"); };
    Live().PatchDownloaded();

    Live().StartPatch->click();
    ASSERT_TRUE(RunUntil([&] { return fs::exists(folder / "fetched-ran"); })) << "the checked file started";
    EXPECT_EQ(folder.Read("fetched-ran"), "/opt/trotwick/trotwick\n") << "with the game's path as its one argument";
    EXPECT_FALSE(fs::exists(folder / "swapped-ran"));
    EXPECT_EQ(folder.Read("Patch.exe"), script("swapped-ran")) << "the swap did happen";
    EXPECT_FALSE(Live().StartPatch->isEnabled());
}

}  // namespace
