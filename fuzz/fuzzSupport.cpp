#include "fuzz/fuzzSupport.h"

#include "tests/support/tempdir.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tgatest {

namespace {

// Made on first use, removed at exit.
const std::filesystem::path &scratch() {
    static const TempDir dir;
    return dir.path();
}

}  // namespace

void setUp() {
    static_cast<void>(scratch());
    if (std::freopen("/dev/null", "r", stdin) == nullptr ||
        std::freopen("/dev/null", "w", stdout) == nullptr) {
        fail("opening /dev/null", __FILE__, __LINE__);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

std::string scratchFile(const char *name) {
    return (scratch() / name).string();
}

InScratch::InScratch() : home_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (!home_ || ::chdir(scratch().c_str()) != 0)
        fail("entering the scratch directory", __FILE__, __LINE__);
}

InScratch::~InScratch() {
    if (::fchdir(home_.get()) != 0) fail("leaving the scratch directory", __FILE__, __LINE__);
}

fdio::Fd streamOf(std::span<const std::uint8_t> bytes) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) fail("socketpair", __FILE__, __LINE__);
    fdio::Fd reader{ends[0]};
    fdio::Fd writer{ends[1]};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(writer.get(), bytes.data() + done, bytes.size() - done);
        if (put <= 0) fail("filling the socket pair", __FILE__, __LINE__);
        done += static_cast<std::size_t>(put);
    }
    return reader;
}

std::string drain(int fd) {
    std::string rest;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) return rest;
        rest.append(chunk, static_cast<std::size_t>(got));
    }
}

void fail(const char *what, const char *file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

}  // namespace tgatest
