// Helpers shared by the fuzz targets: a private working directory, quiet standard streams,
// whole-file I/O and the check that turns a wrong result into a recorded crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tgafuzz {

// Once per process (from LLVMFuzzerInitialize): makes a fresh scratch directory (removed at
// exit), reads the standard input from /dev/null, throws the standard output away (the
// modules print progress there) and ignores SIGPIPE so a write to a closed socket comes back
// as an error instead of ending the run.
void setUp();

// The absolute path of `name` in the scratch directory.
std::string scratchFile(const char *name);

// Makes the scratch directory the working directory for its lifetime, for code that works
// on fixed relative paths. (libFuzzer itself resolves its paths in the caller's directory.)
class InScratch {
  public:
    InScratch();
    ~InScratch();
    InScratch(const InScratch &) = delete;
    InScratch &operator=(const InScratch &) = delete;

  private:
    int home_;
};

// Replaces the file at `path` by `bytes`.
void writeFile(const char *path, std::span<const std::uint8_t> bytes);

// The whole file, or an empty string when it cannot be read.
std::string readFile(const char *path);

// A file descriptor closed when it goes away.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd();
    Fd(Fd &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd &operator=(Fd &&) = delete;
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The reading end of a local stream socket pair that holds `bytes` and then ends, as a peer
// that sent them and closed its side would leave it. `bytes` must fit the socket buffer.
Fd streamOf(std::span<const std::uint8_t> bytes);

// Everything still readable on `fd` up to the end of the stream.
std::string drain(int fd);

// The C text that `bytes` make: everything before the first zero byte.
inline std::string cText(const std::string &bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// Prints what failed and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const char *what, const char *file, int line);

}  // namespace tgafuzz

#define FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::tgafuzz::fail(#cond, __FILE__, __LINE__))
