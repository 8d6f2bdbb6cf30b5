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

struct DirClose {
    void operator()(DIR *d) const { closedir(d); }
};
using Dir = std::unique_ptr<DIR, DirClose>;

// Pixel bytes of a whole-image read pass through this much memory, whatever a header claims.
constexpr std::size_t kPixelBuffer = std::size_t{256} * 1024;

[[noreturn]] void fail(const char *what) {
    std::perror(what);
    std::exit(EXIT_FAILURE);
}

// Reads and drops `count` bytes from offset `from` on, as far as the file holds them.
bool skimBytes(int fd, off_t from, uint64_t count, std::span<unsigned char> buffer) {
    if (lseek(fd, from, SEEK_SET) < 0) return false;
    while (count > 0) {
        const auto want = static_cast<std::size_t>(std::min<uint64_t>(count, buffer.size()));
        const ssize_t r = read(fd, buffer.data(), want);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;
        count -= static_cast<uint64_t>(r);
    }
    return true;
}

// Reads and drops the pixel bytes that `head` claims, as far as the file holds them. Holes of
// a sparse file hold only zeros: they are passed over, not read, so the work follows what the
// file really stores rather than what its header claims.
bool skimPixels(int fd, const targa_header &head, std::span<unsigned char> buffer) {
    const auto start = static_cast<off_t>(imgfile_detail::kHeaderBytes);
    const auto end = start + static_cast<off_t>(uint64_t{head.width} * head.height * 3);
    off_t at = start;
    while (at < end) {
        const off_t data = lseek(fd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO) return true;  // nothing but a hole up to the end
        // Without hole reports (or on any doubt) every byte is read.
        if (data < 0) return skimBytes(fd, at, static_cast<uint64_t>(end - at), buffer);
        if (data >= end) return true;
        off_t hole = lseek(fd, data, SEEK_HOLE);
        if (hole < 0 || hole > end) hole = end;
        if (!skimBytes(fd, data, static_cast<uint64_t>(hole - data), buffer)) return false;
        at = hole;
    }
    return true;
}

// The header of entry `name` (relative to directory descriptor `dirFd`, or a whole path with
// AT_FDCWD), all zero for an entry that holds no image. With a buffer, every pixel byte is read
// through it too. What the entry is gets decided on the descriptor itself, opened so that
// opening never waits: a name checked beforehand may be renamed over by a FIFO before the open.
targa_header readEntry(int dirFd, const char *name, std::span<unsigned char> pixels) {
    targa_header head{};
    const fdio::Fd file{openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (!file && errno == ENXIO) return head;  // a socket, or a device with nothing behind it
    if (!file) fail(kReadFailed);
    const int fd = file.get();
    struct stat st {};
    if (fstat(fd, &st) != 0) fail(kReadFailed);
    // FIFOs, sockets and devices could block or never end; a subdirectory has no bytes.
    if (!S_ISREG(st.st_mode)) return head;
    // Bytes that a short file does not supply read as 0.
    std::uint8_t bytes[imgfile_detail::kHeaderBytes] = {};
    const ssize_t got = fdio::readUpTo(fd, bytes, sizeof bytes);
    if (got < 0) fail(kReadFailed);
    head = imgfile_detail::headerFromBytes(bytes);
    if (static_cast<std::size_t>(got) == sizeof bytes && !pixels.empty() &&
        !skimPixels(fd, head, pixels))
        fail(kReadFailed);
    return head;
}

targa_header readNamed(const char *imagename, const char *path, std::span<unsigned char> pixels) {
    // Joined at full length: a cut name could open another file.
    const std::string name = std::string(path) + "/" + imagename;
    return readEntry(AT_FDCWD, name.c_str(), pixels);
}

char *copyOf(const char *text, std::size_t length) {
    auto *copy = static_cast<char *>(std::malloc(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

// `pathLength` is strlen(path), measured once for a whole directory.
NodeImage *makeNode(const char *imagename, const char *path, std::size_t pathLength,
                    const targa_header &head) {
    auto *node = static_cast<NodeImage *>(std::malloc(sizeof(NodeImage)));
    char *pathCopy = copyOf(path, pathLength);
    char *nameCopy = strdup(imagename);
    if (node == nullptr || pathCopy == nullptr || nameCopy == nullptr) {
        std::free(node);
        std::free(pathCopy);
        std::free(nameCopy);
        errno = ENOMEM;
        fail(kReadFailed);
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
    Buffer b{new (std::nothrow) unsigned char[kPixelBuffer]};
    if (!b) {
        errno = ENOMEM;
        fail(kReadFailed);
    }
    return b;
}

}  // namespace

NodeImage *createNodeImage(const char *imagename, const char *path) {
    return makeNode(imagename, path, std::strlen(path), readNamed(imagename, path, {}));
}

NodeImage *createNodeImage(const char *imagename, const char *path, int32_t id) {
    const Buffer buffer = pixelBuffer();
    NodeImage *node = makeNode(imagename, path, std::strlen(path),
                               readNamed(imagename, path, {buffer.get(), kPixelBuffer}));
    node->id = id;
    return node;
}

NodeImage *bankList_detail::readBank(const char *path, bool wholeImages) {
    Dir dir{opendir(path)};
    if (!dir) {
        std::printf("%s", kOpendirFailed);
        return nullptr;
    }
    // Entries are opened relative to the directory: no joined names, no walk of the path.
    const int dirFd = dirfd(dir.get());
    const std::size_t pathLength = std::strlen(path);
    const Buffer buffer = wholeImages ? pixelBuffer() : nullptr;
    const std::span<unsigned char> pixels{buffer.get(), wholeImages ? kPixelBuffer : 0};
    NodeImage *first = nullptr;
    NodeImage **tail = &first;
    int32_t counter = 1;
    for (;;) {
        // Only errno tells a failing read of the directory from its end.
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (entry == nullptr && errno != 0) fail(kReaddirFailed);
        if (entry == nullptr) break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        NodeImage *node =
            makeNode(entry->d_name, path, pathLength, readEntry(dirFd, entry->d_name, pixels));
        node->id = counter++;
        *tail = node;
        tail = &node->next;
    }
    return first;
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
    return bankList_detail::readBank(path, false);
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
