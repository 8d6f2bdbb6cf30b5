// The chat wire shared by server, client and their tests: the talk port, the end-of-talk
// byte, one-byte sends, IPv4 addresses and the report of a connection that ended.
// Header only and internal: nothing here is installed.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>

#include "netio/netio.h"

namespace netio {

// The fixed port of the talk connection.
inline constexpr std::uint16_t kTalkPort = 1111;

// The byte that ends the conversation (and, from the server, an operator's ended input).
inline constexpr unsigned char kEndOfTalk = 0xFF;

// The process settings both chat programs start with, once their arguments are checked.
inline void prepareChatProcess() {
    // A peer that has gone makes writes fail with EPIPE instead of killing the program.
    std::signal(SIGPIPE, SIG_IGN);
    // Each message shows as soon as it is printed, also when the console is a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

// The IPv4 address `host` (network order, as a host entry gives it) at `port`.
inline sockaddr_in ipv4Address(in_addr host, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr = host;
    return addr;
}

// The same for an address in host order, such as INADDR_ANY or INADDR_LOOPBACK.
inline sockaddr_in ipv4Address(std::uint32_t host, std::uint16_t port) {
    return ipv4Address(in_addr{htonl(host)}, port);
}

// Sends one byte on a socket, retrying when interrupted; false when it could not go.
inline bool sendByte(int sock, unsigned char byte) {
    ssize_t put = -1;
    do {
        put = ::send(sock, &byte, 1, MSG_NOSIGNAL);
    } while (put < 0 && errno == EINTR);
    return put == 1;
}

// Says on the standard error how a connection ended: `closed` as it is when the peer left,
// `failed` through perror when a call failed.
inline void reportEnd(Io how, const char *closed, const char *failed) {
    if (how == Io::Closed)
        std::fputs(closed, stderr);
    else
        std::perror(failed);
}

}  // namespace netio
