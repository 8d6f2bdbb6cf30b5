// The chat server: serves one client over a service connection and a talk connection.
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "netio/netio.h"
#include "server/messages.h"
#include "server/server.h"
#include "textUtil/textUtil.h"

namespace {

using netio::Fd;
using netio::portFromText;

constexpr std::uint16_t kTalkPort = 1111;

[[noreturn]] void die(const char *what) {
    std::perror(what);
    std::exit(EXIT_FAILURE);
}

// Listens on `port` of every local address with a backlog of 1, accepts one connection and
// closes the listening socket, so nobody else can connect there.
Fd acceptOne(std::uint16_t port) {
    Fd listener{::socket(AF_INET, SOCK_STREAM, 0)};
    if (listener.get() < 0) die(server_msg::kSocket);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
        die(server_msg::kBind);
    if (::listen(listener.get(), 1) != 0) die(server_msg::kListen);
    int conn = -1;
    do {
        conn = ::accept(listener.get(), nullptr, nullptr);
    } while (conn < 0 && errno == EINTR);
    if (conn < 0) die(server_msg::kAccept);
    return Fd{conn};
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
        byte = c == EOF ? 0xFF : static_cast<unsigned char>(c);
        ssize_t put = -1;
        do {
            put = ::send(talk, &byte, 1, MSG_NOSIGNAL);
        } while (put < 0 && errno == EINTR);
        if (put != 1) {
            std::perror(server_msg::kInfoSend);
            return false;
        }
    } while (byte != '\n' && byte != 0xFF);
    return true;
}

void converse(int service, int talk) {
    std::array<char, 10> name{};
    if (read_header_checked(talk, name.data()) == 0) return;
    std::printf(server_msg::kConnected, name.data());

    std::array<char, 100> line{};
    unsigned char last = 'X';
    while (last != 0xFF) {
        std::printf(server_msg::kWaiting);
        if (read_chat_line(talk, line.data(), &last) == 0) return;
        std::printf(server_msg::kChat, line.data());
        if (startswith("envoie", line.data())) {
            std::printf(server_msg::kWillSend);
            if (send_img_checked(service) == 0) return;
        } else if (startswith("info", line.data())) {
            std::fflush(stdout);
            if (!sendInfoReply(talk)) return;
        } else {
            std::printf(server_msg::kNothing);
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, server_msg::kUsage, argv[0]);
        return EXIT_FAILURE;
    }
    // A client that has gone makes writes fail with EPIPE instead of killing the server.
    std::signal(SIGPIPE, SIG_IGN);
    // Each message shows as soon as it is printed, also when the console is a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::array<char, HOST_NAME_MAX + 1> host{};
    if (::gethostname(host.data(), host.size()) != 0) die(server_msg::kHostName);
    host.back() = '\0';

    const std::uint16_t port = portFromText(argv[1]);
    Fd service = acceptOne(port);
    std::printf(server_msg::kServiceUp, userName(), static_cast<int>(::geteuid()), host.data());
    Fd talk = acceptOne(kTalkPort);
    std::printf(server_msg::kTalkUp, host.data());

    converse(service.get(), talk.get());
    std::fflush(stdout);
    service.reset();
    talk.reset();
    return EXIT_SUCCESS;
}
