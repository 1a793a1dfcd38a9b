#include "platform/Winsock.h"

#include <QCoreApplication>
#include <QThread>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/tcp.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <map>
#include <utility>

#include "platform/WinsockEngine.h"

namespace platform::ws {

namespace {

using detail::Engine;
using detail::Phase;
using detail::SocketRecord;

thread_local int t_lastError = 0;
int g_startups = 0;
std::atomic<bool> g_started{false};

int Fail(int wsaError) {
    t_lastError = wsaError;
    return SOCKET_ERROR;
}

int FailErrno() { return Fail(WinsockErrorFromErrno(errno)); }

std::map<Call, int>& Faults() {
    static std::map<Call, int> faults;
    return faults;
}

// The fault a test asked for, consumed by this call.
int TakeFault(Call call) {
    auto& faults = Faults();
    const auto it = faults.find(call);
    if (it == faults.end()) return 0;
    const int error = it->second;
    faults.erase(it);
    return error;
}

// The engine and the caller's socket record, or null with the last error
// set (not started, or not one of our sockets).
SocketRecord* Lookup(SOCKET s, Engine** engine = nullptr) {
    Engine* current = Engine::Current();
    if (!current) {
        t_lastError = WSANOTINITIALISED;
        return nullptr;
    }
    SocketRecord* record = current->Find(s);
    if (!record) t_lastError = WSAENOTSOCK;
    if (engine) *engine = current;
    return record;
}

const sockaddr* Raw(const sockaddr_in& a) { return reinterpret_cast<const sockaddr*>(&a); }
sockaddr* Raw(sockaddr_in& a) { return reinterpret_cast<sockaddr*>(&a); }

bool HasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

}  // namespace

int WSAStartup(std::uint16_t version) {
    if ((version & 0xFF) < 1) return WSAVERNOTSUPPORTED;
    auto* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) return WSASYSNOTREADY;
    if (g_startups++ == 0) {
        Engine::Start();
        g_started = true;
    }
    return 0;
}

int WSACleanup() {
    if (g_startups == 0) return Fail(WSANOTINITIALISED);
    if (--g_startups == 0) {
        g_started = false;
        Engine::Stop();
    }
    return 0;
}

int WSAGetLastError() { return t_lastError; }
void WSASetLastError(int error) { t_lastError = error; }

SOCKET socket(int af, int type, int protocol) {
    Engine* engine = Engine::Current();
    if (!engine) return Fail(WSANOTINITIALISED);
    if (af != AF_INET) return Fail(WSAEAFNOSUPPORT);
    if (const int fault = TakeFault(Call::Socket)) return Fail(fault);
    const int fd = ::socket(af, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd < 0) return FailErrno();
    if (type == SOCK_STREAM) {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    engine->Add(fd, type == SOCK_STREAM);
    return fd;
}

int closesocket(SOCKET s) {
    Engine* engine = nullptr;
    if (!Lookup(s, &engine)) return SOCKET_ERROR;
    engine->Remove(s);
    const int fault = TakeFault(Call::CloseSocket);
    // Linux frees the descriptor even when close reports a failure.
    const int result = ::close(s);
    if (fault) return Fail(fault);
    return result == 0 ? 0 : FailErrno();
}

int bind(SOCKET s, const sockaddr_in& name) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    if (const int fault = TakeFault(Call::Bind)) return Fail(fault);
    if (::bind(s, Raw(name), sizeof name) != 0) return FailErrno();
    if (!record->stream) {
        record->phase = Phase::Bound;
        engine->Update(*record);
    }
    return 0;
}

int listen(SOCKET s, int backlog) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    if (!record->stream) return Fail(WSAEOPNOTSUPP);
    if (const int fault = TakeFault(Call::Listen)) return Fail(fault);
    if (::listen(s, backlog) != 0) return FailErrno();
    record->phase = Phase::Listening;
    record->acceptArmed = true;
    engine->Update(*record);
    return 0;
}

SOCKET accept(SOCKET s, sockaddr_in* addr) {
    Engine* engine = nullptr;
    SocketRecord* listener = Lookup(s, &engine);
    if (!listener) return INVALID_SOCKET;
    // Calling accept re-enables FD_ACCEPT, whatever it returns.
    listener->acceptArmed = true;
    engine->Update(*listener);
    if (const int fault = TakeFault(Call::Accept)) return Fail(fault);
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd = ::accept4(s, Raw(peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return FailErrno();
    // The accepted socket takes over the listener's selection and announces
    // data that came before the accept.
    SocketRecord& accepted = engine->Add(fd, true);
    accepted.phase = Phase::Connected;
    engine->Select(accepted, listener->window, listener->msg, listener->events);
    if (addr) *addr = peer;
    return fd;
}

int connect(SOCKET s, const sockaddr_in& name) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    if (const int fault = TakeFault(Call::Connect)) return Fail(fault);
    const int result = ::connect(s, Raw(name), sizeof name);
    const int err = errno;
    if (result == 0 || err == EINPROGRESS) {
        // Completion (or failure) is seen as write-readiness plus SO_ERROR.
        record->phase = record->stream ? Phase::Connecting : Phase::Bound;
        engine->Update(*record);
    }
    if (result == 0) return 0;
    return Fail(WinsockErrorFromErrno(err));
}

int send(SOCKET s, const char* buf, int len, int flags) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    int fault = TakeFault(Call::Send);
    if (!fault && record->sendsHeld) {
        record->sendRefusedWhileHeld = true;
        return Fail(WSAEWOULDBLOCK);
    }
    ssize_t n = -1;
    if (!fault) {
        n = ::send(s, buf, static_cast<std::size_t>(len < 0 ? 0 : len), flags | MSG_NOSIGNAL);
        if (n < 0) fault = WinsockErrorFromErrno(errno);
    }
    if (fault == WSAEWOULDBLOCK) {
        // FD_WRITE follows once there is room again.
        record->writeArmed = true;
        engine->Update(*record);
    }
    return fault ? Fail(fault) : static_cast<int>(n);
}

int sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr_in& to) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    if (const int fault = TakeFault(Call::Send)) return Fail(fault);
    const ssize_t n = ::sendto(s, buf, static_cast<std::size_t>(len < 0 ? 0 : len), flags | MSG_NOSIGNAL, Raw(to), sizeof to);
    if (n < 0) {
        const int error = WinsockErrorFromErrno(errno);
        if (error == WSAEWOULDBLOCK) {
            record->writeArmed = true;
            engine->Update(*record);
        }
        return Fail(error);
    }
    if (!record->stream && record->phase == Phase::Fresh) {
        // Sending binds an unbound datagram socket.
        record->phase = Phase::Bound;
        engine->Update(*record);
    }
    return static_cast<int>(n);
}

namespace {

// recv and recvfrom: both re-enable FD_READ; a datagram longer than the
// buffer fails with WSAEMSGSIZE after filling it, as on Winsock.
int Receive(SOCKET s, char* buf, int len, int flags, sockaddr_in* from) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    record->readArmed = true;
    if (const int fault = TakeFault(Call::Recv)) {
        engine->Update(*record);
        return Fail(fault);
    }
    const std::size_t size = static_cast<std::size_t>(len < 0 ? 0 : len);
    if (record->stream && !record->inbox.Empty()) {
        // What the read readiness brought in; a stream names no sender.
        if (from) *from = sockaddr_in{};
        return engine->TakeInbox(*record, buf, size, (flags & MSG_PEEK) != 0);
    }
    if ((flags & MSG_PEEK) == 0) record->moreWaiting = false;
    engine->Update(*record);
    sockaddr_in peer{};
    socklen_t peerLen = sizeof peer;
    const int truncFlag = record->stream ? 0 : MSG_TRUNC;
    const ssize_t n = ::recvfrom(s, buf, size, flags | truncFlag, from ? Raw(peer) : nullptr, from ? &peerLen : nullptr);
    if (n < 0) return FailErrno();
    if (from) *from = peer;
    if (!record->stream && static_cast<std::size_t>(n) > size) return Fail(WSAEMSGSIZE);
    return static_cast<int>(n);
}

}  // namespace

int recv(SOCKET s, char* buf, int len, int flags) { return Receive(s, buf, len, flags, nullptr); }

int recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr_in* from) { return Receive(s, buf, len, flags, from); }

int getsockopt(SOCKET s, int level, int optname, int* value) {
    SocketRecord* record = Lookup(s);
    if (!record) return SOCKET_ERROR;
    if (!value) return Fail(WSAEFAULT);
    if (const int fault = TakeFault(Call::GetSockOpt)) return Fail(fault);
    if (level == SOL_SOCKET && optname == SO_MAX_MSG_SIZE) {
        if (record->stream) return Fail(WSAENOPROTOOPT);
        *value = kMaxDatagram;
        return 0;
    }
    socklen_t len = sizeof *value;
    if (::getsockopt(s, level, optname, value, &len) != 0) return FailErrno();
    if (level == SOL_SOCKET && optname == SO_ERROR) *value = WinsockErrorFromErrno(*value);
    return 0;
}

int setsockopt(SOCKET s, int level, int optname, int value) {
    if (!Lookup(s)) return SOCKET_ERROR;
    if (::setsockopt(s, level, optname, &value, sizeof value) != 0) return FailErrno();
    return 0;
}

int setsockopt(SOCKET s, int level, int optname, const ::linger& value) {
    if (!Lookup(s)) return SOCKET_ERROR;
    if (::setsockopt(s, level, optname, &value, sizeof value) != 0) return FailErrno();
    return 0;
}

int tcp_bytes_acknowledged(SOCKET s, std::uint64_t* bytes) {
    const SocketRecord* record = Lookup(s);
    if (!record) return SOCKET_ERROR;
    if (!bytes) return Fail(WSAEFAULT);
    if (!record->stream) return Fail(WSAENOPROTOOPT);
    tcp_info info{};
    socklen_t len = sizeof info;
    if (::getsockopt(s, IPPROTO_TCP, TCP_INFO, &info, &len) != 0) return FailErrno();
    // A system too old to count them gives a shorter record.
    if (len < offsetof(tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked) return Fail(WSAENOPROTOOPT);
    *bytes = info.tcpi_bytes_acked;
    return 0;
}

int ioctlsocket(SOCKET s, unsigned long cmd, unsigned long* argp) {
    const SocketRecord* record = Lookup(s);
    if (!record) return SOCKET_ERROR;
    if (!argp) return Fail(WSAEFAULT);
    if (cmd == FIONREAD) {
        int n = 0;
        if (::ioctl(s, FIONREAD, &n) != 0) return FailErrno();
        *argp = static_cast<unsigned long>(n < 0 ? 0 : n) + record->inbox.Size();
        return 0;
    }
    if (cmd == SIOCOUTQ) {
        int n = 0;
        if (::ioctl(s, SIOCOUTQ, &n) != 0) return FailErrno();
        *argp = static_cast<unsigned long>(n < 0 ? 0 : n);
        return 0;
    }
    // Every socket stays non-blocking: its notifications depend on it.
    if (cmd == FIONBIO) return *argp != 0 ? 0 : Fail(WSAEINVAL);
    return Fail(WSAEINVAL);
}

int getpeername(SOCKET s, sockaddr_in* name) {
    if (!Lookup(s)) return SOCKET_ERROR;
    if (!name) return Fail(WSAEFAULT);
    socklen_t len = sizeof *name;
    if (::getpeername(s, Raw(*name), &len) != 0) return FailErrno();
    return 0;
}

int getsockname(SOCKET s, sockaddr_in* name) {
    if (!Lookup(s)) return SOCKET_ERROR;
    if (!name) return Fail(WSAEFAULT);
    if (const int fault = TakeFault(Call::GetSockName)) return Fail(fault);
    socklen_t len = sizeof *name;
    if (::getsockname(s, Raw(*name), &len) != 0) return FailErrno();
    return 0;
}

int gethostname(char* name, int namelen) {
    if (!g_started) return Fail(WSANOTINITIALISED);
    if (!name || namelen <= 0) return Fail(WSAEFAULT);
    if (::gethostname(name, static_cast<std::size_t>(namelen)) != 0) {
        return Fail(errno == ENAMETOOLONG ? WSAEFAULT : WinsockErrorFromErrno(errno));
    }
    name[namelen - 1] = '\0';
    return 0;
}

std::optional<HostEnt> gethostbyname(std::string_view name) {
    if (!g_started) {
        t_lastError = WSANOTINITIALISED;
        return std::nullopt;
    }
    return detail::ResolveHostName(name);
}

std::optional<HostEnt> detail::ResolveHostName(std::string_view name) {
    if (HasNul(name)) {
        t_lastError = WSAHOST_NOT_FOUND;
        return std::nullopt;
    }
    std::string host(name);
    if (host.empty()) {
        // An empty name stands for this machine, as on Winsock.
        char own[256] = {};
        if (::gethostname(own, sizeof own - 1) != 0) {
            t_lastError = WinsockErrorFromErrno(errno);
            return std::nullopt;
        }
        host = own;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        t_lastError = WinsockErrorFromLookup(result, errno);
        return std::nullopt;
    }
    HostEnt entry;
    entry.h_name = found->ai_canonname ? found->ai_canonname : host;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family != AF_INET) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        entry.h_addr_list.push_back(in->sin_addr.s_addr);
    }
    ::freeaddrinfo(found);
    if (entry.h_addr_list.empty()) {
        t_lastError = WSANO_DATA;
        return std::nullopt;
    }
    return entry;
}

std::uint32_t inet_addr(std::string_view cp) {
    if (HasNul(cp)) return INADDR_NONE;
    return ::inet_addr(std::string(cp).c_str());
}

std::string inet_ntoa(std::uint32_t in) {
    in_addr address{};
    address.s_addr = in;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

int WSAAsyncSelect(SOCKET s, MessageWindow* window, std::uint32_t msg, std::int32_t events) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    if (!window && events != 0) return Fail(WSAEINVAL);
    engine->Select(*record, window, msg, events);
    return 0;
}

AsyncHandle WSAAsyncGetHostByName(MessageWindow* window, std::uint32_t msg, std::string name,
                                  std::shared_ptr<HostEnt> buffer) {
    Engine* engine = Engine::Current();
    if (!engine) {
        t_lastError = WSANOTINITIALISED;
        return 0;
    }
    if (!window) {
        t_lastError = WSAEINVAL;
        return 0;
    }
    return engine->StartLookup(window, msg, std::move(name), std::move(buffer));
}

int WSACancelAsyncRequest(AsyncHandle task) {
    Engine* engine = Engine::Current();
    if (!engine) return Fail(WSANOTINITIALISED);
    return engine->CancelLookup(task);
}

std::optional<std::uint32_t> FirstNonLoopbackAddress() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    std::optional<std::uint32_t> found;
    for (const ifaddrs* i = list; i && !found; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK) != 0) continue;
        found = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
    }
    ::freeifaddrs(list);
    return found;
}

void InjectFault(Call call, int wsaError) { Faults()[call] = wsaError; }

void ClearFaults() { Faults().clear(); }

bool HoldSends(SOCKET s, bool hold) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record || !record->stream) return false;
    record->sendsHeld = hold;
    if (!hold && std::exchange(record->sendRefusedWhileHeld, false)) {
        record->writeArmed = true;
        engine->Update(*record);
    }
    return true;
}

int PostSocketNotification(SOCKET s, std::int32_t event, int error) {
    Engine* engine = nullptr;
    SocketRecord* record = Lookup(s, &engine);
    if (!record) return SOCKET_ERROR;
    engine->Post(*record, event, error);
    return 0;
}

}  // namespace platform::ws
