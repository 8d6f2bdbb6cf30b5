// The chat client's transfers: the name header it sends and the image it stores.
#include "client/client.h"
#include "client/conversation.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "client/messages.h"
#include "fileio/fileio.h"
#include "netio/chatWire.h"
#include "netio/netio.h"

namespace {

using netio::Fd;

constexpr char kOutputDir[] = "output";
constexpr char kNewFilePattern[] = "output/.testsortie.tga.XXXXXX";
constexpr std::size_t kChunk = std::size_t{1024} * 1024;

bool makeOutputDir() {
    return ::mkdir(kOutputDir, 0777) == 0 || errno == EEXIST;
}

// No image to store: the output file is created empty when missing, anything there is left.
void createOutputIfMissing(std::FILE *err) {
    Fd file;
    if (makeOutputDir())
        file = Fd{::open(client_msg::kOutputFile, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)};
    if (!file && errno != EEXIST) netio::reportErrno(err, client_msg::kOutputFile);
    if (file && !file.close()) netio::reportErrno(err, client_msg::kOutputWrite);
}

// Puts the new file in place as `name`; false with errno set when it could not be.
bool keep(fileio::NewFile &file, const char *name) {
    const int err = file.keepAs(name);
    errno = err;
    return err == 0;
}

}  // namespace

void write_header(int sock, const char *name) {
    if (name == nullptr) name = "";
    const std::size_t length = std::strlen(name);
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(length, INT32_MAX));
    const netio::CountBytes bytes = netio::countBytes(count);
    // Plain writes, as on any descriptor: a pipe or a file serves as well as a socket.
    if (!netio::writeAll(sock, bytes.data(), bytes.size())) return;
    if (count > 0) netio::writeAll(sock, name, static_cast<std::size_t>(count));
}

void recv_img(int sock, int size) {
    client_detail::receiveImage(sock, size, stdout, stderr);
}

void client_detail::receiveImage(int sock, int size, std::FILE *out, std::FILE *err,
                                 const ImageReader &read) {
    if (size < 0) {
        createOutputIfMissing(err);
        std::fprintf(out, client_msg::kCopied, 0);
        return;
    }
    // Memory first: running short of it then leaves nothing behind.
    std::vector<char> chunk(std::min(kChunk, static_cast<std::size_t>(size)));
    // The image goes to a new file beside the output, never through whatever holds its name.
    std::optional<fileio::NewFile> file;
    if (makeOutputDir()) file.emplace(kNewFilePattern);
    bool storing = file && file->stream() != nullptr;
    if (!storing) netio::reportErrno(err, client_msg::kOutputFile);

    int total = 0;
    if (size > 0) {
        while (total < size) {
            const std::size_t want = std::min(chunk.size(), static_cast<std::size_t>(size - total));
            const ssize_t got = read ? read(chunk.data(), want) : ::read(sock, chunk.data(), want);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            const auto n = static_cast<std::size_t>(got);
            if (storing && std::fwrite(chunk.data(), 1, n, file->stream()) != n) {
                netio::reportErrno(err, client_msg::kOutputWrite);
                storing = false;
            }
            total += static_cast<int>(got);
        }
    }
    // The image is in place before the report says it has come.
    const bool whole = total == size;
    if (whole && storing && !keep(*file, client_msg::kOutputFile))
        netio::reportErrno(err, client_msg::kOutputWrite);
    std::fprintf(out, client_msg::kCopied, total);
    if (whole) return;
    // A cut transfer leaves the previous image in place and keeps what came beside it.
    std::fflush(out);
    std::fprintf(err, client_msg::kShortImage, total, size);
    if (!storing) return;
    if (keep(*file, client_msg::kPartFile))
        std::fputs(client_msg::kPartKept, err);
    else
        netio::reportErrno(err, client_msg::kPartWrite);
}
