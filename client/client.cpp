// The chat client's transfers: the name header it sends and the image it stores.
#include "client/client.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "client/messages.h"
#include "netio/netio.h"

namespace {

using netio::Fd;

constexpr char kOutputDir[] = "output";
constexpr char kNewFilePattern[] = "output/.testsortie.tga.XXXXXX";
constexpr std::size_t kChunk = std::size_t{1024} * 1024;

bool makeOutputDir() {
    return ::mkdir(kOutputDir, 0777) == 0 || errno == EEXIST;
}

// A new file beside the output, created under a name of its own so that no link, FIFO or
// older image at the output's name is ever written through. Removed unless it is kept.
class NewFile {
  public:
    NewFile() {
        if (!makeOutputDir()) return;
        std::memcpy(path_, kNewFilePattern, sizeof path_);
        fd_ = Fd{::mkostemp(path_, O_CLOEXEC)};
        if (!fd_) return;
        named_ = true;
        // The mode a plain create gives: 0666 less the umask (mkstemp makes it 0600).
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd_.get(), 0666 & ~mask) != 0) fd_.reset();
    }
    ~NewFile() {
        if (named_) ::unlink(path_);
    }
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    explicit operator bool() const { return static_cast<bool>(fd_); }
    int fd() const { return fd_.get(); }

    // Closes the file and renames it over `name`; false (errno tells why) when that fails,
    // and the new file is then removed.
    bool keepAs(const char *name) {
        if (!fd_.close() || ::rename(path_, name) != 0) return false;
        named_ = false;
        return true;
    }

  private:
    char path_[sizeof kNewFilePattern]{};
    Fd fd_;
    bool named_ = false;
};

// No image to store: the output file is created empty when missing, anything there is left.
void createOutputIfMissing() {
    Fd file;
    if (makeOutputDir())
        file = Fd{::open(client_msg::kOutputFile, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)};
    if (!file && errno != EEXIST) std::perror(client_msg::kOutputFile);
    if (file && !file.close()) std::perror(client_msg::kOutputWrite);
}

}  // namespace

void write_header(int sock, const char *name) {
    if (name == nullptr) name = "";
    const std::size_t length = std::strlen(name);
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(length, INT32_MAX));
    // Plain writes, as on any descriptor: a pipe or a file serves as well as a socket.
    if (!netio::writeAll(sock, &count, sizeof count)) return;
    if (count > 0) netio::writeAll(sock, name, static_cast<std::size_t>(count));
}

void recv_img(int sock, int size) {
    if (size < 0) {
        createOutputIfMissing();
        std::printf(client_msg::kCopied, 0);
        return;
    }
    NewFile file;
    if (!file) std::perror(client_msg::kOutputFile);
    bool storing = static_cast<bool>(file);

    int total = 0;
    if (size > 0) {
        std::vector<char> chunk(std::min(kChunk, static_cast<std::size_t>(size)));
        while (total < size) {
            const std::size_t want = std::min(chunk.size(), static_cast<std::size_t>(size - total));
            const ssize_t got = ::read(sock, chunk.data(), want);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            if (storing &&
                !netio::writeAll(file.fd(), chunk.data(), static_cast<std::size_t>(got))) {
                std::perror(client_msg::kOutputWrite);
                storing = false;
            }
            total += static_cast<int>(got);
        }
    }
    // The image is in place before the report says it has come.
    const bool whole = total == size;
    if (whole && storing && !file.keepAs(client_msg::kOutputFile))
        std::perror(client_msg::kOutputWrite);
    std::printf(client_msg::kCopied, total);
    if (whole) return;
    // A cut transfer leaves the previous image in place and keeps what came beside it.
    std::fflush(stdout);
    std::fprintf(stderr, client_msg::kShortImage, total, size);
    if (!storing) return;
    if (file.keepAs(client_msg::kPartFile))
        std::fputs(client_msg::kPartKept, stderr);
    else
        std::perror(client_msg::kOutputWrite);
}
