// The chat server's connections and conversation: accepting, the info replies, the chat.
#include "server/conversation.h"

#include <arpa/inet.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstdlib>

#include "chatWire/chatWire.h"
#include "chatWire/linkWatch.h"
#include "chatWire/peerText.h"
#include "server/messages.h"
#include "server/transfers.h"
#include "textUtil/textUtil.h"

namespace {

using chatWire::kEndOfTalk;
using server_detail::Chat;

// The operator's console, read in blocks; its end reads as 0xFF for good. A console that fails
// is reported once and counts as ended from then on; one that is not ready yet is waited on.
class Console {
  public:
    Console(int fd, std::FILE *err) : fd_(fd), err_(err) {}

    unsigned char next() {
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
        return pos_ == len_ ? kEndOfTalk : buf_[pos_++];
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
    std::array<unsigned char, 4096> buf_{};
    std::size_t pos_ = 0, len_ = 0;
    bool ended_ = false, failed_ = false;
};

// Sends the operator's next console line on the talk connection, byte by byte; the end of
// the console input goes out as 0xFF. False when the client can no longer be written to.
bool sendInfoReply(const Chat &chat, Console &console) {
    unsigned char byte = 0;
    do {
        byte = console.next();
        if (!fdio::sendAll(chat.talk, &byte, 1)) {
            chatWire::reportFailure(chat.err, chat.talk, server_msg::kInfoSend,
                                    server_msg::kLinkLost);
            return false;
        }
    } while (byte != '\n' && byte != kEndOfTalk);
    return true;
}

}  // namespace

fdio::Fd server_detail::listenOn(std::uint16_t port, std::FILE *err) {
    fdio::Fd listener{::socket(AF_INET, SOCK_STREAM, 0)};
    const sockaddr_in addr = chatWire::ipv4Address(INADDR_ANY, port);
    const char *failed = nullptr;
    if (!listener)
        failed = server_msg::kSocket;
    else if (::bind(listener.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
        failed = server_msg::kBind;
    else if (::listen(listener.get(), 1) != 0)
        failed = server_msg::kListen;
    if (failed == nullptr) return listener;
    chatWire::reportErrno(err, failed);
    return fdio::Fd{};
}

fdio::Fd server_detail::acceptOne(std::uint16_t port, const in_addr *peer, in_addr *from,
                                  std::FILE *err) {
    const fdio::Fd listener = listenOn(port, err);
    if (!listener) return fdio::Fd{};
    return acceptFrom(listener, peer, from, err);
}

fdio::Fd server_detail::acceptFrom(const fdio::Fd &listener, const in_addr *peer, in_addr *from,
                                   std::FILE *err) {
    for (;;) {
        sockaddr_in other{};
        socklen_t length = sizeof other;
        fdio::Fd conn{::accept(listener.get(), reinterpret_cast<sockaddr *>(&other), &length)};
        if (!conn && errno == EINTR) continue;
        if (!conn) {
            chatWire::reportErrno(err, server_msg::kAccept);
            return conn;
        }
        if (peer == nullptr || other.sin_addr.s_addr == peer->s_addr) {
            *from = other.sin_addr;
            return conn;
        }
        std::array<char, INET_ADDRSTRLEN> text{};
        ::inet_ntop(AF_INET, &other.sin_addr, text.data(), text.size());
        std::fflush(nullptr);  // what was printed comes before the notice
        std::fprintf(err, server_msg::kTalkStranger, text.data());
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
