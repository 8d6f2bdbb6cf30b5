// The chat client's transfers: the name header it sends and the image it stores.
#include "client/client.h"
#include "client/transfers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "chatWire/chatWire.h"
#include "client/messages.h"
#include "fdio/fdio.h"
#include "fileio/fileio.h"

namespace {

using fdio::Fd;

constexpr char kOutputDir[] = "output";
constexpr std::size_t kChunk = std::size_t{1024} * 1024;

bool makeOutputDir() {
    return ::mkdir(kOutputDir, 0777) == 0 || errno == EEXIST;
}

// No image to store: the output file is created empty when missing, anything there is left.
void createOutputIfMissing(std::FILE *err) {
    Fd file;
    if (makeOutputDir())
        file = Fd{::open(client_msg::kOutputFile, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)};
    if (!file && errno != EEXIST) chatWire::reportErrno(err, client_msg::kOutputFile);
    if (file && !file.close()) chatWire::reportErrno(err, client_msg::kOutputWrite);
}

// Puts the new file in place as `name`, durably, with the permissions and owner of the image
// it stands for, where there is one; false with errno set when it could not be.
bool keep(fileio::NewFile &file, const char *name) {
    const int err = file.keepAs(name, 0, fileio::Sync::yes, client_msg::kOutputFile);
    errno = err;
    return err == 0;
}

// A clean-up signal caught during a transfer, 0 when none: the transfer then ends as a cut
// one, and the client dies of the signal once what arrived is kept.
volatile sig_atomic_t transferring = 0;
volatile sig_atomic_t caught = 0;

void onSignal(int sig) {
    if (transferring != 0) {
        caught = sig;
        return;
    }
    fileio::dieOfSignal(sig);
}

// Waits until `sock` has bytes or has ended; the clean-up signals, blocked everywhere else
// during a transfer, are taken only here. What arrives meanwhile on `alsoFd` is taken by
// `also`; once that says so, `alsoFd` becomes -1 and is watched no more. False when a signal
// was caught.
bool awaitBytes(int sock, const sigset_t &unblocked, const client_detail::Watch &also,
                int &alsoFd) {
    while (caught == 0) {
        std::array<pollfd, 2> p{{{sock, POLLIN, 0}, {alsoFd, POLLIN, 0}}};
        const int ready = ::ppoll(p.data(), p.size(), nullptr, &unblocked);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return true;  // the read then meets the failure itself
        if (p[1].revents != 0 && !also.take()) alsoFd = -1;
        if (p[0].revents != 0) return true;
    }
    return false;
}

}  // namespace

void write_header(int sock, const char *name) {
    if (name == nullptr) name = "";
    const std::size_t length = std::strlen(name);
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(length, INT32_MAX));
    const chatWire::CountBytes bytes = chatWire::countBytes(count);
    // Plain writes, as on any descriptor: a pipe or a file serves as well as a socket.
    if (!fdio::writeAll(sock, bytes.data(), bytes.size())) return;
    if (count > 0) fdio::writeAll(sock, name, static_cast<std::size_t>(count));
}

void recv_img(int sock, int size) {
    client_detail::receiveImage(sock, size, stdout, stderr);
}

void client_detail::receiveImage(int sock, int size, std::FILE *out, std::FILE *err,
                                 const Watch &also) {
    if (size < 0) {
        createOutputIfMissing(err);
        std::fprintf(out, client_msg::kCopied, 0);
        return;
    }
    // Memory first: running short of it then leaves nothing behind.
    std::vector<char> chunk(std::min(kChunk, static_cast<std::size_t>(size)));
    // A signal that ends the client during the transfer is taken only between reads, so the
    // bytes that came are kept as a cut transfer keeps them.
    const fileio::litter::Blocked blocked;
    transferring = 1;
    // The image goes to a new file beside the output, never through whatever holds its name.
    std::optional<fileio::NewFile> file;
    if (makeOutputDir()) file.emplace(client_msg::kNewFilePattern);
    bool storing = file && file->stream() != nullptr;
    if (!storing) chatWire::reportErrno(err, client_msg::kOutputFile);

    int total = 0;
    int alsoFd = also.fd;
    if (size > 0) {
        while (total < size) {
            const std::size_t want = std::min(chunk.size(), static_cast<std::size_t>(size - total));
            if (!awaitBytes(sock, blocked.previous(), also, alsoFd)) break;
            const ssize_t got = ::read(sock, chunk.data(), want);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            const auto n = static_cast<std::size_t>(got);
            if (storing && std::fwrite(chunk.data(), 1, n, file->stream()) != n) {
                chatWire::reportErrno(err, client_msg::kOutputWrite);
                storing = false;
            }
            total += static_cast<int>(got);
        }
    }
    // The image is in place before the report says it has come.
    const bool whole = total == size;
    if (whole && storing && !keep(*file, client_msg::kOutputFile))
        chatWire::reportErrno(err, client_msg::kOutputWrite);
    std::fprintf(out, client_msg::kCopied, total);
    if (!whole) {
        // A cut transfer leaves the previous image in place and keeps what came beside it.
        std::fflush(out);
        std::fprintf(err, client_msg::kShortImage, total, size);
        if (storing && keep(*file, client_msg::kPartFile))
            std::fputs(client_msg::kPartKept, err);
        else if (storing)
            chatWire::reportErrno(err, client_msg::kPartWrite);
    }
    transferring = 0;
    if (caught == 0) return;
    std::fflush(out);
    file.reset();
    fileio::dieOfSignal(caught);
}

void client_detail::keepPartOnSignals() {
    struct sigaction mine {};
    mine.sa_handler = onSignal;
    mine.sa_mask = fileio::cleanUpSignals();
    fileio::forEachCleanUpSignal([&mine](int sig) {
        struct sigaction old {};
        // A signal ignored by whoever started the client (or by the client itself) stays so.
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
            (old.sa_flags & SA_SIGINFO) == 0)
            ::sigaction(sig, &mine, nullptr);
    });
}
