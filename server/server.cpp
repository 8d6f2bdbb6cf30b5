// The chat server's transfers: image sending, name headers and chat lines.
#include "server/server.h"
#include "server/transfers.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "chatWire/chatWire.h"
#include "chatWire/linkWatch.h"
#include "fdio/fdio.h"
#include "server/messages.h"

namespace {

using chatWire::kEndOfTalk;
using fdio::Fd;
using fdio::Io;
using fdio::readAll;
using fdio::sendAll;

constexpr std::size_t kNameKept = 9;
constexpr std::size_t kLineKept = 99;
constexpr std::int32_t kMaxNameLength = 1 << 20;
constexpr std::size_t kChunk = std::size_t{128} * 1024;
constexpr std::size_t kTalkBlock = std::size_t{64} * 1024;
// Attempts in a row that may move no image byte before the transfer is given up.
constexpr int kMaxIdleAttempts = 50;

// Reads and drops n bytes.
Io skip(int fd, std::size_t n) {
    std::array<char, 512> sink{};
    while (n > 0) {
        const std::size_t part = std::min(n, sink.size());
        const Io r = readAll(fd, sink.data(), part);
        if (r != Io::Done) return r;
        n -= part;
    }
    return Io::Done;
}

void reportTalkLoss(std::FILE *err, Io how) {
    chatWire::reportEnd(err, how, server_msg::kTalkClosed, server_msg::kTalkRead,
                        server_msg::kLinkLost);
}

// After an image write that moved nothing: true when it is worth another attempt (a
// transient shortage, within the bound), after a short pause; false to give up.
bool retryIdleWrite(int &idle) {
    if ((errno != EAGAIN && errno != ENOBUFS) || ++idle > kMaxIdleAttempts) return false;
    const timespec pause{0, 10'000'000};
    ::nanosleep(&pause, nullptr);
    return true;
}

// Sends n image bytes, retrying interrupted calls and, within the bound, idle ones.
bool sendImageChunk(int sock, const char *p, std::size_t n) {
    int idle = 0;
    while (n > 0) {
        const ssize_t put = ::send(sock, p, n, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EAGAIN;
            if (!retryIdleWrite(idle)) return false;
            continue;
        }
        idle = 0;
        p += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

// Size of the image to announce, or -1 when it cannot be sent, with errno telling why (0 for
// a file that is neither regular nor a directory). A failed open leaves its own errno.
std::int32_t imageSize(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : 0;
        return -1;
    }
    if (st.st_size < 0 || st.st_size > INT32_MAX) {
        errno = EFBIG;
        return -1;
    }
    return static_cast<std::int32_t>(st.st_size);
}

struct Sent {
    std::int32_t read = 0;  // bytes taken from the file
    std::int32_t sent = 0;  // bytes written on the connection
    enum class End { Whole, ConnectionFailed, FileShort } end = End::Whole;
    int error = 0;  // errno of the failed call, 0 when the file simply ended early
};

// Copies through a bounded buffer. Only bytes read from the file go out: when the file ends
// or fails before `size`, what was read is sent and the transfer stops there.
void copyThroughBuffer(int file, int sock, std::int32_t size, Sent &s) {
    std::vector<char> buf(kChunk);
    while (s.sent < size) {
        const std::size_t want = std::min(kChunk, static_cast<std::size_t>(size - s.sent));
        const ssize_t got = fdio::readUpTo(file, buf.data(), want);
        const std::size_t have = got > 0 ? static_cast<std::size_t>(got) : 0;
        if (have < want) {
            s.end = Sent::End::FileShort;
            s.error = got < 0 ? errno : 0;
        }
        s.read += static_cast<std::int32_t>(have);
        if (!sendImageChunk(sock, buf.data(), have)) {
            s.end = Sent::End::ConnectionFailed;
            s.error = errno;
            return;
        }
        s.sent += static_cast<std::int32_t>(have);
        if (s.end != Sent::End::Whole) return;
    }
}

// Moves the file with sendfile, so the image never passes through this process's memory.
// Exactly `size` bytes at most: a file that grows meanwhile sends no more than announced.
Sent sendImageBytes(int file, int sock, std::int32_t size) {
    Sent s;
    int idle = 0;
    while (s.sent < size) {
        const ssize_t put =
            ::sendfile(sock, file, nullptr, static_cast<std::size_t>(size - s.sent));
        if (put > 0) {
            s.read += static_cast<std::int32_t>(put);
            s.sent += static_cast<std::int32_t>(put);
            idle = 0;
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        // The file got shorter, sendfile does not serve this pair, or it cannot say which side
        // failed (EIO): finish by hand, which tells the file's end or failure from the socket's.
        if (put == 0 || errno == EINVAL || errno == ENOSYS || errno == ENOTSOCK || errno == EIO) {
            copyThroughBuffer(file, sock, size, s);
            return s;
        }
        if (!retryIdleWrite(idle)) {
            s.end = Sent::End::ConnectionFailed;
            s.error = errno;
            return s;
        }
    }
    return s;
}

// How many bytes to take off the talk connection next: the line up to and including its end
// byte when that has arrived, else all that has arrived. Looking before taking leaves what
// follows the line on the connection (for the next line, or for nobody after the last).
// 1 when nothing can be seen (the end, or no socket): the read then waits or meets the end
// itself. 0 when the connection failed, with errno set: a socket reports its failure once.
std::size_t nextLinePart(int sock, std::vector<char> &block) {
    ssize_t seen = -1;
    do {
        seen = ::recv(sock, block.data(), block.size(), MSG_PEEK);
    } while (seen < 0 && errno == EINTR);
    if (seen < 0 && errno != ENOTSOCK) return 0;
    if (seen <= 0) return 1;
    const auto begin = block.begin();
    const auto stop = begin + seen;
    const auto end = std::find_if(begin, stop, [](char c) {
        return c == '\n' || static_cast<unsigned char>(c) == kEndOfTalk;
    });
    return static_cast<std::size_t>(end - begin) + (end == stop ? 0 : 1);
}

}  // namespace

int server_detail::send_img_checked(int sock, std::FILE *out, std::FILE *err) {
    // Without O_NONBLOCK a FIFO would hold the open until a writer came; it is refused below.
    Fd file{::open(server_msg::kImageFile, O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    const std::int32_t size = imageSize(file.get());
    const int sizeErrno = errno;
    const chatWire::CountBytes announced = chatWire::countBytes(size);
    if (!sendAll(sock, announced.data(), announced.size())) {
        chatWire::reportFailure(err, sock, server_msg::kImageSend, server_msg::kLinkLost);
        return 0;
    }
    std::fprintf(out, server_msg::kImageSize, static_cast<long>(size));
    if (size < 0) {
        std::fprintf(out, server_msg::kSendProgress, static_cast<long>(size), -1, -1);
        std::fprintf(out, server_msg::kSendDone, -1);
        std::fflush(out);
        std::fprintf(err, server_msg::kNoImage, server_msg::kImageFile,
                     sizeErrno != 0 ? std::strerror(sizeErrno) : server_msg::kNotAFile);
        return 1;
    }
    const Sent s = sendImageBytes(file.get(), sock, size);
    std::fprintf(out, server_msg::kSendProgress, static_cast<long>(size), static_cast<int>(s.read),
                 static_cast<int>(s.sent));
    std::fprintf(out, server_msg::kSendDone, static_cast<int>(s.sent));
    if (s.end == Sent::End::Whole) return 1;
    std::fflush(out);
    errno = s.error;
    if (s.end == Sent::End::ConnectionFailed) {
        chatWire::reportFailure(err, sock, server_msg::kImageSend, server_msg::kLinkLost);
        return 0;
    }
    if (s.error != 0) chatWire::reportErrno(err, server_msg::kImageRead);
    std::fprintf(err, server_msg::kImageShort, static_cast<long>(size), static_cast<int>(s.read));
    return -1;
}

void send_img(int sock) {
    server_detail::send_img_checked(sock);
}

int server_detail::read_header_checked(int sock, char *name, std::FILE *err) {
    name[0] = '\0';
    chatWire::CountBytes count{};
    Io r = readAll(sock, count.data(), count.size());
    if (r != Io::Done) {
        reportTalkLoss(err, r);
        return 0;
    }
    const std::int32_t length = chatWire::countFrom(count);
    if (length < 0 || length > kMaxNameLength) {
        std::fprintf(err, server_msg::kBadName, static_cast<long>(length));
        return 0;
    }
    const std::size_t n = static_cast<std::size_t>(length);
    const std::size_t kept = std::min(n, kNameKept);
    r = readAll(sock, name, kept);
    if (r == Io::Done) r = skip(sock, n - kept);
    if (r != Io::Done) {
        name[0] = '\0';
        reportTalkLoss(err, r);
        return 0;
    }
    name[kept] = '\0';
    return 1;
}

void read_header(int sock, char *name) {
    server_detail::read_header_checked(sock, name);
}

int server_detail::read_chat_line(int sock, char *line, unsigned char *last, std::FILE *err) {
    std::vector<char> block(kTalkBlock);
    std::size_t kept = 0;
    unsigned char byte = 0;
    do {
        const std::size_t n = nextLinePart(sock, block);
        const Io r = n == 0 ? Io::Failed : readAll(sock, block.data(), n);
        if (r != Io::Done) {
            line[kept] = '\0';
            reportTalkLoss(err, r);
            return 0;
        }
        const std::size_t take = std::min(n, kLineKept - kept);
        std::memcpy(line + kept, block.data(), take);
        kept += take;
        byte = static_cast<unsigned char>(block[n - 1]);
    } while (byte != '\n' && byte != kEndOfTalk);
    line[kept] = '\0';
    *last = byte;
    return 1;
}
