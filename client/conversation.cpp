// The chat client's connection set-up and conversation: the console, the info replies and
// the image requests.
#include "client/conversation.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chatWire/chatWire.h"
#include "chatWire/linkWatch.h"
#include "chatWire/peerText.h"
#include "client/messages.h"
#include "client/transfers.h"
#include "fdio/fdio.h"
#include "textUtil/textUtil.h"

namespace {

using chatWire::kEndOfTalk;
using client_detail::Chat;
using fdio::Io;

constexpr std::size_t kLineKept = 1023;

// Shows one reply's text (its line end included) after the prefix, byte for byte.
void showReply(std::FILE *out, std::string_view text) {
    std::fputs(client_msg::kInfoPrefix, out);
    std::fwrite(text.data(), 1, text.size(), out);
}

// An unnamed temporary file in $TMPDIR (else /tmp), read and written; invalid when none can be
// made there.
fdio::Fd unnamedTemporary() {
    const char *dir = std::getenv("TMPDIR");
    const std::string where = dir != nullptr && *dir != '\0' ? dir : P_tmpdir;
    fdio::Fd file{::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)};
    if (file || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return file;
    // A file system without unnamed files: a named one, its name gone at once.
    std::string path = where + "/tgakit-replies-XXXXXX";
    file = fdio::Fd{::mkostemp(path.data(), O_CLOEXEC)};
    if (file) ::unlink(path.c_str());
    return file;
}

// The info replies kept while an image arrives: their texts, each ending with its '\n', in one
// buffer up to 16 MiB, the later ones in an unnamed temporary file. Only where no such file
// can be made (or written) are the rest counted instead of kept.
class HeldReplies {
  public:
    void add(std::string_view text) {
        if (!spilled_ && memory_.size() + text.size() <= kInMemory) {
            if (memory_.capacity() < memory_.size() + text.size())
                memory_.reserve(std::min(kInMemory, 2 * (memory_.size() + text.size())));
            memory_ += text;
            return;
        }
        if (!spilled_) {
            spilled_ = true;
            file_ = unnamedTemporary();
        }
        if (!file_) {
            ++dropped_;
            return;
        }
        pending_ += text;
        ++pendingCount_;
        if (pending_.size() >= kBlock) flush();
    }

    // Shows every kept reply in the order it came, then says on `err` how many were not kept.
    void show(std::FILE *out, std::FILE *err) {
        showLines(out, memory_, false);
        std::string().swap(memory_);
        if (file_) {
            flush();
            std::string block(kBlock, '\0');
            off_t at = 0;
            while (at < written_) {
                const auto want = static_cast<std::size_t>(
                    std::min<off_t>(static_cast<off_t>(block.size()), written_ - at));
                const ssize_t got = ::pread(file_.get(), block.data(), want, at);
                if (got <= 0) break;
                at += got;
                showLines(out, std::string_view(block).substr(0, static_cast<std::size_t>(got)),
                          true);
            }
            file_.reset();
        }
        if (dropped_ > 0) {
            std::fflush(out);
            std::fprintf(err, client_msg::kRepliesDropped, dropped_);
        }
        spilled_ = false;
        written_ = 0;
        dropped_ = 0;
        carry_.clear();
    }

  private:
    static constexpr std::size_t kInMemory = std::size_t{16} << 20;
    static constexpr std::size_t kBlock = std::size_t{64} * 1024;

    // Writes out the pending replies; those a failed write loses are counted, and no more
    // are written.
    void flush() {
        if (!fdio::writeAll(file_.get(), pending_.data(), pending_.size())) {
            file_.reset();
            dropped_ += pendingCount_;
        } else {
            written_ += static_cast<off_t>(pending_.size());
        }
        pending_.clear();
        pendingCount_ = 0;
    }

    // Shows the replies in `texts`; a last reply not ended there waits for the rest when
    // `more` may follow. They go out in large blocks: a line-buffered output would otherwise
    // take one system call per reply.
    void showLines(std::FILE *out, std::string_view texts, bool more) {
        std::string shown;
        while (!texts.empty()) {
            const std::size_t end = texts.find('\n');
            if (end == std::string_view::npos && more) {
                carry_ += texts;
                break;
            }
            const std::size_t n = end == std::string_view::npos ? texts.size() : end + 1;
            shown += client_msg::kInfoPrefix;
            shown += carry_;
            shown += texts.substr(0, n);
            carry_.clear();
            texts.remove_prefix(n);
            if (shown.size() >= kBlock) {
                std::fwrite(shown.data(), 1, shown.size(), out);
                shown.clear();
            }
        }
        std::fwrite(shown.data(), 1, shown.size(), out);
    }

    std::string memory_, pending_, carry_;
    std::size_t pendingCount_ = 0;
    fdio::Fd file_;
    off_t written_ = 0;
    bool spilled_ = false;
    unsigned long long dropped_ = 0;
};

// Shows the info replies that arrive on the talk connection, one "Info du serveur" per line;
// while held (during an image transfer) they are kept, to be shown once it is over.
class InfoReplies {
  public:
    // The server's bytes never drive the user's terminal.
    explicit InfoReplies(const Chat &chat)
        : chat_(chat), terminal_(chatWire::showsOnTerminal(chat.out)) {}

    // Takes in what has arrived; false when the server has closed the talk connection or it
    // failed (said on the error stream), after which it is watched no more.
    bool take() {
        std::vector<char> &buf = buf_;
        ssize_t got = -1;
        do {
            got = ::recv(chat_.talk, buf.data(), buf.size(), 0);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            chatWire::reportEnd(chat_.err, got == 0 ? Io::Closed : Io::Failed,
                                client_msg::kTalkClosed, client_msg::kTalkRead,
                                client_msg::kLinkLost);
            ended_ = true;
            return false;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i)
            add(buf[i]);
        return true;
    }

    // Takes in whatever is already there without waiting.
    bool poll() {
        pollfd p{chat_.talk, POLLIN, 0};
        while (::poll(&p, 1, 0) == 1)
            if (!take()) return false;
        return true;
    }

    bool ended() const { return ended_; }

    // Replies completed from now on are kept instead of shown.
    void hold() { holding_ = true; }
    // Shows the kept replies in the order they came, and shows the next ones as they come.
    void release() {
        holding_ = false;
        held_.show(chat_.out, chat_.err);
    }

  private:
    // A reply is a line, shown with at most 1023 of its bytes and always its line end; 0xFF
    // alone says the operator's input has ended and shows nothing.
    void add(char c) {
        if (static_cast<unsigned char>(c) == kEndOfTalk) {
            if (!reply_.empty()) finish();
            return;
        }
        if (c == '\n') {
            finish();
            return;
        }
        if (reply_.size() < kLineKept) reply_ += c;
    }
    void finish() {
        reply_ += '\n';
        const std::string escaped =
            terminal_ ? chatWire::escapedPeerText(reply_, chatWire::PeerText::Line) : "";
        const std::string_view text = terminal_ ? std::string_view(escaped) : reply_;
        if (holding_)
            held_.add(text);
        else
            showReply(chat_.out, text);
        reply_.clear();
    }

    const Chat &chat_;
    bool terminal_;
    std::vector<char> buf_ = std::vector<char>(std::size_t{64} * 1024);
    std::string reply_;
    HeldReplies held_;
    bool holding_ = false, ended_ = false;
};

// The console, read in blocks; while it has nothing to give, the talk connection is watched.
// A console that fails is reported and ends as at the end of input.
class Console {
  public:
    Console(int fd, std::FILE *err) : fd_(fd), err_(err) {}

    // The next typed byte, 0xFF at the end of input; -1 when the talk connection has ended.
    int next(InfoReplies &info, int talk) {
        while (pos_ == len_) {
            if (ended_) return kEndOfTalk;
            std::array<pollfd, 2> fds{{{fd_, POLLIN, 0}, {talk, POLLIN, 0}}};
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                fail();
                continue;
            }
            if (fds[1].revents != 0 && !info.take()) return -1;
            if (fds[0].revents != 0) fill();
        }
        return buf_[pos_++];
    }

    bool failed() const { return failed_; }

  private:
    void fill() {
        const ssize_t got = ::read(fd_, buf_.data(), buf_.size());
        // Interrupted, or a non-blocking console with nothing after all: poll waits again.
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got < 0) fail();
        if (got <= 0) {
            ended_ = true;
            return;
        }
        pos_ = 0;
        len_ = static_cast<std::size_t>(got);
    }
    void fail() {
        chatWire::reportErrno(err_, client_msg::kConsoleRead);
        ended_ = failed_ = true;
    }

    int fd_;
    std::FILE *err_;
    std::array<unsigned char, 4096> buf_{};
    std::size_t pos_ = 0, len_ = 0;
    bool ended_ = false, failed_ = false;
};

bool sendByte(const Chat &chat, unsigned char byte) {
    if (fdio::sendAll(chat.talk, &byte, 1)) return true;
    chatWire::reportFailure(chat.err, chat.talk, client_msg::kTalkWrite, client_msg::kLinkLost);
    return false;
}

// Reads up to n bytes of the service connection, as read does. Info replies that arrive on
// the talk connection meanwhile are taken in, so that a long reply the server is still sending
// cannot keep it from sending the image (the image's bytes are awaited the same way).
ssize_t readService(const Chat &chat, InfoReplies &info, void *data, std::size_t n) {
    for (;;) {
        std::array<pollfd, 2> fds{
            {{chat.service, POLLIN, 0}, {info.ended() ? -1 : chat.talk, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (fds[1].revents != 0) info.take();
        if (fds[0].revents != 0) return ::read(chat.service, data, n);
    }
}

// Receives one image transfer, holding the info replies that come meanwhile until it is over;
// false when the service or talk connection has ended.
bool takeImage(const Chat &chat, InfoReplies &info) {
    std::fputs(client_msg::kWillReceive, chat.out);
    info.hold();
    chatWire::CountBytes size{};
    std::size_t have = 0;
    Io r = Io::Done;
    while (have < size.size() && r == Io::Done) {
        const ssize_t got = readService(chat, info, size.data() + have, size.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) r = got == 0 ? Io::Closed : Io::Failed;
        if (got > 0) have += static_cast<std::size_t>(got);
    }
    if (r != Io::Done) {
        std::fflush(chat.out);
        chatWire::reportEnd(chat.err, r, client_msg::kServiceClosed, client_msg::kServiceRead,
                            client_msg::kLinkLost);
        info.release();
        return false;
    }
    const std::int32_t announced = chatWire::countFrom(size);
    std::fprintf(chat.out, client_msg::kImageSize, static_cast<long>(announced));
    client_detail::receiveImage(chat.service, static_cast<int>(announced), chat.out, chat.err,
                                {chat.talk, [&] { return info.take(); }});
    info.release();
    return !info.ended();
}

// `host` at `port`.
client_detail::HostAddress withPort(client_detail::HostAddress host, std::uint16_t port) {
    if (host.addr.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in *>(&host.addr)->sin_port = htons(port);
    else
        reinterpret_cast<sockaddr_in6 *>(&host.addr)->sin6_port = htons(port);
    return host;
}

}  // namespace

std::vector<client_detail::HostAddress> client_detail::lookUpHost(const char *name,
                                                                  std::FILE *err) {
    // No AI_ADDRCONFIG: it would hide a loopback address of a family the host has no other
    // address of.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    errno = 0;
    const int status = ::getaddrinfo(name, nullptr, &hints, &found);
    const int reason = errno;
    std::vector<HostAddress> addresses;
    // IPv4 first, so a host that has IPv4 is reached as it always was.
    for (const int family : {AF_INET, AF_INET6})
        for (const addrinfo *a = status == 0 ? found : nullptr; a != nullptr; a = a->ai_next)
            if (a->ai_family == family && a->ai_addrlen <= sizeof(sockaddr_storage)) {
                HostAddress h;
                std::memcpy(&h.addr, a->ai_addr, a->ai_addrlen);
                h.length = a->ai_addrlen;
                addresses.push_back(h);
            }
    if (found != nullptr) ::freeaddrinfo(found);
    if (!addresses.empty()) return addresses;
    // The resolver says "no such name" also when it could not look (no descriptor or memory
    // left to read its files with); errno then tells.
    const bool starved = reason == EMFILE || reason == ENFILE || reason == ENOMEM;
    const bool unknown = !starved && (status == 0 || status == EAI_NONAME || status == EAI_NODATA ||
                                      status == EAI_ADDRFAMILY);
    if (unknown)
        std::fprintf(err, client_msg::kUnknownHost, name);
    else
        std::fprintf(
            err, client_msg::kLookupFailed, name,
            status == EAI_SYSTEM || starved ? std::strerror(reason) : ::gai_strerror(status));
    return addresses;
}

fdio::Fd client_detail::connectService(const std::vector<HostAddress> &addresses,
                                       std::uint16_t port, fdio::Fd first, HostAddress *used) {
    for (const HostAddress &host : addresses) {
        const HostAddress to = withPort(host, port);
        fdio::Fd sock =
            to.addr.ss_family == AF_INET ? std::exchange(first, fdio::Fd{}) : fdio::Fd{};
        if (!sock) sock = fdio::Fd{::socket(to.addr.ss_family, SOCK_STREAM, 0)};
        if (sock &&
            ::connect(sock.get(), reinterpret_cast<const sockaddr *>(&to.addr), to.length) == 0) {
            *used = host;
            return sock;
        }
    }
    return fdio::Fd{};
}

fdio::Fd client_detail::connectTalk(HostAddress host, std::FILE *err) {
    const HostAddress to = withPort(host, chatWire::kTalkPort);
    fdio::Fd talk{::socket(to.addr.ss_family, SOCK_STREAM, 0)};
    if (!talk) {
        std::fflush(stdout);
        std::fputs(client_msg::kTalkSocket, err);
        return talk;
    }
    ::sleep(1);
    if (::connect(talk.get(), reinterpret_cast<const sockaddr *>(&to.addr), to.length) == 0)
        return talk;
    chatWire::reportErrno(err, client_msg::kTalkConnect);
    return fdio::Fd{};
}

int client_detail::converse(const Chat &chat) {
    // Not being able to watch a link is no reason to refuse a conversation.
    static_cast<void>(chatWire::watchLink(chat.service, chat.link));
    static_cast<void>(chatWire::watchLink(chat.talk, chat.link));
    InfoReplies info{chat};
    Console console{chat.console, chat.err};
    const auto status = [&] { return console.failed() ? EXIT_FAILURE : EXIT_SUCCESS; };
    std::array<char, kLineKept + 1> line{};
    unsigned char last = 'X';
    while (last != kEndOfTalk) {
        std::fputs(client_msg::kPrompt, chat.out);
        if (!info.poll()) return status();
        std::size_t kept = 0;
        do {
            const int c = console.next(info, chat.talk);
            if (c < 0) return status();
            last = static_cast<unsigned char>(c);
            if (kept < kLineKept) line[kept++] = static_cast<char>(last);
            if (!sendByte(chat, last)) return status();
        } while (last != '\n' && last != kEndOfTalk);
        line[kept] = '\0';

        if (startswith("envoie", line.data()) && !takeImage(chat, info)) return status();
        if (startswith("transforme", line.data()))
            std::fprintf(chat.out, client_msg::kTransform, line.data());
    }
    return status();
}
