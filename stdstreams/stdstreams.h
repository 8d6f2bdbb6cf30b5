// The standard streams of the toolkit's programs: descriptors 0 to 2 made safe at start-up,
// output that could not be written reported at the end instead of a silent success, and an
// exception that would escape main reported as a failure.
// Header only and internal: nothing here is installed.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

namespace stdstreams {

// Opens /dev/null read-only on each of descriptors 0, 1 and 2 that is closed, so that no file
// or socket the program creates later takes the place of a standard stream. A closed input
// then reads as ended; output to a closed one fails (EBADF) and is reported as lost, never
// thrown away as if it had been written. Call first in main.
inline void openMissing() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is taken, which is fd since the lower ones are open.
        const int opened = ::open("/dev/null", O_RDONLY);
        if (opened != fd) std::_Exit(EXIT_FAILURE);
    }
}

// The reason of the standard output's first failure, 0 while it has none.
inline int &outputError() {
    static int error = 0;
    return error;
}

// Flushes the standard output now; false when anything printed so far did not reach it. The
// reason of the first failure is kept for finish, so that later work cannot overwrite it.
inline bool flush() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    // A failure met by an earlier write leaves its reason in errno, as a failed flush does.
    if (outputError() == 0) outputError() = errno != 0 ? errno : EIO;
    return false;
}

// The program's exit status once its standard output is flushed: `status` when everything
// printed reached it; otherwise "<program>: <reason>" on the standard error and 1.
inline int finish(const char *program, int status) {
    if (flush()) return status;
    errno = outputError();
    std::perror(program);
    return EXIT_FAILURE;
}

// Ends a program whose main met an exception: what it printed is flushed, "<program>: <reason>"
// goes to the standard error and the status is 1. Every program's main is a function-try-block
// whose handler is `catch (...) { return stdstreams::escaped("<program>"); }`, so no exception
// leaves main and the objects of main (a file being written) are cleaned up first.
inline int escaped(const char *program) noexcept {
    flush();
    try {
        if (const std::exception_ptr current = std::current_exception())
            std::rethrow_exception(current);
        std::fprintf(stderr, "%s: %s\n", program, "unknown exception");
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: %s\n", program, std::strerror(ENOMEM));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: %s\n", program, "unknown exception");
    }
    return EXIT_FAILURE;
}

}  // namespace stdstreams
