// Internal to the server (not installed): accepting its connections and its conversation, run
// over the descriptors and streams it is given, so that tests drive it over socket pairs and
// pipes.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "chatWire/linkWatch.h"
#include "fdio/fdio.h"

namespace server_detail {

// A peer's address. An IPv4 client seen through the dual-stack socket (::ffff:a.b.c.d) is
// taken as the IPv4 address it is, so both families compare and print as their own.
struct PeerAddress {
    int family = AF_UNSPEC;
    std::array<unsigned char, 16> bytes{};  // 4 bytes for IPv4, 16 for IPv6
    bool operator==(const PeerAddress &) const = default;
};

// The address `addr` of `length` bytes as a PeerAddress (AF_UNSPEC for another family).
PeerAddress peerAddress(const sockaddr *addr, socklen_t length);

// The address in its own family's usual form ("127.0.0.1", "::1").
std::string peerText(const PeerAddress &peer);

// A socket listening on `port` of every local address with a backlog of 1: one IPv6 socket
// that also takes IPv4 clients, or IPv4 alone where the system has no IPv6. The address is
// marked for reuse, so a server started right after another binds at once. An invalid Fd
// when that failed (said on `err` with the reason).
fdio::Fd listenOn(std::uint16_t port, std::FILE *err);

// Accepts one connection on `listener`, from `peer` only when that is given (others are
// closed with a notice on `err`); `*from` receives the peer's address. While it waits, the
// connection `watched` (when not -1) is watched: its end or failure gives up the wait, said
// on `err` as the client leaving; bytes that come on it are dropped. An invalid Fd when
// accepting failed or the watched connection ended (said on `err`). The caller closes the
// listener, so nobody else connects.
fdio::Fd acceptFrom(const fdio::Fd &listener, const PeerAddress *peer, PeerAddress *from,
                    std::FILE *err, int watched = -1);

// Listens on `port` and accepts one connection as acceptFrom does, then stops listening
// there, so nobody else can connect; empty when that failed (said on `err`).
fdio::Fd acceptOne(std::uint16_t port, const PeerAddress *peer, PeerAddress *from, std::FILE *err,
                   int watched = -1);

// The login name, or the effective user's name when there is no controlling terminal.
const char *userName();

// Where one conversation takes place, and how.
struct Chat {
    int service = -1;            // the service connection: the images go out on it
    int talk = -1;               // the talk connection: the client's header and lines in,
                                 // the operator's info replies out
    int console = STDIN_FILENO;  // what the operator types
    std::FILE *out = stdout;     // what the operator is shown
    std::FILE *err = stderr;     // how a connection ended or failed
    chatWire::LinkTimes link{};  // how long a silent link is trusted (both connections)
};

// Runs the conversation: reads the name header, then each chat line up to the client's
// 0xFF, sending "input/vorla.tga" after an "envoie" line and the operator's next console line
// after an "info" line (0xFF once the console has ended). Ends there, or when a connection
// ends or fails (said on `err`; a link that died is said as such). Closes nothing. A console
// that fails is said on `err` and counts as ended from then on; one that is not ready yet
// (non-blocking) is waited on. Both connections are watched with `link`'s times. When `out`
// is a terminal, the name and the lines show with their control bytes escaped
// (chatWire::escapedPeerText). Returns the program's status: 1 when an image could not be sent
// as announced (the conversation then ends at once) or the console failed, else 0.
int converse(const Chat &chat);

}  // namespace server_detail
