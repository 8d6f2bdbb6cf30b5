// Tests of the TGA image file store: byte layout, round trips, short and odd files, failures,
// and files exchanged with ImageMagick.
#include "imgfile/imgfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/tempdir.h"

namespace {

using Bytes = std::string;

// An 18-byte header in file order; width and height little-endian.
Bytes headerBytes(uint16_t width, uint16_t height, uint8_t idlength = 0, uint8_t descriptor = 0) {
    Bytes h(18, '\0');
    h[0] = static_cast<char>(idlength);
    h[2] = 2;
    h[12] = static_cast<char>(width & 0xFF);
    h[13] = static_cast<char>(width >> 8);
    h[14] = static_cast<char>(height & 0xFF);
    h[15] = static_cast<char>(height >> 8);
    h[16] = 24;
    h[17] = static_cast<char>(descriptor);
    return h;
}

targa_header makeHeader(uint16_t width, uint16_t height, uint8_t descriptor = 0) {
    targa_header h{};
    h.datatypecode = 2;
    h.width = width;
    h.height = height;
    h.useless2[0] = 24;
    h.useless2[1] = descriptor;
    return h;
}

// A w x h image with a different colour in every pixel: blue = i, green = 100 + i, red = 200 - i.
image_desc patternImage(uint16_t w, uint16_t h) {
    image_desc d{};
    const int n = mallocImage(&d, w, h);
    for (int i = 0; i < n; ++i) {
        const auto u = static_cast<unsigned>(i);
        d.pBlue[i] = static_cast<uint8_t>(u);
        d.pGreen[i] = static_cast<uint8_t>(100 + u);
        d.pRed[i] = static_cast<uint8_t>(200 - u);
    }
    return d;
}

std::vector<uint8_t> plane(const uint8_t *p, std::size_t n) {
    return {p, p + n};
}

// Runs fn with the standard output captured; returns what was printed.
template <class Fn>
std::string captureStdout(Fn fn) {
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::string tool(const std::string &name) {
    for (const char *dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
        std::string path = dir + name;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

TEST(writeImage, WritesHeaderThenBlueGreenRedPerPixel) {
    tgatest::TempDir dir;
    image_desc d{};
    ASSERT_EQ(mallocImage(&d, 2, 1), 2);
    d.pBlue[0] = 1, d.pGreen[0] = 2, d.pRed[0] = 3;
    d.pBlue[1] = 4, d.pGreen[1] = 5, d.pRed[1] = 6;
    const auto file = (dir / "two.tga").string();
    const std::string out =
        captureStdout([&] { EXPECT_EQ(writeImage(d, makeHeader(2, 1), file.c_str()), 1); });
    EXPECT_EQ(out, "[read mem_targa] Header : 0 0 2 2 1 \n");
    EXPECT_EQ(tgatest::readFile(file), headerBytes(2, 1) + Bytes("\1\2\3\4\5\6", 6));
    freeImage(&d);
}

TEST(writeImage, DescriptorDimensionsWinOverTheHeader) {
    tgatest::TempDir dir;
    image_desc d = patternImage(3, 2);
    targa_header head = makeHeader(640, 480);
    head.idlength = 7;  // printed and written back, but no identification field follows
    head.colourmaptype = 1;
    const auto file = (dir / "f.tga").string();
    const std::string out = captureStdout([&] { EXPECT_EQ(writeImage(d, head, file.c_str()), 1); });
    EXPECT_EQ(out, "[read mem_targa] Header : 7 1 2 3 2 \n");
    EXPECT_EQ(head.width, 640);  // the caller's record is its own
    const Bytes bytes = tgatest::readFile(file);
    ASSERT_EQ(bytes.size(), 18u + 18u);
    Bytes expected = headerBytes(3, 2, 7);
    expected[1] = 1;
    EXPECT_EQ(bytes.substr(0, 18), expected);
    EXPECT_EQ(static_cast<uint8_t>(bytes[18 + 3 * 5 + 2]), 195);  // red of the last pixel
    freeImage(&d);
}

TEST(readImage, RoundTripGivesSamePlanesAndHeader) {
    tgatest::TempDir dir;
    // Odd widths, and more pixels than one transfer block, so block and vector edges are crossed.
    for (auto [w, h] : {std::pair<uint16_t, uint16_t>{3, 2}, {1, 1}, {301, 97}, {411, 203}}) {
        image_desc d = patternImage(w, h);
        const targa_header head = makeHeader(w, h, 0x20);
        const auto file = (dir / "rt.tga").string();
        captureStdout([&] { ASSERT_EQ(writeImage(d, head, file.c_str()), 1); });

        image_desc back{};
        targa_header readHead{};
        ASSERT_EQ(readImage(&back, &readHead, file.c_str()), 1);
        EXPECT_EQ(std::memcmp(&readHead, &head, sizeof head), 0);
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        const std::size_t n = std::size_t{w} * h;
        EXPECT_EQ(plane(back.pBlue, n), plane(d.pBlue, n)) << w << "x" << h;
        EXPECT_EQ(plane(back.pGreen, n), plane(d.pGreen, n));
        EXPECT_EQ(plane(back.pRed, n), plane(d.pRed, n));
        freeImage(&back);
        freeImage(&d);
    }
}

TEST(readImage, IdentificationBytesAreTakenAsPixels) {
    tgatest::TempDir dir;
    const auto file = (dir / "id.tga").string();
    tgatest::writeFile(file, headerBytes(2, 1, 3) + Bytes("\x0A\x0B\x0C\x01\x02\x03", 6));
    image_desc d{};
    targa_header head{};
    ASSERT_EQ(readImage(&d, &head, file.c_str()), 1);
    EXPECT_EQ(head.idlength, 3);
    EXPECT_EQ(plane(d.pBlue, 2), (std::vector<uint8_t>{0x0A, 0x01}));
    EXPECT_EQ(plane(d.pGreen, 2), (std::vector<uint8_t>{0x0B, 0x02}));
    EXPECT_EQ(plane(d.pRed, 2), (std::vector<uint8_t>{0x0C, 0x03}));
    freeImage(&d);
}

TEST(readImage, PixelsAShortFileLacksReadAsZero) {
    tgatest::TempDir dir;
    const auto file = (dir / "short.tga").string();
    tgatest::writeFile(file, headerBytes(2, 2) + Bytes("\x11\x22\x33\x44", 4));
    image_desc d{};
    targa_header head{};
    ASSERT_EQ(readImage(&d, &head, file.c_str()), 1);
    EXPECT_EQ(plane(d.pBlue, 4), (std::vector<uint8_t>{0x11, 0x44, 0, 0}));
    EXPECT_EQ(plane(d.pGreen, 4), (std::vector<uint8_t>{0x22, 0, 0, 0}));
    EXPECT_EQ(plane(d.pRed, 4), (std::vector<uint8_t>{0x33, 0, 0, 0}));
    freeImage(&d);
}

TEST(readImage, HugeClaimInATinyFileStaysSmallInMemory) {
    tgatest::TempDir dir;
    const auto file = (dir / "claim.tga").string();
    tgatest::writeFile(file, headerBytes(40000, 40000));
    const std::size_t before = residentBytes();
    image_desc d{};
    targa_header head{};
    if constexpr (sizeof(void *) < 8) {
        // Three planes of 1.6 GB cannot fit a 32-bit address space: a clean failure.
        errno = 0;
        EXPECT_EQ(readImage(&d, &head, file.c_str()), 0);
        EXPECT_EQ(errno, ENOMEM);
        EXPECT_EQ(d.pBlue, nullptr);
        EXPECT_LT(residentBytes(), before + (64u << 20));
        return;
    }
    ASSERT_EQ(readImage(&d, &head, file.c_str()), 1);
    EXPECT_EQ(d.width, 40000);
    EXPECT_EQ(d.pRed[0], 0);
    EXPECT_EQ(d.pBlue[39999u * 40000u + 39999u], 0);
    EXPECT_LT(residentBytes(), before + (64u << 20));
    freeImage(&d);
}

TEST(readImage, TooManyPixelsFailsWithOverflowAndLeavesTheDescriptor) {
    tgatest::TempDir dir;
    const auto file = (dir / "big.tga").string();
    tgatest::writeFile(file, headerBytes(65535, 65535));
    image_desc d{};
    targa_header head{};
    errno = 0;
    EXPECT_EQ(readImage(&d, &head, file.c_str()), 0);
    EXPECT_EQ(errno, EOVERFLOW);
    EXPECT_EQ(d.pBlue, nullptr);
    EXPECT_EQ(d.width, 0);
}

TEST(readImage, EmptyImageGetsPlanesAndNoPixels) {
    tgatest::TempDir dir;
    image_desc d{};
    ASSERT_EQ(mallocImage(&d, 0, 5), 0);
    const auto file = (dir / "empty.tga").string();
    captureStdout([&] { ASSERT_EQ(writeImage(d, makeHeader(9, 9), file.c_str()), 1); });
    EXPECT_EQ(tgatest::readFile(file), headerBytes(0, 5));
    freeImage(&d);

    image_desc back{};
    targa_header head{};
    ASSERT_EQ(readImage(&back, &head, file.c_str()), 1);
    EXPECT_EQ(back.width, 0);
    EXPECT_EQ(back.height, 5);
    EXPECT_NE(back.pBlue, nullptr);
    freeImage(&back);
}

TEST(readImageHead, ReadsTheEighteenBytesOnly) {
    tgatest::TempDir dir;
    const auto file = (dir / "h.tga").string();
    tgatest::writeFile(file, headerBytes(640, 480, 0, 0x20) + Bytes(30, '\x7F'));
    targa_header head{};
    ASSERT_EQ(readImageHead(&head, file.c_str()), 1);
    EXPECT_EQ(head.width, 640);
    EXPECT_EQ(head.height, 480);
    EXPECT_EQ(head.datatypecode, 2);
    EXPECT_EQ(head.useless2[0], 24);
    EXPECT_EQ(head.useless2[1], 0x20);
}

TEST(readImageHead, ShortFilesAndDirectoriesReadAsZero) {
    tgatest::TempDir dir;
    const auto file = (dir / "cut").string();
    tgatest::writeFile(file, headerBytes(0x1234, 0x5678).substr(0, 13));
    targa_header head;
    std::memset(&head, 0xAB, sizeof head);
    ASSERT_EQ(readImageHead(&head, file.c_str()), 1);
    EXPECT_EQ(head.width, 0x34);  // the high byte is beyond the end
    EXPECT_EQ(head.height, 0);
    EXPECT_EQ(head.useless2[1], 0);

    std::memset(&head, 0xAB, sizeof head);
    ASSERT_EQ(readImageHead(&head, dir.path().c_str()), 1);
    EXPECT_EQ(head.width, 0);
    EXPECT_EQ(head.height, 0);
}

TEST(readImageHead, MissingFileFailsAndLeavesRecordsUntouched) {
    tgatest::TempDir dir;
    const auto file = (dir / "nothing.tga").string();
    targa_header head;
    std::memset(&head, 0xAB, sizeof head);
    errno = 0;
    EXPECT_EQ(readImageHead(&head, file.c_str()), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(head.width, 0xABAB);

    image_desc d{};
    EXPECT_EQ(readImage(&d, &head, file.c_str()), 0);
    EXPECT_EQ(head.width, 0xABAB);
    EXPECT_EQ(d.pRed, nullptr);
}

TEST(writeImage, ReportsFilesThatCannotBeCreatedOrWritten) {
    tgatest::TempDir dir;
    image_desc d = patternImage(4, 4);
    const auto missing = (dir / "no" / "such.tga").string();
    testing::internal::CaptureStderr();
    const std::string out =
        captureStdout([&] { EXPECT_EQ(writeImage(d, makeHeader(4, 4), missing.c_str()), 0); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Cannot create the file \"" + missing + "\".\n");
    EXPECT_EQ(out, "");

    // /dev/full opens, then refuses every byte, like a full disk.
    testing::internal::CaptureStderr();
    captureStdout([&] { EXPECT_EQ(writeImage(d, makeHeader(4, 4), "/dev/full"), 0); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot write the file \"/dev/full\".\n");
    freeImage(&d);
}

TEST(mallocImage, AllocatesThreePlanesOrNothing) {
    image_desc d{};
    EXPECT_EQ(mallocImage(&d, 30, 20), 600);
    EXPECT_EQ(d.width, 30);
    EXPECT_EQ(d.height, 20);
    ASSERT_TRUE(d.pRed && d.pGreen && d.pBlue);
    d.pRed[599] = d.pGreen[599] = d.pBlue[599] = 1;  // the sanitizer build checks the extent
    freeImage(&d);
    EXPECT_EQ(d.pRed, nullptr);
    freeImage(&d);  // nothing left to release

    errno = 0;
    EXPECT_EQ(mallocImage(nullptr, 30, 20), 0);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(mallocImage(&d, 65535, 65535), 0);
    EXPECT_EQ(errno, EOVERFLOW);
    EXPECT_EQ(d.pRed, nullptr);
}

// ImageMagick writes a 24-bit uncompressed TGA of a known picture; the planes must hold it.
TEST(interoperability, ReadsAFileWrittenByImageMagick) {
    const std::string convert = tool("convert");
    if (convert.empty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    tgatest::TempDir dir;
    // 3 x 2 picture, rows top to bottom, RGB per pixel.
    const Bytes rgb(
        "\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF"
        "\x10\x20\x30\x40\x50\x60\xFE\xFD\xFC",
        18);
    tgatest::writeFile(dir / "in.ppm", "P6\n3 2\n255\n" + rgb);
    const auto file = (dir / "im.tga").string();
    // Top-left origin, so that the file's pixel order is the picture's whoever reads it.
    const auto r = tgatest::run({convert, (dir / "in.ppm").string(), "-type", "TrueColor",
                                 "-compress", "None", "-orient", "topleft", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    image_desc d{};
    targa_header head{};
    ASSERT_EQ(readImage(&d, &head, file.c_str()), 1);
    ASSERT_EQ(head.idlength, 0);
    ASSERT_EQ(head.datatypecode, 2);
    ASSERT_EQ(head.useless2[0], 24);
    ASSERT_EQ(d.width, 3);
    ASSERT_EQ(d.height, 2);
    ASSERT_EQ(head.useless2[1] & 0x20, 0x20);
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t px = 3 * i;
        EXPECT_EQ(d.pRed[i], static_cast<uint8_t>(rgb[px])) << i;
        EXPECT_EQ(d.pGreen[i], static_cast<uint8_t>(rgb[px + 1])) << i;
        EXPECT_EQ(d.pBlue[i], static_cast<uint8_t>(rgb[px + 2])) << i;
    }
    freeImage(&d);
}

TEST(interoperability, ImageMagickReadsOurFile) {
    const std::string convert = tool("convert");
    const std::string identify = tool("identify");
    if (convert.empty() || identify.empty()) GTEST_SKIP() << "ImageMagick is not installed";
    tgatest::TempDir dir;
    image_desc d = patternImage(3, 2);
    const auto file = (dir / "ours.tga").string();
    captureStdout([&] { ASSERT_EQ(writeImage(d, makeHeader(3, 2, 0x20), file.c_str()), 1); });

    const auto id = tgatest::run({identify, "-format", "%w %h", file});
    ASSERT_EQ(id.exitCode, 0) << id.err;
    EXPECT_EQ(id.out, "3 2");

    const auto raw = tgatest::run({convert, file, "-depth", "8", "rgb:-"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    Bytes expected;
    for (int i = 0; i < 6; ++i) {
        expected += static_cast<char>(d.pRed[i]);
        expected += static_cast<char>(d.pGreen[i]);
        expected += static_cast<char>(d.pBlue[i]);
    }
    EXPECT_EQ(raw.out, expected);
    freeImage(&d);
}

}  // namespace
