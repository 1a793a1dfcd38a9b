// Round trips and bulk throughput over loopback through CSocketEngine, beside
// plain blocking POSIX sockets in the same run; the ratios are printed last.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "bench/PosixPair.h"
#include "bench/RatioReporter.h"
#include "net/CSocketEngine.h"

namespace {

constexpr std::size_t kMessage = 64;
constexpr std::size_t kBulk = 4 << 20;

// ---- Through the socket class ---------------------------------------------

// Calls a function from each event, and quits a loop when asked.
struct Hooks final : net::SocketEvents {
    std::function<void(std::int32_t)> onConnectionRequest;
    std::function<void(std::int32_t)> onDataArrival;
    void ConnectionRequest(std::int32_t id) override { onConnectionRequest(id); }
    void DataArrival(std::int32_t total) override { onDataArrival(total); }
};

// A listener, the accepted end and a client, connected over loopback.
struct EnginePair {
    Hooks listenerEvents, serverEvents, clientEvents;
    std::shared_ptr<net::CSocketEngine> listener = net::CSocketEngine::Create();
    std::shared_ptr<net::CSocketEngine> server = net::CSocketEngine::Create();
    std::shared_ptr<net::CSocketEngine> client = net::CSocketEngine::Create();
    QEventLoop loop;

    EnginePair() {
        listener->SetEvents(&listenerEvents);
        server->SetEvents(&serverEvents);
        client->SetEvents(&clientEvents);
        listenerEvents.onConnectionRequest = [this](std::int32_t id) {
            server->Accept(id);
            loop.quit();
        };
        serverEvents.onDataArrival = clientEvents.onDataArrival = [](std::int32_t) {};
        listener->Listen();
        client->Connect(std::string("127.0.0.1"), listener->LocalPort());
        while (client->State() != net::sckConnected || server->State() != net::sckConnected) loop.exec();
    }
    ~EnginePair() {
        for (auto* e : {listener.get(), server.get(), client.get()}) e->SetEvents(nullptr);
    }

    static std::string Take(net::CSocketEngine& s) {
        net::Variant data = std::string();
        s.GetData(data);
        return std::get<std::string>(data);
    }
};

void BM_RoundTrip_Engine(benchmark::State& state) {
    EnginePair pair;
    std::string reply;
    pair.serverEvents.onDataArrival = [&](std::int32_t) { pair.server->SendData(EnginePair::Take(*pair.server)); };
    pair.clientEvents.onDataArrival = [&](std::int32_t) {
        reply += EnginePair::Take(*pair.client);
        if (reply.size() >= kMessage) pair.loop.quit();
    };
    const std::string message(kMessage, 'm');
    for (auto _ : state) {
        reply.clear();
        pair.client->SendData(message);
        pair.loop.exec();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Bulk_Engine(benchmark::State& state) {
    EnginePair pair;
    std::size_t received = 0;
    pair.serverEvents.onDataArrival = [&](std::int32_t) {
        received += EnginePair::Take(*pair.server).size();
        if (received >= kBulk) pair.loop.quit();
    };
    const std::string payload(kBulk, 'b');
    for (auto _ : state) {
        received = 0;
        pair.client->SendData(payload);
        pair.loop.exec();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBulk));
}

// ---- Plain blocking sockets -------------------------------------------------

void BM_RoundTrip_Posix(benchmark::State& state) {
    PosixPair pair;
    char buf[kMessage];
    const std::string message(kMessage, 'm');
    for (auto _ : state) {
        ::send(pair.client, message.data(), message.size(), MSG_NOSIGNAL);
        PosixPair::ReceiveAll(pair.server, buf, kMessage);
        ::send(pair.server, buf, kMessage, MSG_NOSIGNAL);
        PosixPair::ReceiveAll(pair.client, buf, kMessage);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Bulk_Posix(benchmark::State& state) {
    PosixPair pair;
    const std::string payload(kBulk, 'b');
    std::string sink(kBulk, '\0');
    for (auto _ : state) {
        std::thread reader([&] { PosixPair::ReceiveAll(pair.server, sink.data(), kBulk); });
        std::size_t sent = 0;
        while (sent < kBulk) {
            const ssize_t n = ::send(pair.client, payload.data() + sent, kBulk - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        reader.join();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBulk));
}

BENCHMARK(BM_RoundTrip_Engine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_Posix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Bulk_Engine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bulk_Posix)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunAndCompare(argc, argv, [](const RatioReporter& reporter) {
        reporter.Ratio("round trips per second", "BM_RoundTrip_Engine", "BM_RoundTrip_Posix", 1.0, "");
        reporter.Ratio("bulk throughput", "BM_Bulk_Engine", "BM_Bulk_Posix", 1.0 / (1 << 20), " MiB/s");
    });
}
