// The chat server's transfers: image sending, name headers and chat lines.
#include "server/server.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "netio/netio.h"
#include "server/messages.h"

namespace {

using netio::Fd;
using netio::Io;
using netio::kMaxIdleAttempts;
using netio::readAll;
using netio::writeAll;

constexpr char kImagePath[] = "input/vorla.tga";
constexpr std::size_t kNameKept = 9;
constexpr std::size_t kLineKept = 99;
constexpr std::int32_t kMaxNameLength = 1 << 20;
constexpr std::size_t kChunk = std::size_t{128} * 1024;
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

void reportTalkLoss(Io how) {
    if (how == Io::Closed)
        std::fputs(server_msg::kTalkClosed, stderr);
    else
        std::perror(server_msg::kTalkRead);
}

// Size of the image to announce, or -1 when it cannot be sent.
std::int32_t imageSize(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    if (st.st_size < 0 || st.st_size > INT32_MAX) return -1;
    return static_cast<std::int32_t>(st.st_size);
}

struct Sent {
    std::int32_t read = 0;  // bytes taken from the file
    std::int32_t sent = 0;  // bytes written on the connection
    bool ok = true;
};

// Copies through a bounded buffer; bytes the file no longer has go out as zeros, so the
// client still gets exactly the size it was promised.
void copyThroughBuffer(int file, int sock, std::int32_t size, Sent &s) {
    std::vector<char> buf(kChunk);
    bool fileEnded = false;
    while (s.sent < size) {
        const std::size_t want = std::min(kChunk, static_cast<std::size_t>(size - s.sent));
        std::size_t have = 0;
        while (!fileEnded && have < want) {
            const ssize_t got = ::read(file, buf.data() + have, want - have);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                fileEnded = true;
                break;
            }
            have += static_cast<std::size_t>(got);
        }
        std::fill(buf.begin() + static_cast<std::ptrdiff_t>(have),
                  buf.begin() + static_cast<std::ptrdiff_t>(want), '\0');
        s.read += static_cast<std::int32_t>(have);
        if (!writeAll(sock, buf.data(), want)) {
            s.ok = false;
            return;
        }
        s.sent += static_cast<std::int32_t>(want);
    }
}

// Moves the file with sendfile, so the image never passes through this process's memory.
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
        // The file got shorter, or sendfile does not serve this pair: finish by hand.
        if (put == 0 || errno == EINVAL || errno == ENOSYS || errno == ENOTSOCK) {
            copyThroughBuffer(file, sock, size, s);
            return s;
        }
        if ((errno != EAGAIN && errno != ENOBUFS) || ++idle > kMaxIdleAttempts) {
            s.ok = false;
            return s;
        }
        const timespec pause{0, 10'000'000};
        ::nanosleep(&pause, nullptr);
    }
    return s;
}

}  // namespace

int send_img_checked(int sock) {
    Fd file{::open(kImagePath, O_RDONLY | O_CLOEXEC)};
    const std::int32_t size = imageSize(file.get());
    if (!writeAll(sock, &size, sizeof size)) {
        std::perror(server_msg::kImageSend);
        return 0;
    }
    std::printf(server_msg::kImageSize, static_cast<long>(size));
    if (size < 0) {
        std::printf(server_msg::kSendProgress, static_cast<long>(size), -1, -1);
        std::printf(server_msg::kSendDone, -1);
        return 1;
    }
    const Sent s = sendImageBytes(file.get(), sock, size);
    const int sendErrno = errno;
    std::printf(server_msg::kSendProgress, static_cast<long>(size), static_cast<int>(s.read),
                static_cast<int>(s.sent));
    std::printf(server_msg::kSendDone, static_cast<int>(s.sent));
    if (!s.ok) {
        std::fflush(stdout);
        errno = sendErrno;
        std::perror(server_msg::kImageSend);
        return 0;
    }
    return 1;
}

void send_img(int sock) {
    send_img_checked(sock);
}

int read_header_checked(int sock, char *name) {
    name[0] = '\0';
    std::int32_t length = 0;
    Io r = readAll(sock, &length, sizeof length);
    if (r != Io::Done) {
        reportTalkLoss(r);
        return 0;
    }
    if (length < 0 || length > kMaxNameLength) {
        std::fprintf(stderr, server_msg::kBadName, static_cast<long>(length));
        return 0;
    }
    const std::size_t n = static_cast<std::size_t>(length);
    const std::size_t kept = std::min(n, kNameKept);
    r = readAll(sock, name, kept);
    if (r == Io::Done) r = skip(sock, n - kept);
    if (r != Io::Done) {
        name[0] = '\0';
        reportTalkLoss(r);
        return 0;
    }
    name[kept] = '\0';
    return 1;
}

void read_header(int sock, char *name) {
    read_header_checked(sock, name);
}

int read_chat_line(int sock, char *line, unsigned char *last) {
    std::size_t kept = 0;
    unsigned char byte = 0;
    do {
        const Io r = readAll(sock, &byte, 1);
        if (r != Io::Done) {
            line[kept] = '\0';
            reportTalkLoss(r);
            return 0;
        }
        if (kept < kLineKept) line[kept++] = static_cast<char>(byte);
    } while (byte != '\n' && byte != 0xFF);
    line[kept] = '\0';
    *last = byte;
    return 1;
}
