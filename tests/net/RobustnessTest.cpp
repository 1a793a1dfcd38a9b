// Handlers that close, send or drop the object from inside its events;
// stale notifications; descriptors a child process must not inherit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SocketTestKit.h"
#include "tests/support/Descriptors.h"
#include "tests/support/RawSocket.h"
#include "tests/support/RecordingDialogs.h"

extern char** environ;

namespace mse = net::modSocketEngine;
namespace ws = platform::ws;
using namespace net;
using namespace net_testing;
using testing_support::RawSocket;

namespace {

class Robustness : public SocketTest {
protected:
    // An object connected to a plain socket.
    void Open(Endpoint& s) {
        s->Connect(std::string("127.0.0.1"), listener_.Port());
        peer_ = listener_.Accept();
        ASSERT_TRUE(RunUntil([&] { return s.State() == 7; }));
        s.events.log.clear();
    }
    RawSocket listener_ = RawSocket::Listen();
    RawSocket peer_;
};

TEST_F(Robustness, HandlerClosesInsideDataArrival) {
    Endpoint s;
    Open(s);
    s.events.onDataArrival = [&](std::int32_t) { s->CloseSck(); };
    peer_.SendAll("data");
    peer_.Close();
    ASSERT_TRUE(RunUntil([&] { return s.events.Has("DataArrival"); }));
    RunFor(50);
    EXPECT_EQ(s.State(), 0);
    EXPECT_EQ(s.events.log, std::vector<std::string>{"DataArrival(4)"}) << "nothing after the close";
}

TEST_F(Robustness, HandlerClosesInsideConnectAndInsideCloseSck) {
    Endpoint a;
    a.events.onConnect = [&] { a->CloseSck(); };
    a->Connect(std::string("127.0.0.1"), listener_.Port());
    RawSocket pa = listener_.Accept();
    ASSERT_TRUE(RunUntil([&] { return a.events.Has("Connect"); }));
    EXPECT_EQ(a.State(), 0);
    EXPECT_TRUE(pa.WaitForClose());

    Endpoint b;
    Open(b);
    b.events.onCloseSck = [&] { b->CloseSck(); };
    peer_.Close();
    ASSERT_TRUE(RunUntil([&] { return b.events.Has("CloseSck"); }));
    RunFor(20);
    EXPECT_EQ(b.State(), 0);
}

TEST_F(Robustness, HandlerSendsAgainInsideSendComplete) {
    Endpoint s;
    Open(s);
    int completes = 0;
    s.events.onSendComplete = [&] {
        if (++completes == 1) s->SendData(std::string(" and more"));
    };
    s->SendData(std::string("first"));
    EXPECT_EQ(peer_.ReceiveExactly(14), "first and more");
    EXPECT_EQ(completes, 2);
}

TEST_F(Robustness, HandlerClosesWhileTheSenderWaits) {
    Endpoint s;
    listener_ = RawSocket::Listen(4096);
    Open(s);
    ws::setsockopt(s->SocketHandle(), SOL_SOCKET, SO_SNDBUF, 8192);
    s.events.onSendProgress = [&](std::int32_t, std::int32_t remaining) {
        if (remaining > 0) s->CloseSck();
    };
    s->SendData(std::string(1 << 20, 'q'));
    EXPECT_EQ(s.State(), 0);
    EXPECT_EQ(s.events.Count("SendProgress"), 1);
    RunFor(50);
    EXPECT_FALSE(s.events.Has("SendComplete"));
}

TEST_F(Robustness, HandlerThatThrowsDoesNotStopLaterEvents) {
    Endpoint s;
    Open(s);
    s.events.onDataArrival = [](std::int32_t) { throw runtime::Error(13, "Form1.Socket2_DataArrival", "Type mismatch"); };
    peer_.SendAll("one");
    ASSERT_TRUE(RunUntil([&] { return s->BytesReceived() == 3; }));
    peer_.SendAll("two");
    peer_.Close();
    ASSERT_TRUE(RunUntil([&] { return s.State() == 8; }));
    EXPECT_EQ(s.events.log, (std::vector<std::string>{"DataArrival(3)", "DataArrival(6)", "CloseSck"}));
}

TEST_F(Robustness, ObjectDroppedByItsOwnHandlerLivesUntilTheHandlingEnds) {
    auto holder = std::make_unique<Endpoint>();
    Open(*holder);
    std::weak_ptr<CSocketEngine> watch = holder->engine;
    Recorder* events = &holder->events;
    events->onDataArrival = [&](std::int32_t) {
        // The window that owned it lets go of it inside the event.
        holder->engine->SetEvents(nullptr);
        holder->engine.reset();
        EXPECT_FALSE(watch.expired()) << "kept alive for the rest of the handling";
    };
    peer_.SendAll("last");
    ASSERT_TRUE(RunUntil([&] { return watch.expired(); }));
    EXPECT_TRUE(peer_.WaitForClose()) << "its end closed the socket";
    holder.reset();
}

TEST_F(Robustness, ErrorHandlerCanAskForTheMessageBox) {
    testing_support::RecordingDialogs dialogs;
    Endpoint s;
    s->SetDialogs(&dialogs);
    s.events.onError = [](std::string& description, bool& cancelDisplay) {
        description += " (retrying)";
        cancelDisplay = false;
    };
    RawSocket closed = RawSocket::RefusingPort();
    s->Connect(std::string("127.0.0.1"), closed.Port());
    ASSERT_TRUE(RunUntil([&] { return s.State() == 9; }));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].prompt, "Connection refused. (retrying)");
    EXPECT_EQ(dialogs.boxes[0].title, "CSocketEngine.PostSocket");
    EXPECT_EQ(dialogs.boxes[0].style, platform::kOkOnly);

    Endpoint quiet;  // a handler that leaves cancelDisplay alone: no box
    quiet->SetDialogs(&dialogs);
    quiet->Connect(std::string("127.0.0.1"), closed.Port());
    ASSERT_TRUE(RunUntil([&] { return quiet.State() == 9; }));
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

// A socket of no window falls back on the program's boxes, and a program
// without any (a server with no display) goes on without a box.
TEST_F(Robustness, ErrorBoxWithoutDialogsOfItsOwn) {
    RawSocket closed = RawSocket::RefusingPort();
    auto refuse = [&](Endpoint& s) {
        s.events.onError = [](std::string&, bool& cancelDisplay) { cancelDisplay = false; };
        s->Connect(std::string("127.0.0.1"), closed.Port());
        return RunUntil([&] { return s.State() == 9; });
    };

    testing_support::RecordingDialogs programBoxes;
    platform::SetDefaultDialogs(&programBoxes);
    Endpoint s;
    const bool refused = refuse(s);
    platform::SetDefaultDialogs(nullptr);
    ASSERT_TRUE(refused);
    ASSERT_EQ(programBoxes.boxes.size(), 1u);
    EXPECT_EQ(programBoxes.boxes[0].title, "CSocketEngine.PostSocket");

    Endpoint headless;
    ASSERT_TRUE(refuse(headless));
    EXPECT_EQ(headless.events.Count("Error"), 1);
    EXPECT_EQ(programBoxes.boxes.size(), 1u);
}

// Two connections are reset at the same moment, so both resets are queued
// in one pass of the event loop. The handler of whichever comes first
// closes the other and connects a new object, which Linux gives the closed
// descriptor's number. The other's queued reset must not reach it.
TEST_F(Robustness, ReusedDescriptorNeverReceivesTheOldSocketsEvents) {
    Endpoint a;
    Endpoint x;
    Open(a);
    RawSocket pa = std::move(peer_);
    Open(x);
    RawSocket px = std::move(peer_);

    RawSocket target = RawSocket::Listen();
    Endpoint successor;
    std::int32_t reused = -1;
    auto closeTheOther = [&](Endpoint& other) {
        if (reused != -1) return;
        reused = other->SocketHandle();
        other->CloseSck();
        testing_support::DescriptorFiller filler(reused);
        successor->Connect(std::string("127.0.0.1"), target.Port());
    };
    a.events.onError = [&](std::string&, bool&) { closeTheOther(x); };
    x.events.onError = [&](std::string&, bool&) { closeTheOther(a); };

    pa.Reset();
    px.Reset();
    ::usleep(20000);
    ASSERT_TRUE(RunUntil([&] { return reused != -1 && successor.State() != 6; }));
    RunFor(50);
    EXPECT_EQ(successor->SocketHandle(), reused) << "the test needs the number reused";
    EXPECT_EQ(successor.State(), 7);
    EXPECT_EQ(successor.events.log, std::vector<std::string>{"Connect"});
}

std::string RunChild(const char* path, const std::vector<std::string>& args) {
    int out[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawn(&pid, path, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return text;
}

std::string SocketName(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    return "socket:[" + std::to_string(st.st_ino) + "]";
}

// The live update starts a patch program while the game listens and talks:
// the child must hold none of those sockets.
TEST_F(Robustness, ChildProcessHoldsNoneOfTheGamesSockets) {
    ConnectedPair pair;
    Endpoint udp;
    udp->Protocol(sckUDPProtocol);
    udp->Bind();
    ASSERT_EQ(pair.listener.State(), 2);

    const std::vector<int> ours = {pair.listener->SocketHandle(), pair.server->SocketHandle(),
                                   pair.client->SocketHandle(), udp->SocketHandle()};
    // A socket made without close-on-exec shows that a leak would be seen.
    const int leaky = ::socket(AF_INET, SOCK_STREAM, 0);
    const std::string listing = RunChild("/bin/ls", {"-l", "/proc/self/fd/"});
    ASSERT_NE(listing.find(SocketName(leaky)), std::string::npos) << "the child lists its descriptors: " << listing;
    ::close(leaky);
    for (const int fd : ours) {
        ASSERT_GE(fd, 0);
        EXPECT_EQ(listing.find(SocketName(fd)), std::string::npos) << "descriptor " << fd << " leaked into the child";
    }
}

}  // namespace
