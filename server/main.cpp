// The chat server: serves one client over a service connection and a talk connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "netio/chatWire.h"
#include "netio/netio.h"
#include "server/messages.h"
#include "server/server.h"
#include "server/serverDetail.h"
#include "stdstreams/stdstreams.h"
#include "textUtil/textUtil.h"

namespace {

using netio::Fd;
using netio::kEndOfTalk;
using netio::portFromText;

[[noreturn]] void die(const char *what) {
    std::perror(what);
    std::exit(EXIT_FAILURE);
}

// Listens on `port` of every local address with a backlog of 1 and accepts one connection,
// from `peer` only when that is given (others are closed with a notice), then closes the
// listening socket, so nobody else can connect there. `*from` receives the peer's address.
Fd acceptOne(std::uint16_t port, const in_addr *peer, in_addr *from) {
    Fd listener{::socket(AF_INET, SOCK_STREAM, 0)};
    if (listener.get() < 0) die(server_msg::kSocket);
    const sockaddr_in addr = netio::ipv4Address(INADDR_ANY, port);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
        die(server_msg::kBind);
    if (::listen(listener.get(), 1) != 0) die(server_msg::kListen);
    for (;;) {
        sockaddr_in other{};
        socklen_t length = sizeof other;
        Fd conn{::accept(listener.get(), reinterpret_cast<sockaddr *>(&other), &length)};
        if (!conn && errno == EINTR) continue;
        if (!conn) die(server_msg::kAccept);
        if (peer == nullptr || other.sin_addr.s_addr == peer->s_addr) {
            *from = other.sin_addr;
            return conn;
        }
        std::array<char, INET_ADDRSTRLEN> text{};
        ::inet_ntop(AF_INET, &other.sin_addr, text.data(), text.size());
        std::fflush(stdout);
        std::fprintf(stderr, server_msg::kTalkStranger, text.data());
    }
}

// The login name, or the effective user's name when there is no controlling terminal.
const char *userName() {
    if (const char *login = ::getlogin()) return login;
    if (const passwd *pw = ::getpwuid(::geteuid())) return pw->pw_name;
    return "?";
}

// Sends the operator's next console line on the talk connection, byte by byte; the end of
// the console input goes out as 0xFF. False when the client can no longer be written to.
bool sendInfoReply(int talk) {
    unsigned char byte = 0;
    do {
        const int c = std::getchar();
        byte = c == EOF ? kEndOfTalk : static_cast<unsigned char>(c);
        if (!netio::sendByte(talk, byte)) {
            std::perror(server_msg::kInfoSend);
            return false;
        }
    } while (byte != '\n' && byte != kEndOfTalk);
    return true;
}

// The conversation; the program's status: 1 when an image could not be sent as announced.
int converse(int service, int talk) {
    std::array<char, 10> name{};
    if (server_detail::read_header_checked(talk, name.data()) == 0) return EXIT_SUCCESS;
    std::printf(server_msg::kConnected, name.data());

    std::array<char, 100> line{};
    unsigned char last = 'X';
    while (last != kEndOfTalk) {
        std::printf(server_msg::kWaiting);
        if (server_detail::read_chat_line(talk, line.data(), &last) == 0) return EXIT_SUCCESS;
        std::printf(server_msg::kChat, line.data());
        if (startswith("envoie", line.data())) {
            std::printf(server_msg::kWillSend);
            const int sent = server_detail::send_img_checked(service);
            if (sent <= 0) return sent < 0 ? EXIT_FAILURE : EXIT_SUCCESS;
        } else if (startswith("info", line.data())) {
            std::fflush(stdout);
            if (!sendInfoReply(talk)) return EXIT_SUCCESS;
        } else {
            std::printf(server_msg::kNothing);
        }
    }
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char **argv) try {
    stdstreams::openMissing();
    if (argc != 2) {
        std::fprintf(stderr, server_msg::kUsage, argv[0]);
        return EXIT_FAILURE;
    }
    netio::prepareChatProcess();

    std::array<char, HOST_NAME_MAX + 1> host{};
    if (::gethostname(host.data(), host.size()) != 0) die(server_msg::kHostName);
    host.back() = '\0';

    const std::uint16_t port = portFromText(argv[1]);
    in_addr client{};
    Fd service = acceptOne(port, nullptr, &client);
    std::printf(server_msg::kServiceUp, userName(), static_cast<int>(::geteuid()), host.data());
    // The talk connection belongs to whoever holds the service connection.
    Fd talk = acceptOne(netio::kTalkPort, &client, &client);
    std::printf(server_msg::kTalkUp, host.data());

    const int status = converse(service.get(), talk.get());
    // Everything shown before the client sees the connections close.
    stdstreams::flush();
    service.reset();
    talk.reset();
    return stdstreams::finish("server", status);
} catch (...) {
    return stdstreams::escaped("server");
}
