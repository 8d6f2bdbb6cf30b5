// Tests that need root's powers (a mount namespace, another file owner) skip with their reason
// when run by an unprivileged user, as Debian builds run tests; the root pass runs them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

// Skips the current test unless it runs as root: TGATEST_NEEDS_ROOT("changes a file's owner").
#define TGATEST_NEEDS_ROOT(why)                                                     \
    do {                                                                            \
        if (::geteuid() != 0)                                                       \
            GTEST_SKIP() << "needs root (" << (why) << "), uid is " << ::geteuid(); \
    } while (false)
