#include <netdb.h>

#include <cerrno>

#include "platform/Winsock.h"

namespace platform::ws {

namespace {

struct ErrnoEntry {
    int err;
    int wsa;
};

// Winsock's numbers are not errno + 10000: each one is looked up.
constexpr ErrnoEntry kErrnoTable[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEWOULDBLOCK},  // a non-blocking connect under way
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {EPIPE, WSAESHUTDOWN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
};

}  // namespace

int WinsockErrorFromErrno(int err) {
    if (err == 0) return 0;
    // EWOULDBLOCK may be its own number on some systems.
    if (err == EWOULDBLOCK) return WSAEWOULDBLOCK;
    for (const auto& entry : kErrnoTable) {
        if (entry.err == err) return entry.wsa;
    }
    return WSAEINVAL;
}

int WinsockErrorFromLookup(int eaiResult, int err) {
    switch (eaiResult) {
        case 0: return 0;
        case EAI_NONAME: return WSAHOST_NOT_FOUND;
        case EAI_AGAIN: return WSATRY_AGAIN;
        case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
        case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
        case EAI_MEMORY: return WSAENOBUFS;
        case EAI_SYSTEM: return err == 0 ? WSANO_RECOVERY : WinsockErrorFromErrno(err);
        default: return WSANO_RECOVERY;
    }
}

}  // namespace platform::ws
