// The chat client: connects to a server, sends what its user types, receives images on demand
// and shows the server's info replies.
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/client.h"
#include "client/messages.h"
#include "netio/chatWire.h"
#include "netio/netio.h"
#include "stdstreams/stdstreams.h"
#include "textUtil/textUtil.h"

namespace {

using netio::Fd;
using netio::Io;
using netio::kEndOfTalk;
using netio::portFromText;
using netio::readAll;

constexpr std::size_t kLineKept = 1023;

bool connectTo(int sock, in_addr host, std::uint16_t port) {
    const sockaddr_in addr = netio::ipv4Address(host, port);
    return ::connect(sock, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
}

// Shows the info replies that arrive on the talk connection, one "Info du serveur" per line.
class InfoReplies {
  public:
    explicit InfoReplies(int talk) : talk_(talk) {}

    // Takes in what has arrived; false when the server has closed the talk connection or it
    // failed (said on the standard error).
    bool take() {
        std::array<char, 1024> buf{};
        ssize_t got = -1;
        do {
            got = ::recv(talk_, buf.data(), buf.size(), 0);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            netio::reportEnd(got == 0 ? Io::Closed : Io::Failed, client_msg::kTalkClosed,
                             client_msg::kTalkRead);
            return false;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i)
            add(buf[i]);
        return true;
    }

    // Takes in whatever is already there without waiting.
    bool poll() {
        pollfd p{talk_, POLLIN, 0};
        while (::poll(&p, 1, 0) == 1)
            if (!take()) return false;
        return true;
    }

    int fd() const { return talk_; }

  private:
    // A reply is a line; 0xFF alone says the operator's input has ended and shows nothing.
    void add(char c) {
        if (static_cast<unsigned char>(c) == kEndOfTalk) {
            if (!reply_.empty()) show("\n");
            return;
        }
        if (reply_.size() < kLineKept) reply_ += c;
        if (c == '\n') show("");
    }
    void show(const char *tail) {
        std::printf(client_msg::kInfo, (reply_ + tail).c_str());
        reply_.clear();
    }

    int talk_;
    std::string reply_;
};

// The console, read in blocks; while it has nothing to give, the talk connection is watched.
class Console {
  public:
    // The next typed byte, 0xFF at the end of input; -1 when the talk connection has ended.
    int next(InfoReplies &info) {
        while (pos_ == len_) {
            if (ended_) return kEndOfTalk;
            std::array<pollfd, 2> fds{{{STDIN_FILENO, POLLIN, 0}, {info.fd(), POLLIN, 0}}};
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                ended_ = true;
                continue;
            }
            if (fds[1].revents != 0 && !info.take()) return -1;
            if (fds[0].revents != 0) fill();
        }
        return buf_[pos_++];
    }

  private:
    void fill() {
        const ssize_t got = ::read(STDIN_FILENO, buf_.data(), buf_.size());
        if (got < 0 && errno == EINTR) return;
        if (got <= 0) {
            ended_ = true;
            return;
        }
        pos_ = 0;
        len_ = static_cast<std::size_t>(got);
    }

    std::array<unsigned char, 4096> buf_{};
    std::size_t pos_ = 0, len_ = 0;
    bool ended_ = false;
};

bool sendByte(int talk, unsigned char byte) {
    if (netio::sendByte(talk, byte)) return true;
    std::perror(client_msg::kTalkWrite);
    return false;
}

// Receives one image transfer; false when the service connection has ended.
bool receiveImage(int service) {
    std::printf(client_msg::kWillReceive);
    std::int32_t size = 0;
    const Io r = readAll(service, &size, sizeof size);
    if (r != Io::Done) {
        std::fflush(stdout);
        netio::reportEnd(r, client_msg::kServiceClosed, client_msg::kServiceRead);
        return false;
    }
    std::printf(client_msg::kImageSize, static_cast<long>(size));
    recv_img(service, static_cast<int>(size));
    return true;
}

void converse(int service, int talk) {
    InfoReplies info{talk};
    Console console;
    std::array<char, kLineKept + 1> line{};
    unsigned char last = 'X';
    while (last != kEndOfTalk) {
        std::printf(client_msg::kPrompt);
        if (!info.poll()) return;
        std::size_t kept = 0;
        do {
            const int c = console.next(info);
            if (c < 0) return;
            last = static_cast<unsigned char>(c);
            if (kept < kLineKept) line[kept++] = static_cast<char>(last);
            if (!sendByte(talk, last)) return;
        } while (last != '\n' && last != kEndOfTalk);
        line[kept] = '\0';

        if (startswith("envoie", line.data()) && !receiveImage(service)) return;
        if (startswith("transforme", line.data())) std::printf(client_msg::kTransform, line.data());
    }
}

}  // namespace

int main(int argc, char **argv) try {
    stdstreams::openMissing();
    if (argc != 4) {
        std::fprintf(stderr, client_msg::kUsage, argv[0]);
        return EXIT_FAILURE;
    }
    netio::prepareChatProcess();

    Fd service{::socket(AF_INET, SOCK_STREAM, 0)};
    if (service.get() < 0) {
        std::fputs(client_msg::kSocket, stderr);
        return EXIT_FAILURE;
    }
    const hostent *host = ::gethostbyname(argv[1]);
    if (host == nullptr &&
        (h_errno == NETDB_INTERNAL || h_errno == TRY_AGAIN || h_errno == NO_RECOVERY)) {
        // Not an unknown name: the lookup itself failed (out of descriptors or memory, no
        // name server).
        const char *reason =
            h_errno == NETDB_INTERNAL ? std::strerror(errno) : ::hstrerror(h_errno);
        std::fprintf(stderr, client_msg::kLookupFailed, argv[1], reason);
        return EXIT_FAILURE;
    }
    if (host == nullptr || host->h_addrtype != AF_INET ||
        host->h_length != static_cast<int>(sizeof(in_addr)) || host->h_addr_list[0] == nullptr) {
        std::fprintf(stderr, client_msg::kUnknownHost, argv[1]);
        return EXIT_FAILURE;
    }
    in_addr address{};
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    const std::uint16_t port = portFromText(argv[2]);
    std::printf(client_msg::kUser, argv[3], static_cast<int>(::geteuid()), argv[1]);

    if (!connectTo(service.get(), address, port)) {
        std::fflush(stdout);
        std::fputs(client_msg::kConnect, stderr);
        return EXIT_FAILURE;
    }
    Fd talk{::socket(AF_INET, SOCK_STREAM, 0)};
    if (talk.get() < 0) {
        std::fputs(client_msg::kTalkSocket, stderr);
        return EXIT_FAILURE;
    }
    // Gives the server time to listen on the talk port.
    ::sleep(1);
    if (!connectTo(talk.get(), address, netio::kTalkPort)) {
        std::perror(client_msg::kTalkConnect);
        return EXIT_FAILURE;
    }
    std::printf(client_msg::kTalkUp);
    write_header(talk.get(), argv[3]);

    converse(service.get(), talk.get());
    // Everything shown before the server sees the connections close.
    stdstreams::flush();
    service.reset();
    talk.reset();
    return stdstreams::finish("client", EXIT_SUCCESS);
} catch (...) {
    return stdstreams::escaped("client");
}
