// Plays a client that says one long chat line: connects the service and talk connections to a
// server on 127.0.0.1, sends a name header, one line of the given length (its last byte '\n'),
// then the end-of-talk byte, and waits for the server to close the talk connection.
//   chat_line_sender <service-port> <line-bytes>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "netio/chatWire.h"
#include "netio/netio.h"

namespace {

// Connects to 127.0.0.1:port, retrying for a few seconds while nobody listens yet.
netio::Fd connectLoopback(std::uint16_t port) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        netio::Fd s{::socket(AF_INET, SOCK_STREAM, 0)};
        const sockaddr_in addr = netio::ipv4Address(INADDR_LOOPBACK, port);
        if (::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0)
            return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return netio::Fd{};
}

}  // namespace

int main(int argc, char **argv) {
    const auto port = argc == 3 ? netio::portFromText(argv[1]) : std::nullopt;
    if (!port) {
        std::fprintf(stderr, "usage: %s service-port line-bytes\n", argv[0]);
        return EXIT_FAILURE;
    }
    const std::size_t lineBytes = std::strtoull(argv[2], nullptr, 10);
    netio::Fd service = connectLoopback(*port);
    netio::Fd talk = service ? connectLoopback(netio::kTalkPort) : netio::Fd{};
    if (!talk || lineBytes == 0) {
        std::fputs("chat_line_sender: cannot reach the server\n", stderr);
        return EXIT_FAILURE;
    }
    const char name[] = "bench";
    const netio::CountBytes nameLength = netio::countBytes(std::int32_t{sizeof name - 1});
    bool ok = netio::sendAll(talk.get(), nameLength.data(), nameLength.size()) &&
              netio::sendAll(talk.get(), name, sizeof name - 1);
    std::vector<char> chunk(std::size_t{1} << 20, 'a');
    for (std::size_t left = lineBytes - 1; ok && left > 0;) {
        const std::size_t n = left < chunk.size() ? left : chunk.size();
        ok = netio::sendAll(talk.get(), chunk.data(), n);
        left -= n;
    }
    ok = ok && netio::sendByte(talk.get(), '\n') && netio::sendByte(talk.get(), netio::kEndOfTalk);
    // The server closes the talk connection once it has read the end byte.
    char c = 0;
    while (ok && ::recv(talk.get(), &c, 1, 0) > 0) {
    }
    if (!ok) std::fputs("chat_line_sender: the server stopped reading\n", stderr);
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
