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
using netio::writeAll;

constexpr char kOutputDir[] = "output";
constexpr std::size_t kChunk = std::size_t{1024} * 1024;

// Opens the output file, creating its directory when missing. A new image replaces the file
// whole; a failed transfer (negative size) leaves an existing file as it is.
Fd openOutput(bool replace) {
    if (::mkdir(kOutputDir, 0777) != 0 && errno != EEXIST) return Fd{};
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : 0);
    return Fd{::open(client_msg::kOutputFile, flags, 0666)};
}

}  // namespace

void write_header(int sock, const char *name) {
    if (name == nullptr) name = "";
    const std::size_t length = std::strlen(name);
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(length, INT32_MAX));
    if (!writeAll(sock, &count, sizeof count)) return;
    if (count > 0) writeAll(sock, name, static_cast<std::size_t>(count));
}

void recv_img(int sock, int size) {
    Fd file = openOutput(size >= 0);
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
            if (storing && !writeAll(file.get(), chunk.data(), static_cast<std::size_t>(got))) {
                std::perror(client_msg::kOutputWrite);
                storing = false;
            }
            total += static_cast<int>(got);
        }
    }
    std::printf(client_msg::kCopied, total);
    if (storing && !file.close()) std::perror(client_msg::kOutputWrite);
    if (total < size) {
        std::fflush(stdout);
        std::fprintf(stderr, client_msg::kShortImage, total, size);
    }
}
