// Test support for the chat programs.
#include "tests/support/chatPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace chattest {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

sockaddr_in loopback(std::uint16_t port) {
    return netio::ipv4Address(INADDR_LOOPBACK, port);
}

void closeFd(int &fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

bool enterPrivateNetwork() {
    if (::unshare(CLONE_NEWNET) != 0) return false;
    Sock s{::socket(AF_INET, SOCK_DGRAM, 0)};
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    if (::ioctl(s.get(), SIOCGIFFLAGS, &ifr) != 0) return false;
    ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP);
    return ::ioctl(s.get(), SIOCSIFFLAGS, &ifr) == 0;
}

Sock::~Sock() {
    close();
}

Sock &Sock::operator=(Sock &&other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void Sock::close() {
    closeFd(fd_);
}

Child::Child(const std::vector<std::string> &argv, const std::filesystem::path &cwd) {
    std::array<int, 2> in{}, out{}, err{};
    if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
        ::pipe2(err.data(), O_CLOEXEC) != 0)
        throw std::runtime_error("Child: pipe failed");
    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("Child: fork failed");
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::signal(SIGPIPE, SIG_DFL);
        if (::chdir(cwd.c_str()) != 0) ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    outFd_ = out[0];
    errFd_ = err[0];
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeFd(in_);
    closeFd(outFd_);
    closeFd(errFd_);
}

void Child::type(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(in_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("Child: cannot write its input");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void Child::endInput() {
    closeFd(in_);
}

bool Child::pump(Ms limit) {
    std::array<pollfd, 2> fds{{{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}}};
    if (outFd_ < 0 && errFd_ < 0) return false;
    if (::poll(fds.data(), fds.size(), static_cast<int>(limit.count())) <= 0) return true;
    std::array<char, 65536> buf{};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        int &fd = i == 0 ? outFd_ : errFd_;
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n > 0)
            (i == 0 ? out_ : err_).append(buf.data(), static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            closeFd(fd);
    }
    return true;
}

bool Child::waitFor(const std::string &stream, std::string_view text, Ms limit, std::size_t from) {
    const auto deadline = Clock::now() + limit;
    while (stream.find(text, from) == std::string::npos) {
        if (Clock::now() >= deadline || !pump(Ms{msLeft(deadline)})) break;
    }
    return stream.find(text, from) != std::string::npos;
}

bool Child::waitOut(std::string_view text, Ms limit, std::size_t from) {
    return waitFor(out_, text, limit, from);
}
bool Child::waitErr(std::string_view text, Ms limit, std::size_t from) {
    return waitFor(err_, text, limit, from);
}

int Child::wait(Ms limit) {
    const auto deadline = Clock::now() + limit;
    int status = 0;
    bool killed = false;
    for (;;) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) break;
        if (Clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            killed = true;
            break;
        }
        if (!pump(10ms)) std::this_thread::sleep_for(5ms);
    }
    pid_ = -1;
    while (pump(200ms) && (outFd_ >= 0 || errFd_ >= 0)) {
    }
    if (killed || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int tryConnect(std::uint16_t port) {
    Sock s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    const sockaddr_in addr = loopback(port);
    if (::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0) return 0;
    return errno;
}

Sock connectTo(std::uint16_t port, Ms limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        Sock s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
        const sockaddr_in addr = loopback(port);
        if (::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0)
            return s;
        if (Clock::now() >= deadline) return Sock{};
        std::this_thread::sleep_for(10ms);
    }
}

Sock connectFrom(const char *source, std::uint16_t port) {
    Sock s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    in_addr from{};
    ::inet_pton(AF_INET, source, &from);
    const sockaddr_in local = netio::ipv4Address(from, 0);
    const sockaddr_in addr = loopback(port);
    if (::bind(s.get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0 ||
        ::connect(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
        return Sock{};
    return s;
}

bool waitListening(std::uint16_t port, Ms limit) {
    // /proc/net/tcp lists this network's sockets: "sl local_address rem_address st ...",
    // addresses as hex "ADDR:PORT", state 0A for a listening socket.
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
    const auto deadline = Clock::now() + limit;
    for (;;) {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        std::getline(table, line);  // the column titles
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (local.ends_with(wanted) && state == "0A") return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

Sock listenOn(std::uint16_t port) {
    Sock s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    const int yes = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const sockaddr_in addr = loopback(port);
    if (::bind(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(s.get(), 4) != 0)
        throw std::runtime_error("listenOn: port " + std::to_string(port) + " is taken");
    return s;
}

Sock acceptFrom(const Sock &listener, Ms limit) {
    pollfd p{listener.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) return Sock{};
    return Sock{::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC)};
}

void sendBytes(const Sock &s, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(s.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("sendBytes: the peer is gone");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string recvBytes(const Sock &s, std::size_t n, Ms limit) {
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

bool closedByPeer(const Sock &s, Ms limit) {
    pollfd p{s.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) return false;
    char c = 0;
    return ::recv(s.get(), &c, 1, 0) <= 0;
}

std::string count32(std::int32_t value) {
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

}  // namespace chattest
