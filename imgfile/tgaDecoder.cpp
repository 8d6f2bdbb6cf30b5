// The TGA decoder: the layout a header gives, the colour map, the raw and run-length pixel
// readers and the pixel conversions, over a byte source.
#include "imgfile/tgaDecoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "fdio/fdio.h"
#include "imgfile/pixelKernels.h"
#include "imgfile/pixelKinds.h"
#include "imgfile/planes.h"
#include "imgfile/tgaBytes.h"

namespace imgfile_detail {

// ---------------------------------------------------------------------------------------------
// The bytes, through one bounded buffer
// ---------------------------------------------------------------------------------------------

std::size_t ByteSource::refill(std::size_t want) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    while (end_ < want && !ended_) {
        const ssize_t r = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) error_ = errno;
        if (r <= 0) {
            ended_ = true;
        } else {
            end_ += static_cast<std::size_t>(r);
            read_ += static_cast<std::uint64_t>(r);
        }
    }
    return end_ - pos_;
}

void ByteSource::skip(std::uint64_t n) {
    while (n > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, kBufferBytes));
        const std::size_t got = std::min(fill(want), want);
        if (got == 0) return;
        consume(got);
        n -= got;
    }
}

std::size_t ByteSource::readInto(std::uint8_t *to, std::size_t n) {
    std::size_t got = std::min(n, end_ - pos_);
    std::memcpy(to, data(), got);
    consume(got);
    if (got < n && !ended_) {
        const ssize_t r = fdio::readUpTo(fd_, to + got, n - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            read_ += static_cast<std::uint64_t>(r);
        }
        if (r < 0) error_ = errno;
        // A short count is the end of the file; an error ends it too.
        if (got < n || r < 0) ended_ = true;
    }
    return got;
}

bool ByteSource::holds(std::uint64_t need) const {
    if (fd_ < 0) return end_ - pos_ >= need;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    // What is consumed: what was read less what waits in the buffer.
    return static_cast<std::uint64_t>(st.st_size) >= read_ - (end_ - pos_) + need;
}

namespace {

// ---------------------------------------------------------------------------------------------
// What a header says about the pixel stream
// ---------------------------------------------------------------------------------------------

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
    const unsigned mapFirst = loadLe16(head.useless);
    const unsigned mapLength = loadLe16(head.useless + 2);
    const unsigned mapDepth = head.useless[4];
    const std::size_t mapEntry = (mapDepth + 7) / 8;
    const uint64_t mapBytes = hasMap ? uint64_t{mapLength} * mapEntry : 0;
    const uint64_t pixelsAt = head.idlength + mapBytes;
    Layout l{Pixel::Bgr24, 0, type > 8, pixelsAt, pixelsAt, false, 0, 0, 0, 0};
    const PixelKind *const pixelKind = pixelKindOf(kind, depth);
    if (pixelKind == nullptr) return std::nullopt;
    l.pixel = pixelKind->pixel;
    if (kind == 1) {
        if (!hasMap || mapLength == 0 ||
            (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32))
            return std::nullopt;
        l.skipped = head.idlength;
        l.mapped = true;
        l.mapFirst = mapFirst;
        l.mapLength = mapLength;
        l.mapEntry = mapEntry;
        l.mapDepth = mapDepth;
    }
    l.bytes = (depth + 7) / 8;
    return l;
}

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
            chosen().split(src, n, o.b, o.g, o.r);
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
                from555(loadLe16(src + 2 * i), o.b[i], o.g[i], o.r[i]);
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
                const uint16_t k = loadLe16(src + 2 * i);
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
void loadMap(ByteSource &src, const Layout &l, ColourMap &map) {
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
                from555(loadLe16(e), map.b[index], map.g[index], map.r[index]);
            else
                map.b[index] = e[0], map.g[index] = e[1], map.r[index] = e[2];
        }
        src.consume(l.mapEntry);
    }
}

// One pixel that the file ends inside keeps the bytes it has, the others 0.
std::size_t convertCut(const Layout &l, const ColourMap *map, ByteSource &src, std::size_t got,
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
Made readRaw(ByteSource &src, const Layout &l, const ColourMap *map, const Planes &p,
             std::size_t n) {
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

// The longest run-length packet: its count byte and 128 pixels of 4 bytes.
constexpr std::size_t kLongestPacket = 1 + 128 * 4;

// Decodes whole packets from a window of the buffered bytes, while at least a longest packet
// is left in it, until n pixels are made; returns how many there are now. The window's cursor
// and the planes are locals, so that storing pixels does not make the compiler reload the
// source's fields; the source learns what was used once per window.
std::size_t readWholePackets(ByteSource &src, const Layout &l, const ColourMap *map,
                             const Planes &p, std::size_t made, std::size_t n) {
    const std::size_t bytes = l.bytes;
    uint8_t *const blue = p.blue.get(), *const green = p.green.get(), *const red = p.red.get();
    while (made < n) {
        const std::size_t held = src.fill(kLongestPacket);
        if (held < kLongestPacket) break;
        const uint8_t *const begin = src.data();
        const uint8_t *const last = begin + (held - kLongestPacket);  // where a packet may start
        const uint8_t *at = begin;
        while (at <= last && made < n) {
            const unsigned packet = *at++;
            const std::size_t count = std::min<std::size_t>((packet & 0x7FU) + 1, n - made);
            if (packet & 0x80U) {
                uint8_t b, g, r;
                convert(l, map, at, 1, {&b, &g, &r});
                std::memset(blue + made, b, count);
                std::memset(green + made, g, count);
                std::memset(red + made, r, count);
                at += bytes;
            } else {
                convert(l, map, at, count, {blue + made, green + made, red + made});
                at += count * bytes;
            }
            made += count;
        }
        src.consume(static_cast<std::size_t>(at - begin));
    }
    return made;
}

// Decodes run-length packets until n pixels are made or the file ends. A packet may cross a
// row; a run past the image's end is cut there.
Made readRunLength(ByteSource &src, const Layout &l, const ColourMap *map, const Planes &p,
                   std::size_t n) {
    // Packets that are surely whole first, then the last few bytes one careful step at a time.
    Made m;
    m.made = m.whole = readWholePackets(src, l, map, p, 0, n);
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

}  // namespace

int decode(ByteSource &src, image_desc *pDesc, targa_header *pHead, std::size_t &missing) {
    std::uint8_t bytes[kHeaderBytes] = {};
    const std::size_t got = std::min(src.fill(kHeaderBytes), kHeaderBytes);
    if (src.error() != 0) {
        errno = src.error();
        return 0;
    }
    std::memcpy(bytes, src.data(), got);
    src.consume(got);
    const targa_header head = headerFromBytes(bytes);
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
    const bool complete = got == kHeaderBytes && !layout->runLength &&
                          src.holds(layout->pixelsAt + layout->bytes * uint64_t{*n});
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

int readImageFile(image_desc *pDesc, targa_header *pHead, const char *fName, std::size_t &missing) {
    const fdio::Fd file{::open(fName, O_RDONLY | O_CLOEXEC)};
    if (!file) return 0;
    ByteSource src(file.get());
    return decode(src, pDesc, pHead, missing);
}

}  // namespace imgfile_detail
