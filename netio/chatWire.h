// The chat wire shared by server, client and their tests: the talk port, the end-of-talk
// byte, the counts' byte order, one-byte sends, IPv4 addresses and the reports of a
// connection that ended.
// Header only and internal: nothing here is installed.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "netio/netio.h"

namespace netio {

// The fixed port of the talk connection.
inline constexpr std::uint16_t kTalkPort = 1111;

// The byte that ends the conversation (and, from the server, an operator's ended input).
inline constexpr unsigned char kEndOfTalk = 0xFF;

// The counts on the wire (the name length, the image size): 4 bytes, little-endian on every
// host, so peers of either byte order understand each other.
using CountBytes = std::array<unsigned char, 4>;

inline CountBytes countBytes(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    return {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
            static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
}

inline std::int32_t countFrom(const CountBytes &b) {
    const std::uint32_t u = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 |
                            std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
    return static_cast<std::int32_t>(u);
}

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

// Says on `err` what failed and the reason errno gives, as perror says it on the standard
// error.
inline void reportErrno(std::FILE *err, const char *what) {
    const int reason = errno;
    std::fprintf(err, "%s: %s\n", what, std::strerror(reason));
}

// Says on `err` how a connection ended: `closed` as it is when the peer left, `failed` with
// the reason when a call failed.
inline void reportEnd(std::FILE *err, Io how, const char *closed, const char *failed) {
    if (how == Io::Closed)
        std::fputs(closed, err);
    else
        reportErrno(err, failed);
}

}  // namespace netio
