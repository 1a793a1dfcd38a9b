#pragma once

#include <netdb.h>
#include <sys/socket.h>

// Some tests go through the system's name lookup. A machine without an
// /etc/hosts (a bare container) cannot resolve even "localhost"; those tests
// skip there instead of failing, with this as the reason.
namespace testing_support {

inline bool ResolvesLocalhost() {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo("localhost", nullptr, &hints, &found);
    if (found) ::freeaddrinfo(found);
    return result == 0;
}

}  // namespace testing_support

#define SKIP_UNLESS_LOCALHOST_RESOLVES()                                                  \
    if (!testing_support::ResolvesLocalhost())                                            \
    GTEST_SKIP() << "this machine cannot look up \"localhost\" (it has no /etc/hosts)"
