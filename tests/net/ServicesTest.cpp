#include <gtest/gtest.h>

#include "SocketTestKit.h"

namespace mse = net::modSocketEngine;
namespace ws = platform::ws;
using namespace net_testing;

namespace {

TEST(SocketServices, ErrorTexts) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {10004, "Interrupted function call."},
        {10013, "Permission denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Resource temporarily unavailable."},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on nonsocket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Network dropped connection on reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send after socket shutdown."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10065, "No route to host."},
        {10067, "Too many processes."},
        {10091, "Network subsystem is unavailable."},
        {10092, "Winsock.dll version out of range."},
        {10093, "Successful WSAStartup not yet performed."},
        {11001, "Host not found."},
        {11002, "Nonauthoritative host not found."},
        {11003, "This is a nonrecoverable error."},
        {11004, "Valid name, no data record of requested type."},
        // Codes the table does not hold.
        {10059, "Unknown error."},
        {0, "Unknown error."},
        {-1, "Unknown error."},
        {10000, "Unknown error."},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(mse::GetErrorDescription(code), text) << code;
}

TEST(SocketServices, SixteenBitHelpers) {
    const std::tuple<std::int32_t, std::int32_t, std::int32_t> words[] = {
        {-1, 65535, 65535}, {65600, 1, 64}, {0, 0, 0}, {0x2AFC0010, 11004, 16}, {INT32_MIN, 32768, 0},
    };
    for (const auto& [value, hi, lo] : words) {
        EXPECT_EQ(mse::HiWord(value), hi) << value;
        EXPECT_EQ(mse::LoWord(value), lo) << value;
    }

    const std::pair<std::int32_t, std::int16_t> toInteger[] = {
        {0, 0}, {5989, 5989}, {32767, 32767}, {32768, -32768}, {65535, -1},
    };
    for (const auto& [value, integer] : toInteger) {
        EXPECT_EQ(mse::UnsignedToInteger(value), integer) << value;
        EXPECT_EQ(mse::IntegerToUnsigned(integer), value) << value;
    }
    for (const std::int32_t bad : {65536, -1, INT32_MAX}) {
        const auto e = Raised([&] { mse::UnsignedToInteger(bad); });
        EXPECT_EQ(e.Number(), 6) << bad;
        EXPECT_EQ(e.Description(), "Overflow");
    }

    EXPECT_EQ(mse::StringFromPointer("SOCKET_WINDOW"), "SOCKET_WINDOW");
    EXPECT_EQ(mse::StringFromPointer(nullptr), "");
}

class Services : public SocketTest {};

TEST_F(Services, WinsockStartsWithTheFirstObjectAndStopsWithTheLast) {
    EXPECT_FALSE(mse::Inspect().started);
    {
        Endpoint a;
        Endpoint b;
        EXPECT_EQ(mse::Inspect().instances, 2);
        EXPECT_TRUE(mse::Inspect().started);
        EXPECT_FALSE(mse::Inspect().window) << "no socket yet, so no window";
        {
            Endpoint c;
        }
        EXPECT_TRUE(mse::Inspect().started);
        // Still started: the shim's calls work.
        const ws::SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        EXPECT_NE(s, ws::INVALID_SOCKET);
        ws::closesocket(s);
    }
    EXPECT_FALSE(mse::Inspect().started);
    // One start-up, one clean-up: Winsock is really stopped now.
    EXPECT_EQ(ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), ws::INVALID_SOCKET);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSANOTINITIALISED);
}

TEST_F(Services, WindowLivesExactlyWhileASocketIsRegistered) {
    Endpoint a;
    Endpoint b;
    a->Bind();
    const auto first = mse::Inspect();
    ASSERT_TRUE(first.window);
    b->Bind();
    EXPECT_EQ(mse::Inspect().windowSerial, first.windowSerial) << "one window for every socket";
    a->CloseSck();
    EXPECT_TRUE(mse::Inspect().window);
    b->CloseSck();
    EXPECT_FALSE(mse::Inspect().window) << "the last unregistration destroys it";

    a->Bind();
    const auto again = mse::Inspect();
    ASSERT_TRUE(again.window);
    EXPECT_NE(again.windowSerial, first.windowSerial) << "a fresh window";
    EXPECT_EQ(again.socketEntries, 1) << "the routing table started over";
}

TEST_F(Services, FreedRoutingEntriesAreReusedBeforeTheTableGrows) {
    Endpoint a, b, c;
    a->Bind();
    b->Bind();
    c->Bind();
    EXPECT_EQ(mse::Inspect().socketEntries, 3);
    a->CloseSck();
    EXPECT_EQ(mse::Inspect().socketRoutes, 2);
    a->Bind();
    EXPECT_EQ(mse::Inspect().socketEntries, 3);
    EXPECT_EQ(mse::Inspect().socketRoutes, 3);
}

TEST_F(Services, NotificationsReachTheOwnerByHandleAndNobodyElse) {
    Endpoint owner;
    Endpoint other;
    owner->Bind();
    other->Bind();
    const std::int32_t handle = owner->SocketHandle();
    // An error notification for the owner's handle: its Error event only.
    mse::WindowProc(mse::kSocketMessage, handle, ws::WSAMAKESELECTREPLY(ws::FD_READ, 10054));
    EXPECT_EQ(owner.events.log, std::vector<std::string>{"Error(10054,Connection reset by peer.,CSocketEngine.PostSocket)"});
    EXPECT_EQ(owner.State(), 9);
    EXPECT_TRUE(other.events.log.empty());
    // Unknown handles, lookups nobody started and other messages reach nobody.
    mse::WindowProc(mse::kSocketMessage, 987654, ws::WSAMAKESELECTREPLY(ws::FD_READ, 10054));
    mse::WindowProc(mse::kHostResolvedMessage, handle, 0);
    mse::WindowProc(0x400, handle, ws::WSAMAKESELECTREPLY(ws::FD_CLOSE, 0));
    EXPECT_EQ(owner.events.log.size(), 1u);
    EXPECT_TRUE(other.events.log.empty());
}

TEST_F(Services, QueuedNotificationArrivesOnlyFromTheEventLoop) {
    Endpoint owner;
    owner->Bind();
    ASSERT_TRUE(mse::PostNotification(mse::kSocketMessage, owner->SocketHandle(),
                                      ws::WSAMAKESELECTREPLY(ws::FD_WRITE, 10053)));
    EXPECT_TRUE(owner.events.log.empty());
    RunUntil([&] { return !owner.events.log.empty(); }, 1000);
    EXPECT_EQ(owner.events.Count("Error(10053,"), 1);
}

TEST_F(Services, RoutingHoldsOwnersWeakly) {
    auto gone = std::make_unique<Endpoint>();
    (*gone)->Bind();
    const std::int32_t handle = (*gone)->SocketHandle();
    std::weak_ptr<net::CSocketEngine> watch = gone->engine;
    gone.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(mse::IsSocketRegistered(handle));
    mse::WindowProc(mse::kSocketMessage, handle, ws::WSAMAKESELECTREPLY(ws::FD_READ, 0));  // reaches nobody
}

}  // namespace
