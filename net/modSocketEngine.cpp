#include "net/modSocketEngine.h"

#include <map>
#include <new>
#include <optional>
#include <vector>

#include "net/CSocketEngine.h"
#include "platform/MessageWindow.h"
#include "runtime/Error.h"

namespace net::modSocketEngine {

namespace ws = platform::ws;

namespace {

// Handle to owner, a short flat array searched from the front. A freed entry
// holds -1 and is reused before the array grows.
class RoutingTable {
public:
    void Add(std::int32_t handle, Owner owner) {
        for (auto& entry : entries_) {
            if (entry.handle == -1) {
                entry = {handle, std::move(owner)};
                return;
            }
            if (entry.handle == handle) return;  // the first owner stays
        }
        entries_.push_back({handle, std::move(owner)});
    }
    void Remove(std::int32_t handle) {
        if (Entry* entry = Find(handle)) *entry = {};
    }
    void Change(std::int32_t handle, Owner owner) {
        if (Entry* entry = Find(handle)) entry->owner = std::move(owner);
    }
    std::shared_ptr<CSocketEngine> OwnerOf(std::int32_t handle) {
        Entry* entry = Find(handle);
        return entry ? entry->owner.lock() : nullptr;
    }
    void Clear() { entries_.clear(); }
    int Size() const { return static_cast<int>(entries_.size()); }
    int InUse() const {
        int n = 0;
        for (const auto& entry : entries_) n += entry.handle != -1;
        return n;
    }

private:
    struct Entry {
        std::int32_t handle = -1;
        Owner owner;
    };
    Entry* Find(std::int32_t handle) {
        if (handle == -1) return nullptr;
        for (auto& entry : entries_) {
            if (entry.handle == handle) return &entry;
        }
        return nullptr;
    }
    std::vector<Entry> entries_;
};

// The module's state: one set per process, as Winsock itself is.
struct Services {
    int instances = 0;
    bool started = false;
    platform::MessageWindow* window = nullptr;
    std::optional<std::map<std::int32_t, Owner>> sockets;  // exists while not empty
    RoutingTable socketRoutes;
    RoutingTable lookupRoutes;
    std::optional<std::map<std::int32_t, std::shared_ptr<CSocketEngine>>> accepted;  // exists while not empty
};

Services& S() {
    static Services services;
    return services;
}

[[noreturn]] void Raise(std::int32_t number, const char* source) {
    throw runtime::Error(number, source, GetErrorDescription(number));
}

[[noreturn]] void RaiseOutOfMemory(const char* source) { throw runtime::Error(7, source, "Out of memory"); }

void CreateMessageWindow() {
    try {
        S().window = new platform::MessageWindow;
    } catch (const std::bad_alloc&) {
        RaiseOutOfMemory("modSocketEngine.RegisterSocket");
    }
    S().window->SetProcedure(&WindowProc);
}

void DestroyMessageWindow() {
    // Routing is switched off first: nothing queued reaches anybody now.
    S().socketRoutes.Clear();
    S().lookupRoutes.Clear();
    S().window->Destroy();
    S().window = nullptr;
}

struct ErrorText {
    std::int32_t code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
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
};

}  // namespace

std::int32_t InitiateProcesses() {
    auto& s = S();
    ++s.instances;
    if (!s.started) {
        // Set before the start-up: a failed start-up is not tried again by
        // later socket objects.
        s.started = true;
        const int code = ws::WSAStartup(0x0101);
        if (code != 0) Raise(code, "modSocketEngine.InitiateProcesses");
    }
    return 0;
}

std::int32_t FinalizeProcesses() {
    auto& s = S();
    --s.instances;
    if (s.started && s.instances == 0) {
        if (ws::WSACleanup() == ws::SOCKET_ERROR) Raise(ws::WSAGetLastError(), "modSocketEngine.FinalizeProcesses");
        s.socketRoutes.Clear();
        s.lookupRoutes.Clear();
        s.started = false;
    }
    return 0;
}

std::string GetErrorDescription(std::int32_t code) {
    for (const auto& entry : kErrorTexts) {
        if (entry.code == code) return entry.text;
    }
    return "Unknown error.";
}

std::int32_t ResolveHost(const std::string& host, std::shared_ptr<ws::HostEnt> buffer, Owner owner) {
    const std::int32_t task = ws::WSAAsyncGetHostByName(S().window, kHostResolvedMessage, host, std::move(buffer));
    if (task != 0) S().lookupRoutes.Add(task, std::move(owner));
    return task;
}

bool RegisterSocket(std::int32_t handle, Owner owner, bool selectEvents) {
    auto& s = S();
    if (!s.sockets) {
        s.sockets.emplace();
        CreateMessageWindow();
    }
    s.socketRoutes.Add(handle, owner);
    if (selectEvents && ws::WSAAsyncSelect(handle, s.window, kSocketMessage, kSelectEvents) == ws::SOCKET_ERROR) {
        const int code = ws::WSAGetLastError();
        s.socketRoutes.Remove(handle);
        if (s.sockets->empty()) {
            s.sockets.reset();
            DestroyMessageWindow();
        }
        Raise(code, "modSocketEngine.RegisterSocket");
    }
    s.sockets->emplace(handle, std::move(owner));
    return true;
}

void UnregisterSocket(std::int32_t handle) {
    auto& s = S();
    s.socketRoutes.Remove(handle);
    if (!s.sockets) return;
    s.sockets->erase(handle);
    if (s.sockets->empty()) {
        s.sockets.reset();
        DestroyMessageWindow();
    }
}

bool IsSocketRegistered(std::int32_t handle) { return S().sockets && S().sockets->count(handle) != 0; }

void UnregisterResolution(std::int32_t handle) { S().lookupRoutes.Remove(handle); }

void ChangeSocketOwner(std::int32_t handle, Owner owner) {
    auto& s = S();
    s.socketRoutes.Change(handle, owner);
    if (s.sockets) {
        const auto it = s.sockets->find(handle);
        if (it != s.sockets->end()) it->second = std::move(owner);
    }
}

void RegisterAccept(std::int32_t handle) {
    auto& s = S();
    auto holder = CSocketEngine::Create();
    holder->HoldAccepted(handle);
    if (!s.accepted) s.accepted.emplace();
    s.accepted->emplace(handle, std::move(holder));
}

bool IsAcceptRegistered(std::int32_t handle) { return S().accepted && S().accepted->count(handle) != 0; }

void UnregisterAccept(std::int32_t handle) {
    auto& s = S();
    if (!s.accepted) return;
    // Moved out first: releasing the holder runs its destructor, which must
    // find the registry consistent.
    std::shared_ptr<CSocketEngine> holder;
    const auto it = s.accepted->find(handle);
    if (it != s.accepted->end()) {
        holder = std::move(it->second);
        s.accepted->erase(it);
    }
    if (s.accepted->empty()) s.accepted.reset();
}

std::shared_ptr<CSocketEngine> GetAcceptClass(std::int32_t handle) {
    auto& s = S();
    if (!s.accepted) return nullptr;
    const auto it = s.accepted->find(handle);
    return it == s.accepted->end() ? nullptr : it->second;
}

std::int32_t HiWord(std::int32_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) >> 16); }

std::int32_t LoWord(std::int32_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & 0xFFFF); }

std::string StringFromPointer(const char* text) { return text ? std::string(text) : std::string(); }

std::int16_t UnsignedToInteger(std::int32_t value) {
    if (value < 0 || value > 65535) throw runtime::Error(runtime::kErrOverflow, "", "Overflow");
    return static_cast<std::int16_t>(value > 32767 ? value - 65536 : value);
}

std::int32_t IntegerToUnsigned(std::int16_t value) { return value < 0 ? value + 65536 : value; }

void WindowProc(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) {
    auto& s = S();
    std::shared_ptr<CSocketEngine> owner;
    if (msg == kHostResolvedMessage) {
        owner = s.lookupRoutes.OwnerOf(wParam);
    } else if (msg == kSocketMessage) {
        owner = s.socketRoutes.OwnerOf(wParam);
    }
    // `owner` keeps the object alive until its handling returns, even if a
    // handler drops every other reference to it.
    if (owner) owner->WndProc(msg, wParam, lParam);
}

bool PostNotification(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) {
    if (!S().window) return false;
    S().window->PostMessage(msg, wParam, lParam);
    return true;
}

Snapshot Inspect() {
    const auto& s = S();
    Snapshot snap;
    snap.instances = s.instances;
    snap.started = s.started;
    snap.window = s.window != nullptr;
    snap.windowSerial = s.window ? s.window->Serial() : 0;
    snap.socketEntries = s.socketRoutes.Size();
    snap.lookupEntries = s.lookupRoutes.Size();
    snap.socketRoutes = s.socketRoutes.InUse();
    snap.lookupRoutes = s.lookupRoutes.InUse();
    snap.registeredSockets = s.sockets ? static_cast<int>(s.sockets->size()) : 0;
    snap.waitingAccepts = s.accepted ? static_cast<int>(s.accepted->size()) : 0;
    return snap;
}

}  // namespace net::modSocketEngine
