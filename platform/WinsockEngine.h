#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <string>
#include <unordered_map>

#include "platform/MessageWindow.h"
#include "platform/Winsock.h"

class QSocketNotifier;

// Inside the Winsock stand-in: what Winsock itself keeps per socket and per
// lookup while it is started. Only Winsock.cpp uses this.
namespace platform::ws::detail {

// Resolves a name or dotted address into its IPv4 addresses; sets the
// calling thread's last error on failure. Safe on any thread.
std::optional<HostEnt> ResolveHostName(std::string_view name);

// How far a socket has come. It decides which readiness is worth watching:
// a fresh Linux TCP socket polls as writable and hung up, so watching it
// before it connects would wake the event loop for ever.
enum class Phase { Fresh, Bound, Listening, Connecting, Connected, Failed };

struct SocketRecord {
    SOCKET fd = INVALID_SOCKET;
    std::uint64_t serial = 0;  // unique per socket of the run
    bool stream = true;
    Phase phase = Phase::Fresh;

    // The selection of WSAAsyncSelect.
    QPointer<MessageWindow> window;
    std::uint32_t msg = 0;
    std::int32_t events = 0;

    // Winsock's re-enabling: each event is posted once until its call.
    bool readArmed = true;
    bool acceptArmed = true;
    bool writeArmed = false;
    bool closeSeen = false;

    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
};

class Engine final : public QObject, public std::enable_shared_from_this<Engine> {
public:
    Engine();
    ~Engine() override;

    // The started engine, or null before WSAStartup and after the last
    // WSACleanup.
    static Engine* Current();
    static void Start();
    static void Stop();

    SocketRecord* Find(SOCKET fd);
    SocketRecord& Add(SOCKET fd, bool stream);
    // Stops watching the socket (synchronously, before its descriptor is
    // closed) and forgets it; its queued notifications die with it.
    void Remove(SOCKET fd);

    void Select(SocketRecord& record, MessageWindow* window, std::uint32_t msg, std::int32_t events);
    // Watches exactly the readiness that the socket's phase and arming call
    // for.
    void Update(SocketRecord& record);
    void Post(SocketRecord& record, std::int32_t event, int error);

    AsyncHandle StartLookup(MessageWindow* window, std::uint32_t msg, std::string name,
                            std::shared_ptr<HostEnt> buffer);
    int CancelLookup(AsyncHandle task);

protected:
    void customEvent(QEvent* e) override;

private:
    void OnReadable(SOCKET fd, std::uint64_t serial);
    void OnWritable(SOCKET fd, std::uint64_t serial);
    bool IsCurrent(SOCKET fd, std::uint64_t serial) const;
    bool DeliverLookup(AsyncHandle task);
    void Watch(QSocketNotifier*& notifier, SocketRecord& record, bool read, bool wanted);

    struct Lookup {
        QPointer<MessageWindow> window;
        std::uint32_t msg = 0;
        std::shared_ptr<HostEnt> buffer;
        std::optional<HostEnt> result;
    };

    std::unordered_map<SOCKET, std::unique_ptr<SocketRecord>> sockets_;
    std::unordered_map<AsyncHandle, Lookup> lookups_;
    std::uint64_t nextSerial_ = 1;
};

}  // namespace platform::ws::detail
