// Files the toolkit writes: the checked close of a written stream, and a new file that takes a
// fixed name only once it is complete. Shared by the image file store, the chart writer and
// the chat client. Header only and internal: nothing here is installed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace fileio {

// Flushes and closes `f`, which is closed in every case. Returns 0 when every byte written
// reached the file, otherwise an error number: `err` when the caller already met a failure
// while writing (its reason is the one to report), else the reason of the first failure of
// the flush or the close. A full disk may show only in the flush or the close.
inline int closeWritten(std::FILE *f, int err = 0) {
    const auto reason = [] { return errno != 0 ? errno : EIO; };
    if (std::fflush(f) != 0 && err == 0) err = reason();
    if (std::ferror(f) != 0 && err == 0) err = EIO;
    if (std::fclose(f) != 0 && err == 0) err = reason();
    return err;
}

// ---------------------------------------------------------------------------------------------
// Names removed when the process dies of a signal
// ---------------------------------------------------------------------------------------------

// The asynchronous signals whose default action ends the process: after any of them a program
// that writes a file is expected to clean up and die. The real-time signals, known only at run
// time, follow these.
inline constexpr int kFixedCleanUpSignals[] = {
    SIGHUP,    SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2,
    SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU, SIGPIPE,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

// Calls `f` with each signal after which a program cleans up and dies.
template <class F>
void forEachCleanUpSignal(F f) {
    for (const int sig : kFixedCleanUpSignals)
        f(sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        f(sig);
}

// The same signals as a set.
inline sigset_t cleanUpSignals() {
    sigset_t set;
    sigemptyset(&set);
    forEachCleanUpSignal([&set](int sig) { sigaddset(&set, sig); });
    return set;
}

namespace litter {

// A fixed table, so that a signal handler only reads memory and calls unlink. Written only
// while the clean-up signals are blocked.
inline constexpr std::size_t kSlots = 8;
inline constexpr std::size_t kPathMax = 4096;
struct Slot {
    volatile sig_atomic_t used;
    char path[kPathMax];
};
inline Slot slots[kSlots];

// Blocks the clean-up signals for its lifetime (in this thread).
class Blocked {
  public:
    Blocked() {
        const sigset_t set = cleanUpSignals();
        ::pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~Blocked() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    Blocked(const Blocked &) = delete;
    Blocked &operator=(const Blocked &) = delete;
    const sigset_t &previous() const { return old_; }

  private:
    sigset_t old_{};
};

// Both called with the clean-up signals blocked. A name too long or beyond the table's room is
// simply not removed by a signal.
inline void add(const std::string &path) {
    if (path.size() >= kPathMax) return;
    for (Slot &slot : slots) {
        if (slot.used != 0) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.used = 1;
        return;
    }
}
inline void remove(const std::string &path) {
    for (Slot &slot : slots)
        if (slot.used != 0 && path == slot.path) slot.used = 0;
}

// While any NewFile lives: SIGXFSZ, where it has its default action, is ignored (a size limit
// then fails the write with EFBIG, which is reported), and each clean-up signal left at its
// default action gets dieOfSignal as handler. The previous actions come back afterwards.
// Indexed by signal number.
struct Actions {
    int users = 0;
    std::array<bool, NSIG> changed{};
    std::array<struct sigaction, NSIG> old{};
};
inline Actions actions;

}  // namespace litter

// Removes the names of unfinished files, then ends the process by `sig` with its default
// action. Async-signal-safe: a handler may call it.
inline void dieOfSignal(int sig) {
    for (litter::Slot &slot : litter::slots)
        if (slot.used != 0) ::unlink(slot.path);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::_exit(128 + sig);  // not reached unless the signal is held elsewhere
}

namespace litter {

inline void onCleanUpSignal(int sig) {
    dieOfSignal(sig);
}

// Gives `sig` the action `handler` when it has its default action, and notes the old one.
inline void replaceDefault(int sig, void (*handler)(int), const sigset_t &mask) {
    if (sig <= 0 || sig >= NSIG) return;
    struct sigaction mine {};
    mine.sa_handler = handler;
    mine.sa_mask = mask;
    struct sigaction &old = actions.old[static_cast<std::size_t>(sig)];
    actions.changed[static_cast<std::size_t>(sig)] =
        ::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
        (old.sa_flags & SA_SIGINFO) == 0 && ::sigaction(sig, &mine, nullptr) == 0;
}

inline void take() {
    if (actions.users++ > 0) return;
    const sigset_t mask = cleanUpSignals();
    replaceDefault(SIGXFSZ, SIG_IGN, mask);
    forEachCleanUpSignal([&mask](int sig) { replaceDefault(sig, onCleanUpSignal, mask); });
}
inline void give() {
    if (--actions.users > 0) return;
    for (std::size_t sig = 1; sig < actions.changed.size(); ++sig)
        if (std::exchange(actions.changed[sig], false))
            ::sigaction(static_cast<int>(sig), &actions.old[sig], nullptr);
}

}  // namespace litter

// ---------------------------------------------------------------------------------------------
// New files
// ---------------------------------------------------------------------------------------------

// How a NewFile is made. Programs always leave the default; tests choose the named file to
// reach the path taken on file systems that cannot hold an unnamed one.
enum class Naming { unnamedFirst, namedOnly };

// Whether keepAs makes the file durable: its data synced before the rename, its directory
// after it.
enum class Sync { no, yes };

// A file written in the directory of the name it will take, then renamed over that name once
// complete. Whatever held the name (a file, a link, a FIFO) is replaced, never written through,
// and a file that cannot be completed leaves it as it was. A regular file replaced passes its
// permission bits (0777) on to the new one, and its owner and group where the process may set
// them; otherwise the new file has 0666 less the umask. Until it is kept, only its owner may
// open it, so what it will replace is never exposed on the way.
//
// Where the file system allows, the file has no name until it is kept (O_TMPFILE): whatever
// ends the process before, even SIGKILL, leaves nothing behind. Elsewhere it is made under
// `pattern` (ending in XXXXXX), and the clean-up signals (forEachCleanUpSignal), while at their
// default action, remove it before the process dies of them. While any NewFile lives, SIGXFSZ
// is ignored where it had its default action, so a size limit fails a write with EFBIG.
class NewFile {
  public:
    // On failure stream() is null and errno says why.
    explicit NewFile(std::string pattern, Naming naming = Naming::unnamedFirst)
        : pattern_(std::move(pattern)) {
        const std::string dir = directory();
        litter::Blocked blocked;
        litter::take();
        int fd = -1;
        if (naming == Naming::unnamedFirst)
            fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) fd = createNamed();
        if (fd >= 0) stream_ = ::fdopen(fd, "wb");
        if (stream_ == nullptr) {
            const int err = errno;
            if (fd >= 0) ::close(fd);
            forgetName();
            errno = err;
        }
    }
    ~NewFile() {
        litter::Blocked blocked;
        if (stream_ != nullptr) std::fclose(stream_);
        forgetName();
        litter::give();
    }
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    std::FILE *stream() const { return stream_; }
    // Whether the file has no name yet (made with O_TMPFILE).
    bool unnamed() const { return stream_ != nullptr && path_.empty(); }

    // Closes the file and renames it over `name`, in the directory of the pattern. `err` is a
    // failure already met while writing. `like`, when it names a regular file, is the file
    // whose permission bits and owner the new one takes instead of those of what it replaces.
    // Returns 0, or the reason it could not be kept (the new file is then gone).
    int keepAs(const char *name, int err = 0, Sync sync = Sync::no, const char *like = nullptr) {
        if (stream_ == nullptr) return err != 0 ? err : EBADF;
        std::FILE *f = std::exchange(stream_, nullptr);
        const int fd = ::fileno(f);
        if (std::fflush(f) != 0 && err == 0) err = errno != 0 ? errno : EIO;
        if (std::ferror(f) != 0 && err == 0) err = EIO;
        if (err == 0) err = takeOver(fd, like, name);
        if (err == 0 && sync == Sync::yes && ::fsync(fd) != 0) err = errno;
        {
            litter::Blocked blocked;
            if (err == 0 && path_.empty()) err = linkUnnamed(fd);
            if (err == 0 && std::rename(path_.c_str(), name) != 0) err = errno;
            if (err == 0) {
                litter::remove(path_);
                path_.clear();
            }
            forgetName();
        }
        if (err == 0 && sync == Sync::yes) err = syncDirectory();
        const int closed = closeWritten(f, err);
        if (err == 0 && closed != 0) err = closed;
        return err;
    }

  private:
    std::string directory() const {
        const auto slash = pattern_.rfind('/');
        if (slash == std::string::npos) return ".";
        return slash == 0 ? "/" : pattern_.substr(0, slash);
    }

    // The named file of file systems without unnamed ones, its owner's alone (mkstemp's mode)
    // until it is kept.
    int createNamed() {
        path_ = pattern_;
        const int fd = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd < 0) {
            path_.clear();
            return -1;
        }
        litter::add(path_);
        return fd;
    }

    // The file about to be kept takes the permission bits of the first regular file of `like`
    // and `name`, and its owner and group where allowed (before the bits, since a change of
    // owner may clear some); with neither, the bits a plain create gives: 0666 less the umask.
    static int takeOver(int fd, const char *like, const char *name) {
        struct stat old {};
        const auto regular = [&old](const char *path) {
            return path != nullptr && ::lstat(path, &old) == 0 && S_ISREG(old.st_mode);
        };
        mode_t mode = 0;
        if (regular(like) || regular(name)) {
            // Best effort: a process that may not give the file away keeps it, with the old
            // group where it may set that alone, else its own.
            const bool given = ::fchown(fd, old.st_uid, old.st_gid) == 0 ||
                               ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
            static_cast<void>(given);
            mode = old.st_mode & 0777;
        } else {
            mode = 0666 & ~currentUmask();
        }
        return ::fchmod(fd, mode) == 0 ? 0 : errno;
    }

    static mode_t currentUmask() {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }

    // Gives the unnamed file a fresh name made from the pattern. Called with the clean-up
    // signals blocked, so the name lives only until the rename that follows.
    int linkUnnamed(int fd) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = freshName();
            int r = ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
            if (r != 0 && (errno == ENOENT || errno == EPERM)) {
                // Without the capability AT_EMPTY_PATH needs, /proc names the descriptor.
                const std::string proc = "/proc/self/fd/" + std::to_string(fd);
                r = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
            }
            if (r == 0) {
                path_ = std::move(path);
                litter::add(path_);
                return 0;
            }
            if (errno != EEXIST) return errno;
        }
        return EEXIST;
    }

    std::string freshName() const {
        static constexpr char kLetters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        std::string name = pattern_;
        const std::size_t at = name.size() >= 6 ? name.size() - 6 : 0;
        std::array<unsigned char, 6> bytes{};
        if (::getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) !=
            static_cast<ssize_t>(bytes.size())) {
            auto seed = static_cast<std::uint64_t>(
                std::chrono::steady_clock::now().time_since_epoch().count());
            for (auto &b : bytes) {
                seed = seed * 6364136223846793005U + 1442695040888963407U;
                b = static_cast<unsigned char>(seed >> 56);
            }
        }
        for (std::size_t i = 0; i < 6 && at + i < name.size(); ++i)
            name[at + i] = kLetters[bytes[i] % (sizeof kLetters - 1)];
        return name;
    }

    int syncDirectory() const {
        const int dir = ::open(directory().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) return errno;
        const int err = ::fsync(dir) == 0 ? 0 : errno;
        ::close(dir);
        return err;
    }

    // Called with the clean-up signals blocked.
    void forgetName() {
        if (path_.empty()) return;
        ::unlink(path_.c_str());
        litter::remove(path_);
        path_.clear();
    }

    std::string pattern_;
    std::string path_;  // the file's current name; empty while it has none
    std::FILE *stream_ = nullptr;
};

}  // namespace fileio
