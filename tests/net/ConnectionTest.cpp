// States and connections over loopback.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include "SocketTestKit.h"
#include "tests/support/LookupGate.h"
#include "tests/support/Resolver.h"
#include "tests/support/RawSocket.h"

namespace mse = net::modSocketEngine;
namespace ws = platform::ws;
using namespace net;
using namespace net_testing;
using testing_support::RawSocket;

namespace {

class Connections : public SocketTest {};

// The game's host: its ConnectionRequest handler closes the listener and
// accepts on it, so the listener carries the connection from then on.
TEST_F(Connections, ListenerThatClosesAndAcceptsCarriesTheConnection) {
    Endpoint host;
    Endpoint client;
    host.events.onConnectionRequest = [&](std::int32_t id) {
        host->CloseSck();
        host->Accept(id);
    };
    bool listening = false;
    host->Listen(&listening);
    ASSERT_TRUE(listening);
    ASSERT_EQ(host.State(), 2);
    const std::int32_t port = host->LocalPort();
    EXPECT_GT(port, 0) << "the port the system chose";

    client->Connect(std::string("127.0.0.1"), port);
    EXPECT_EQ(client.State(), 6) << "a dotted address needs no lookup";
    ASSERT_TRUE(RunUntil([&] { return client.State() == 7 && host.State() == 7; }));
    EXPECT_EQ(host->RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(client->RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(client->RemotePort(), port);
    EXPECT_EQ(host->LocalPort(), port);
    EXPECT_EQ(mse::Inspect().waitingAccepts, 0);
    EXPECT_EQ(client.events.log, std::vector<std::string>{"Connect"});

    client->SendData(std::string("HELLO"));
    EXPECT_EQ(client.events.log, (std::vector<std::string>{"Connect", "SendProgress(5,0)", "SendComplete"}));
    ASSERT_TRUE(RunUntil([&] { return host.events.Has("DataArrival"); }));
    EXPECT_EQ(host.events.log, (std::vector<std::string>{"ConnectionRequest", "DataArrival(5)"}));
    EXPECT_EQ(host->BytesReceived(), 5);

    Variant peeked = std::string();
    host->PeekData(peeked);
    EXPECT_EQ(std::get<std::string>(peeked), "HELLO");
    EXPECT_EQ(host->BytesReceived(), 5) << "peeking leaves the bytes";
    EXPECT_EQ(host.Take(), "HELLO");
    EXPECT_EQ(host->BytesReceived(), 0);

    const auto e = Raised([&] { host->Listen(); });
    EXPECT_EQ(e.Number(), 40020) << "Listen while connected";
    EXPECT_EQ(e.Source(), "CSocketEngine.Listen");
    const auto host7 = Raised([&] { host->RemoteHost("x"); });
    EXPECT_EQ(host7.Number(), 40020);
}

TEST_F(Connections, RequestNobodyAcceptsIsRefusedAndTheListenerKeepsItsValues) {
    Endpoint listener;
    listener->RemoteHost("kept");
    listener->RemotePort(1234);
    std::string seenIP;
    listener.events.onConnectionRequest = [&](std::int32_t) { seenIP = listener->RemoteHostIP(); };
    listener->Listen();
    RawSocket client = RawSocket::Connect(static_cast<std::uint16_t>(listener->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return listener.events.Has("ConnectionRequest"); }));
    EXPECT_EQ(seenIP, "127.0.0.1") << "the handler sees the peer";
    EXPECT_EQ(listener.State(), 2);
    EXPECT_EQ(listener->RemoteHost(), "kept");
    EXPECT_EQ(listener->RemotePort(), 1234);
    EXPECT_EQ(listener->RemoteHostIP(), "");
    EXPECT_EQ(mse::Inspect().waitingAccepts, 0);
    EXPECT_TRUE(client.WaitForClose()) << "the connection was closed";
}

TEST_F(Connections, HostNamePassesThroughTheLookup) {
    SKIP_UNLESS_LOCALHOST_RESOLVES();
    Endpoint listener;
    Endpoint server;
    listener.events.onConnectionRequest = [&](std::int32_t id) { server->Accept(id); };
    listener->Listen();
    Endpoint client;
    client->Connect(std::string("localhost"), listener->LocalPort());
    EXPECT_EQ(client.State(), 4);
    EXPECT_EQ(mse::Inspect().lookupRoutes, 1);
    ASSERT_TRUE(RunUntil([&] { return client.State() == 7; }));
    EXPECT_EQ(client->RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(client->RemoteHost(), "localhost");
    EXPECT_EQ(mse::Inspect().lookupRoutes, 0) << "the finished lookup's entry is freed";
}

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST_F(Connections, RefusedConnectIsAnErrorAndThenSilence) {
    RawSocket closed = RawSocket::RefusingPort();
    Endpoint client;
    client->Connect(std::string("127.0.0.1"), closed.Port());
    ASSERT_TRUE(RunUntil([&] { return client.State() == 9; }));
    EXPECT_EQ(client.events.log,
              std::vector<std::string>{"Error(10061,Connection refused.,CSocketEngine.PostSocket)"});

    // Silence: no notifier fires, and the process does not spin. A spinning
    // loop would burn the whole two seconds; an idle one next to nothing.
    const double cpuBefore = ProcessCpuSeconds();
    EXPECT_EQ(testing_support::SocketActivationsDuring(2000), 0) << "a notifier fired on the failed socket";
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.5) << "the event loop kept the processor busy";
    EXPECT_EQ(client.events.log.size(), 1u);
    EXPECT_EQ(client.State(), 9);

    // The watchdog's way out: close and connect again.
    client->CloseSck();
    EXPECT_EQ(client.State(), 0);
}

TEST_F(Connections, CloseDuringTheLookupCancelsIt) {
    Endpoint listener;
    listener->Listen();
    Endpoint client;
    client->Connect(std::string("localhost"), listener->LocalPort());
    ASSERT_EQ(client.State(), 4);
    client->CloseSck();
    EXPECT_EQ(client.State(), 0);
    EXPECT_EQ(mse::Inspect().lookupRoutes, 0);
    RunFor(300);
    EXPECT_EQ(client.State(), 0) << "no connect follows";
    EXPECT_TRUE(client.events.log.empty());
    EXPECT_FALSE(listener.events.Has("ConnectionRequest"));
}

// A watchdog that closes and connects again every few seconds to a name
// that takes long to look up: only its newest lookup is ever pending, so
// the lookup worker is free as soon as the slow one ends.
TEST_F(Connections, ReconnectingDuringALookupLeavesOnlyTheNewestPending) {
    testing_support::LookupGate gate;
    Endpoint blocker;
    blocker->Connect(std::string("slow"), 9);
    ASSERT_TRUE(RunUntil([&] { return !gate.Looked().empty(); }));
    Endpoint listener;
    Endpoint server;
    listener.events.onConnectionRequest = [&](std::int32_t id) { server->Accept(id); };
    listener->Listen();
    Endpoint client;
    for (int i = 0; i < 5; ++i) {
        client->CloseSck();
        client->Connect(std::string("server") + std::to_string(i), listener->LocalPort());
        ASSERT_EQ(client.State(), 4);
    }
    EXPECT_EQ(mse::Inspect().lookupRoutes, 2) << "the slow one and the newest";
    gate.Release();
    ASSERT_TRUE(RunUntil([&] { return client.State() == 7; }));
    EXPECT_EQ(gate.Looked(), (std::vector<std::string>{"slow", "server4"}));
    EXPECT_EQ(client->RemoteHost(), "server4");
}

TEST_F(Connections, LookupThatFinishesAfterAnErrorStillFreesItsEntry) {
    Endpoint client;
    client->Connect(std::string("localhost"), 9);
    ASSERT_EQ(client.State(), 4);
    mse::WindowProc(mse::kSocketMessage, client->SocketHandle(), ws::WSAMAKESELECTREPLY(ws::FD_CONNECT, 10050));
    ASSERT_EQ(client.State(), 9);
    ASSERT_TRUE(RunUntil([] { return mse::Inspect().lookupRoutes == 0; }));
    RunFor(50);
    EXPECT_EQ(client.State(), 9) << "the late lookup does not connect";
    EXPECT_EQ(client.events.Count("Error"), 1);
}

TEST_F(Connections, PeerThatSendsAndClosesDeliversItsDataFirst) {
    RawSocket listener = RawSocket::Listen();
    Endpoint client;
    std::string got;
    client.events.onDataArrival = [&](std::int32_t) { got += client.Take(); };
    client->Connect(std::string("127.0.0.1"), listener.Port());
    RawSocket peer = listener.Accept();
    ASSERT_TRUE(peer.Valid());
    peer.SendAll("BYE NOW");
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return client.State() == 8; }));
    EXPECT_EQ(got, "BYE NOW");
    EXPECT_EQ(client.events.log.back(), "CloseSck");
    EXPECT_EQ(client.events.Count("CloseSck"), 1);
    EXPECT_EQ(client.events.log.front(), "Connect");
}

TEST_F(Connections, DataLeftUnreadAtTheCloseCannotBeTakenAnyMore) {
    RawSocket listener = RawSocket::Listen();
    Endpoint client;
    client->Connect(std::string("127.0.0.1"), listener.Port());
    RawSocket peer = listener.Accept();
    peer.SendAll("UNREAD");
    peer.Close();
    ASSERT_TRUE(RunUntil([&] { return client.State() == 8; }));
    EXPECT_EQ(client->BytesReceived(), 6);
    const auto e = Raised([&] { client.Take(); });
    EXPECT_EQ(e.Number(), 40006);
    EXPECT_EQ(e.Source(), "CSocketEngine.GetData");
}

TEST_F(Connections, ResetIsAnErrorWithoutACloseEvent) {
    RawSocket listener = RawSocket::Listen();
    Endpoint client;
    client->Connect(std::string("127.0.0.1"), listener.Port());
    RawSocket peer = listener.Accept();
    ASSERT_TRUE(RunUntil([&] { return client.State() == 7; }));
    peer.Reset();
    ASSERT_TRUE(RunUntil([&] { return client.State() == 9; }));
    RunFor(50);
    EXPECT_EQ(client.events.log,
              (std::vector<std::string>{"Connect", "Error(10054,Connection reset by peer.,CSocketEngine.PostSocket)"}));
}

// A host closes its listener, accepts, and listens again on the same port
// for the next player, while the accepted connection goes on.
TEST_F(Connections, ListenAgainOnThePortWhileTheAcceptedConnectionLives) {
    Endpoint first;
    Endpoint next;
    std::int32_t port = 0;
    first.events.onConnectionRequest = [&](std::int32_t id) {
        first->CloseSck();
        first->Accept(id);
        next->LocalPort(port);
        bool ok = false;
        next->Listen(&ok);
        EXPECT_TRUE(ok) << "listening again on the port";
    };
    first->Listen();
    port = first->LocalPort();

    Endpoint clientA;
    clientA->Connect(std::string("127.0.0.1"), port);
    ASSERT_TRUE(RunUntil([&] { return first.State() == 7 && next.State() == 2; }));
    EXPECT_EQ(next->LocalPort(), port);

    Endpoint clientB;
    clientB->Connect(std::string("127.0.0.1"), port);
    ASSERT_TRUE(RunUntil([&] { return next.events.Has("ConnectionRequest") && clientB.State() != 6; }));
    clientA->SendData(std::string("still here"));
    ASSERT_TRUE(RunUntil([&] { return first->BytesReceived() == 10; }));

    // A second listener on a port in use: refused, and it says so.
    Endpoint rival;
    rival->LocalPort(port);
    bool ok = true;
    rival->Listen(&ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(rival.State(), 0);
}

// The connect step that follows a bind no longer stops silently: a bind
// that fails leaves the object in state 9 with an Error event.
TEST_F(Connections, FailedBindBeforeConnectIsReported) {
    SKIP_UNLESS_LOCALHOST_RESOLVES();
    Endpoint busy;
    busy->Listen();
    for (const char* host : {"127.0.0.1", "localhost"}) {
        Endpoint client;
        client->LocalPort(busy->LocalPort());
        client->Connect(std::string(host), busy->LocalPort());
        ASSERT_TRUE(RunUntil([&] { return client.State() == 9; })) << host;
        EXPECT_EQ(client.events.log,
                  std::vector<std::string>{"Error(10048,Address already in use.,CSocketEngine.ConnectToIP)"})
            << host;
    }
}

TEST_F(Connections, CannotAssignAddressEndsInTheErrorState) {
    SKIP_UNLESS_LOCALHOST_RESOLVES();
    Endpoint direct;
    ws::InjectFault(ws::Call::Connect, ws::WSAEADDRNOTAVAIL);
    const auto e = Raised([&] { direct->Connect(std::string("127.0.0.1"), 9); });
    EXPECT_EQ(e.Number(), 10049);
    EXPECT_EQ(e.Description(), "Cannot assign requested address.");
    EXPECT_EQ(e.Source(), "CSocketEngine.ConnectToIP");
    EXPECT_EQ(direct.State(), 9);
    EXPECT_EQ(direct.events.Count("Error(10049,"), 1);

    Endpoint named;
    named->Connect(std::string("localhost"), 9);
    ws::InjectFault(ws::Call::Connect, ws::WSAEADDRNOTAVAIL);
    ASSERT_TRUE(RunUntil([&] { return named.State() == 9; }));
    EXPECT_EQ(named.events.log,
              std::vector<std::string>{"Error(10049,Cannot assign requested address.,CSocketEngine.ConnectToIP)"});
}

TEST_F(Connections, FailedCloseStillForgetsTheSocket) {
    Endpoint s;
    s->Bind();
    const std::int32_t handle = s->SocketHandle();
    ws::InjectFault(ws::Call::CloseSocket, ws::WSAEINTR);
    const auto e = Raised([&] { s->CloseSck(); });
    EXPECT_EQ(e.Number(), 10004);
    EXPECT_EQ(e.Source(), "CSocketEngine.DestroySocket");
    EXPECT_EQ(s.State(), 9);
    EXPECT_EQ(s->SocketHandle(), -1);
    EXPECT_FALSE(mse::IsSocketRegistered(handle)) << "the freed descriptor may be reused at once";
    s->CloseSck();
    EXPECT_EQ(s.State(), 0);
}

TEST_F(Connections, ConnectionRequestHandlerThatThrowsStillRefusesTheConnection) {
    Endpoint listener;
    listener.events.onConnectionRequest = [](std::int32_t) { throw std::runtime_error("handler broke"); };
    listener->Listen();
    RawSocket client = RawSocket::Connect(static_cast<std::uint16_t>(listener->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return listener.events.Has("ConnectionRequest"); }));
    EXPECT_TRUE(client.WaitForClose());
    EXPECT_EQ(listener.State(), 2);
    EXPECT_EQ(mse::Inspect().waitingAccepts, 0);
}

// Bytes the holder took in before the take-over (when messages ran between
// the request and the Accept) come with one DataArrival right after it.
TEST_F(Connections, BytesHeldBeforeTheTakeOverArriveAtOnce) {
    Endpoint listener;
    Endpoint server;
    RawSocket client;
    listener.events.onConnectionRequest = [&](std::int32_t id) {
        client.SendAll("EARLY");
        ::usleep(20000);
        // As if a pending read notification had run before the Accept.
        mse::WindowProc(mse::kSocketMessage, id, ws::WSAMAKESELECTREPLY(ws::FD_READ, 0));
        EXPECT_EQ(mse::GetAcceptClass(id)->BytesReceived(), 5);
        server->Accept(id);
        EXPECT_EQ(server.events.log, std::vector<std::string>{"DataArrival(5)"});
    };
    listener->Listen();
    client = RawSocket::Connect(static_cast<std::uint16_t>(listener->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return server.State() == 7; }));
    EXPECT_EQ(server.Take(), "EARLY");
}

// The connection becomes the new owner's before any step of the take-over
// can fail, so a failure there never leaves it routed to a released holder.
TEST_F(Connections, TakeOverThatFailsLeavesTheConnectionWithItsNewOwner) {
    Endpoint listener;
    Endpoint server;
    std::int32_t failure = 0;
    listener.events.onConnectionRequest = [&](std::int32_t id) {
        ws::InjectFault(ws::Call::GetSockName, ws::WSAENOBUFS);
        failure = Raised([&] { server->Accept(id); }).Number();
    };
    listener->Listen();
    RawSocket client = RawSocket::Connect(static_cast<std::uint16_t>(listener->LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return failure != 0; }));
    EXPECT_EQ(failure, 10055);
    EXPECT_EQ(server.State(), 7);
    client.SendAll("routed");
    ASSERT_TRUE(RunUntil([&] { return server->BytesReceived() == 6; }));
    server->CloseSck();
    EXPECT_TRUE(client.WaitForClose());
}

}  // namespace
