// Internal to the client (not installed): its conversation, run over the descriptors and
// streams it is given, so that tests drive it over socket pairs and pipes.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "chatWire/linkWatch.h"
#include "fdio/fdio.h"

namespace client_detail {

// One address of the server's machine, port included.
struct HostAddress {
    sockaddr_storage addr{};
    socklen_t length = 0;
};

// The addresses of the machine `name` (a host name or numeric text of either family): its
// IPv4 ones in the resolver's order, then its IPv6 ones. Empty when it has none ("Machine
// inconnue" on `err`), or when the lookup itself failed (out of descriptors or memory, no
// name server: said on `err` with the reason).
std::vector<HostAddress> lookUpHost(const char *name, std::FILE *err);

// The service connection: to the first of `addresses` that accepts at `port`, trying each in
// turn; `*used` receives that address. `first`, an IPv4 socket made beforehand, serves the
// first IPv4 attempt. Empty when none accepted (errno as the last attempt left it).
fdio::Fd connectService(const std::vector<HostAddress> &addresses, std::uint16_t port,
                        fdio::Fd first, HostAddress *used);

// The talk connection to `host` at the talk port, made after a pause of 1 second that gives
// the server time to listen there; empty when it could not be made (said on `err`).
fdio::Fd connectTalk(HostAddress host, std::FILE *err);

// Where one conversation takes place, and how.
struct Chat {
    int service = -1;            // the service connection: the images come in on it
    int talk = -1;               // the talk connection: typed bytes out, info replies in
    int console = STDIN_FILENO;  // what the user types
    std::FILE *out = stdout;     // what the user is shown
    std::FILE *err = stderr;     // how a connection ended or failed, and transfer notices
    chatWire::LinkTimes link{};  // how long a silent link is trusted (both connections)
};

// Runs the conversation after the name header: prompts, sends every byte read from the
// console on the talk connection as it comes, receives an image after each "envoie" line
// and shows the info replies that arrive while it waits; those that arrive while it waits for
// or receives an image are shown after "Copie terminee" (their texts held in memory up to
// 16 MiB, beyond that in an unnamed temporary file in $TMPDIR or /tmp; only where none can be
// made are the rest counted, and their number said on `err`). Each reply shows with at most
// 1023 of its bytes and its line end. Ends after the console's end has
// gone out as 0xFF, or when a connection ends or fails (said on `err`; a link that died is
// said as such). Closes nothing. A console that fails is said on `err` and ends as at the end
// of input. Both connections are watched with `link`'s times. When `out` is a terminal, the
// info replies show with their control bytes escaped (chatWire::escapedPeerText). Returns the
// program's status: 1 when the console failed, else 0.
int converse(const Chat &chat);

}  // namespace client_detail
