// The new-file contract: written aside, renamed over its name once complete, the old file kept
// on failure, nothing left behind, with an unnamed file and with a named one.
#include "fileio/fileio.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/tempdir.h"

namespace {

using fileio::Naming;

// The names in a directory, sorted, each followed by a space.
std::string names(const tgatest::TempDir &dir) {
    std::string joined;
    std::vector<std::string> all;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        all.push_back(entry.path().filename().string());
    std::sort(all.begin(), all.end());
    for (const auto &name : all)
        joined += name + " ";
    return joined;
}

mode_t modeOf(const std::filesystem::path &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class NewFile : public testing::TestWithParam<Naming> {
  protected:
    std::string pattern() const { return (dir_ / ".image.XXXXXX").string(); }
    std::string target() const { return (dir_ / "image").string(); }
    tgatest::TempDir dir_;
};

TEST_P(NewFile, TakesItsNameOnlyOnceCompleteWithTheReplacedFilesMode) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const fileio::Sync sync : {fileio::Sync::no, fileio::Sync::yes}) {
        std::filesystem::remove(target());
        fileio::NewFile file(pattern(), GetParam());
        ASSERT_NE(file.stream(), nullptr);
        EXPECT_EQ(file.unnamed(), GetParam() == Naming::unnamedFirst);
        std::fputs("new", file.stream());
        struct stat pending {};
        ASSERT_EQ(::fstat(::fileno(file.stream()), &pending), 0);
        EXPECT_EQ(pending.st_mode & 0777, 0600u);  // its owner's alone until kept
        EXPECT_FALSE(std::filesystem::exists(target()));
        EXPECT_EQ(file.keepAs(target().c_str(), 0, sync), 0);
        EXPECT_EQ(tgatest::readFile(target()), "new");
        EXPECT_EQ(modeOf(target()), 0666 & ~mask);  // a new file: a plain create's mode
        EXPECT_EQ(names(dir_), "image ");
    }
    // A regular file replaced passes on its permission bits.
    ASSERT_EQ(::chmod(target().c_str(), 0640), 0);
    fileio::NewFile file(pattern(), GetParam());
    std::fputs("newer", file.stream());
    EXPECT_EQ(file.keepAs(target().c_str()), 0);
    EXPECT_EQ(tgatest::readFile(target()), "newer");
    EXPECT_EQ(modeOf(target()), 0640);
}

TEST_P(NewFile, FailureKeepsTheOldFileAndLeavesNothing) {
    tgatest::writeFile(target(), "old");
    {
        fileio::NewFile dropped(pattern(), GetParam());  // never kept
        std::fputs("lost", dropped.stream());
    }
    fileio::NewFile failed(pattern(), GetParam());
    std::fputs("half", failed.stream());
    EXPECT_EQ(failed.keepAs(target().c_str(), ENOSPC), ENOSPC);  // a write already failed
    EXPECT_EQ(tgatest::readFile(target()), "old");
    EXPECT_EQ(names(dir_), "image ");

    std::filesystem::create_directory(dir_ / "busy");
    tgatest::writeFile(dir_ / "busy/inside", "");
    fileio::NewFile blocked(pattern(), GetParam());
    EXPECT_NE(blocked.keepAs((dir_ / "busy").c_str()), 0);  // a non-empty directory stays
    EXPECT_EQ(names(dir_), "busy image ");

    fileio::NewFile nowhere((dir_ / "missing/.image.XXXXXX").string(), GetParam());
    EXPECT_EQ(nowhere.stream(), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

volatile sig_atomic_t delivered = 0;

// Whether a raised `sig` reaches this process: an emulator may keep the highest real-time
// signals for itself.
bool deliverable(int sig) {
    struct sigaction mine {
    }, old{};
    mine.sa_handler = [](int got) { delivered = got; };
    delivered = 0;
    if (::sigaction(sig, &mine, &old) != 0) return false;
    ::raise(sig);
    ::sigaction(sig, &old, nullptr);
    return delivered == sig;
}

// Every asynchronous signal whose default action ends the process, as far as it can be raised
// here, and SIGKILL.
std::vector<int> endingSignals() {
    std::vector<int> all{SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                         SIGVTALRM, SIGPROF, SIGPOLL, SIGXCPU, SIGPWR,  SIGPIPE};
#ifdef SIGSTKFLT
    all.push_back(SIGSTKFLT);
#endif
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        all.push_back(sig);
    std::erase_if(all, [](int sig) { return !deliverable(sig); });
    all.push_back(SIGKILL);
    return all;
}

// A signal with its default action ends the process; the file's name, if it had one, goes.
// SIGKILL cannot be caught: only an unnamed file leaves nothing then. A caller's own handler
// is not replaced.
TEST_P(NewFile, DeathBySignalLeavesNothing) {
    tgatest::writeFile(target(), "old");
    const rlimit noCore{0, 0};
    for (const int sig : endingSignals()) {
        if (sig == SIGKILL && GetParam() == Naming::namedOnly) continue;
        tgatest::Child child([&] {
            ::setrlimit(RLIMIT_CORE, &noCore);
            fileio::NewFile file(pattern(), GetParam());
            std::fputs("half", file.stream());
            std::fflush(file.stream());
            ::raise(sig);
        });
        EXPECT_EQ(child.wait(), -1);
        EXPECT_EQ(child.termSignal(), sig);
        EXPECT_EQ(names(dir_), "image ") << sig;
    }
    EXPECT_EQ(tgatest::readFile(target()), "old");
    tgatest::Child caller([&] {
        std::signal(SIGUSR1, [](int) { ::_exit(7); });
        fileio::NewFile file(pattern(), GetParam());
        ::raise(SIGUSR1);
    });
    EXPECT_EQ(caller.wait(), 7);
}

// A size limit fails a write with EFBIG instead of killing the process.
TEST_P(NewFile, SizeLimitIsAWriteError) {
    tgatest::Child child([&] {
        const rlimit limit{4096, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        fileio::NewFile file(pattern(), GetParam());
        const std::string block(8192, 'x');
        errno = 0;
        const bool written =
            std::fwrite(block.data(), 1, block.size(), file.stream()) == block.size() &&
            std::fflush(file.stream()) == 0;
        const int err = file.keepAs(target().c_str(), written ? 0 : errno);
        std::fputs(std::strerror(err), stdout);
    });
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(child.out(), "File too large");
    EXPECT_EQ(names(dir_), "");
}

TEST_P(NewFile, ReplacedFileKeepsItsOwnerWherePermitted) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file another owner needs root";
    tgatest::writeFile(target(), "old");
    ASSERT_EQ(::chown(target().c_str(), 1234, 5678), 0);
    fileio::NewFile file(pattern(), GetParam());
    EXPECT_EQ(file.keepAs(target().c_str()), 0);
    struct stat st {};
    ASSERT_EQ(::stat(target().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
}

INSTANTIATE_TEST_SUITE_P(fileio, NewFile, testing::Values(Naming::unnamedFirst, Naming::namedOnly),
                         [](const testing::TestParamInfo<Naming> &naming) {
                             return naming.param == Naming::unnamedFirst ? "Unnamed" : "Named";
                         });

}  // namespace
