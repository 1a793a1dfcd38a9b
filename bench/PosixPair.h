#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>

// Two plain blocking sockets connected over loopback: the yardstick the
// benchmarks hold our sockets against.
struct PosixPair {
    int client = -1;
    int server = -1;
    PosixPair() {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        ::listen(listener, 1);
        client = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
        server = ::accept(listener, nullptr, nullptr);
        ::close(listener);
    }
    ~PosixPair() {
        ::close(client);
        ::close(server);
    }
    static void ReceiveAll(int fd, char* buf, std::size_t n) {
        while (n > 0) {
            const ssize_t got = ::recv(fd, buf, n, 0);
            if (got <= 0) return;
            buf += got;
            n -= static_cast<std::size_t>(got);
        }
    }
};
