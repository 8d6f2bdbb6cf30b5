// Reading TGA files of every standard kind into three colour planes, and writing uncompressed
// 24-bit ones.
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
#include <string>
#include <vector>

#include "fdio/fdio.h"
#include "fileio/fileio.h"
#include "imgfile/messages.h"
#include "imgfile/pixelKernels.h"
#include "imgfile/tgaBytes.h"
#include "imgfile/tgaDecoder.h"

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

// ---------------------------------------------------------------------------------------------
// What a header says about the pixel stream
// ---------------------------------------------------------------------------------------------

// How one pixel lies in the file.
enum class Pixel { Bgr24, Bgra32, Rgb555, Grey8, GreyAlpha16, Index8, Index16 };

struct Layout {
    Pixel pixel;
    std::size_t bytes;     // per pixel in the file
    bool runLength;        // types 9, 10 and 11
    uint64_t skipped;      // bytes between the header and what is read next
    uint64_t pixelsAt;     // bytes between the header and the pixels
    bool mapped;           // a colour map to load follows the skipped bytes
    unsigned mapFirst;     // index of the map's first entry
    unsigned mapLength;    // entries
    std::size_t mapEntry;  // bytes per entry
    unsigned mapDepth;     // bits per entry: 15, 16, 24 or 32
};

// The image's layout, or nothing for a header that this reader refuses. An unknown image or
// colour-map type is refused first: other formats (a PNG, a JPEG) have one there. Then type 0
// or depth 0 is what the writer put out from a zeroed header before it wrote its own: raw
// 24-bit pixels from byte 18, as they were always read.
std::optional<Layout> layoutOf(const targa_header &head) {
    const unsigned type = head.datatypecode;
    const unsigned depth = head.useless2[0];
    const unsigned kind = type & 7U;
    if ((type != kind && type != kind + 8) || kind > 3 || type == 8 || head.colourmaptype > 1)
        return std::nullopt;
    if (type == 0 || depth == 0) return Layout{Pixel::Bgr24, 3, false, 0, 0, false, 0, 0, 0, 0};
    const bool hasMap = head.colourmaptype == 1;
    const unsigned mapFirst = imgfile_detail::loadLe16(head.useless);
    const unsigned mapLength = imgfile_detail::loadLe16(head.useless + 2);
    const unsigned mapDepth = head.useless[4];
    const std::size_t mapEntry = (mapDepth + 7) / 8;
    const uint64_t mapBytes = hasMap ? uint64_t{mapLength} * mapEntry : 0;
    const uint64_t pixelsAt = head.idlength + mapBytes;
    Layout l{Pixel::Bgr24, 0, type > 8, pixelsAt, pixelsAt, false, 0, 0, 0, 0};
    switch (kind) {
        case 1:
            if (!hasMap || mapLength == 0 || (depth != 8 && depth != 16) ||
                (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32))
                return std::nullopt;
            l.pixel = depth == 8 ? Pixel::Index8 : Pixel::Index16;
            l.skipped = head.idlength;
            l.mapped = true;
            l.mapFirst = mapFirst;
            l.mapLength = mapLength;
            l.mapEntry = mapEntry;
            l.mapDepth = mapDepth;
            break;
        case 2:
            if (depth == 15 || depth == 16)
                l.pixel = Pixel::Rgb555;
            else if (depth == 24)
                l.pixel = Pixel::Bgr24;
            else if (depth == 32)
                l.pixel = Pixel::Bgra32;
            else
                return std::nullopt;
            break;
        case 3:
            if (depth == 8)
                l.pixel = Pixel::Grey8;
            else if (depth == 16)
                l.pixel = Pixel::GreyAlpha16;
            else
                return std::nullopt;
            break;
        default:
            return std::nullopt;
    }
    l.bytes = (depth + 7) / 8;
    return l;
}

// ---------------------------------------------------------------------------------------------
// The file's bytes, through one bounded buffer
// ---------------------------------------------------------------------------------------------

// Bytes per buffer refill: 64 Ki pixels of 24 bits, split while still in the cache.
constexpr std::size_t kBufferBytes = 3 * kBlockPixels;

class Source {
  public:
    explicit Source(int fd) : fd_(fd), buffer_(kBufferBytes) {}

    // Makes at least `want` (at most kBufferBytes) bytes available, unless the file ends first;
    // returns how many are. A read error ends the file too, and is kept for error().
    std::size_t fill(std::size_t want) {
        if (end_ - pos_ >= want || ended_) return end_ - pos_;
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
        while (end_ < want && !ended_) {
            const ssize_t r = read(fd_, buffer_.data() + end_, buffer_.size() - end_);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) error_ = errno;
            if (r <= 0)
                ended_ = true;
            else
                end_ += static_cast<std::size_t>(r);
        }
        return end_ - pos_;
    }
    const uint8_t *data() const { return buffer_.data() + pos_; }
    void consume(std::size_t n) { pos_ += n; }

    // Drops n bytes, or what is left of the file.
    void skip(uint64_t n) {
        while (n > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(n, kBufferBytes));
            const std::size_t got = std::min(fill(want), want);
            if (got == 0) return;
            consume(got);
            n -= got;
        }
    }

    // Reads up to n bytes straight into `to`, the buffered ones first; returns the count.
    std::size_t readInto(uint8_t *to, std::size_t n) {
        std::size_t got = std::min(n, end_ - pos_);
        std::memcpy(to, data(), got);
        consume(got);
        if (got < n && !ended_) {
            const ssize_t r = fdio::readUpTo(fd_, to + got, n - got);
            if (r > 0) got += static_cast<std::size_t>(r);
            if (r < 0) error_ = errno;
            // A short count is the end of the file; an error ends it too.
            if (got < n || r < 0) ended_ = true;
        }
        return got;
    }

    // The errno of a read that failed, 0 while none has.
    int error() const { return error_; }

  private:
    int fd_;
    std::vector<uint8_t> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    bool ended_ = false;
    int error_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Pixels into planes
// ---------------------------------------------------------------------------------------------

// A colour map as three tables indexed by the pixel's index itself: entries before the first
// index, past the map's end and missing from a short file stay 0.
struct ColourMap {
    uint8_t b[65536], g[65536], r[65536];
};

constexpr uint8_t widen5(unsigned v) {
    return static_cast<uint8_t>((v << 3U) | (v >> 2U));
}

// Blue, green and red of a 5-5-5 value (the attribute bit ignored).
inline void from555(unsigned v, uint8_t &b, uint8_t &g, uint8_t &r) {
    b = widen5(v & 31U);
    g = widen5((v >> 5U) & 31U);
    r = widen5((v >> 10U) & 31U);
}

struct Out {
    uint8_t *b, *g, *r;
};

// Decodes n whole pixels of src into the planes at o.
void convert(const Layout &l, const ColourMap *map, const uint8_t *src, std::size_t n, Out o) {
    switch (l.pixel) {
        case Pixel::Bgr24:
            imgfile_detail::chosen().split(src, n, o.b, o.g, o.r);
            break;
        case Pixel::Bgra32:
            for (std::size_t i = 0; i < n; ++i) {
                o.b[i] = src[4 * i];
                o.g[i] = src[4 * i + 1];
                o.r[i] = src[4 * i + 2];
            }
            break;
        case Pixel::Rgb555:
            for (std::size_t i = 0; i < n; ++i)
                from555(imgfile_detail::loadLe16(src + 2 * i), o.b[i], o.g[i], o.r[i]);
            break;
        case Pixel::Grey8:
            std::memcpy(o.b, src, n);
            std::memcpy(o.g, src, n);
            std::memcpy(o.r, src, n);
            break;
        case Pixel::GreyAlpha16:
            for (std::size_t i = 0; i < n; ++i)
                o.b[i] = o.g[i] = o.r[i] = src[2 * i];
            break;
        case Pixel::Index8:
            for (std::size_t i = 0; i < n; ++i) {
                const uint8_t k = src[i];
                o.b[i] = map->b[k];
                o.g[i] = map->g[k];
                o.r[i] = map->r[k];
            }
            break;
        case Pixel::Index16:
            for (std::size_t i = 0; i < n; ++i) {
                const uint16_t k = imgfile_detail::loadLe16(src + 2 * i);
                o.b[i] = map->b[k];
                o.g[i] = map->g[k];
                o.r[i] = map->r[k];
            }
            break;
    }
}

Out at(const Planes &p, std::size_t k) {
    return {p.blue.get() + k, p.green.get() + k, p.red.get() + k};
}

// The map's entries, as far as the file holds them.
void loadMap(Source &src, const Layout &l, ColourMap &map) {
    for (unsigned i = 0; i < l.mapLength; ++i) {
        if (src.fill(l.mapEntry) < l.mapEntry) {
            // The file ends inside the map: what is left of it is no pixel.
            src.skip(uint64_t{l.mapLength - i} * l.mapEntry);
            return;
        }
        const uint8_t *e = src.data();
        const unsigned index = l.mapFirst + i;
        if (index < 65536) {
            if (l.mapDepth <= 16)
                from555(imgfile_detail::loadLe16(e), map.b[index], map.g[index], map.r[index]);
            else
                map.b[index] = e[0], map.g[index] = e[1], map.r[index] = e[2];
        }
        src.consume(l.mapEntry);
    }
}

// One pixel that the file ends inside keeps the bytes it has, the others 0.
std::size_t convertCut(const Layout &l, const ColourMap *map, Source &src, std::size_t got,
                       const Out &o) {
    if (got == 0) return 0;
    uint8_t pixel[4] = {};
    std::memcpy(pixel, src.data(), got);
    src.consume(got);
    convert(l, map, pixel, 1, o);
    return 1;
}

// Pixels decoded into the planes, and how many of them the file supplied in full (a pixel or
// a run cut short by the end of the file is made, but not whole).
struct Made {
    std::size_t made = 0, whole = 0;
};

// Reads n uncompressed pixels.
Made readRaw(Source &src, const Layout &l, const ColourMap *map, const Planes &p, std::size_t n) {
    std::size_t done = 0;
    if (l.pixel == Pixel::Grey8) {
        // Straight into the blue plane, then copied while still in the cache.
        while (done < n) {
            const std::size_t want = std::min(n - done, kBufferBytes);
            const std::size_t got = src.readInto(p.blue.get() + done, want);
            std::memcpy(p.green.get() + done, p.blue.get() + done, got);
            std::memcpy(p.red.get() + done, p.blue.get() + done, got);
            done += got;
            if (got < want) break;
        }
        return {done, done};
    }
    const std::size_t perBlock = kBufferBytes / l.bytes;
    while (done < n) {
        const std::size_t want = std::min(n - done, perBlock);
        const std::size_t got = src.fill(want * l.bytes);
        const std::size_t whole = std::min(want, got / l.bytes);
        convert(l, map, src.data(), whole, at(p, done));
        src.consume(whole * l.bytes);
        done += whole;
        if (whole < want)
            return {done + convertCut(l, map, src, got - whole * l.bytes, at(p, done)), done};
    }
    return {done, done};
}

// Decodes run-length packets until n pixels are made or the file ends. A packet may cross a
// row; a run past the image's end is cut there.
Made readRunLength(Source &src, const Layout &l, const ColourMap *map, const Planes &p,
                   std::size_t n) {
    Made m;
    while (m.made < n) {
        if (src.fill(1) == 0) break;
        const unsigned packet = *src.data();
        src.consume(1);
        const std::size_t count = std::min<std::size_t>((packet & 0x7FU) + 1, n - m.made);
        if (packet & 0x80U) {
            const std::size_t got = src.fill(l.bytes);
            uint8_t pixel[4] = {};
            std::memcpy(pixel, src.data(), std::min(got, l.bytes));
            src.consume(std::min(got, l.bytes));
            if (got == 0) break;
            uint8_t b, g, r;
            convert(l, map, pixel, 1, {&b, &g, &r});
            std::memset(p.blue.get() + m.made, b, count);
            std::memset(p.green.get() + m.made, g, count);
            std::memset(p.red.get() + m.made, r, count);
            m.made += count;
            if (got < l.bytes) break;
            m.whole += count;
        } else {
            const std::size_t got = src.fill(count * l.bytes);
            const std::size_t whole = std::min(count, got / l.bytes);
            convert(l, map, src.data(), whole, at(p, m.made));
            src.consume(whole * l.bytes);
            m.made += whole;
            m.whole += whole;
            if (whole < count) {
                m.made += convertCut(l, map, src, got - whole * l.bytes, at(p, m.made));
                break;
            }
        }
    }
    return m;
}

// True when the open file is a regular file holding at least `need` bytes after offset `from`.
bool holdsAtLeast(int fd, uint64_t from, uint64_t need) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    return static_cast<uint64_t>(st.st_size) >= from + need;
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

// Prints the header line, then writes the header and the n pixels of d to f.
bool writeFile(std::FILE *f, const image_desc &d, const targa_header &head, std::size_t n) {
    // The header says what follows: uncompressed 24-bit true colour at byte 18, no
    // identification field, no colour map. The descriptor keeps its origin bits (4-5) and its
    // interleave bits (6-7): the rows go out in the order they came in.
    targa_header out = head;
    out.idlength = 0;
    out.colourmaptype = 0;
    out.datatypecode = 2;
    out.width = d.width;
    out.height = d.height;
    out.useless2[0] = 24;
    out.useless2[1] = static_cast<uint8_t>(head.useless2[1] & 0xF0U);
    std::printf(imgfile_msg::kHeaderLine, unsigned{out.idlength}, unsigned{out.colourmaptype},
                unsigned{out.datatypecode}, unsigned{out.width}, unsigned{out.height});
    std::uint8_t bytes[kHeaderBytes];
    imgfile_detail::headerToBytes(out, bytes);
    return std::fwrite(bytes, kHeaderBytes, 1, f) == 1 && writePixels(f, d, n);
}

std::string directoryOf(const std::string &path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Names that stand for a descriptor of this process: renaming over what they lead to would
// leave it writing to a deleted file.
bool namesADescriptor(const std::string &path) {
    return path.starts_with("/dev/fd/") || path.starts_with("/proc/self/fd/") ||
           path == "/dev/stdout" || path == "/dev/stderr";
}

// The file that a new image replaces: where fName leads once every link is followed (the
// target of a dangling link, or a name not yet taken, is created there). Nothing when the
// image is written in place: the name leads to something other than a regular file, to a
// descriptor of the process, to a file that may not be written, or through links that loop.
std::optional<std::string> replacedFile(const char *fName) {
    std::string path = fName;
    if (path.empty()) return std::nullopt;
    for (int links = 0; links < 40; ++links) {
        if (namesADescriptor(path)) return std::nullopt;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return path;
        if (!S_ISLNK(st.st_mode)) {
            if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) return std::nullopt;
            return path;
        }
        std::string to(4096, '\0');
        const ssize_t len = ::readlink(path.c_str(), to.data(), to.size());
        if (len <= 0 || static_cast<std::size_t>(len) == to.size()) return std::nullopt;
        to.resize(static_cast<std::size_t>(len));
        path = to.front() == '/' ? to : directoryOf(path) + "/" + to;
    }
    return std::nullopt;
}

// A hidden name beside the file, short enough for any file system.
std::string newFilePattern(const std::string &file) {
    const std::string dir = directoryOf(file);
    const auto slash = file.rfind('/');
    const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    return dir + "/." + (base.size() <= 200 ? base : std::string("image")) + ".XXXXXX";
}

}  // namespace

int readImageHead(targa_header *pHead, const char *fName) {
    // A plain descriptor: a directory scan reads thousands of headers, and a stream would
    // allocate a buffer and ask for the file's block size for each of them.
    const int fd = open(fName, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    // Fewer than 18 bytes (a short file, a directory) leave the rest of the record at 0.
    std::uint8_t bytes[kHeaderBytes] = {};
    static_cast<void>(fdio::readUpTo(fd, bytes, kHeaderBytes));
    close(fd);
    *pHead = imgfile_detail::headerFromBytes(bytes);
    return 1;
}

int imgfile_detail::readImageFile(image_desc *pDesc, targa_header *pHead, const char *fName,
                                  std::size_t &missing) {
    const fdio::Fd file{open(fName, O_RDONLY | O_CLOEXEC)};
    if (!file) return 0;
    Source src(file.get());
    std::uint8_t bytes[kHeaderBytes] = {};
    const std::size_t got = std::min(src.fill(kHeaderBytes), kHeaderBytes);
    if (src.error() != 0) {
        errno = src.error();
        return 0;
    }
    std::memcpy(bytes, src.data(), got);
    src.consume(got);
    const targa_header head = imgfile_detail::headerFromBytes(bytes);
    const auto layout = layoutOf(head);
    if (!layout) {
        errno = EINVAL;
        return 0;
    }
    const auto n = planeSize(head.width, head.height);
    if (!n) {
        errno = EOVERFLOW;
        return 0;
    }
    // Planes that the file may not fill come zeroed, so that nothing beyond what it supplies
    // is written or even made resident: run-length files, and raw ones too short for their
    // header's claim.
    const bool complete =
        got == kHeaderBytes && !layout->runLength &&
        holdsAtLeast(file.get(), kHeaderBytes + layout->pixelsAt, layout->bytes * uint64_t{*n});
    auto planes = allocPlanes(*n, !complete);
    if (!planes) return 0;
    std::unique_ptr<ColourMap> map;
    if (layout->mapped) {
        map.reset(new (std::nothrow) ColourMap{});
        if (!map) {
            errno = ENOMEM;
            return 0;
        }
    }

    Made done;
    if (got == kHeaderBytes) {
        src.skip(layout->skipped);
        if (map) loadMap(src, *layout, *map);
        done = layout->runLength ? readRunLength(src, *layout, map.get(), *planes, *n)
                                 : readRaw(src, *layout, map.get(), *planes, *n);
        if (done.made < *n && complete) {
            std::memset(planes->blue.get() + done.made, 0, *n - done.made);
            std::memset(planes->green.get() + done.made, 0, *n - done.made);
            std::memset(planes->red.get() + done.made, 0, *n - done.made);
        }
    }
    // A read that failed is no end of the file: nothing is handed out.
    if (src.error() != 0) {
        errno = src.error();
        return 0;
    }

    *pHead = head;
    pDesc->width = head.width;
    pDesc->height = head.height;
    pDesc->pBlue = planes->blue.release();
    pDesc->pGreen = planes->green.release();
    pDesc->pRed = planes->red.release();
    missing = *n - done.whole;
    return 1;
}

int readImage(image_desc *pDesc, targa_header *pHead, const char *fName) {
    std::size_t missing = 0;
    return imgfile_detail::readImageFile(pDesc, pHead, fName, missing);
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

    // The new image goes to a new file beside the file the name leads to, renamed over it once
    // complete; where that cannot be, the file is written in place.
    const auto target = replacedFile(fName);
    std::optional<fileio::NewFile> file;
    if (target) {
        file.emplace(newFilePattern(*target));
        if (file->stream() == nullptr && errno != EACCES && errno != EPERM) {
            std::fprintf(stderr, kCannotCreate, fName);
            return 0;
        }
    }
    File inPlace;
    if (!file || file->stream() == nullptr) {
        inPlace.reset(std::fopen(fName, "wb"));
        if (!inPlace) {
            std::fprintf(stderr, kCannotCreate, fName);
            return 0;
        }
    }
    std::FILE *const out = inPlace ? inPlace.get() : file->stream();
    errno = 0;
    const bool written = writeFile(out, iDesc, head, *n);
    const int failure = written ? 0 : (errno != 0 ? errno : EIO);
    const int err = inPlace ? fileio::closeWritten(inPlace.release(), failure)
                            : file->keepAs(target->c_str(), failure);
    if (err != 0) {
        std::fprintf(stderr, kCannotWrite, fName);
        errno = err;
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
