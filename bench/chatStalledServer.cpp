// Plays a server whose image stalls while its operator's replies pour in: takes a client's
// service and talk connections on 127.0.0.1, waits for its "envoie" line, sends the size and
// half of a 64 x 64 image, then the given number of bytes of empty info replies ("\n" each),
// then the rest of the image, and waits for the client to close the talk connection.
//   chatStalledServer <service-port> <reply-bytes>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "chatWire/chatWire.h"
#include "fdio/fdio.h"

namespace {

fdio::Fd listenLoopback(std::uint16_t port) {
    fdio::Fd s{::socket(AF_INET, SOCK_STREAM, 0)};
    const int on = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in addr = chatWire::ipv4Address(INADDR_LOOPBACK, port);
    if (::bind(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(s.get(), 1) != 0)
        return fdio::Fd{};
    return s;
}

// Reads the talk connection up to the end of the line that begins with "envoie".
bool awaitImageRequest(int talk) {
    std::string line;
    char c = 0;
    while (fdio::readAll(talk, &c, 1) == fdio::Io::Done) {
        line += c;
        if (c != '\n') continue;
        if (line.starts_with("envoie")) return true;
        line.clear();
    }
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    const auto port = argc == 3 ? chatWire::portFromText(argv[1]) : std::nullopt;
    if (!port) {
        std::fprintf(stderr, "usage: %s service-port reply-bytes\n", argv[0]);
        return EXIT_FAILURE;
    }
    const std::size_t replyBytes = std::strtoull(argv[2], nullptr, 10);
    const fdio::Fd serviceListener = listenLoopback(*port);
    const fdio::Fd talkListener = listenLoopback(chatWire::kTalkPort);
    if (!serviceListener || !talkListener) {
        std::fputs("chatStalledServer: cannot listen\n", stderr);
        return EXIT_FAILURE;
    }
    const fdio::Fd service{::accept(serviceListener.get(), nullptr, nullptr)};
    const fdio::Fd talk{::accept(talkListener.get(), nullptr, nullptr)};
    chatWire::CountBytes count{};
    std::vector<char> name;
    bool ok = service && talk && fdio::readAll(talk.get(), count.data(), 4) == fdio::Io::Done;
    if (ok) name.resize(static_cast<std::size_t>(chatWire::countFrom(count)));
    ok = ok && fdio::readAll(talk.get(), name.data(), name.size()) == fdio::Io::Done &&
         awaitImageRequest(talk.get());

    const std::vector<char> image(64 * 64 * 3 + 18, 'i');
    const std::size_t half = image.size() / 2;
    const chatWire::CountBytes size = chatWire::countBytes(static_cast<std::int32_t>(image.size()));
    ok = ok && fdio::sendAll(service.get(), size.data(), size.size()) &&
         fdio::sendAll(service.get(), image.data(), half);
    const std::vector<char> replies(std::size_t{1} << 20, '\n');
    for (std::size_t left = replyBytes; ok && left > 0;) {
        const std::size_t n = left < replies.size() ? left : replies.size();
        ok = fdio::sendAll(talk.get(), replies.data(), n);
        left -= n;
    }
    ok = ok && fdio::sendAll(service.get(), image.data() + half, image.size() - half);
    // The client ends with 0xFF and closes.
    char c = 0;
    while (ok && ::recv(talk.get(), &c, 1, 0) > 0) {
    }
    if (!ok) std::fputs("chatStalledServer: the client stopped reading\n", stderr);
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
