// The image bank: one node per directory entry, sized from the entry's TGA header.
#include "bankList/bankList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "bankList/bankWalk.h"
#include "bankList/messages.h"
#include "fdio/fdio.h"
#include "imgfile/imgfile.h"
#include "imgfile/tgaBytes.h"

namespace {

using namespace bankList_msg;
using bankList_detail::Failure;
using bankList_detail::WalkStatus;

struct DirClose {
    void operator()(DIR *d) const { closedir(d); }
};
using Dir = std::unique_ptr<DIR, DirClose>;

// Bytes of a whole-image read pass through this much memory, whatever a header claims.
constexpr std::size_t kPixelBuffer = std::size_t{256} * 1024;

// The reason of the failure just met, never 0.
int lastError() {
    return errno != 0 ? errno : EIO;
}

// Reads and drops `count` bytes from offset `from` on, as far as the file holds them.
// 0, or the reason of the failure.
int skimBytes(int fd, off_t from, uint64_t count, std::span<unsigned char> buffer) {
    if (lseek(fd, from, SEEK_SET) < 0) return lastError();
    while (count > 0) {
        const auto want = static_cast<std::size_t>(std::min<uint64_t>(count, buffer.size()));
        const ssize_t r = read(fd, buffer.data(), want);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return lastError();
        if (r == 0) break;
        count -= static_cast<uint64_t>(r);
    }
    return 0;
}

// Reads and drops the file's bytes from `start` up to `end`, its size when it was opened, as
// far as it still holds them. Holes of a sparse file hold only zeros: they are passed over,
// not read, so the work follows what the file really stores. 0, or the reason of the failure.
int skimFile(int fd, off_t start, off_t end, std::span<unsigned char> buffer) {
    off_t at = start;
    while (at < end) {
        const off_t data = lseek(fd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO) return 0;  // nothing but a hole up to the end
        // Without hole reports (or on any doubt) every byte is read.
        if (data < 0) return skimBytes(fd, at, static_cast<uint64_t>(end - at), buffer);
        if (data >= end) return 0;
        off_t hole = lseek(fd, data, SEEK_HOLE);
        if (hole < 0 || hole > end) hole = end;
        if (const int error = skimBytes(fd, data, static_cast<uint64_t>(hole - data), buffer))
            return error;
        at = hole;
    }
    return 0;
}

// Reads the header of entry `name` (relative to directory descriptor `dirFd`, or a whole path
// with AT_FDCWD) into `head`, all zero for an entry that holds no image. With a buffer, the
// rest of the file is read through it too. 0, or the reason of the failure. What the entry is
// gets decided on the descriptor itself, opened so that opening never waits: a name checked
// beforehand may be renamed over by a FIFO before the open.
int readEntry(int dirFd, const char *name, std::span<unsigned char> rest, targa_header &head) {
    head = {};
    const fdio::Fd file{openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (!file && errno == ENXIO) return 0;  // a socket, or a device with nothing behind it
    if (!file) return lastError();
    const int fd = file.get();
    struct stat st {};
    if (fstat(fd, &st) != 0) return lastError();
    // FIFOs, sockets and devices could block or never end; a subdirectory has no bytes.
    if (!S_ISREG(st.st_mode)) return 0;
    // Bytes that a short file does not supply read as 0.
    std::uint8_t bytes[imgfile_detail::kHeaderBytes] = {};
    const ssize_t got = fdio::readUpTo(fd, bytes, sizeof bytes);
    if (got < 0) return lastError();
    head = imgfile_detail::headerFromBytes(bytes);
    // Whatever the kind, the whole file: what it held when opened, not what its header claims.
    if (!rest.empty() && st.st_size > got) return skimFile(fd, got, st.st_size, rest);
    return 0;
}

char *copyOf(const char *text, std::size_t length) {
    auto *copy = static_cast<char *>(std::malloc(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

// A node for `imagename` sized from `head`, or null when memory runs out. `pathLength` is
// strlen(path), measured once for a whole directory.
NodeImage *makeNode(const char *imagename, const char *path, std::size_t pathLength,
                    const targa_header &head) {
    auto *node = static_cast<NodeImage *>(std::malloc(sizeof(NodeImage)));
    char *pathCopy = copyOf(path, pathLength);
    char *nameCopy = strdup(imagename);
    if (node == nullptr || pathCopy == nullptr || nameCopy == nullptr) {
        std::free(node);
        std::free(pathCopy);
        std::free(nameCopy);
        return nullptr;
    }
    // At most 65535 x 65535 x 3 / 1000, which fits; the product alone needs 64 bits.
    const auto size = static_cast<int32_t>(uint64_t{head.width} * head.height * 3 / 1000);
    node->id = 0;
    node->path = pathCopy;
    node->imageName = nameCopy;
    node->size = size;
    node->height = head.height;
    node->width = head.width;
    node->next = nullptr;
    return node;
}

using Buffer = std::unique_ptr<unsigned char[]>;
Buffer pixelBuffer() {
    return Buffer{new (std::nothrow) unsigned char[kPixelBuffer]};
}

WalkStatus failed(Failure failure, const char *entry, int error) {
    WalkStatus status;
    status.failure = failure;
    std::snprintf(status.entry, sizeof status.entry, "%s", entry);
    status.error = error;
    return status;
}

// The public functions' end: the failure printed as they always have, then status 1.
[[noreturn]] void endProgram(const WalkStatus &status) {
    bankList_detail::reportFailure(status, stdout, stderr);
    std::exit(EXIT_FAILURE);
}

// The node of createNodeImage, reading the whole file through `rest` when it is not empty.
NodeImage *nodeOrEnd(const char *imagename, const char *path, std::span<unsigned char> rest) {
    // Joined at full length: a cut name could open another file.
    const std::string name = std::string(path) + "/" + imagename;
    targa_header head;
    if (const int error = readEntry(AT_FDCWD, name.c_str(), rest, head))
        endProgram(failed(Failure::readEntry, imagename, error));
    NodeImage *node = makeNode(imagename, path, std::strlen(path), head);
    if (node == nullptr) endProgram(failed(Failure::readEntry, imagename, ENOMEM));
    return node;
}

}  // namespace

void bankList_detail::reportFailure(const WalkStatus &status, std::FILE *out, std::FILE *err) {
    const char *what = nullptr;
    switch (status.failure) {
        case Failure::none:
            return;
        case Failure::openDirectory:
            std::fputs(kOpendirFailed, out);
            return;
        case Failure::readDirectory:
            what = kReaddirFailed;
            break;
        case Failure::readEntry:
            what = kReadFailed;
            break;
    }
    std::fprintf(err, "%s: %s\n", what, std::strerror(status.error));
}

NodeImage *createNodeImage(const char *imagename, const char *path) {
    return nodeOrEnd(imagename, path, {});
}

NodeImage *createNodeImage(const char *imagename, const char *path, int32_t id) {
    const Buffer buffer = pixelBuffer();
    if (!buffer) endProgram(failed(Failure::readEntry, imagename, ENOMEM));
    NodeImage *node = nodeOrEnd(imagename, path, {buffer.get(), kPixelBuffer});
    node->id = id;
    return node;
}

bankList_detail::Walk bankList_detail::walkBank(const char *path, bool wholeImages) {
    Walk walk;
    const Dir dir{opendir(path)};
    if (!dir) {
        walk.status = failed(Failure::openDirectory, "", lastError());
        return walk;
    }
    const Buffer buffer = wholeImages ? pixelBuffer() : nullptr;
    if (wholeImages && !buffer) {
        walk.status = failed(Failure::readEntry, "", ENOMEM);
        return walk;
    }
    const std::span<unsigned char> rest{buffer.get(), wholeImages ? kPixelBuffer : 0};
    // Entries are opened relative to the directory: no joined names, no walk of the path.
    const int dirFd = dirfd(dir.get());
    const std::size_t pathLength = std::strlen(path);
    NodeImage *last = nullptr;
    int32_t counter = 1;
    for (;;) {
        // Only errno tells a failing read of the directory from its end.
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (entry == nullptr && errno != 0) {
            walk.status = failed(Failure::readDirectory, "", lastError());
            break;
        }
        if (entry == nullptr) break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        targa_header head;
        if (const int error = readEntry(dirFd, entry->d_name, rest, head)) {
            walk.status = failed(Failure::readEntry, entry->d_name, error);
            break;
        }
        NodeImage *node = makeNode(entry->d_name, path, pathLength, head);
        if (node == nullptr) {
            walk.status = failed(Failure::readEntry, entry->d_name, ENOMEM);
            break;
        }
        node->id = counter++;
        if (last == nullptr)
            walk.bank.reset(node);
        else
            last->next = node;
        last = node;
    }
    return walk;
}

void bankList_detail::freeBank(NodeImage *head) {
    while (head != nullptr) {
        NodeImage *next = head->next;
        std::free(head->path);
        std::free(head->imageName);
        std::free(head);
        head = next;
    }
}

NodeImage *readBankImage(const char *path) {
    bankList_detail::Walk walk = bankList_detail::walkBank(path, false);
    if (walk.status.failure == Failure::openDirectory) {
        bankList_detail::reportFailure(walk.status, stdout, stderr);
        return nullptr;
    }
    if (walk.status.failure != Failure::none) endProgram(walk.status);
    return walk.bank.release();
}

void UpdateList(const char *imagename, const char *path, NodeImage **head) {
    NodeImage *node = createNodeImage(imagename, path);
    node->next = *head;
    *head = node;
}

void printListImage(const NodeImage *head) {
    for (const NodeImage *p = head; p != nullptr; p = p->next)
        std::printf(kFilename, p->imageName);
}
