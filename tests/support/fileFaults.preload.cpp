// Test-only preload library: faults of the file system that a real directory cannot be made to
// show on demand, for the image bank's process-level tests. Set in the environment:
//   TGAKIT_FAIL_READDIR=N      after N entries, reading the directory fails with EIO
//   TGAKIT_SWAP_FROM=<file>    renamed to TGAKIT_SWAP_TO just before anything opens a name that
//   TGAKIT_SWAP_TO=<path>      ends in TGAKIT_SWAP_TO's last component (once)
//   TGAKIT_FAIL_READ=<name>    reads of a file opened as <name> fail with EIO after the first
//   TGAKIT_NO_TMPFILE=1        opening an unnamed file (O_TMPFILE) fails with EOPNOTSUPP
//   TGAKIT_SIGNAL_IN_FWRITE=N  an fwrite of 64 KiB or more raises signal N halfway through
//   TGAKIT_FAIL_NEW_OVER=N     operator new throws std::bad_alloc for more than N bytes
// The large-file and time interfaces are named here one by one.
#undef _FILE_OFFSET_BITS
#undef _TIME_BITS
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

template <class Fn>
Fn next(const char *name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

const char *lastComponent(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

bool named(const char *path, const char *variable) {
    const char *want = std::getenv(variable);
    return want != nullptr && std::strcmp(lastComponent(path), lastComponent(want)) == 0;
}

void beforeOpen(const char *path) {
    const char *from = std::getenv("TGAKIT_SWAP_FROM");
    const char *to = std::getenv("TGAKIT_SWAP_TO");
    if (from != nullptr && to != nullptr && named(path, "TGAKIT_SWAP_TO")) std::rename(from, to);
}

// An unnamed file refused, as on a file system that cannot hold one.
bool refuseTmpfile(int flags) {
    if ((flags & O_TMPFILE) != O_TMPFILE || std::getenv("TGAKIT_NO_TMPFILE") == nullptr)
        return false;
    errno = EOPNOTSUPP;
    return true;
}

int failingFd = -1;
bool firstReadDone = false;

int afterOpen(const char *path, int fd) {
    if (fd >= 0 && named(path, "TGAKIT_FAIL_READ")) {
        failingFd = fd;
        firstReadDone = false;
    } else if (fd == failingFd) {
        failingFd = -1;  // the number now belongs to another file
    }
    return fd;
}

template <class Entry>
Entry *failOrPass(Entry *entry) {
    static long left = [] {
        const char *n = std::getenv("TGAKIT_FAIL_READDIR");
        return n != nullptr ? std::strtol(n, nullptr, 10) : -1;
    }();
    if (left == 0) {
        errno = EIO;
        return nullptr;
    }
    if (left > 0 && entry != nullptr) --left;
    return entry;
}

mode_t modeArgument(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
}

}  // namespace

extern "C" {

// The system's own declarations name their parameters in the reserved style.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
dirent *readdir(DIR *dir) {
    static auto real = next<dirent *(*)(DIR *)>("readdir");
    return failOrPass(real(dir));
}

dirent64 *readdir64(DIR *dir) {
    static auto real = next<dirent64 *(*)(DIR *)>("readdir64");
    return failOrPass(real(dir));
}

int open(const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static auto real = next<int (*)(const char *, int, ...)>("open");
    if (refuseTmpfile(flags)) return -1;
    beforeOpen(path);
    return afterOpen(path, real(path, flags, mode));
}

int open64(const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static auto real = next<int (*)(const char *, int, ...)>("open64");
    if (refuseTmpfile(flags)) return -1;
    beforeOpen(path);
    return afterOpen(path, real(path, flags, mode));
}

int openat(int dirFd, const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static auto real = next<int (*)(int, const char *, int, ...)>("openat");
    if (refuseTmpfile(flags)) return -1;
    beforeOpen(path);
    return afterOpen(path, real(dirFd, path, flags, mode));
}

int openat64(int dirFd, const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static auto real = next<int (*)(int, const char *, int, ...)>("openat64");
    if (refuseTmpfile(flags)) return -1;
    beforeOpen(path);
    return afterOpen(path, real(dirFd, path, flags, mode));
}

FILE *fopen(const char *path, const char *mode) {
    static auto real = next<FILE *(*)(const char *, const char *)>("fopen");
    beforeOpen(path);
    return real(path, mode);
}

FILE *fopen64(const char *path, const char *mode) {
    static auto real = next<FILE *(*)(const char *, const char *)>("fopen64");
    beforeOpen(path);
    return real(path, mode);
}

ssize_t read(int fd, void *buffer, size_t count) {
    static auto real = next<ssize_t (*)(int, void *, size_t)>("read");
    if (fd == failingFd && fd >= 0) {
        if (firstReadDone) {
            errno = EIO;
            return -1;
        }
        firstReadDone = true;
    }
    return real(fd, buffer, count);
}

size_t fwrite(const void *data, size_t size, size_t count, FILE *stream) {
    static auto real = next<size_t (*)(const void *, size_t, size_t, FILE *)>("fwrite");
    const char *sig = std::getenv("TGAKIT_SIGNAL_IN_FWRITE");
    if (sig == nullptr || size != 1 || count < 65536) return real(data, size, count, stream);
    const size_t half = real(data, 1, count / 2, stream);
    std::fflush(stream);
    raise(static_cast<int>(std::strtol(sig, nullptr, 10)));
    return half + real(static_cast<const char *>(data) + half, 1, count - half, stream);
}

// NOLINTEND(readability-inconsistent-declaration-parameter-name)

}  // extern "C"

// Memory that runs out: large requests fail as under a tight address-space limit, small ones
// go to the allocator that follows (the sanitizer's, in its builds), whose operator delete
// frees them.
// NOLINTNEXTLINE(cert-dcl54-cpp,misc-new-delete-overloads,hicpp-new-delete-operators)
void *operator new(std::size_t size) {
    static const long over = [] {
        const char *n = std::getenv("TGAKIT_FAIL_NEW_OVER");
        return n != nullptr ? std::strtol(n, nullptr, 10) : -1;
    }();
    if (over >= 0 && size > static_cast<unsigned long>(over)) throw std::bad_alloc();
    static auto real = next<void *(*)(std::size_t)>(sizeof(std::size_t) == 8 ? "_Znwm" : "_Znwj");
    return real(size);
}
