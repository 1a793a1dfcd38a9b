#pragma once

#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class MessageWindow;
}

// Our stand-in for the Winsock 1.1 calls the socket library is written
// against, over POSIX sockets (IPv4 only).
//
// - Every socket is non-blocking and close-on-exec; TCP sockets get
//   SO_REUSEADDR before they can be bound, so a host can close its listener,
//   accept, and listen again on the same port while accepted connections
//   live. Sends never raise SIGPIPE.
// - A failing call returns SOCKET_ERROR (or INVALID_SOCKET) and leaves
//   Winsock's own error number (10035 for "would block", 10061 for "refused"
//   ...) in WSAGetLastError(), mapped from errno by a table.
// - WSAAsyncSelect posts one notification per network event to a
//   MessageWindow, armed as Winsock arms them: FD_READ once until the next
//   recv, FD_ACCEPT once until the next accept, FD_WRITE once after a connect
//   or accept and then only after a send that would block, FD_CONNECT and
//   FD_CLOSE once. A peer's close is found on the read path, so all its data
//   is announced first. A queued notification of a socket that has been
//   closed since is dropped, even when Linux has handed its descriptor number
//   to a new socket.
// - A stream's read readiness reads what has come at once, so one system
//   call finds either data (FD_READ) or the close (FD_CLOSE); recv then
//   takes those bytes without another, and FIONREAD counts them.
// - A notification found by the event loop is handed to the window at once
//   when nothing waits in its queue (MessageWindow::DeliverOrPost), rather
//   than going round the loop again; the order stays the order of events.
// - Host-name lookups run on one worker thread and post their result back.
//
// Calls are made on the thread that called WSAStartup (the user-interface
// thread); only gethostbyname and gethostname may be called from any thread.
namespace platform::ws {

using SOCKET = std::int32_t;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

// Winsock's error numbers.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEPFNOSUPPORT = 10046;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETOOMANYREFS = 10059;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAELOOP = 10062;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSAEPROCLIM = 10067;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

// Network events of WSAAsyncSelect.
inline constexpr std::int32_t FD_READ = 0x01;
inline constexpr std::int32_t FD_WRITE = 0x02;
inline constexpr std::int32_t FD_OOB = 0x04;
inline constexpr std::int32_t FD_ACCEPT = 0x08;
inline constexpr std::int32_t FD_CONNECT = 0x10;
inline constexpr std::int32_t FD_CLOSE = 0x20;

// Winsock's socket option for the largest datagram (SOL_SOCKET level).
inline constexpr int SO_MAX_MSG_SIZE = 0x2003;
// The largest UDP payload over IPv4.
inline constexpr int kMaxDatagram = 65507;

// Packing of notification lParams: event or buffer length low, error high.
constexpr std::int32_t WSAMAKESELECTREPLY(std::int32_t event, int error) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(error) << 16) | (static_cast<std::uint32_t>(event) & 0xFFFF));
}
constexpr std::int32_t WSAMAKEASYNCREPLY(std::int32_t length, int error) { return WSAMAKESELECTREPLY(length, error); }
constexpr std::int32_t WSAGETSELECTEVENT(std::int32_t lParam) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam) & 0xFFFF); }
constexpr int WSAGETSELECTERROR(std::int32_t lParam) { return static_cast<int>(static_cast<std::uint32_t>(lParam) >> 16); }
constexpr int WSAGETASYNCERROR(std::int32_t lParam) { return WSAGETSELECTERROR(lParam); }

// Start-up and clean-up, counted. The first start-up needs a running Qt
// application object (else WSASYSNOTREADY); the last clean-up closes every
// socket still open.
int WSAStartup(std::uint16_t version);
int WSACleanup();

// The calling thread's last error (Winsock's numbers).
int WSAGetLastError();
void WSASetLastError(int error);

// The Winsock number of an errno value, and of a getaddrinfo result.
int WinsockErrorFromErrno(int err);
int WinsockErrorFromLookup(int eaiResult, int err);

SOCKET socket(int af, int type, int protocol);
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr_in& name);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr_in* addr);
int connect(SOCKET s, const sockaddr_in& name);
int send(SOCKET s, const char* buf, int len, int flags);
// On a datagram socket a buffer shorter than the datagram gets its first
// bytes and the call fails with WSAEMSGSIZE, as Winsock's does.
int recv(SOCKET s, char* buf, int len, int flags);
int sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr_in& to);
int recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr_in* from);
int getsockopt(SOCKET s, int level, int optname, int* value);
int setsockopt(SOCKET s, int level, int optname, int value);
// SO_LINGER: {1, 0} makes the close of a stream socket a reset that throws
// away whatever it still holds unsent.
int setsockopt(SOCKET s, int level, int optname, const ::linger& value);
// The bytes sent on a stream socket that its peer has acknowledged, counted
// from the start of its connection (the system's own count). It can still be
// read once the connection has failed, until the socket is closed.
int tcp_bytes_acknowledged(SOCKET s, std::uint64_t* bytes);
// FIONREAD: bytes waiting (the next datagram's size on a datagram socket).
// SIOCOUTQ (the system's own): bytes sent on a stream socket that the peer
// has not acknowledged yet.
int ioctlsocket(SOCKET s, unsigned long cmd, unsigned long* argp);
int getpeername(SOCKET s, sockaddr_in* name);
int getsockname(SOCKET s, sockaddr_in* name);

int gethostname(char* name, int namelen);

// A host entry: its name and its IPv4 addresses in network byte order.
struct HostEnt {
    std::string h_name;
    std::vector<std::uint32_t> h_addr_list;
};
// Resolves a name or a dotted address; nothing on failure (WSAHOST_NOT_FOUND
// and its kin in the last error).
std::optional<HostEnt> gethostbyname(std::string_view name);

// The address of a dotted text in network byte order, INADDR_NONE when the
// text is not one. Accepts what inet_addr always has: "127.1", "0x7f.1".
std::uint32_t inet_addr(std::string_view cp);
// The dotted text of an address in network byte order.
std::string inet_ntoa(std::uint32_t in);

// Asks for `events` of socket `s` to be posted to `window` as message `msg`
// (wParam the socket, lParam WSAMAKESELECTREPLY(event, error)); events 0
// stops them.
int WSAAsyncSelect(SOCKET s, MessageWindow* window, std::uint32_t msg, std::int32_t events);

// Starts a host-name lookup on the worker thread. When it finishes, the
// entry is written into `buffer` and message `msg` is posted to `window`
// (wParam the task handle, lParam WSAMAKEASYNCREPLY(0, error)). Returns the
// task handle, 0 on failure.
using AsyncHandle = std::int32_t;
AsyncHandle WSAAsyncGetHostByName(MessageWindow* window, std::uint32_t msg, std::string name,
                                  std::shared_ptr<HostEnt> buffer);
// Cancels a lookup: its buffer is left alone and its message never arrives.
int WSACancelAsyncRequest(AsyncHandle task);

// The first IPv4 address of a network interface that is up and is not a
// loopback one, in network byte order; nothing when there is none.
std::optional<std::uint32_t> FirstNonLoopbackAddress();

// For tests: the next call of the given kind fails with the given Winsock
// error. A failed closesocket still closes the descriptor, as close(2) does.
enum class Call { Socket, CloseSocket, Bind, Listen, Accept, Connect, Send, Recv, GetSockOpt, GetSockName };
void InjectFault(Call call, int wsaError);
void ClearFaults();
// For tests: while held, a send on stream socket `s` takes nothing and would
// block, as towards a peer whose window stays shut: what is sent waits in
// the caller's queue, neither delivered nor acknowledged. FD_WRITE follows
// the release. False for no such socket.
bool HoldSends(SOCKET s, bool hold);

// For tests: the function the lookup worker resolves names with (one that
// waits, or records the names), called on the worker thread; an empty one
// puts the system's lookup back.
using LookupResolver = std::function<std::optional<HostEnt>(std::string_view name)>;
void SetLookupResolver(LookupResolver resolver);

// For tests: queues a socket notification for `s` exactly as the engine
// queues its own (so it is dropped if `s` is closed before its turn).
int PostSocketNotification(SOCKET s, std::int32_t event, int error);

}  // namespace platform::ws
