// Sending and receiving over TCP.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <thread>

#include "SocketTestKit.h"
#include "tests/support/RawSocket.h"

namespace ws = platform::ws;
using namespace net;
using namespace net_testing;
using testing_support::RawSocket;

namespace {

// A socket object connected to a plain socket, its first events cleared.
class Data : public SocketTest {
protected:
    void Open(int peerReceiveBuffer = 0) {
        listener_ = RawSocket::Listen(peerReceiveBuffer);
        s_.emplace();
        (*s_)->Connect(std::string("127.0.0.1"), listener_.Port());
        peer_ = listener_.Accept();
        ASSERT_TRUE(peer_.Valid());
        ASSERT_TRUE(RunUntil([&] { return s_->State() == 7; }));
        s_->events.log.clear();
    }
    void TearDown() override {
        s_.reset();
        SocketTest::TearDown();
    }
    // Sends from the peer and waits until the object has it all.
    void Arrive(const std::string& bytes) {
        const std::int32_t before = (*s_)->BytesReceived();
        peer_.SendAll(bytes);
        ASSERT_TRUE(RunUntil([&] { return (*s_)->BytesReceived() == before + static_cast<std::int32_t>(bytes.size()); }));
    }
    Endpoint& S() { return *s_; }
    // Sends from the peer and waits until the system holds it all, read by
    // nobody (the event loop does not run).
    void WaitUnread(const std::string& bytes) {
        peer_.SendAll(bytes);
        const auto want = static_cast<std::int32_t>(bytes.size());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while ((*s_)->BytesWaiting() < want && std::chrono::steady_clock::now() < deadline) ::usleep(1000);
        ASSERT_EQ((*s_)->BytesWaiting(), want);
    }

    RawSocket listener_;
    RawSocket peer_;
    std::optional<Endpoint> s_;
};

TEST_F(Data, EveryByteValueGoesOutAndComesBackUnchanged) {
    Open();
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    S()->SendData(all);
    EXPECT_EQ(peer_.ReceiveExactly(256), all);
    Arrive(all);
    EXPECT_EQ(S().Take(), all);
}

TEST_F(Data, ValuesGoOnTheWireInTheirMemoryLayout) {
    Open();
    const std::pair<Variant, std::string> cases[] = {
        {1, std::string("\x01\x00\x00\x00", 4)},
        {std::int16_t{-2}, "\xFE\xFF"},
        {true, "\xFF\xFF"},
        {Bytes{0, 'A', 0xFF}, std::string("\x00" "A\xFF", 3)},
    };
    for (const auto& [value, wire] : cases) {
        S()->SendData(value);
        EXPECT_EQ(peer_.ReceiveExactly(wire.size()), wire) << VarType(value);
    }
}

TEST_F(Data, EmptyTextOrArraySendsNothing) {
    Open();
    S()->SendData(std::string());
    S()->SendData(Bytes{});
    EXPECT_TRUE(S().events.log.empty());
    EXPECT_EQ(peer_.ReceiveSome(100), "");
}

TEST_F(Data, DataSentWhileConnectingIsDropped) {
    listener_ = RawSocket::Listen();
    Endpoint s;
    s->Connect(std::string("127.0.0.1"), listener_.Port());
    ASSERT_EQ(s.State(), 6);
    s->SendData(std::string("too early"));
    peer_ = listener_.Accept();
    ASSERT_TRUE(RunUntil([&] { return s.State() == 7; }));
    RunFor(50);
    EXPECT_EQ(peer_.ReceiveSome(100), "");
    EXPECT_EQ(s.events.log, std::vector<std::string>{"Connect"});
}

TEST_F(Data, EachArrivalAnnouncesTheWholeBuffer) {
    Open();
    Arrive("0123456789");
    Arrive("abcdefghij");
    EXPECT_EQ(S().events.log, (std::vector<std::string>{"DataArrival(10)", "DataArrival(20)"}));
    EXPECT_EQ(S().Take(), "0123456789abcdefghij");
}

TEST_F(Data, GetDataByTheCallersType) {
    Open();
    Arrive("HELLO");

    Variant three = std::string();
    Variant maxLen = 3;
    S()->GetData(three, nullptr, &maxLen);
    EXPECT_EQ(three, Variant(std::string("HEL")));
    EXPECT_EQ(S()->BytesReceived(), 2);

    Variant tooShort = 77;  // a Long needs 4 bytes; 2 are there
    Variant varType;
    S()->GetData(tooShort, &varType);
    EXPECT_EQ(tooShort, Variant(77));
    EXPECT_EQ(S()->BytesReceived(), 2);
    EXPECT_EQ(NumberOf(varType), vbLong) << "the caller's varType receives the data's type";

    Variant none = std::string("x");
    Variant zero = 0;
    S()->GetData(none, nullptr, &zero);
    EXPECT_EQ(none, Variant(std::string()));
    EXPECT_EQ(S()->BytesReceived(), 2);

    Variant count = std::string("how many?");
    Variant peek = std::string();
    S()->PeekData(peek, nullptr, &count);
    EXPECT_EQ(count, Variant(2)) << "a non-numeric maxLen receives the count";
    EXPECT_EQ(peek, Variant(std::string("LO")));

    Variant bytes;  // Empty, no varType: a byte array
    S()->GetData(bytes);
    EXPECT_EQ(bytes, Variant(Bytes{'L', 'O'}));

    Variant nothing = std::string("old");
    S()->GetData(nothing);
    EXPECT_EQ(nothing, Variant(std::string())) << "nothing there: empty";
}

TEST_F(Data, GetDataByVarTypeAndFixedSizes) {
    Open();
    std::string wire;
    wire += std::string("\x2A\x00\x00\x00", 4);           // Long 42
    wire += std::string("\xFE\xFF", 2);                   // Integer -2
    wire += std::string("\x01\x00", 2);                   // Boolean True
    wire += *WireBytes(2.5);                               // Double
    wire += "TEXT";
    Arrive(wire);

    auto take = [&](std::int32_t type) {
        Variant data;
        Variant varType = type;
        S()->GetData(data, &varType);
        return data;
    };
    EXPECT_EQ(take(vbLong), Variant(42));
    EXPECT_EQ(take(vbInteger), Variant(std::int16_t{-2}));
    EXPECT_EQ(take(vbBoolean), Variant(true));
    EXPECT_EQ(take(vbDouble), Variant(2.5));
    EXPECT_EQ(take(vbString), Variant(std::string("TEXT")));

    const auto unsupported = Raised([&] { take(9); });
    EXPECT_EQ(unsupported.Number(), 40018);
    EXPECT_EQ(unsupported.Source(), "CSocketEngine.RecvData");

    Variant data = std::string();
    Variant negative = -1;
    const auto e = Raised([&] { S()->PeekData(data, nullptr, &negative); });
    EXPECT_EQ(e.Number(), 40014);
    EXPECT_EQ(e.Source(), "CSocketEngine.PeekData");
}

// 4 MiB of every byte value while the receiver reads nothing: the sender
// rests at each would-block and goes on at the next write readiness.
TEST_F(Data, BigTransferToAPausedReceiver) {
    Open(4096);
    ASSERT_EQ(ws::setsockopt(S()->SocketHandle(), SOL_SOCKET, SO_SNDBUF, 32768), 0);
    std::string payload(4 << 20, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);

    std::string received;
    std::thread reader;
    S().events.onSendProgress = [&](std::int32_t, std::int32_t remaining) {
        // The receiver starts reading once the sender has had to wait.
        if (remaining > 0 && !reader.joinable()) {
            reader = std::thread([&] { received = peer_.ReceiveExactly(payload.size(), 10000); });
        }
    };
    S()->SendData(payload);
    EXPECT_FALSE(S().events.Has("SendComplete")) << "4 MiB cannot go out at once";
    ASSERT_TRUE(RunUntil([&] { return S().events.Has("SendComplete"); }, 20000));
    ASSERT_TRUE(reader.joinable());
    reader.join();
    EXPECT_TRUE(received == payload) << "received " << received.size() << " bytes";

    EXPECT_EQ(S().events.Count("SendComplete"), 1);
    EXPECT_EQ(S().events.log.back(), "SendComplete");
    EXPECT_GE(S().events.Count("SendProgress"), 3);
    std::int64_t total = 0;
    for (const auto& entry : S().events.log) {
        if (entry.rfind("SendProgress(", 0) != 0) continue;
        total += std::stoll(entry.substr(13));
    }
    EXPECT_EQ(total, static_cast<std::int64_t>(payload.size())) << "every byte counted once";
    const std::string last = S().events.log[S().events.log.size() - 2];
    EXPECT_EQ(last.substr(last.size() - 3), ",0)") << "the last progress has nothing left";
}

TEST_F(Data, BigTransferFromAPeer) {
    Open();
    std::string payload(4 << 20, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>((i * 13 + 5) & 0xFF);
    std::string received;
    S().events.onDataArrival = [&](std::int32_t) { received += S().Take(); };
    std::thread writer([&] { peer_.SendAll(payload); });
    ASSERT_TRUE(RunUntil([&] { return received.size() >= payload.size(); }, 20000));
    writer.join();
    EXPECT_TRUE(received == payload);
}

TEST_F(Data, ReadNotificationWithNothingToReadIsNoFailure) {
    Open();
    net::modSocketEngine::WindowProc(net::modSocketEngine::kSocketMessage, S()->SocketHandle(),
                                     ws::WSAMAKESELECTREPLY(ws::FD_READ, 0));
    EXPECT_EQ(S().State(), 7);
    EXPECT_TRUE(S().events.log.empty());
    Arrive("still works");
}

TEST_F(Data, OneReadNotificationTakesAllThatWaits) {
    Open();
    const std::string block(60000, 'z');
    peer_.SendAll(block);
    ::usleep(50000);  // all of it is in the receive buffer before the loop runs
    ASSERT_TRUE(RunUntil([&] { return S()->BytesReceived() == 60000; }));
    EXPECT_EQ(S().events.log, std::vector<std::string>{"DataArrival(60000)"}) << "not a small fixed read";
}

// Bytes the peer sent before a failure are still with the system, read by
// nobody, when the failure is found: they are read and announced first,
// while the connection still counts as connected, and the failure after.
TEST_F(Data, WhatCameBeforeAFailureIsAnnouncedBeforeIt) {
    struct Failure {
        const char* name;
        int error;
        void (*fail)(Endpoint&, int error);
    };
    const Failure failures[] = {
        {"a send that fails", ws::WSAECONNRESET,
         [](Endpoint& s, int error) {
             ws::InjectFault(ws::Call::Send, error);
             s->SendData(std::string("x"));
         }},
        {"an error notification", ws::WSAECONNABORTED,
         [](Endpoint& s, int error) {
             net::modSocketEngine::WindowProc(net::modSocketEngine::kSocketMessage, s->SocketHandle(),
                                              ws::WSAMAKESELECTREPLY(ws::FD_READ, error));
         }},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        Open();
        std::string taken;
        S().events.onDataArrival = [&](std::int32_t) { taken += S().Take(); };
        WaitUnread("HELLO");
        f.fail(S(), f.error);
        EXPECT_EQ(taken, "HELLO");
        ASSERT_EQ(S().events.log.size(), 2u);
        EXPECT_EQ(S().events.log[0], "DataArrival(5)");
        EXPECT_EQ(S().events.log[1].rfind("Error(" + std::to_string(f.error) + ",", 0), 0u) << S().events.log[1];
        EXPECT_EQ(S().State(), 9);
        ws::ClearFaults();
        s_.reset();
    }

    // A handler of those bytes that closes the connection: its failure is
    // then nobody's.
    Open();
    S().events.onDataArrival = [&](std::int32_t) { S()->CloseSck(); };
    WaitUnread("HELLO");
    ws::InjectFault(ws::Call::Send, ws::WSAECONNRESET);
    S()->SendData(std::string("x"));
    EXPECT_EQ(S().events.log, std::vector<std::string>{"DataArrival(5)"});
    EXPECT_EQ(S().State(), 0);
}

// An owner about to close reads what has reached the machine first.
TEST_F(Data, ReceiveWaitingReadsWhatTheSystemHolds) {
    Open();
    S()->ReceiveWaiting();
    EXPECT_TRUE(S().events.log.empty()) << "nothing waits";
    WaitUnread("HELLO");
    S()->ReceiveWaiting();
    EXPECT_EQ(S().events.log, std::vector<std::string>{"DataArrival(5)"});
    EXPECT_EQ(S().Take(), "HELLO");
    S()->CloseSck();
    S()->ReceiveWaiting();
    EXPECT_EQ(S().events.log.size(), 1u) << "no connection, nothing to read";
}

}  // namespace
