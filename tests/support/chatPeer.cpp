// Test support for the chat programs.
#include "tests/support/chatPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace tgatest {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

sockaddr_in loopback(std::uint16_t port) {
    return chatWire::ipv4Address(INADDR_LOOPBACK, port);
}

// `text` (an address of either family) at `port` in `addr`; its family, AF_UNSPEC when it is
// no address.
int socketAddress(const char *text, std::uint16_t port, sockaddr_storage &addr, socklen_t &length) {
    auto &a4 = reinterpret_cast<sockaddr_in &>(addr);
    auto &a6 = reinterpret_cast<sockaddr_in6 &>(addr);
    if (::inet_pton(AF_INET, text, &a4.sin_addr) == 1) {
        a4.sin_family = AF_INET;
        a4.sin_port = htons(port);
        length = sizeof a4;
    } else if (::inet_pton(AF_INET6, text, &a6.sin6_addr) == 1) {
        a6.sin6_family = AF_INET6;
        a6.sin6_port = htons(port);
        length = sizeof a6;
    }
    return addr.ss_family;
}

}  // namespace

SocketPair socketPair() {
    std::array<int, 2> fds{};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds.data()) != 0)
        throw std::runtime_error("socketPair: socketpair failed");
    return {Fd{fds[0]}, Fd{fds[1]}};
}

Pipe consolePipe() {
    std::array<int, 2> fds{};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) throw std::runtime_error("consolePipe: pipe failed");
    return {Fd{fds[0]}, Fd{fds[1]}};
}

Printout::Printout(Kind kind) {
    std::array<int, 2> fds{-1, -1};  // the read end, the printing end
    if (kind == Kind::Pipe) {
        if (::pipe2(fds.data(), O_CLOEXEC) != 0) throw std::runtime_error("Printout: pipe failed");
    } else {
        fds[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        const char *name = fds[0] < 0 || ::grantpt(fds[0]) != 0 || ::unlockpt(fds[0]) != 0
                               ? nullptr
                               : ::ptsname(fds[0]);
        if (name != nullptr) fds[1] = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        if (fds[1] < 0 || ::tcgetattr(fds[1], &mode) != 0) {
            if (fds[0] >= 0) ::close(fds[0]);
            if (fds[1] >= 0) ::close(fds[1]);
            throw std::runtime_error("Printout: no pseudo-terminal");
        }
        ::cfmakeraw(&mode);
        ::tcsetattr(fds[1], TCSANOW, &mode);
    }
    read_ = Fd{fds[0]};
    file_ = ::fdopen(fds[1], "w");
    if (file_ == nullptr) {
        ::close(fds[1]);
        throw std::runtime_error("Printout: fdopen failed");
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);  // every message in the pipe as it is printed
}

Printout::~Printout() {
    std::fclose(file_);
}

bool Printout::pump(Ms limit) {
    pollfd p{read_.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) return false;
    std::array<char, 65536> buf{};
    const ssize_t n = ::read(read_.get(), buf.data(), buf.size());
    if (n > 0) got_.append(buf.data(), static_cast<std::size_t>(n));
    return n > 0;
}

bool Printout::waitFor(std::string_view text, Ms limit, std::size_t from) {
    const auto deadline = Clock::now() + limit;
    while (got_.find(text, from) == std::string::npos)
        if (!pump(Ms{msLeft(deadline)}) && Clock::now() >= deadline) return false;
    return true;
}

const std::string &Printout::text() {
    std::fflush(file_);
    while (pump(Ms{0})) {
    }
    return got_;
}

InDirectory::InDirectory(const std::filesystem::path &dir)
    : home_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
}

InDirectory::~InDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(home_, ignored);
}

bool enterPrivateNetwork() {
    // Unprivileged (as Debian builds run tests), a user namespace of its own still gives the
    // test a network of its own where the system allows it.
    if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
    Fd s{::socket(AF_INET, SOCK_DGRAM, 0)};
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    if (::ioctl(s.get(), SIOCGIFFLAGS, &ifr) != 0) return false;
    ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP);
    return ::ioctl(s.get(), SIOCSIFFLAGS, &ifr) == 0;
}

int tryConnect(std::uint16_t port) {
    Fd s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    const sockaddr_in addr = loopback(port);
    if (::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0) return 0;
    return errno;
}

Fd connectTo(std::uint16_t port, Ms limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        Fd s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
        const sockaddr_in addr = loopback(port);
        if (::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0)
            return s;
        if (Clock::now() >= deadline) return Fd{};
        std::this_thread::sleep_for(10ms);
    }
}

Fd connectFrom(const char *source, std::uint16_t port, const char *to) {
    sockaddr_storage local{}, addr{};
    socklen_t length = 0;
    const int family = socketAddress(to, port, addr, length);
    Fd s{::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (socketAddress(source, 0, local, length) != family ||
        ::bind(s.get(), reinterpret_cast<const sockaddr *>(&local), length) != 0 ||
        ::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), length) != 0)
        return Fd{};
    return s;
}

bool waitListening(std::uint16_t port, Ms limit) {
    // /proc/net/tcp and tcp6 list this network's sockets: "sl local_address rem_address st ...",
    // addresses as hex "ADDR:PORT", state 0A for a listening socket.
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
    const auto deadline = Clock::now() + limit;
    for (;;) {
        for (const char *path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            std::ifstream table(path);
            std::string line;
            std::getline(table, line);  // the column titles
            while (std::getline(table, line)) {
                std::istringstream fields(line);
                std::string slot, local, remote, state;
                fields >> slot >> local >> remote >> state;
                if (local.ends_with(wanted) && state == "0A") return true;
            }
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

Fd listenOn(std::uint16_t port, const char *at) {
    sockaddr_storage addr{};
    socklen_t length = 0;
    const int family = socketAddress(at, port, addr, length);
    Fd s{::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    const int yes = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (family == AF_INET6) ::setsockopt(s.get(), IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
    if (::bind(s.get(), reinterpret_cast<const sockaddr *>(&addr), length) != 0 ||
        ::listen(s.get(), 4) != 0)
        throw std::runtime_error("listenOn: port " + std::to_string(port) + " is taken");
    return s;
}

Fd acceptFrom(const Fd &listener, Ms limit) {
    pollfd p{listener.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) return Fd{};
    return Fd{::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC)};
}

void sendBytes(const Fd &s, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(s.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("sendBytes: the peer is gone");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string recvBytes(const Fd &s, std::size_t n, Ms limit) {
    const auto deadline = Clock::now() + limit;
    std::string got;
    std::array<char, 65536> buf{};
    while (got.size() < n) {
        pollfd p{s.get(), POLLIN, 0};
        if (::poll(&p, 1, msLeft(deadline)) != 1) break;
        const ssize_t r = ::recv(s.get(), buf.data(), std::min(buf.size(), n - got.size()), 0);
        if (r <= 0) break;
        got.append(buf.data(), static_cast<std::size_t>(r));
    }
    return got;
}

bool closedByPeer(const Fd &s, Ms limit) {
    pollfd p{s.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) return false;
    char c = 0;
    return ::recv(s.get(), &c, 1, 0) <= 0;
}

std::string count32(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    return {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8 & 0xFF),
            static_cast<char>(u >> 16 & 0xFF), static_cast<char>(u >> 24 & 0xFF)};
}

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

}  // namespace tgatest
