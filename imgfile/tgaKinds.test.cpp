// Tests of the decoder over every kind of TGA file: hand-made bytes with their planes as
// literals, every kind of the table of pixel kinds, refused headers, hostile files, and files
// written and decoded by ImageMagick and netpbm.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "imgfile/imgfile.h"
#include "imgfile/pixelKinds.h"
#include "imgfile/tgaDecoder.h"
#include "tests/support/capture.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/tempdir.h"

namespace {

using Bytes = std::string;

// A header from host values, every multi-byte field written low byte first.
struct Head {
    std::uint8_t type, depth;
    std::uint16_t width = 3, height = 2;
    std::uint8_t idlength = 0, mapType = 0;
    std::uint16_t mapFirst = 0, mapLength = 0;
    std::uint8_t mapDepth = 0, descriptor = 0;

    Bytes bytes() const {
        const auto b = [](unsigned v) { return static_cast<char>(v & 0xFFU); };
        return Bytes{b(idlength),
                     b(mapType),
                     b(type),
                     b(mapFirst),
                     b(mapFirst >> 8U),
                     b(mapLength),
                     b(mapLength >> 8U),
                     b(mapDepth),
                     0,
                     0,
                     0,
                     0,
                     b(width),
                     b(width >> 8U),
                     b(height),
                     b(height >> 8U),
                     b(depth),
                     b(descriptor)};
    }
};

using Reader = std::function<int(image_desc *, targa_header *)>;

// readImage of a file.
Reader fromFile(const std::string &file) {
    return
        [file](image_desc *out, targa_header *head) { return readImage(out, head, file.c_str()); };
}

// The decoder over bytes in memory; how many pixels they missed goes to `missing` if given.
Reader fromMemory(const std::string &bytes, std::size_t *missing = nullptr) {
    return [&bytes, missing](image_desc *out, targa_header *head) {
        imgfile_detail::ByteSource src(
            std::span(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()));
        std::size_t missed = 0;
        const int result = imgfile_detail::decode(src, out, head, missed);
        if (missing != nullptr) *missing = missed;
        return result;
    };
}

struct Read {
    image_desc d{};
    targa_header head{};
    int result = 0;
    int error = 0;
    tgatest::Printed printed;
    explicit Read(const Reader &read)
        : printed(tgatest::captured([&] {
              errno = 0;
              result = read(&d, &head);
              error = errno;
          })) {}
    ~Read() { freeImage(&d); }
    Read(const Read &) = delete;
    Read &operator=(const Read &) = delete;

    // Blue, green, red of every pixel, in file order.
    Bytes pixels() const {
        Bytes out;
        for (std::size_t i = 0; i < std::size_t{d.width} * d.height; ++i)
            out += {char(d.pBlue[i]), char(d.pGreen[i]), char(d.pRed[i])};
        return out;
    }
};

// Six pixels with a different colour each, as blue, green, red.
const Bytes kPicture("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12",
                     18);
const Bytes kBlack(3, '\0');
// 5-5-5 values (attribute bit set on the fourth) and what they widen to.
const Bytes kRgb555("\x00\x7C\xE0\x03\x1F\x00\x21\x84\x04\x41\xD1\x0B", 12);
const Bytes kWidened("\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00\x08\x08\x08\x21\x42\x84\x8C\xF7\x10",
                     18);

// The six pixels of a picture in the layout of `pixel`, the colour map of 24-bit entries they
// need, and the planes they decode to.
struct Sample {
    Bytes map, pixels, planes;
};
Sample sampleOf(imgfile_detail::Pixel pixel) {
    using imgfile_detail::Pixel;
    const Bytes grey("\x10\x20\x30\x40\x50\x60", 6);
    Bytes greys, greyAlpha, bgra, reversed;
    for (std::size_t i = 0; i < 6; ++i) {
        greys += Bytes(3, grey[i]);
        greyAlpha += Bytes{grey[i], '\x7F'};
        bgra += kPicture.substr(3 * i, 3) + char(0x80 + i);
        reversed += kPicture.substr(15 - 3 * i, 3);
    }
    switch (pixel) {
        case Pixel::Bgr24:
            return {"", kPicture, kPicture};
        case Pixel::Bgra32:
            return {"", bgra, kPicture};
        case Pixel::Rgb555:
            return {"", kRgb555, kWidened};
        case Pixel::Grey8:
            return {"", grey, greys};
        case Pixel::GreyAlpha16:
            return {"", greyAlpha, greys};
        case Pixel::Index8:
            return {kPicture, Bytes("\5\4\3\2\1\0", 6), reversed};
        case Pixel::Index16:
            return {kPicture, Bytes("\5\0\4\0\3\0\2\0\1\0\0\0", 12), reversed};
    }
    return {};
}

class Decode : public testing::Test {
  protected:
    // Decodes `bytes`; the test stops unless they give a 3 x 2 image.
    static Bytes decode(const Bytes &bytes) {
        const Read r(fromMemory(bytes));
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.printed.out + r.printed.err, "");
        if (r.result != 1 || r.d.width != 3 || r.d.height != 2) return "not a 3 x 2 image";
        return r.pixels();
    }
};

// Every kind of the table, uncompressed and as one raw run-length packet.
TEST_F(Decode, EveryKindOfTheTableGivesItsPlanes) {
    for (const auto &kind : imgfile_detail::kPixelKinds) {
        const Sample sample = sampleOf(kind.pixel);
        Head head{.type = kind.type, .depth = kind.depth};
        if (!sample.map.empty()) head.mapType = 1, head.mapLength = 6, head.mapDepth = 24;
        EXPECT_EQ(decode(head.bytes() + sample.map + sample.pixels), sample.planes) << kind.name;
        head.type = static_cast<std::uint8_t>(head.type + 8);
        EXPECT_EQ(decode(head.bytes() + sample.map + "\x05" + sample.pixels), sample.planes)
            << kind.name;
    }
}

TEST_F(Decode, UncompressedKindsGiveTheirPlanes) {
    // An identification field, then a colour map that a true-colour image does not use.
    const Head withId{.type = 2, .depth = 24, .idlength = 3};
    const Head withMap{
        .type = 2, .depth = 24, .mapType = 1, .mapFirst = 5, .mapLength = 2, .mapDepth = 24};
    EXPECT_EQ(decode(withId.bytes() + "abc" + kPicture), kPicture);
    EXPECT_EQ(decode(withMap.bytes() + Bytes(6, '\x55') + kPicture), kPicture);
    // Depth 15 is 5-5-5 as 16 is; the other kinds of the table are tested above.
    EXPECT_EQ(decode(Head{.type = 2, .depth = 15}.bytes() + kRgb555), kWidened);
    // Type 0 or depth 0, as the writer once put out from a zeroed header: 24-bit from byte 18.
    EXPECT_EQ(decode(Head{.type = 0, .depth = 0, .idlength = 2}.bytes() + kPicture), kPicture);
    EXPECT_EQ(decode(Head{.type = 2, .depth = 0}.bytes() + kPicture), kPicture);
}

TEST_F(Decode, ColourMapsHonourTheirFirstIndex) {
    // Entries for indices 2, 3 and 4; indices 0 and 5 lie outside the map and read as 0.
    const Head map24{
        .type = 1, .depth = 8, .mapType = 1, .mapFirst = 2, .mapLength = 3, .mapDepth = 24};
    const Bytes expected = kPicture.substr(0, 9) + kBlack + kBlack + kPicture.substr(6, 3);
    EXPECT_EQ(decode(map24.bytes() + kPicture.substr(0, 9) + Bytes("\2\3\4\0\5\4", 6)), expected);
    Head map32 = map24;
    map32.mapDepth = 32;
    EXPECT_EQ(decode(map32.bytes() + Bytes("\x01\x02\x03\xFF\x04\x05\x06\xFF\x07\x08\x09\xFF", 12) +
                     Bytes("\2\3\4\0\5\4", 6)),
              expected);
    // 16-bit indices from 0x0100 into a map of 5-5-5 entries, with the ID field before it.
    const Head map16{.type = 1,
                     .depth = 16,
                     .idlength = 1,
                     .mapType = 1,
                     .mapFirst = 0x100,
                     .mapLength = 2,
                     .mapDepth = 15};
    EXPECT_EQ(decode(map16.bytes() + "i" + Bytes("\x00\x7C\x1F\x00", 4) +
                     Bytes("\x00\x01\x01\x01\x00\x01\x01\x01\xFF\xFF\x00\x00", 12)),
              Bytes("\x00\x00\xFF\xFF\x00\x00\x00\x00\xFF\xFF\x00\x00", 12) + kBlack + kBlack);
}

TEST_F(Decode, RunLengthPacketsCrossRowsAndStopAtTheEnd) {
    // Two raw pixels, then a run of three that crosses into the second row, then one raw.
    const Bytes packets = "\x01" + kPicture.substr(0, 6) + "\x82" + kPicture.substr(6, 3) +
                          Bytes(1, '\0') + kPicture.substr(15, 3);
    const Bytes expected = kPicture.substr(0, 9) + kPicture.substr(6, 3) + kPicture.substr(6, 3) +
                           kPicture.substr(15, 3);
    EXPECT_EQ(decode(Head{.type = 10, .depth = 24}.bytes() + packets), expected);
    Bytes packets32;
    packets32 += "\x01" + kPicture.substr(0, 3) + "A" + kPicture.substr(3, 3) + "A";
    packets32 +=
        "\x82" + kPicture.substr(6, 3) + "A" + Bytes(1, '\0') + kPicture.substr(15, 3) + "A";
    EXPECT_EQ(decode(Head{.type = 10, .depth = 32}.bytes() + packets32), expected);
    EXPECT_EQ(
        decode(Head{.type = 10, .depth = 16}.bytes() + Bytes("\x85\x1F\x00", 3)),
        Bytes("\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00", 18));
    // A run of 8 grey pixels over an image of 6: cut at the image's end.
    EXPECT_EQ(decode(Head{.type = 11, .depth = 8}.bytes() + "\x87\x40" + "\x87\x41"),
              Bytes(18, '\x40'));
    EXPECT_EQ(
        decode(Head{.type = 11, .depth = 16}.bytes() + "\x01\x10\xFF\x20\xFF\x83\x30\xFF"),
        Bytes("\x10\x10\x10\x20\x20\x20\x30\x30\x30\x30\x30\x30\x30\x30\x30\x30\x30\x30", 18));
    const Head mapped{.type = 9, .depth = 8, .mapType = 1, .mapLength = 2, .mapDepth = 24};
    EXPECT_EQ(decode(mapped.bytes() + kPicture.substr(0, 6) + Bytes("\x81\x01\x83\x00", 4)),
              kPicture.substr(3, 3) + kPicture.substr(3, 3) + kPicture.substr(0, 3) +
                  kPicture.substr(0, 3) + kPicture.substr(0, 3) + kPicture.substr(0, 3));
}

TEST_F(Decode, FilesThatEndEarlyReadMissingPixelsAsZero) {
    // The file ends inside a raw packet's second pixel: it keeps the byte it has.
    EXPECT_EQ(decode(Head{.type = 10, .depth = 24}.bytes() + "\x03" + kPicture.substr(0, 4)),
              kPicture.substr(0, 4) + Bytes(14, '\0'));
    // Inside a run's pixel, after a header alone, and inside the identification field or the map.
    Bytes cutRun;
    for (int i = 0; i < 6; ++i)
        cutRun += Bytes("\x01\0\0", 3);
    EXPECT_EQ(decode(Head{.type = 10, .depth = 24}.bytes() + "\x85\x01"), cutRun);
    EXPECT_EQ(decode(Head{.type = 11, .depth = 8}.bytes()), Bytes(18, '\0'));
    EXPECT_EQ(decode(Head{.type = 2, .depth = 24, .idlength = 255}.bytes() + "short"),
              Bytes(18, '\0'));
    const Head bigMap{.type = 1, .depth = 8, .mapType = 1, .mapLength = 65535, .mapDepth = 32};
    EXPECT_EQ(decode(bigMap.bytes() + Bytes(100, '\x33')), Bytes(18, '\0'));
}

TEST_F(Decode, HostileFilesStayBounded) {
    // A full map of 65535 32-bit entries from index 0: the last one is reachable.
    const Head bigMap{.type = 9, .depth = 16, .mapType = 1, .mapLength = 65535, .mapDepth = 32};
    Bytes map(std::size_t{4} * 65535, '\0');
    map.replace(std::size_t{4} * 65534, 4, "\x0A\x0B\x0C\x0D");
    Bytes six;
    for (int i = 0; i < 6; ++i)
        six += "\x0A\x0B\x0C";
    EXPECT_EQ(decode(bigMap.bytes() + map + "\x85\xFE\xFF"), six);
    // A huge claim in a tiny run-length file: zeroed planes, read no further than the file.
    const Bytes tiny =
        Head{.type = 10, .depth = 24, .width = 4000, .height = 4000}.bytes() + "\xFF\x01\x02\x03";
    const Read r(fromMemory(tiny));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.d.width, 4000);
    ASSERT_EQ(r.d.height, 4000);
    EXPECT_EQ(r.d.pRed[127], 3);
    EXPECT_EQ(r.d.pRed[128], 0);
    EXPECT_EQ(r.d.pBlue[4000u * 4000u - 1], 0);
}

// Run-length files of many buffers' worth, from a descriptor and from memory, whole and cut
// just after a count byte deep inside: the packets before the cut are whole, the rest missing.
TEST_F(Decode, LongRunLengthFilesReadWholeUpToWhereTheyEnd) {
    const tgatest::TempDir dir;
    const std::string file = (dir / "long.tga").string();
    const std::size_t n = std::size_t{600} * 500;
    Bytes tga = Head{.type = 10, .depth = 24, .width = 600, .height = 500}.bytes(), planes, cut;
    std::size_t cutMissing = 0;
    for (std::size_t made = 0, k = 0; made < n; ++k) {
        const std::size_t count = std::min<std::size_t>(k * 37 % 128 + 1, n - made);
        const bool run = k % 3 != 0;
        if (cutMissing == 0 && made > n / 2)
            cut = tga + char(run ? 0x80 : 0), cutMissing = n - made;
        tga += char((run ? 0x80U : 0U) | (count - 1));
        for (std::size_t i = 0; i < count; ++i) {
            const Bytes pixel(3, char(k + (run ? 0 : i * 3)));
            if (!run || i == 0) tga += pixel;
            planes += pixel;
        }
        made += count;
    }
    const Bytes cutPlanes = planes.substr(0, 3 * (n - cutMissing)) + Bytes(3 * cutMissing, '\0');
    for (const auto &[bytes, expected, missing] :
         {std::tuple{tga, planes, std::size_t{0}}, {cut, cutPlanes, cutMissing}}) {
        tgatest::writeFile(file, bytes);
        std::size_t memoryMissing = n;
        for (const Reader &read : {fromFile(file), fromMemory(bytes, &memoryMissing)}) {
            const Read r(read);
            ASSERT_EQ(r.result, 1);
            EXPECT_TRUE(r.pixels() == expected);
        }
        EXPECT_EQ(memoryMissing, missing);
    }
}

TEST_F(Decode, OtherFilesAreRefusedWithEinvalAndNothingAllocated) {
    const Bytes png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 29);
    const Bytes jpeg("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 20);
    const Head refused[] = {
        {.type = 5, .depth = 24},
        {.type = 17, .depth = 24},
        {.type = 2, .depth = 8},
        {.type = 10, .depth = 20},
        {.type = 3, .depth = 24},
        {.type = 1, .depth = 8},                                // no map
        {.type = 9, .depth = 8, .mapType = 1, .mapDepth = 24},  // a map of no entries
        {.type = 1, .depth = 24, .mapType = 1, .mapLength = 2, .mapDepth = 24},
        {.type = 1, .depth = 8, .mapType = 1, .mapLength = 2, .mapDepth = 8},
        {.type = 2, .depth = 24, .mapType = 2},
    };
    std::vector<Bytes> files{png, jpeg};
    for (const Head &h : refused)
        files.push_back(h.bytes() + kPicture);
    for (const Bytes &bytes : files) {
        const Read r(fromMemory(bytes));
        EXPECT_EQ(r.result, 0) << testing::PrintToString(bytes);
        EXPECT_EQ(r.error, EINVAL);
        EXPECT_EQ(r.printed.out + r.printed.err, "");
        EXPECT_EQ(r.head.width, 0);
        EXPECT_TRUE(r.d.pBlue == nullptr && r.d.pGreen == nullptr && r.d.pRed == nullptr);
    }
}

// ---------------------------------------------------------------------------------------------
// Files exchanged with ImageMagick and netpbm
// ---------------------------------------------------------------------------------------------

std::string tool(const std::string &name) {
    for (const char *dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        std::string path = dir + name;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

// A 5 x 3 picture of 15 colours, rows top to bottom, RGB per pixel.
constexpr std::size_t kPixelBytes = std::size_t{3} * 15;
Bytes picturePpm() {
    Bytes rgb;
    for (int i = 0; i < 15; ++i)
        rgb += {char(17 * i), char(255 - 13 * i), char(i % 2 ? 40 * (i % 6) : 200)};
    return "P6\n5 3\n255\n" + rgb;
}

// The RGB rows of a decoded picture, reversed: w pixels per row.
Bytes flipRows(const Bytes &rgb, std::size_t w) {
    Bytes out;
    for (std::size_t row = rgb.size() / (3 * w); row-- > 0;)
        out += rgb.substr(row * 3 * w, 3 * w);
    return out;
}

// The planes as RGB per pixel, in file order.
Bytes rgbOf(const Read &r) {
    Bytes out;
    for (std::size_t i = 0; i < std::size_t{r.d.width} * r.d.height; ++i)
        out += {char(r.d.pRed[i]), char(r.d.pGreen[i]), char(r.d.pBlue[i])};
    return out;
}

class ReadAndWriteImage : public Decode {
  protected:
    tgatest::TempDir dir;
    const std::string file = (dir / "k.tga").string();
    const std::string convert = tool("convert"), tgatoppm = tool("tgatoppm"),
                      ppmtotga = tool("ppmtotga");
    const std::string ppm = (dir / "in.ppm").string();
    const std::string back = (dir / "back.tga").string();

    void SetUp() override {
        if (convert.empty() || tgatoppm.empty() || ppmtotga.empty())
            GTEST_SKIP() << "ImageMagick (convert) or netpbm (tgatoppm, ppmtotga) is not installed";
        tgatest::writeFile(ppm, picturePpm());
    }

    // What ImageMagick decodes: it keeps the file's row order.
    Bytes byImageMagick(const std::string &tga) {
        const auto r = tgatest::run({convert, tga, "-depth", "8", "rgb:-"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
    // What tgatoppm decodes, back in the file's row order (it puts the top row first).
    Bytes byNetpbm(const std::string &tga, bool topFirst, std::size_t width) {
        const auto r = tgatest::run({tgatoppm, tga});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::size_t header = r.out.size() >= kPixelBytes ? r.out.size() - kPixelBytes : 0;
        const Bytes rgb = r.out.substr(header);
        return topFirst ? rgb : flipRows(rgb, width);
    }

    // readImage of `tga` matches what `oracle` decodes; so does writeImage's copy, in both tools.
    void check(const std::string &what, const Bytes &decoded) {
        SCOPED_TRACE(what);
        const Read r(fromFile(file));
        ASSERT_EQ(r.result, 1);
        ASSERT_EQ(r.d.width, 5);
        ASSERT_EQ(r.d.height, 3);
        EXPECT_EQ(rgbOf(r), decoded);
        (void)tgatest::captured([&] { EXPECT_EQ(writeImage(r.d, r.head, back.c_str()), 1); });
        EXPECT_EQ(byImageMagick(back), decoded);
        EXPECT_EQ(byNetpbm(back, (r.head.useless2[1] & 0x20) != 0, 5), decoded);
    }
};

TEST_F(ReadAndWriteImage, ImageMagickFilesOfEveryKind) {
    const std::vector<std::vector<std::string>> kinds = {
        {"-type", "TrueColor", "-compress", "RLE"},
        {"-type", "Palette", "-compress", "None"},
        {"-type", "Palette", "-compress", "RLE"},
        {"-type", "Grayscale", "-compress", "None"},
        {"-type", "Grayscale", "-compress", "RLE"},
        {"-type", "TrueColorAlpha", "-compress", "None"},
        {"-type", "TrueColorAlpha", "-compress", "RLE"},
    };
    for (const auto &options : kinds) {
        std::vector<std::string> argv{convert, ppm};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(file);
        const auto made = tgatest::run(argv);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        check(testing::PrintToString(options), byImageMagick(file));
    }
}

TEST_F(ReadAndWriteImage, NetpbmFilesOfEveryKind) {
    // ppmtotga writes an identification field (the input's name) and run-length packets
    // unless told -norle; -mono makes grey levels, -cmap a colour map.
    for (const auto &options : std::vector<std::vector<std::string>>{{"-rgb"},
                                                                     {"-rgb", "-norle"},
                                                                     {"-cmap"},
                                                                     {"-cmap", "-norle"},
                                                                     {"-mono"},
                                                                     {"-mono", "-norle"}}) {
        // ppmtotga reads its standard input: the shell connects it.
        std::vector<std::string> argv{
            "/bin/sh", "-c", "f=$1; o=$2; shift 2; \"$0\" \"$@\" <\"$f\" >\"$o\"",
            ppmtotga,  ppm,  file};
        argv.insert(argv.end(), options.begin(), options.end());
        const auto made = tgatest::run(argv);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const Read r(fromFile(file));
        ASSERT_EQ(r.result, 1);
        check(testing::PrintToString(options), byNetpbm(file, (r.head.useless2[1] & 0x20) != 0, 5));
    }
}

}  // namespace
