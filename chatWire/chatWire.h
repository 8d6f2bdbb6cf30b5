// The chat wire shared by server, client and their tests: the talk port, the end-of-talk
// byte, the counts' byte order, the port argument, the process settings, IPv4 addresses and
// the reports of a connection that ended.
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
#include <optional>

namespace chatWire {

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

// Says on `err` what failed and the reason errno gives, as perror says it on the standard
// error.
inline void reportErrno(std::FILE *err, const char *what) {
    const int reason = errno;
    std::fprintf(err, "%s: %s\n", what, std::strerror(reason));
}

// A port argument: decimal digits only, with a value from 1 to 65535. Nothing for anything
// else (an empty text, a sign, blanks, other characters, 0, a greater value).
inline std::optional<std::uint16_t> portFromText(const char *text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    std::uint32_t value = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return std::nullopt;
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
        if (value > 0xFFFFu) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace chatWire
