// Descriptor plumbing: the one owning descriptor of the toolkit (image bank, chat programs,
// tests), whole reads and writes that survive short transfers and interrupted calls, and the
// chat programs' port argument.
// Header only and internal: nothing here is installed.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace netio {

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

// A port argument: decimal digits only, with a value from 1 to 65535. Nothing for anything
// else (an empty text, a sign, blanks, other characters, 0, a greater value).
inline std::optional<std::uint16_t> portFromText(const char *text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    std::uint32_t value = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return std::nullopt;
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
        if (value > 0xFFFFu) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace netio
