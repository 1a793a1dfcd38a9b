#include "platform/WinsockEngine.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace platform::ws::detail {

namespace {

std::shared_ptr<Engine>& EngineSlot() {
    static std::shared_ptr<Engine> engine;
    return engine;
}

QEvent::Type LookupDoneType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A finished lookup on its way from the worker to the user-interface thread.
class LookupDone final : public QEvent {
public:
    LookupDone(AsyncHandle task, std::optional<HostEnt> entry, int error)
        : QEvent(LookupDoneType()), task(task), entry(std::move(entry)), error(error) {}
    const AsyncHandle task;
    std::optional<HostEnt> entry;
    const int error;
};

// The one lookup thread of the process. It knows nothing of sockets: it
// resolves names and posts each result to the engine that is started at that
// moment (results for an engine that has stopped since are dropped, as are
// those of cancelled tasks, on the user-interface thread). A task cancelled
// before its turn never runs: a slow name that a socket asks for again and
// again must not queue up lookups that delay everybody else's.
class LookupWorker {
public:
    static LookupWorker& Instance() {
        // Never destroyed: the thread may still be inside a slow lookup when
        // the process ends.
        static LookupWorker* worker = new LookupWorker;
        return *worker;
    }

    void SetSink(QObject* sink) {
        std::lock_guard lock(mutex_);
        sink_ = sink;
    }

    // Only the engine that is the sink may let go of it: a stopped engine
    // may outlive the start of the next one.
    void ReleaseSink(QObject* sink) {
        std::lock_guard lock(mutex_);
        if (sink_ != sink) return;
        sink_ = nullptr;
        jobs_.clear();
    }

    void Enqueue(AsyncHandle task, std::string name) {
        std::lock_guard lock(mutex_);
        if (!started_) {
            std::thread([this] { Run(); }).detach();
            started_ = true;
        }
        jobs_.push_back({task, std::move(name)});
        wake_.notify_one();
    }

    void Cancel(AsyncHandle task) {
        std::lock_guard lock(mutex_);
        std::erase_if(jobs_, [task](const Job& job) { return job.task == task; });
    }

    void SetResolver(LookupResolver resolver) {
        std::lock_guard lock(mutex_);
        resolver_ = std::move(resolver);
    }

private:
    struct Job {
        AsyncHandle task;
        std::string name;
    };

    void Run() {
        for (;;) {
            Job job;
            LookupResolver resolver;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !jobs_.empty(); });
                job = std::move(jobs_.front());
                jobs_.pop_front();
                resolver = resolver_;
            }
            std::optional<HostEnt> entry = resolver ? resolver(job.name) : ResolveHostName(job.name);
            const int error = entry ? 0 : WSAGetLastError();
            std::lock_guard lock(mutex_);
            // Holding the lock keeps the sink alive while posting to it.
            if (sink_) QCoreApplication::postEvent(sink_, new LookupDone(job.task, std::move(entry), error));
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    QObject* sink_ = nullptr;
    LookupResolver resolver_;
    bool started_ = false;
};

// The size of an inbox, the most one read readiness of a stream takes from
// the system: the receive piece a socket object asks for by default, so one
// recv usually takes it all.
constexpr std::size_t kInboxSize = 128 * 1024;

// Counts the readiness handlers running, so that an engine stopped from
// inside one is not destroyed under it.
class Handling {
public:
    explicit Handling(int& depth) : depth_(depth) { ++depth_; }
    ~Handling() { --depth_; }
    Handling(const Handling&) = delete;
    Handling& operator=(const Handling&) = delete;

private:
    int& depth_;
};

AsyncHandle NextTaskHandle() {
    // Task handles are never reused within a run (short of 2^31 lookups),
    // so a late result can never be taken for a newer task's.
    static AsyncHandle next = 0;
    next = next == INT32_MAX ? 1 : next + 1;
    return next;
}

}  // namespace

Engine::Engine() { LookupWorker::Instance().SetSink(this); }

Engine::~Engine() { CloseAll(); }

void Engine::CloseAll() {
    LookupWorker::Instance().ReleaseSink(this);
    // Winsock's clean-up closes every socket left open.
    for (auto& [fd, record] : sockets_) {
        if (record->readNotifier) record->readNotifier->setEnabled(false);
        if (record->writeNotifier) record->writeNotifier->setEnabled(false);
        ::close(fd);
    }
    sockets_.clear();
    lookups_.clear();
}

Engine* Engine::Current() { return EngineSlot().get(); }

void Engine::Start() { EngineSlot() = std::make_shared<Engine>(); }

void Engine::Stop() {
    std::shared_ptr<Engine> engine = std::move(EngineSlot());
    if (!engine) return;
    engine->CloseAll();
    if (engine->handling_ > 0) {
        // Stopped from inside one of its own readiness handlers (the last
        // socket object ended there): the object itself goes once control is
        // back in the event loop, not under the handler.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [engine] {}, Qt::QueuedConnection);
    }
}

SocketRecord* Engine::Find(SOCKET fd) {
    const auto it = sockets_.find(fd);
    return it == sockets_.end() ? nullptr : it->second.get();
}

SocketRecord& Engine::Add(SOCKET fd, bool stream) {
    auto record = std::make_unique<SocketRecord>();
    record->fd = fd;
    record->serial = nextSerial_++;
    record->stream = stream;
    auto& slot = sockets_[fd];
    slot = std::move(record);
    return *slot;
}

void Engine::Remove(SOCKET fd) {
    const auto it = sockets_.find(fd);
    if (it == sockets_.end()) return;
    // Off now, before the descriptor is closed and its number reused;
    // deleted later, never inside its own slot.
    for (QSocketNotifier* notifier : {it->second->readNotifier, it->second->writeNotifier}) {
        if (!notifier) continue;
        notifier->setEnabled(false);
        notifier->disconnect(this);
        notifier->deleteLater();
    }
    sockets_.erase(it);
}

void Engine::Select(SocketRecord& record, MessageWindow* window, std::uint32_t msg, std::int32_t events) {
    record.window = window;
    record.msg = msg;
    record.events = window ? events : 0;
    record.readArmed = true;
    record.acceptArmed = true;
    record.writeArmed = record.phase == Phase::Connected;
    Update(record);
}

void Engine::Update(SocketRecord& record) {
    bool read = false;
    bool write = false;
    if (record.window && record.events != 0) {
        switch (record.phase) {
            case Phase::Listening: read = record.acceptArmed; break;
            case Phase::Connecting: write = true; break;
            case Phase::Connected:
                read = record.readArmed && !record.closeSeen;
                write = record.writeArmed;
                break;
            case Phase::Bound:
                if (!record.stream) {
                    read = record.readArmed;
                    write = record.writeArmed;
                }
                break;
            case Phase::Fresh:
            case Phase::Failed: break;
        }
    }
    Watch(record.readNotifier, record, true, read);
    Watch(record.writeNotifier, record, false, write);
}

void Engine::Watch(QSocketNotifier*& notifier, SocketRecord& record, bool read, bool wanted) {
    if (!notifier) {
        if (!wanted) return;
        notifier = new QSocketNotifier(record.fd, read ? QSocketNotifier::Read : QSocketNotifier::Write, this);
        const SOCKET fd = record.fd;
        const std::uint64_t serial = record.serial;
        if (read) {
            QObject::connect(notifier, &QSocketNotifier::activated, this, [this, fd, serial] { OnReadable(fd, serial); });
        } else {
            QObject::connect(notifier, &QSocketNotifier::activated, this, [this, fd, serial] { OnWritable(fd, serial); });
        }
    }
    notifier->setEnabled(wanted);
}

MessageWindow::Admission Engine::WhileCurrent(const SocketRecord& record) {
    return [engine = weak_from_this(), fd = record.fd, serial = record.serial] {
        const auto alive = engine.lock();
        return alive && alive->IsCurrent(fd, serial);
    };
}

void Engine::Post(SocketRecord& record, std::int32_t event, int error) {
    if (!record.window || (record.events & event) == 0) return;
    record.window->PostMessage(record.msg, record.fd, WSAMAKESELECTREPLY(event, error), WhileCurrent(record));
}

void Engine::Notify(SocketRecord& record, std::int32_t event, int error) {
    if (!record.window || (record.events & event) == 0) return;
    record.window->DeliverOrPost(record.msg, record.fd, WSAMAKESELECTREPLY(event, error), WhileCurrent(record));
}

bool Engine::IsCurrent(SOCKET fd, std::uint64_t serial) const {
    const auto it = sockets_.find(fd);
    return it != sockets_.end() && it->second->serial == serial;
}

// A notifier that fires while its event is out and not yet re-armed is
// turned off then, not each time the event goes out: a handler that makes the
// call at once (recv in FD_READ, accept in FD_ACCEPT, a send that fills the
// buffer in FD_WRITE) re-arms it before the loop looks again, and the notifier
// never needs turning off and on.
void Engine::OnReadable(SOCKET fd, std::uint64_t serial) {
    SocketRecord* record = Find(fd);
    if (!record || record->serial != serial) return;
    const Handling handling(handling_);
    switch (record->phase) {
        case Phase::Listening:
            if (!record->acceptArmed) break;
            record->acceptArmed = false;
            Notify(*record, FD_ACCEPT, 0);
            return;
        case Phase::Connected:
            if (record->stream) {
                OnStreamReadable(*record);
                return;
            }
            [[fallthrough]];
        case Phase::Bound:
            record->readArmed = false;
            Update(*record);
            Notify(*record, FD_READ, 0);
            return;
        default: break;
    }
    Update(*record);
}

void Engine::OnStreamReadable(SocketRecord& record) {
    if (!record.readArmed) {
        record.moreWaiting = true;
        Update(record);
        return;
    }
    Inbox& inbox = record.inbox;
    if (!inbox.buffer) {
        // Not zeroed: only what the system writes is ever read.
        inbox.buffer = spareInbox_ ? std::move(spareInbox_) : std::unique_ptr<char[]>(new char[kInboxSize]);
    }
    if (inbox.begin > 0) {
        // Bytes a failed recv left: moved to the front, to make room.
        std::memmove(inbox.buffer.get(), inbox.buffer.get() + inbox.begin, inbox.Size());
        inbox.end = inbox.Size();
        inbox.begin = 0;
    }
    const std::size_t room = kInboxSize - inbox.end;
    ssize_t n = 0;
    int err = 0;
    if (room > 0) {
        n = ::recv(record.fd, inbox.buffer.get() + inbox.end, room, MSG_DONTWAIT);
        err = errno;
    }
    if (n < 0 && (err == EAGAIN || err == EWOULDBLOCK || err == EINTR)) {
        GiveBackIfEmpty(inbox);
        return;
    }
    if (n > 0 || room == 0) {
        inbox.end += static_cast<std::size_t>(n);
        record.moreWaiting = static_cast<std::size_t>(n) == room;
        record.readArmed = false;
        Notify(record, FD_READ, 0);
        return;
    }
    // The peer's close, or a reset: found only once the data before it was
    // taken, so all of that data is announced first.
    record.closeSeen = true;
    record.closeError = n == 0 ? 0 : WinsockErrorFromErrno(err);
    Update(record);
    if (!inbox.Empty()) {
        // Bytes a failed recv left: they go first, the close after them.
        record.readArmed = false;
        Notify(record, FD_READ, 0);
        return;
    }
    GiveBackIfEmpty(inbox);
    record.closePosted = true;
    Notify(record, FD_CLOSE, record.closeError);
}

void Engine::GiveBackIfEmpty(Inbox& inbox) {
    if (!inbox.Empty() || !inbox.buffer) return;
    if (!spareInbox_) spareInbox_ = std::move(inbox.buffer);
    inbox.buffer.reset();
    inbox.begin = inbox.end = 0;
}

int Engine::TakeInbox(SocketRecord& record, char* buf, std::size_t size, bool peek) {
    Inbox& inbox = record.inbox;
    const std::size_t n = std::min(size, inbox.Size());
    if (n > 0) std::memcpy(buf, inbox.buffer.get() + inbox.begin, n);
    std::size_t more = 0;
    if (n == inbox.Size() && n < size && record.moreWaiting && !record.closeSeen) {
        // What came after the inbox belongs to this recv too, as it would
        // without the inbox.
        const ssize_t got = ::recv(record.fd, buf + n, size - n, MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
        const int err = errno;
        if (!peek) record.moreWaiting = false;
        if (got > 0) {
            more = static_cast<std::size_t>(got);
        } else if (got == 0 || (err != EAGAIN && err != EWOULDBLOCK && err != EINTR)) {
            record.closeSeen = true;
            record.closeError = got == 0 ? 0 : WinsockErrorFromErrno(err);
        }
    }
    if (!peek) inbox.begin += n;
    GiveBackIfEmpty(inbox);
    if (!inbox.Empty()) {
        // Bytes remain: announced again, as Winsock does after a short recv.
        record.readArmed = false;
        Post(record, FD_READ, 0);
    } else if (record.closeSeen && !record.closePosted) {
        record.closePosted = true;
        Post(record, FD_CLOSE, record.closeError);
    }
    Update(record);
    return static_cast<int>(n + more);
}

void Engine::OnWritable(SOCKET fd, std::uint64_t serial) {
    SocketRecord* record = Find(fd);
    if (!record || record->serial != serial) return;
    const Handling handling(handling_);
    if (record->phase == Phase::Connecting) {
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        if (err == EINPROGRESS || err == EALREADY) return;
        if (err == 0) {
            // Connected: reading is armed, and Winsock's first FD_WRITE
            // follows the FD_CONNECT.
            record->phase = Phase::Connected;
            record->readArmed = true;
            record->writeArmed = true;
        } else {
            record->phase = Phase::Failed;
        }
        Update(*record);
        Notify(*record, FD_CONNECT, err == 0 ? 0 : WinsockErrorFromErrno(err));
        return;
    }
    if (!record->writeArmed) {
        Update(*record);
        return;
    }
    record->writeArmed = false;
    Notify(*record, FD_WRITE, 0);
}

AsyncHandle Engine::StartLookup(MessageWindow* window, std::uint32_t msg, std::string name,
                                std::shared_ptr<HostEnt> buffer) {
    const AsyncHandle task = NextTaskHandle();
    lookups_[task] = Lookup{window, msg, std::move(buffer), std::nullopt};
    LookupWorker::Instance().Enqueue(task, std::move(name));
    return task;
}

int Engine::CancelLookup(AsyncHandle task) {
    if (lookups_.erase(task) == 0) {
        WSASetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    LookupWorker::Instance().Cancel(task);
    return 0;
}

void Engine::customEvent(QEvent* e) {
    if (e->type() != LookupDoneType()) return;
    auto* done = static_cast<LookupDone*>(e);
    const auto it = lookups_.find(done->task);
    if (it == lookups_.end()) return;  // cancelled: the late result is dropped
    if (!it->second.window) {
        lookups_.erase(it);
        return;
    }
    it->second.result = std::move(done->entry);
    const std::weak_ptr<Engine> engine = weak_from_this();
    const AsyncHandle task = done->task;
    // Through the window's queue, so the result keeps its place among the
    // socket notifications; the buffer is written only if the task is still
    // wanted when its turn comes.
    it->second.window->PostMessage(it->second.msg, task, WSAMAKEASYNCREPLY(0, done->error), [engine, task] {
        const auto alive = engine.lock();
        return alive && alive->DeliverLookup(task);
    });
}

bool Engine::DeliverLookup(AsyncHandle task) {
    const auto it = lookups_.find(task);
    if (it == lookups_.end()) return false;
    if (it->second.buffer && it->second.result) *it->second.buffer = std::move(*it->second.result);
    lookups_.erase(it);
    return true;
}

}  // namespace platform::ws::detail

namespace platform::ws {

void SetLookupResolver(LookupResolver resolver) { detail::LookupWorker::Instance().SetResolver(std::move(resolver)); }

}  // namespace platform::ws
