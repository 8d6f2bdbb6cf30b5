#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tgafuzz {

namespace {

std::filesystem::path &scratch() {
    static std::filesystem::path dir;
    return dir;
}

void removeScratch() {
    std::error_code ec;
    if (!scratch().empty()) std::filesystem::remove_all(scratch(), ec);
}

}  // namespace

void setUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tgakit-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        fail("making the scratch directory", __FILE__, __LINE__);
    scratch() = pattern;
    std::atexit(removeScratch);
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
    if (home_ < 0 || ::chdir(scratch().c_str()) != 0)
        fail("entering the scratch directory", __FILE__, __LINE__);
}

InScratch::~InScratch() {
    if (::fchdir(home_) != 0) fail("leaving the scratch directory", __FILE__, __LINE__);
    ::close(home_);
}

void writeFile(const char *path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) fail("writing the scratch file", __FILE__, __LINE__);
}

std::string readFile(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

Fd streamOf(std::span<const std::uint8_t> bytes) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) fail("socketpair", __FILE__, __LINE__);
    Fd reader{ends[0]};
    Fd writer{ends[1]};
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

}  // namespace tgafuzz
