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

// Stream bytes that a read readiness brought in and recv has not taken yet.
// One read finds the data or the peer's close, so a readiness costs one
// system call and recv takes the bytes without another. The buffer is the
// engine's, lent while bytes wait: an idle connection holds none.
struct Inbox {
    std::unique_ptr<char[]> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;

    bool Empty() const { return begin == end; }
    std::size_t Size() const { return end - begin; }
};

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
    // A test holds its sends back (HoldSends); a send refused meanwhile
    // arms FD_WRITE at the release.
    bool sendsHeld = false;
    bool sendRefusedWhileHeld = false;
    bool closeSeen = false;
    bool closePosted = false;
    int closeError = 0;  // of the close found: 0 orderly, else a Winsock error

    Inbox inbox;
    // The system may hold more than the inbox: a readiness came while
    // FD_READ was out, or the last read filled its piece.
    bool moreWaiting = false;

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
    // Queues a notification (for calls of the program: never delivered
    // inside them).
    void Post(SocketRecord& record, std::int32_t event, int error);

    // recv on a stream socket whose inbox holds bytes: copies up to `size`
    // of them (and takes them, unless `peek`), then announces what is left,
    // or the close found behind them.
    int TakeInbox(SocketRecord& record, char* buf, std::size_t size, bool peek);

    AsyncHandle StartLookup(MessageWindow* window, std::uint32_t msg, std::string name,
                            std::shared_ptr<HostEnt> buffer);
    int CancelLookup(AsyncHandle task);

protected:
    void customEvent(QEvent* e) override;

private:
    void OnReadable(SOCKET fd, std::uint64_t serial);
    void OnWritable(SOCKET fd, std::uint64_t serial);
    void OnStreamReadable(SocketRecord& record);
    // An empty inbox's buffer back to the engine (or freed).
    void GiveBackIfEmpty(Inbox& inbox);
    // From a readiness, straight from the event loop: delivered at once when
    // nothing waits before it. The record may be gone afterwards.
    void Notify(SocketRecord& record, std::int32_t event, int error);
    // Winsock's clean-up: every socket closed, every lookup forgotten.
    void CloseAll();
    bool IsCurrent(SOCKET fd, std::uint64_t serial) const;
    // Admits a queued notification only while its socket is still the one
    // it was queued for.
    MessageWindow::Admission WhileCurrent(const SocketRecord& record);
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
    std::unique_ptr<char[]> spareInbox_;  // an inbox buffer to lend
    int handling_ = 0;  // readiness handlers running (one may stop the engine)
};

}  // namespace platform::ws::detail
