// Descriptor I/O: the one owning descriptor of the toolkit (image store, image bank, chat
// programs, tests), and whole reads and writes that survive short transfers and interrupted
// calls.
// Header only and internal: nothing here is installed.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace fdio {

// A file or socket descriptor, closed when it goes away.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd &operator=(Fd &&other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() { static_cast<void>(close()); }
    // Closes now; false when the system reports that written data could not be stored.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

enum class Io { Done, Closed, Failed };

// Reads exactly n bytes, retrying on EINTR; 0 from read means the peer left.
inline Io readAll(int fd, void *data, std::size_t n) {
    auto *p = static_cast<unsigned char *>(data);
    while (n > 0) {
        const ssize_t got = ::read(fd, p, n);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Io::Failed;
        if (got == 0) return Io::Closed;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return Io::Done;
}

// Reads up to n bytes, retrying interrupted and partial reads, so fewer come only at the end
// of the file. Returns the count read, or -1 on a read error (errno tells why; what was read
// before it is in `data`).
inline ssize_t readUpTo(int fd, void *data, std::size_t n) {
    auto *p = static_cast<unsigned char *>(data);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, p + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

// Sends n bytes on a blocking socket, whatever the kernel takes per call; without SIGPIPE, so
// a peer that has gone shows as a failed send.
inline bool sendAll(int sock, const void *data, std::size_t n) {
    const auto *p = static_cast<const unsigned char *>(data);
    while (n > 0) {
        const ssize_t put = ::send(sock, p, n, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

// Writes n bytes to a file, pipe or socket, whatever the kernel takes per call.
inline bool writeAll(int fd, const void *data, std::size_t n) {
    const auto *p = static_cast<const unsigned char *>(data);
    while (n > 0) {
        const ssize_t put = ::write(fd, p, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace fdio
