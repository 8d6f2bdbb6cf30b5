// Reading and writing uncompressed 24-bit TGA files as three colour planes.
#include "imgfile/imgfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "imgfile/messages.h"

namespace {

struct FileClose {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

struct Free {
    void operator()(void *p) const { std::free(p); }
};
using Plane = std::unique_ptr<uint8_t[], Free>;

constexpr std::size_t kHeaderSize = sizeof(targa_header);
// Pixels moved per block: 48 KiB of interleaved bytes, split or joined while still in the cache.
constexpr std::size_t kBlockPixels = 16384;

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

void split(const uint8_t *__restrict src, std::size_t n, uint8_t *__restrict b,
           uint8_t *__restrict g, uint8_t *__restrict r) {
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = src[3 * i];
        g[i] = src[3 * i + 1];
        r[i] = src[3 * i + 2];
    }
}

void join(const uint8_t *__restrict b, const uint8_t *__restrict g, const uint8_t *__restrict r,
          std::size_t n, uint8_t *__restrict dst) {
    for (std::size_t i = 0; i < n; ++i) {
        dst[3 * i] = b[i];
        dst[3 * i + 1] = g[i];
        dst[3 * i + 2] = r[i];
    }
}

// Reads n pixels into the planes, a block at a time. Pixels the file does not supply are 0:
// either the planes came zeroed, or the tail is cleared here.
void readPixels(std::FILE *f, const Planes &p, std::size_t n, bool zeroed) {
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
    File f{std::fopen(fName, "rb")};
    if (!f) return 0;
    targa_header head{};
    // Fewer than 18 bytes (a short file, a directory) leave the rest of the record at 0.
    if (std::fread(&head, 1, kHeaderSize, f.get()) != kHeaderSize) std::clearerr(f.get());
    *pHead = head;
    return 1;
}

int readImage(image_desc *pDesc, targa_header *pHead, const char *fName) {
    File f{std::fopen(fName, "rb")};
    if (!f) return 0;
    targa_header head{};
    std::size_t got = std::fread(&head, 1, kHeaderSize, f.get());
    const auto n = planeSize(head.width, head.height);
    if (!n) {
        errno = EOVERFLOW;
        return 0;
    }
    // The pixel stream starts at byte 18 whatever idlength says: identification bytes, if any,
    // are read as pixels. A file too short for its header's claim gets zeroed planes, so that
    // nothing beyond what it supplies is read or even made resident.
    const bool complete =
        got == kHeaderSize && holdsAtLeast(f.get(), kHeaderSize, 3 * uint64_t{*n});
    auto planes = allocPlanes(*n, !complete);
    if (!planes) return 0;
    if (got == kHeaderSize) readPixels(f.get(), *planes, *n, !complete);

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
    const auto n = planeSize(iDesc.width, iDesc.height);
    const bool havePlanes = iDesc.pBlue && iDesc.pGreen && iDesc.pRed;
    bool ok = n && (*n == 0 || havePlanes);
    if (!ok) errno = n ? EINVAL : EOVERFLOW;
    ok = ok && std::fwrite(&head, kHeaderSize, 1, f.get()) == 1;
    ok = ok && writePixels(f.get(), iDesc, *n);
    ok = std::fclose(f.release()) == 0 && ok;  // a full disk may show only here
    if (!ok) {
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
