// Plays a client that says one long chat line: connects the service and talk connections to a
// server on 127.0.0.1, sends a name header, one line of the given length (its last byte '\n'),
// then the end-of-talk byte, and waits for the server to close the talk connection.
//   chatLineSender <service-port> <line-bytes>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "chatWire/chatWire.h"
#include "fdio/fdio.h"

namespace {

// Connects to 127.0.0.1:port, retrying for a few seconds while nobody listens yet.
fdio::Fd connectLoopback(std::uint16_t port) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        fdio::Fd s{::socket(AF_INET, SOCK_STREAM, 0)};
        const sockaddr_in addr = chatWire::ipv4Address(INADDR_LOOPBACK, port);
        if (::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0)
            return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fdio::Fd{};
}

}  // namespace

int main(int argc, char **argv) {
    const auto port = argc == 3 ? chatWire::portFromText(argv[1]) : std::nullopt;
    if (!port) {
        std::fprintf(stderr, "usage: %s service-port line-bytes\n", argv[0]);
        return EXIT_FAILURE;
    }
    const std::size_t lineBytes = std::strtoull(argv[2], nullptr, 10);
    fdio::Fd service = connectLoopback(*port);
    fdio::Fd talk = service ? connectLoopback(chatWire::kTalkPort) : fdio::Fd{};
    if (!talk || lineBytes == 0) {
        std::fputs("chatLineSender: cannot reach the server\n", stderr);
        return EXIT_FAILURE;
    }
    const char name[] = "bench";
    const chatWire::CountBytes nameLength = chatWire::countBytes(std::int32_t{sizeof name - 1});
    bool ok = fdio::sendAll(talk.get(), nameLength.data(), nameLength.size()) &&
              fdio::sendAll(talk.get(), name, sizeof name - 1);
    std::vector<char> chunk(std::size_t{1} << 20, 'a');
    for (std::size_t left = lineBytes - 1; ok && left > 0;) {
        const std::size_t n = left < chunk.size() ? left : chunk.size();
        ok = fdio::sendAll(talk.get(), chunk.data(), n);
        left -= n;
    }
    const unsigned char end[] = {'\n', chatWire::kEndOfTalk};
    ok = ok && fdio::sendAll(talk.get(), end, sizeof end);
    // The server closes the talk connection once it has read the end byte.
    char c = 0;
    while (ok && ::recv(talk.get(), &c, 1, 0) > 0) {
    }
    if (!ok) std::fputs("chatLineSender: the server stopped reading\n", stderr);
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
