// Fuzzes readImageHead on arbitrary file bytes, and the decoder behind readImage on the same
// bytes in memory, against a small model of the format, whose kinds come from the table of
// pixel kinds: the header is the first 18 bytes (zero where the file is shorter, width and height
// little-endian); a kind that the reader does not decode is refused with EINVAL; otherwise the
// identification field and the colour map are passed, the pixel stream (raw, or run-length
// packets expanded) is decoded through the map or the 5-5-5, grey and 24/32-bit layouts, a
// pixel cut short keeps the bytes it has and every pixel past the end of the file is 0.
// Nothing leaks on any path.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz/fuzzSupport.h"
#include "imgfile/imgfile.h"
#include "imgfile/pixelKinds.h"
#include "imgfile/tgaDecoder.h"

namespace {

using imgfile_detail::Pixel;

const std::string &scratchTga() {
    static const std::string path = tgatest::scratchFile("input.tga");
    return path;
}
// Above this many pixels the header is scaled down before the bytes are written: the planes
// would be gigabytes, which tests the machine's memory, not the reader.
constexpr std::uint32_t kMaxPixels = 1U << 14;

struct Bgr {
    std::uint8_t b = 0, g = 0, r = 0;
};

// The model: the file's bytes with 0 beyond its end.
class Model {
  public:
    explicit Model(const std::vector<std::uint8_t> &bytes) : bytes_(bytes) {}

    std::uint8_t at(std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
    unsigned le16(std::size_t i) const { return at(i) | unsigned{at(i + 1)} << 8U; }
    bool present(std::size_t i) const { return i < bytes_.size(); }

    // The decoded pixels, or false for a refused header.
    bool decode(std::vector<Bgr> &out) {
        const unsigned idlength = at(0), mapType = at(1), type = at(2), depth = at(16);
        const unsigned mapFirst = le16(3), mapLength = le16(5), mapDepth = at(7);
        const std::size_t n = std::size_t{le16(12)} * le16(14);
        kind_ = type > 8 ? type - 8 : type;
        if (!(type <= 3 || (type >= 9 && type <= 11)) || mapType > 1) return false;
        out.assign(n, Bgr{});
        std::size_t pos = 18;
        rle_ = false;
        if (type == 0 || depth == 0) {
            pixel_ = Pixel::Bgr24;
            size_ = 3;
        } else {
            const std::size_t entry = (mapDepth + 7) / 8;
            const auto *kind = imgfile_detail::pixelKindOf(kind_, depth);
            if (kind == nullptr) return false;
            if (kind_ == 1) {
                if (mapType != 1 || mapLength == 0) return false;
                if (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32)
                    return false;
            }
            pos += idlength;
            map_.assign(65536, Bgr{});
            for (unsigned i = 0; mapType == 1 && i < mapLength; ++i, pos += entry) {
                if (kind_ == 1 && present(pos + entry - 1) && mapFirst + i < 65536)
                    map_[mapFirst + i] = mapDepth <= 16 ? from555(le16(pos))
                                                        : Bgr{at(pos), at(pos + 1), at(pos + 2)};
            }
            pixel_ = kind->pixel;
            size_ = (depth + 7) / 8;
            rle_ = type > 8;
        }
        const std::size_t size = size_;
        std::size_t k = 0;
        while (k < n && present(pos)) {
            if (!rle_) {
                out[k++] = pixelAt(pos);
                pos += size;
                continue;
            }
            const unsigned packet = at(pos++);
            const std::size_t count = std::min<std::size_t>((packet & 0x7FU) + 1, n - k);
            if (packet & 0x80U) {
                if (!present(pos)) break;
                const Bgr v = pixelAt(pos);
                pos += size;
                for (std::size_t j = 0; j < count; ++j)
                    out[k++] = v;
            } else {
                for (std::size_t j = 0; j < count && present(pos); ++j, pos += size)
                    out[k++] = pixelAt(pos);
            }
        }
        return true;
    }

  private:
    static std::uint8_t widen(unsigned v) { return static_cast<std::uint8_t>(v << 3U | v >> 2U); }
    static Bgr from555(unsigned v) {
        return {widen(v & 31U), widen(v >> 5U & 31U), widen(v >> 10U & 31U)};
    }
    Bgr pixelAt(std::size_t p) const {
        switch (pixel_) {
            case Pixel::Rgb555:
                return from555(le16(p));
            case Pixel::Bgr24:
            case Pixel::Bgra32:
                return {at(p), at(p + 1), at(p + 2)};
            case Pixel::Index8:
                return map_[at(p)];
            case Pixel::Index16:
                return map_[le16(p)];
            case Pixel::Grey8:
            case Pixel::GreyAlpha16:
                return {at(p), at(p), at(p)};
        }
        return {};
    }

    const std::vector<std::uint8_t> &bytes_;
    std::vector<Bgr> map_;
    Pixel pixel_ = Pixel::Bgr24;
    std::size_t size_ = 3;
    unsigned kind_ = 0;
    bool rle_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgatest::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    Model model(bytes);
    const std::uint32_t width = model.le16(12), height = model.le16(14);
    if (width * height > kMaxPixels) {
        if (bytes.size() < 16) bytes.resize(16);  // a missing header byte reads as 0 anyway
        bytes[14] = static_cast<std::uint8_t>(kMaxPixels / width);
        bytes[15] = static_cast<std::uint8_t>((kMaxPixels / width) >> 8U);
    }
    tgatest::writeFile(scratchTga(), std::string(bytes.begin(), bytes.end()));

    targa_header expected;
    std::memset(&expected, 0, sizeof expected);
    expected.idlength = model.at(0);
    expected.colourmaptype = model.at(1);
    expected.datatypecode = model.at(2);
    for (std::size_t i = 0; i < sizeof expected.useless; ++i)
        expected.useless[i] = model.at(3 + i);
    expected.width = static_cast<std::uint16_t>(model.le16(12));
    expected.height = static_cast<std::uint16_t>(model.le16(14));
    expected.useless2[0] = model.at(16);
    expected.useless2[1] = model.at(17);

    targa_header head;
    std::memset(&head, 0xA5, sizeof head);
    FUZZ_CHECK(readImageHead(&head, scratchTga().c_str()) == 1);
    FUZZ_CHECK(std::memcmp(&head, &expected, sizeof expected) == 0);

    std::vector<Bgr> want;
    const bool decodable = model.decode(want);
    image_desc desc{};
    std::memset(&head, 0xA5, sizeof head);
    errno = 0;
    imgfile_detail::ByteSource src{std::span<const std::uint8_t>(bytes)};
    std::size_t missing = 0;
    if (imgfile_detail::decode(src, &desc, &head, missing) != 1) {
        // A refused kind, or running out of memory; then nothing is handed out.
        FUZZ_CHECK(decodable ? errno == ENOMEM : errno == EINVAL);
        FUZZ_CHECK(desc.pRed == nullptr && desc.pGreen == nullptr && desc.pBlue == nullptr);
        FUZZ_CHECK(head.width == 0xA5A5);
        return 0;
    }
    FUZZ_CHECK(decodable);
    FUZZ_CHECK(std::memcmp(&head, &expected, sizeof expected) == 0);
    FUZZ_CHECK(desc.width == head.width && desc.height == head.height);
    FUZZ_CHECK(desc.pRed != nullptr && desc.pGreen != nullptr && desc.pBlue != nullptr);
    FUZZ_CHECK(want.size() == std::size_t{desc.width} * desc.height);
    for (std::size_t k = 0; k < want.size(); ++k) {
        FUZZ_CHECK(desc.pBlue[k] == want[k].b);
        FUZZ_CHECK(desc.pGreen[k] == want[k].g);
        FUZZ_CHECK(desc.pRed[k] == want[k].r);
    }
    freeImage(&desc);
    FUZZ_CHECK(desc.pRed == nullptr && desc.pGreen == nullptr && desc.pBlue == nullptr);
    freeImage(&desc);
    return 0;
}
