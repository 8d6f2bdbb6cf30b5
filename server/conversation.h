// Internal to the server (not installed): accepting its connections and its conversation, run
// over the descriptors and streams it is given, so that tests drive it over socket pairs and
// pipes.
#pragma once

#include <netinet/in.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "chatWire/linkWatch.h"
#include "fdio/fdio.h"

namespace server_detail {

// A socket listening on `port` of every local address with a backlog of 1; an invalid Fd when
// that failed (said on `err` with the reason).
fdio::Fd listenOn(std::uint16_t port, std::FILE *err);

// Accepts one connection on `listener`, from `peer` only when that is given (others are
// closed with a notice on `err`); `*from` receives the peer's address. An invalid Fd when
// accepting failed (said on `err`). The caller closes the listener, so nobody else connects.
fdio::Fd acceptFrom(const fdio::Fd &listener, const in_addr *peer, in_addr *from, std::FILE *err);

// Listens on `port` and accepts one connection, from `peer` only when that is given, then
// stops listening there, so nobody else can connect; empty when that failed (said on `err`).
fdio::Fd acceptOne(std::uint16_t port, const in_addr *peer, in_addr *from, std::FILE *err);

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
