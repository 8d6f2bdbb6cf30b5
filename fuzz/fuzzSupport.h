// Helpers shared by the fuzz targets: a private working directory, quiet standard streams,
// byte streams to read from, and the check that turns a wrong result into a recorded crash.
// Whole-file I/O (tests/support/files.h) and the descriptor owner (fdio::Fd) are the tests'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fdio/fdio.h"
#include "tests/support/files.h"

namespace tgatest {

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
    fdio::Fd home_;
};

// The reading end of a local stream socket pair that holds `bytes` and then ends, as a peer
// that sent them and closed its side would leave it. `bytes` must fit the socket buffer.
fdio::Fd streamOf(std::span<const std::uint8_t> bytes);

// Everything still readable on `fd` up to the end of the stream.
std::string drain(int fd);

// The C text that `bytes` make: everything before the first zero byte.
inline std::string cText(const std::string &bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// Prints what failed and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const char *what, const char *file, int line);

}  // namespace tgatest

#define FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::tgatest::fail(#cond, __FILE__, __LINE__))
