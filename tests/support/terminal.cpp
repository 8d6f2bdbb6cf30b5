// The test terminal: a raw pseudo-terminal read from its master end.
#include "tests/support/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace tgatest {

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

Terminal::Terminal() {
    master_ = netio::Fd{::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)};
    if (!master_ || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0)
        throw std::runtime_error("Terminal: no pseudo-terminal");
    const char *name = ::ptsname(master_.get());
    if (name != nullptr) slave_ = netio::Fd{::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)};
    termios mode{};
    if (!slave_ || ::tcgetattr(slave_.get(), &mode) != 0)
        throw std::runtime_error("Terminal: cannot open the slave end");
    ::cfmakeraw(&mode);
    ::tcsetattr(slave_.get(), TCSANOW, &mode);
}

bool Terminal::take(Ms limit) {
    pollfd p{master_.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) return false;
    std::array<char, 4096> buf{};
    const ssize_t n = ::read(master_.get(), buf.data(), buf.size());
    if (n > 0) shown_.append(buf.data(), static_cast<std::size_t>(n));
    return n > 0;
}

bool Terminal::waitFor(std::string_view text, Ms limit) {
    const auto deadline = Clock::now() + limit;
    while (shown_.find(text) == std::string::npos && Clock::now() < deadline)
        take(std::chrono::duration_cast<Ms>(deadline - Clock::now()));
    return shown_.find(text) != std::string::npos;
}

const std::string &Terminal::shown() {
    while (take(Ms{0})) {
    }
    return shown_;
}

}  // namespace tgatest
