// The chat server's connections and conversation: accepting, the info replies, the chat.
#include "server/conversation.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "chatWire/chatWire.h"
#include "chatWire/linkWatch.h"
#include "chatWire/peerText.h"
#include "server/messages.h"
#include "server/transfers.h"
#include "textUtil/textUtil.h"

namespace {

using chatWire::kEndOfTalk;
using server_detail::Chat;

// A socket of `family` listening on `port` of every local address, an IPv6 one taking IPv4
// clients too; invalid when a step failed, `*failed` naming it and errno saying why.
fdio::Fd listenAny(int family, std::uint16_t port, const char **failed) {
    fdio::Fd listener{::socket(family, SOCK_STREAM, 0)};
    sockaddr_in6 any6{};
    any6.sin6_family = AF_INET6;
    any6.sin6_port = htons(port);
    any6.sin6_addr = in6addr_any;
    const sockaddr_in any4 = chatWire::ipv4Address(INADDR_ANY, port);
    const bool v6 = family == AF_INET6;
    const auto *addr =
        v6 ? reinterpret_cast<const sockaddr *>(&any6) : reinterpret_cast<const sockaddr *>(&any4);
    const socklen_t length = v6 ? sizeof any6 : sizeof any4;
    const int off = 0, on = 1;
    *failed = server_msg::kSocket;
    if (!listener) return listener;
    if (v6 && ::setsockopt(listener.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0) {
        errno = EAFNOSUPPORT;  // an IPv6 socket that cannot take IPv4 clients will not do
        return fdio::Fd{};
    }
    // A conversation that just ended leaves its ports in their closing state for a while.
    if (::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return fdio::Fd{};
    *failed = server_msg::kBind;
    if (::bind(listener.get(), addr, length) != 0) return fdio::Fd{};
    *failed = server_msg::kListen;
    if (::listen(listener.get(), 1) != 0) return fdio::Fd{};
    *failed = nullptr;
    return listener;
}

enum class Wait { Ready, Again, Left };

// Waits for a connection on `listener` while watching `watched`: Ready when a connection
// waits, Left when none does and `watched` ended or failed, Again when only stray bytes came on
// it (dropped).
Wait awaitConnection(int listener, int watched) {
    std::array<pollfd, 2> p{{{listener, POLLIN, 0}, {watched, POLLIN, 0}}};
    if (::poll(p.data(), p.size(), -1) < 0) return errno == EINTR ? Wait::Again : Wait::Ready;
    // A talk connection that came before the client left is still taken: its lines are read.
    if (p[0].revents != 0) return Wait::Ready;
    if (p[1].revents != 0) {
        std::array<char, 512> stray{};
        const ssize_t got = ::recv(watched, stray.data(), stray.size(), MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return Wait::Left;
    }
    return Wait::Again;
}

// The operator's console, read in blocks; its end reads as 0xFF for good. A console that fails
// is reported once and counts as ended from then on; one that is not ready yet is waited on.
class Console {
  public:
    Console(int fd, std::FILE *err) : fd_(fd), err_(err) {}

    // The next bytes of the operator's line, up to and including its '\n' or 0xFF, never past
    // it; the single byte 0xFF once the console has ended. Valid until the next call.
    std::span<const unsigned char> linePart() {
        while (pos_ == len_ && !ended_) {
            const ssize_t got = ::read(fd_, buf_.data(), buf_.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitReadable()) continue;
            if (got < 0) {
                chatWire::reportErrno(err_, server_msg::kConsoleRead);
                failed_ = true;
            }
            if (got <= 0) {
                ended_ = true;
                break;
            }
            pos_ = 0;
            len_ = static_cast<std::size_t>(got);
        }
        if (pos_ == len_) return {&kEndOfTalk, 1};
        const auto begin = buf_.begin() + static_cast<std::ptrdiff_t>(pos_);
        const auto stop = buf_.begin() + static_cast<std::ptrdiff_t>(len_);
        const auto end =
            std::find_if(begin, stop, [](unsigned char c) { return c == '\n' || c == kEndOfTalk; });
        const std::size_t n = static_cast<std::size_t>(end - begin) + (end == stop ? 0 : 1);
        const std::span<const unsigned char> part{buf_.data() + pos_, n};
        pos_ += n;
        return part;
    }

    bool failed() const { return failed_; }

  private:
    // Waits until a non-blocking console has something to give; false (errno set) when the
    // wait itself failed.
    bool waitReadable() const {
        pollfd p{fd_, POLLIN, 0};
        int r = -1;
        do {
            r = ::poll(&p, 1, -1);
        } while (r < 0 && errno == EINTR);
        return r > 0;
    }

    int fd_;
    std::FILE *err_;
    std::vector<unsigned char> buf_ = std::vector<unsigned char>(std::size_t{64} * 1024);
    std::size_t pos_ = 0, len_ = 0;
    bool ended_ = false, failed_ = false;
};

// Sends the operator's next console line on the talk connection, in blocks of what the console
// has given; the end of the console input goes out as 0xFF. False when the client can no longer
// be written to.
bool sendInfoReply(const Chat &chat, Console &console) {
    unsigned char last = 0;
    do {
        const std::span<const unsigned char> part = console.linePart();
        if (!fdio::sendAll(chat.talk, part.data(), part.size())) {
            chatWire::reportFailure(chat.err, chat.talk, server_msg::kInfoSend,
                                    server_msg::kLinkLost);
            return false;
        }
        last = part.back();
    } while (last != '\n' && last != kEndOfTalk);
    return true;
}

}  // namespace

server_detail::PeerAddress server_detail::peerAddress(const sockaddr *addr, socklen_t length) {
    PeerAddress peer;
    // Copied out rather than cast: a sockaddr promises less alignment than the records it
    // stands for.
    if (addr->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        sockaddr_in v4{};
        std::memcpy(&v4, addr, sizeof v4);
        peer.family = AF_INET;
        std::memcpy(peer.bytes.data(), &v4.sin_addr, sizeof v4.sin_addr);
    } else if (addr->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        sockaddr_in6 v6{};
        std::memcpy(&v6, addr, sizeof v6);
        const bool mapped = IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr);
        peer.family = mapped ? AF_INET : AF_INET6;
        // A mapped address holds the IPv4 one in its last 4 bytes.
        std::memcpy(peer.bytes.data(), v6.sin6_addr.s6_addr + (mapped ? 12 : 0),
                    mapped ? 4 : sizeof v6.sin6_addr);
    }
    return peer;
}

std::string server_detail::peerText(const PeerAddress &peer) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (peer.family == AF_UNSPEC ||
        ::inet_ntop(peer.family, peer.bytes.data(), text.data(), text.size()) == nullptr)
        return "?";
    return text.data();
}

fdio::Fd server_detail::listenOn(std::uint16_t port, std::FILE *err) {
    const char *failed = nullptr;
    fdio::Fd listener = listenAny(AF_INET6, port, &failed);
    // IPv4 alone only where the system has no IPv6, never because the port is taken.
    const bool noIpv6 =
        errno == EAFNOSUPPORT || (failed == server_msg::kBind && errno == EADDRNOTAVAIL);
    if (!listener && noIpv6) listener = listenAny(AF_INET, port, &failed);
    if (listener) return listener;
    chatWire::reportErrno(err, failed);
    return fdio::Fd{};
}

fdio::Fd server_detail::acceptOne(std::uint16_t port, const PeerAddress *peer, PeerAddress *from,
                                  std::FILE *err, int watched) {
    const fdio::Fd listener = listenOn(port, err);
    if (!listener) return fdio::Fd{};
    return acceptFrom(listener, peer, from, err, watched);
}

fdio::Fd server_detail::acceptFrom(const fdio::Fd &listener, const PeerAddress *peer,
                                   PeerAddress *from, std::FILE *err, int watched) {
    for (;;) {
        if (watched >= 0) {
            const Wait w = awaitConnection(listener.get(), watched);
            if (w == Wait::Left) {
                std::fflush(nullptr);  // what was printed comes before the notice
                std::fputs(server_msg::kServiceClosed, err);
                return fdio::Fd{};
            }
            if (w == Wait::Again) continue;
        }
        sockaddr_storage other{};
        socklen_t length = sizeof other;
        fdio::Fd conn{::accept(listener.get(), reinterpret_cast<sockaddr *>(&other), &length)};
        if (!conn && errno == EINTR) continue;
        if (!conn) {
            chatWire::reportErrno(err, server_msg::kAccept);
            return conn;
        }
        const PeerAddress address = peerAddress(reinterpret_cast<const sockaddr *>(&other), length);
        if (peer == nullptr || address == *peer) {
            *from = address;
            return conn;
        }
        std::fflush(nullptr);  // what was printed comes before the notice
        std::fprintf(err, server_msg::kTalkStranger, peerText(address).c_str());
    }
}

const char *server_detail::userName() {
    if (const char *login = ::getlogin()) return login;
    if (const passwd *pw = ::getpwuid(::geteuid())) return pw->pw_name;
    return "?";
}

int server_detail::converse(const Chat &chat) {
    // Not being able to watch a link is no reason to refuse a conversation.
    static_cast<void>(chatWire::watchLink(chat.service, chat.link));
    static_cast<void>(chatWire::watchLink(chat.talk, chat.link));
    // The client's bytes never drive the operator's terminal.
    const bool terminal = chatWire::showsOnTerminal(chat.out);
    const auto shown = [terminal](const char *text, chatWire::PeerText kind) {
        return chatWire::shownPeerText(text, terminal, kind);
    };

    std::array<char, 10> name{};
    if (read_header_checked(chat.talk, name.data(), chat.err) == 0) return EXIT_SUCCESS;
    std::fprintf(chat.out, server_msg::kConnected,
                 shown(name.data(), chatWire::PeerText::Field).c_str());

    Console console{chat.console, chat.err};
    std::array<char, 100> line{};
    unsigned char last = 'X';
    while (last != kEndOfTalk) {
        std::fputs(server_msg::kWaiting, chat.out);
        if (read_chat_line(chat.talk, line.data(), &last, chat.err) == 0) break;
        std::fprintf(chat.out, server_msg::kChat,
                     shown(line.data(), chatWire::PeerText::Line).c_str());
        if (startswith("envoie", line.data())) {
            std::fputs(server_msg::kWillSend, chat.out);
            const int sent = send_img_checked(chat.service, chat.out, chat.err);
            if (sent < 0) return EXIT_FAILURE;  // the client can no longer be kept in step
            if (sent == 0) break;
        } else if (startswith("info", line.data())) {
            std::fflush(chat.out);
            if (!sendInfoReply(chat, console)) break;
        } else {
            std::fputs(server_msg::kNothing, chat.out);
        }
    }
    return console.failed() ? EXIT_FAILURE : EXIT_SUCCESS;
}
