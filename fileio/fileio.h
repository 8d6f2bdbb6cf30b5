// Files the toolkit writes: the checked close of a written stream, and a new file that takes a
// fixed name only once it is complete. Shared by the image file store, the chart writer and
// the chat client. Header only and internal: nothing here is installed.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// A file written under a name of its own (`pattern`, ending in XXXXXX, in the directory of the
// name it will take), then renamed over its final name once complete. Whatever held that name
// (a file, a link, a FIFO) is replaced, never written through, and a file that cannot be
// completed leaves it as it was. Removed when it goes away without being kept.
class NewFile {
  public:
    // Creates the file with the mode a plain create gives (0666 less the umask, not mkstemp's
    // owner-only one). On failure stream() is null and errno says why.
    explicit NewFile(std::string pattern) : path_(std::move(pattern)) {
        const int fd = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd < 0) {
            path_.clear();
            return;
        }
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) == 0) stream_ = ::fdopen(fd, "wb");
        if (stream_ == nullptr) {
            const int err = errno;
            ::close(fd);
            errno = err;
        }
    }
    ~NewFile() {
        if (stream_ != nullptr) std::fclose(stream_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    std::FILE *stream() const { return stream_; }

    // Closes the file and renames it over `name`. `err` is a failure already met while
    // writing. Returns 0, or the reason it could not be kept (the new file is then gone).
    int keepAs(const char *name, int err = 0) {
        if (stream_ != nullptr) err = closeWritten(std::exchange(stream_, nullptr), err);
        if (err == 0 && std::rename(path_.c_str(), name) != 0) err = errno;
        if (err == 0) path_.clear();
        return err;
    }

  private:
    std::string path_;
    std::FILE *stream_ = nullptr;
};

}  // namespace fileio
