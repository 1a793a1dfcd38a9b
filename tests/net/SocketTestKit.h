#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/CSocketEngine.h"
#include "net/modSocketEngine.h"
#include "platform/Winsock.h"
#include "runtime/Error.h"
#include "tests/support/EventLoop.h"

// A socket object under test with a record of its events, and hooks that
// let a test act from inside a handler, as the game's windows do.
namespace net_testing {

struct Recorder final : net::SocketEvents {
    std::vector<std::string> log;
    std::string received;  // what DataArrival handlers took with GetData

    std::function<void()> onCloseSck, onConnect, onSendComplete;
    std::function<void(std::int32_t)> onConnectionRequest, onDataArrival;
    std::function<void(std::int32_t, std::int32_t)> onSendProgress;
    std::function<void(std::string& description, bool& cancelDisplay)> onError;

    void CloseSck() override {
        log.push_back("CloseSck");
        if (onCloseSck) onCloseSck();
    }
    void Connect() override {
        log.push_back("Connect");
        if (onConnect) onConnect();
    }
    void ConnectionRequest(std::int32_t requestID) override {
        log.push_back("ConnectionRequest");
        if (onConnectionRequest) onConnectionRequest(requestID);
    }
    void DataArrival(std::int32_t bytesTotal) override {
        log.push_back("DataArrival(" + std::to_string(bytesTotal) + ")");
        if (onDataArrival) onDataArrival(bytesTotal);
    }
    void Error(int number, std::string& description, std::int32_t scode, const std::string& source,
               const std::string& helpFile, std::int32_t helpContext, bool& cancelDisplay) override {
        log.push_back("Error(" + std::to_string(number) + "," + description + "," + source + ")");
        EXPECT_EQ(scode, 0);
        EXPECT_EQ(helpFile, "");
        EXPECT_EQ(helpContext, 0);
        EXPECT_TRUE(cancelDisplay);
        if (onError) onError(description, cancelDisplay);
    }
    void SendComplete() override {
        log.push_back("SendComplete");
        if (onSendComplete) onSendComplete();
    }
    void SendProgress(std::int32_t sent, std::int32_t remaining) override {
        log.push_back("SendProgress(" + std::to_string(sent) + "," + std::to_string(remaining) + ")");
        if (onSendProgress) onSendProgress(sent, remaining);
    }

    int Count(const std::string& prefix) const {
        int n = 0;
        for (const auto& entry : log) n += entry.rfind(prefix, 0) == 0;
        return n;
    }
    bool Has(const std::string& prefix) const { return Count(prefix) > 0; }
};

// A socket object and its recorder. The recorder outlives the object's use.
struct Endpoint {
    Recorder events;
    std::shared_ptr<net::CSocketEngine> engine = net::CSocketEngine::Create();

    Endpoint() { engine->SetEvents(&events); }
    ~Endpoint() {
        if (engine) engine->SetEvents(nullptr);
    }
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    net::CSocketEngine* operator->() { return engine.get(); }
    std::int32_t State() const { return engine->State(); }

    // GetData into a String variable.
    std::string Take() {
        net::Variant data = std::string();
        engine->GetData(data);
        return std::get<std::string>(data);
    }
};

// Runs `call` and returns the error it raised (number 0 if none).
inline runtime::Error Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const runtime::Error& e) {
        return e;
    }
    return runtime::Error(0, "", "");
}

using testing_support::RunFor;
using testing_support::RunUntil;

// Every test starts and ends with the services stopped: nothing leaks from
// one test into the next.
class SocketTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::ws::ClearFaults();
        const auto snap = net::modSocketEngine::Inspect();
        EXPECT_EQ(snap.instances, 0) << "a socket object outlived its test";
        EXPECT_FALSE(snap.window);
        EXPECT_EQ(snap.waitingAccepts, 0);
    }
};

// A listener on a port the system chose, taking every connection request
// into a new object, and a client object connected to it.
struct ConnectedPair {
    Endpoint listener;
    Endpoint server;
    Endpoint client;

    ConnectedPair() {
        listener.events.onConnectionRequest = [this](std::int32_t id) { server->Accept(id); };
        bool listening = false;
        listener->Listen(&listening);
        EXPECT_TRUE(listening);
        client->Connect(std::string("127.0.0.1"), listener->LocalPort());
        EXPECT_TRUE(RunUntil([this] { return client.State() == 7 && server.State() == 7; }));
    }
};

}  // namespace net_testing
