// Watching the link under a chat connection: TCP keepalive and a bound on unacknowledged
// data, so a peer whose machine vanished (no FIN, no RST) ends the conversation instead of
// leaving it waiting forever. Probes are TCP's own: the chat wire is unchanged.
// Header only and internal: nothing here is installed.
#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>

#include "chatWire/chatWire.h"
#include "fdio/fdio.h"

namespace chatWire {

// How long a silent link is trusted. The defaults notice a dead link within about two
// minutes: probes start after 60 s without traffic, 6 of them 10 s apart; data that stays
// unacknowledged for 120 s (an image or a line in flight, when no probe is sent) ends it too.
// A user who types nothing is not a dead link: the peer's system answers the probes.
struct LinkTimes {
    std::chrono::seconds idle{60};
    std::chrono::seconds interval{10};
    int probes = 6;
    std::chrono::milliseconds unacknowledged{120000};
};

// Turns keepalive on for `sock` with `times` (each value brought into what the system takes).
// True when set, and for a descriptor that is not a TCP socket (a socketpair, a pipe, a
// file), which has no link to lose; false with errno set when the system refused.
inline bool watchLink(int sock, const LinkTimes &times) {
    int protocol = 0;
    socklen_t size = sizeof protocol;
    if (::getsockopt(sock, SOL_SOCKET, SO_PROTOCOL, &protocol, &size) != 0)
        return errno == ENOTSOCK;
    if (protocol != IPPROTO_TCP) return true;
    const auto clamp = [](auto count, int low, int high) {
        return static_cast<int>(std::clamp<decltype(count)>(count, low, high));
    };
    // The system's own bounds: 32767 s for the keepalive times, 127 probes.
    const int on = 1;
    const int idle = clamp(times.idle.count(), 1, 32767);
    const int interval = clamp(times.interval.count(), 1, 32767);
    const int probes = clamp(times.probes, 1, 127);
    const unsigned unacknowledged =
        static_cast<unsigned>(clamp(times.unacknowledged.count(), 0, INT_MAX));
    return ::setsockopt(sock, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           ::setsockopt(sock, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
           ::setsockopt(sock, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
           ::setsockopt(sock, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) == 0 &&
           ::setsockopt(sock, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged,
                        sizeof unacknowledged) == 0;
}

// True when a failed call's `err` says the link died (the peer's machine stopped answering
// within the times, or is no longer reachable), rather than that a call failed otherwise.
inline bool linkLost(int err) {
    return err == ETIMEDOUT || err == EHOSTUNREACH || err == ENETUNREACH || err == EHOSTDOWN;
}

// linkLost for a call on `sock` that failed with `err`. A send on a connection whose link
// died fails with EPIPE; the reason waits with the socket (SO_ERROR, taken here) unless a
// partial sendfile swallowed it. Then a closed connection that was still retransmitting or
// probing tells a dead link from a peer that reset it.
inline bool linkLost(int sock, int err) {
    if (linkLost(err)) return true;
    if (err != EPIPE) return false;
    int pending = 0;
    socklen_t size = sizeof pending;
    if (::getsockopt(sock, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending != 0)
        return linkLost(pending);
    tcp_info info{};
    size = sizeof info;
    return ::getsockopt(sock, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
           info.tcpi_state == TCP_CLOSE && (info.tcpi_retransmits > 0 || info.tcpi_probes > 0);
}

// Says on `err` why a call on the connection `sock` failed: `lost` when the link died, else
// `what` with the reason (reportErrno).
inline void reportFailure(std::FILE *err, int sock, const char *what, const char *lost) {
    const int reason = errno;
    if (linkLost(sock, reason)) {
        std::fputs(lost, err);
        return;
    }
    errno = reason;
    reportErrno(err, what);
}

// Says on `err` how a connection ended: `closed` as it is when the peer left, `lost` when a
// call failed because the link died, else `failed` with the reason.
inline void reportEnd(std::FILE *err, fdio::Io how, const char *closed, const char *failed,
                      const char *lost) {
    if (how == fdio::Io::Closed)
        std::fputs(closed, err);
    else if (linkLost(errno))
        std::fputs(lost, err);
    else
        reportErrno(err, failed);
}

}  // namespace chatWire
