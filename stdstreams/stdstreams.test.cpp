// The standard-stream contract: missing descriptors never let output vanish, and output that
// could not be written is reported with the reason of its first failure.
#include "stdstreams/stdstreams.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Ended {
    int status = -1;
    std::string err;
};

// Runs `body` in a child whose standard error is a pipe read back here; its exit status and
// what it said there.
template <class Body>
Ended inChild(Body body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        std::_Exit(body());
    }
    ::close(pipeFds[1]);
    Ended e;
    char buf[256];
    for (ssize_t got; (got = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
        e.err.append(buf, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    e.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return e;
}

TEST(stdstreams, ClosedStreamsAreHeldSoOutputFailsAndInputEnds) {
    const Ended e = inChild([] {
        ::close(STDIN_FILENO);
        ::close(STDOUT_FILENO);
        stdstreams::openMissing();
        // A file opened now cannot take the place of the standard output.
        const int file = ::open("/dev/null", O_WRONLY);
        if (file <= STDERR_FILENO) return 10;
        if (std::getchar() != EOF) return 11;
        std::puts("lost");
        return stdstreams::finish("prog", 0);
    });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.err, "prog: Bad file descriptor\n");
}

TEST(stdstreams, FinishKeepsTheStatusOrReportsTheFirstFailure) {
    EXPECT_EQ(inChild([] {
                  std::puts("fine");
                  return stdstreams::finish("prog", 3);
              }).status,
              3);
    const Ended full = inChild([] {
        if (std::freopen("/dev/full", "w", stdout) == nullptr) return 10;
        std::puts("lost");
        if (stdstreams::flush()) return 11;
        // A later failure of another kind does not replace the first reason.
        errno = EBADF;
        return stdstreams::finish("prog", 0);
    });
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "prog: No space left on device\n");
}

}  // namespace
