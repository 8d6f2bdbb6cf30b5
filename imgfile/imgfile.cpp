// Reading and writing uncompressed 24-bit TGA files as three colour planes.
#include "imgfile/imgfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "fileio/fileio.h"
#include "imgfile/imgfileDetail.h"
#include "imgfile/messages.h"
#include "imgfile/tgaBytes.h"

namespace {

struct FileClose {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

struct Free {
    void operator()(void *p) const { std::free(p); }
};
using Plane = std::unique_ptr<uint8_t[], Free>;

using imgfile_detail::kHeaderBytes;
// Pixels moved per block: 192 KiB of interleaved bytes, split or joined while still in the cache.
constexpr std::size_t kBlockPixels = 65536;

// width x height as a plane size, when it stays within the signed 32-bit range.
std::optional<std::size_t> planeSize(uint16_t width, uint16_t height) {
    const uint64_t n = uint64_t{width} * height;
    if (n > static_cast<uint64_t>(INT32_MAX)) return std::nullopt;
    return static_cast<std::size_t>(n);
}

struct Planes {
    Plane blue, green, red;
};

// Three planes of n bytes each; an empty image still gets three valid (1-byte) blocks.
// zeroed uses calloc, whose fresh pages stay untouched (and not resident) until written.
std::optional<Planes> allocPlanes(std::size_t n, bool zeroed) {
    const std::size_t bytes = std::max<std::size_t>(n, 1);
    auto get = [&] {
        return Plane{static_cast<uint8_t *>(zeroed ? std::calloc(bytes, 1) : std::malloc(bytes))};
    };
    Planes p{get(), get(), get()};
    if (!p.blue || !p.green || !p.red) {
        errno = ENOMEM;
        return std::nullopt;
    }
    return p;
}

// True when the open file is a regular file holding at least `need` bytes after offset `from`.
bool holdsAtLeast(std::FILE *f, uint64_t from, uint64_t need) {
    struct stat st {};
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    return static_cast<uint64_t>(st.st_size) >= from + need;
}

// Reads n pixels into the planes, a block at a time. Pixels the file does not supply are 0:
// either the planes came zeroed, or the tail is cleared here.
void readPixels(std::FILE *f, const Planes &p, std::size_t n, bool zeroed) {
    const auto split = imgfile_detail::chosen().split;
    std::vector<uint8_t> block(3 * std::min(n, kBlockPixels));
    std::size_t done = 0;
    while (done < n) {
        const std::size_t want = std::min(n - done, kBlockPixels);
        const std::size_t got = std::fread(block.data(), 1, 3 * want, f);
        // A pixel cut short by the end of the file keeps the bytes it has; the others are 0.
        std::memset(block.data() + got, 0, 3 * want - got);
        const std::size_t pixels = (got + 2) / 3;
        split(block.data(), pixels, p.blue.get() + done, p.green.get() + done, p.red.get() + done);
        done += pixels;
        if (got < 3 * want) break;
    }
    if (done < n && !zeroed) {
        std::memset(p.blue.get() + done, 0, n - done);
        std::memset(p.green.get() + done, 0, n - done);
        std::memset(p.red.get() + done, 0, n - done);
    }
}

bool writePixels(std::FILE *f, const image_desc &d, std::size_t n) {
    const auto join = imgfile_detail::chosen().join;
    std::vector<uint8_t> block(3 * std::min(n, kBlockPixels));
    for (std::size_t done = 0; done < n;) {
        const std::size_t count = std::min(n - done, kBlockPixels);
        join(d.pBlue + done, d.pGreen + done, d.pRed + done, count, block.data());
        if (std::fwrite(block.data(), 1, 3 * count, f) != 3 * count) return false;
        done += count;
    }
    return true;
}

}  // namespace

int readImageHead(targa_header *pHead, const char *fName) {
    // A plain descriptor: a directory scan reads thousands of headers, and a stream would
    // allocate a buffer and ask for the file's block size for each of them.
    const int fd = open(fName, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    // Fewer than 18 bytes (a short file, a directory) leave the rest of the record at 0.
    std::uint8_t bytes[kHeaderBytes] = {};
    std::size_t got = 0;
    while (got < kHeaderBytes) {
        const ssize_t r = read(fd, bytes + got, kHeaderBytes - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    close(fd);
    *pHead = imgfile_detail::headerFromBytes(bytes);
    return 1;
}

int readImage(image_desc *pDesc, targa_header *pHead, const char *fName) {
    File f{std::fopen(fName, "rb")};
    if (!f) return 0;
    // Whole blocks go straight from the file into the block buffer, not through a stream buffer.
    std::setvbuf(f.get(), nullptr, _IONBF, 0);
    std::uint8_t bytes[kHeaderBytes] = {};
    const std::size_t got = std::fread(bytes, 1, kHeaderBytes, f.get());
    const targa_header head = imgfile_detail::headerFromBytes(bytes);
    const auto n = planeSize(head.width, head.height);
    if (!n) {
        errno = EOVERFLOW;
        return 0;
    }
    // The pixel stream starts at byte 18 whatever idlength says: identification bytes, if any,
    // are read as pixels. A file too short for its header's claim gets zeroed planes, so that
    // nothing beyond what it supplies is read or even made resident.
    const bool complete =
        got == kHeaderBytes && holdsAtLeast(f.get(), kHeaderBytes, 3 * uint64_t{*n});
    auto planes = allocPlanes(*n, !complete);
    if (!planes) return 0;
    if (got == kHeaderBytes) readPixels(f.get(), *planes, *n, !complete);

    *pHead = head;
    pDesc->width = head.width;
    pDesc->height = head.height;
    pDesc->pBlue = planes->blue.release();
    pDesc->pGreen = planes->green.release();
    pDesc->pRed = planes->red.release();
    return 1;
}

int mallocImage(image_desc *pDesc, uint16_t width, uint16_t height) {
    if (pDesc == nullptr) {
        errno = EINVAL;
        return 0;
    }
    const auto n = planeSize(width, height);
    if (!n) {
        errno = EOVERFLOW;
        return 0;
    }
    auto planes = allocPlanes(*n, false);
    if (!planes) return 0;
    pDesc->width = width;
    pDesc->height = height;
    pDesc->pBlue = planes->blue.release();
    pDesc->pGreen = planes->green.release();
    pDesc->pRed = planes->red.release();
    return static_cast<int>(*n);
}

int writeImage(image_desc iDesc, targa_header head, const char *fName) {
    using namespace imgfile_msg;
    // A call that is bound to fail must not create or truncate anything.
    const auto n = planeSize(iDesc.width, iDesc.height);
    const bool havePlanes = iDesc.pBlue && iDesc.pGreen && iDesc.pRed;
    if (!n || (*n != 0 && !havePlanes)) {
        errno = n ? EINVAL : EOVERFLOW;
        std::fprintf(stderr, kCannotWrite, fName);
        return 0;
    }

    File f{std::fopen(fName, "wb")};
    if (!f) {
        std::fprintf(stderr, kCannotCreate, fName);
        return 0;
    }
    head.width = iDesc.width;
    head.height = iDesc.height;
    std::printf(kHeaderLine, unsigned{head.idlength}, unsigned{head.colourmaptype},
                unsigned{head.datatypecode}, unsigned{head.width}, unsigned{head.height});
    // No identification field and no colour map are written: pixels always start at byte 18.
    std::uint8_t bytes[kHeaderBytes];
    imgfile_detail::headerToBytes(head, bytes);
    const bool written =
        std::fwrite(bytes, kHeaderBytes, 1, f.get()) == 1 && writePixels(f.get(), iDesc, *n);
    if (fileio::closeWritten(f.release(), written ? 0 : EIO) != 0) {
        std::fprintf(stderr, kCannotWrite, fName);
        return 0;
    }
    return 1;
}

void freeImage(image_desc *pDesc) {
    if (pDesc == nullptr) return;
    std::free(pDesc->pBlue);
    pDesc->pBlue = nullptr;
    std::free(pDesc->pGreen);
    pDesc->pGreen = nullptr;
    std::free(pDesc->pRed);
    pDesc->pRed = nullptr;
}
