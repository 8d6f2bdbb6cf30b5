// Tests of the TGA image file store: byte layout, round trips, short and odd files, failures,
// and files exchanged with ImageMagick.
#include "imgfile/imgfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "tests/support/capture.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/tempdir.h"

namespace {

using Bytes = std::string;

using tgatest::tgaHeader;

targa_header makeHeader(uint16_t width, uint16_t height, uint8_t descriptor = 0) {
    return {0, 0, 2, {}, width, height, {24, descriptor}};
}

// A descriptor that releases its planes when it goes away; Image{} starts with all zero.
struct Image : image_desc {
    ~Image() { freeImage(this); }
};

// A header record filled with 0xAB, so that the bytes a read leaves untouched show.
targa_header untouched() {
    targa_header head;
    std::memset(&head, 0xAB, sizeof head);
    return head;
}

// readImage of a file, with the header and the planes it gave.
struct Read : Image {
    targa_header head = untouched();
    int result;
    // cppcheck-suppress uninitDerivedMemberVar ; Image{} zeroes the whole descriptor
    explicit Read(const std::string &file)
        : Image{}, result(readImage(this, &head, file.c_str())) {}
};

// A w x h image with a different colour in every pixel: blue = i, green = 100 + i, red = 200 - i.
void pattern(image_desc &d, uint16_t w, uint16_t h) {
    const int n = mallocImage(&d, w, h);
    for (int i = 0; i < n; ++i) {
        d.pBlue[i] = static_cast<uint8_t>(i);
        d.pGreen[i] = static_cast<uint8_t>(100 + i);
        d.pRed[i] = static_cast<uint8_t>(200 - i);
    }
}

// The planes in the file's order: blue, green, red per pixel.
Bytes pixels(const image_desc &d) {
    Bytes out;
    for (std::size_t i = 0; i < std::size_t{d.width} * d.height; ++i)
        out += {char(d.pBlue[i]), char(d.pGreen[i]), char(d.pRed[i])};
    return out;
}

// writeImage with both outputs captured: the standard error must be `err`, and the result 1
// when that is empty, else 0. Returns the standard output.
std::string write(const image_desc &d, const targa_header &head, const std::string &name,
                  const std::string &err = "") {
    const auto printed = tgatest::captured(
        [&] { EXPECT_EQ(writeImage(d, head, name.c_str()), err.empty() ? 1 : 0) << name; });
    EXPECT_EQ(printed.err, err);
    return printed.out;
}

// readImageHead's result and the record it filled (or left untouched).
std::pair<int, targa_header> readHead(const std::string &name) {
    targa_header head = untouched();
    return {readImageHead(&head, name.c_str()), head};
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

// How many entries a directory holds.
std::ptrdiff_t entries(const std::filesystem::path &dir) {
    return std::distance(std::filesystem::directory_iterator(dir), {});
}

class ImageFile : public testing::Test {
  protected:
    tgatest::TempDir dir;
    const std::string file = (dir / "f.tga").string();
};

class WriteImage : public ImageFile {};

TEST_F(WriteImage, WritesHeaderThenBlueGreenRedPerPixel) {
    Image d{};
    ASSERT_EQ(mallocImage(&d, 2, 1), 2);
    d.pBlue[0] = 1, d.pGreen[0] = 2, d.pRed[0] = 3;
    d.pBlue[1] = 4, d.pGreen[1] = 5, d.pRed[1] = 6;
    EXPECT_EQ(write(d, makeHeader(2, 1), file), "[read mem_targa] Header : 0 0 2 2 1 \n");
    EXPECT_EQ(tgatest::readFile(file), tgaHeader(2, 1) + Bytes("\1\2\3\4\5\6", 6));
}

TEST_F(WriteImage, HeaderSaysWhatTheFileHolds) {
    Image d{};
    pattern(d, 3, 2);
    // A run-length colour-mapped 32-bit header with an identification length: the file holds
    // none of that, only the descriptor's size, the map fields and origin, and bits 4-7 (origin
    // and interleave, since the rows go out in the order they came in).
    const targa_header head = {7, 1, 9, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 640, 480, {32, 0xFF}};
    EXPECT_EQ(write(d, head, file), "[read mem_targa] Header : 0 0 2 3 2 \n");
    EXPECT_EQ(tgatest::readFile(file),
              Bytes("\0\0\2\1\2\3\4\5\6\7\x08\x09\3\0\2\0\x18\xF0", 18) + pixels(d));
}

class ReadImage : public ImageFile {};

TEST_F(ReadImage, RoundTripGivesSamePlanesAndHeader) {
    // Odd widths, and more pixels than one transfer block, so block and vector edges are crossed.
    for (auto [w, h] : {std::pair<uint16_t, uint16_t>{3, 2}, {1, 1}, {301, 97}, {411, 203}}) {
        Image d{};
        pattern(d, w, h);
        const targa_header head = makeHeader(w, h, 0x20);
        write(d, head, file);
        const Read back(file);
        ASSERT_EQ(back.result, 1);
        EXPECT_EQ(std::memcmp(&back.head, &head, sizeof head), 0);
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        EXPECT_EQ(pixels(back), pixels(d)) << w << "x" << h;
    }
}

TEST_F(ReadImage, PixelsFollowTheIdentificationFieldAndThoseMissingReadAsZero) {
    const Bytes idAndPixels("\x0A\x0B\x0C\x01\x02\x03", 6);
    const std::pair<Bytes, Bytes> cases[] = {
        // Identification bytes are skipped; the second pixel is missing.
        {tgaHeader(2, 1, 3) + idAndPixels, "\x01\x02\x03" + Bytes(3, '\0')},
        // A pixel cut short keeps the bytes it has.
        {tgaHeader(2, 2) + "\x11\x22\x33\x44", "\x11\x22\x33\x44" + Bytes(8, '\0')},
    };
    for (const auto &[bytes, planes] : cases) {
        tgatest::writeFile(file, bytes);
        const Read r(file);
        ASSERT_EQ(r.result, 1);
        EXPECT_EQ(r.head.idlength, uint8_t(bytes[0]));
        EXPECT_EQ(pixels(r), planes);
    }
}

TEST_F(ReadImage, HugeClaimInATinyFileStaysSmallInMemory) {
    tgatest::writeFile(file, tgaHeader(40000, 40000));
    const std::size_t before = residentBytes();
    errno = 0;
    const Read r(file);
    if constexpr (sizeof(void *) < 8) {
        // Three planes of 1.6 GB cannot fit a 32-bit address space: a clean failure.
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(errno, ENOMEM);
        EXPECT_EQ(r.pBlue, nullptr);
    } else {
        ASSERT_EQ(r.result, 1);
        ASSERT_EQ(r.width, 40000);
        ASSERT_EQ(r.height, 40000);
        EXPECT_EQ(r.pRed[0], 0);
        EXPECT_EQ(r.pBlue[39999u * 40000u + 39999u], 0);
    }
    EXPECT_LT(residentBytes(), before + (64u << 20));
}

TEST_F(ReadImage, FailedReadsLeaveTheRecordsUntouched) {
    errno = 0;
    const auto [result, head] = readHead(file);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(head.width, 0xABAB);
    // No file, one whose pixel count leaves the signed 32-bit range, and reads that fail: a
    // read error is no end of the file.
    const auto huge = (dir / "huge.tga").string();
    tgatest::writeFile(huge, tgaHeader(65535, 65535));
    const std::pair<std::string, int> cases[] = {
        {file, ENOENT}, {huge, EOVERFLOW}, {dir.path().string(), EISDIR}, {"/proc/self/mem", EIO}};
    for (const auto &entry : cases) {
        const std::string &name = entry.first;
        const int err = entry.second;
        std::optional<Read> r;
        int error = 0;
        const auto printed = tgatest::captured([&] {
            errno = 0;
            r.emplace(name);
            error = errno;
        });
        EXPECT_EQ(printed.out + printed.err, "");
        EXPECT_EQ(r->result, 0) << name;
        EXPECT_EQ(error, err) << name;
        EXPECT_EQ(r->head.width, 0xABAB);
        EXPECT_EQ(r->width, 0);
        EXPECT_EQ(r->pBlue, nullptr);
        EXPECT_EQ(r->pRed, nullptr);
    }
}

TEST_F(ReadImage, EmptyImageGetsPlanesAndNoPixels) {
    Image d{};
    ASSERT_EQ(mallocImage(&d, 0, 5), 0);
    write(d, makeHeader(9, 9), file);
    EXPECT_EQ(tgatest::readFile(file), tgaHeader(0, 5));
    const Read back(file);
    ASSERT_EQ(back.result, 1);
    EXPECT_EQ(back.width, 0);
    EXPECT_EQ(back.height, 5);
    EXPECT_NE(back.pBlue, nullptr);
}

class ReadImageHead : public ImageFile {};

TEST_F(ReadImageHead, ReadsEighteenBytesAndZeroesWhatIsMissing) {
    tgatest::writeFile(file, tgaHeader(640, 480, 0, 0x20) + Bytes(30, '\x7F'));
    const auto cut = (dir / "cut").string();
    tgatest::writeFile(cut, tgaHeader(0x1234, 0x5678).substr(0, 13));
    // The cut file ends after the width's low byte; a directory gives no byte at all.
    const std::pair<std::string, targa_header> cases[] = {
        {file, makeHeader(640, 480, 0x20)},
        {cut, {0, 0, 2, {}, 0x34, 0, {}}},
        {dir.path().string(), {}},
    };
    for (const auto &[name, want] : cases) {
        const auto [result, head] = readHead(name);
        ASSERT_EQ(result, 1) << name;
        EXPECT_EQ(std::memcmp(&head, &want, sizeof head), 0) << name;
    }
}

TEST_F(WriteImage, ReportsFilesThatCannotBeCreatedOrWritten) {
    Image d{};
    pattern(d, 4, 4);
    const auto missing = (dir / "no" / "such.tga").string();
    EXPECT_EQ(write(d, makeHeader(4, 4), missing, "Cannot create the file \"" + missing + "\".\n"),
              "");
    // /dev/full opens, then refuses every byte, like a full disk.
    write(d, makeHeader(4, 4), "/dev/full", "Cannot write the file \"/dev/full\".\n");
}

TEST_F(WriteImage, RefusesABadDescriptorBeforeTouchingTheFile) {
    tgatest::writeFile(file, "an earlier image");
    Image d{};
    pattern(d, 4, 4);
    image_desc noPlane = d;
    noPlane.pGreen = nullptr;
    image_desc huge = d;
    huge.width = huge.height = 65535;
    for (const auto &[bad, err] : {std::pair{noPlane, EINVAL}, {huge, EOVERFLOW}}) {
        errno = 0;
        EXPECT_EQ(write(bad, makeHeader(4, 4), file, "Cannot write the file \"" + file + "\".\n"),
                  "");
        EXPECT_EQ(errno, err);
        EXPECT_EQ(tgatest::readFile(file), "an earlier image");
    }
}

// The new image replaces the file the name leads to only once complete: a link stays a link,
// the file keeps its permission bits, and nothing else is left in the directory.
TEST_F(WriteImage, ReplacesTheFileBehindTheNameOnlyWhenComplete) {
    Image d{};
    pattern(d, 3, 2);
    tgatest::writeFile(dir / "old.tga", "an earlier image");
    ASSERT_EQ(chmod((dir / "old.tga").c_str(), 0640), 0);
    std::filesystem::create_symlink("old.tga", dir / "link.tga");
    std::filesystem::create_symlink("sub/new.tga", dir / "dangling.tga");
    std::filesystem::create_directory(dir / "sub");
    write(d, makeHeader(3, 2), (dir / "link.tga").string());
    write(d, makeHeader(3, 2), (dir / "dangling.tga").string());
    const Bytes image = tgaHeader(3, 2) + pixels(d);
    for (const char *name : {"old.tga", "sub/new.tga"})
        EXPECT_EQ(tgatest::readFile(dir / name), image) << name;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.tga"));
    struct stat st {};
    ASSERT_EQ(stat((dir / "old.tga").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(dir.path()) + entries(dir / "sub"), 5);

    // A full disk: an image of 120 KB over a small one. The call fails and the small image is
    // all the directory holds; removed, it leaves nothing.
    const auto onFullDisk = tgatest::printedOnSmallDisk(
        [&] {
            if (writeImage(d, makeHeader(3, 2), file.c_str()) != 1)
                std::fputs("unwritten ", stderr);
            Image big{};
            pattern(big, 200, 200);
            if (writeImage(big, makeHeader(200, 200), file.c_str()) != 0)
                std::fputs("written ", stderr);
            if (tgatest::readFile(file) != image) std::fputs("changed ", stderr);
            std::remove(file.c_str());
        },
        dir.path());
    if (!onFullDisk) GTEST_SKIP() << "no mount namespace here (needs root) for the full-disk case";
    EXPECT_EQ(*onFullDisk, "Cannot write the file \"" + file + "\".\n");
}

// Where renaming cannot work, the file is written in place as before: a character device, a
// name that stands for a descriptor, a writable file in a directory that refuses new files.
TEST_F(WriteImage, WritesInPlaceWhereNoNewFileCanTakeTheName) {
    Image d{};
    pattern(d, 3, 2);
    EXPECT_EQ(write(d, makeHeader(3, 2), "/dev/null"), "[read mem_targa] Header : 0 0 2 3 2 \n");
    // Standard output a pipe: the header line and the image, twice, and no file made.
    tgatest::Child child([&] {
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        for (const char *name : {"/dev/stdout", "/dev/fd/1"})
            if (writeImage(d, makeHeader(3, 2), name) != 1) _exit(3);
    });
    EXPECT_EQ(child.wait(), 0);
    const Bytes once = "[read mem_targa] Header : 0 0 2 3 2 \n" + tgaHeader(3, 2) + pixels(d);
    EXPECT_EQ(child.out(), once + once);
    if (geteuid() == 0) GTEST_SKIP() << "root may create files in any directory";
    tgatest::writeFile(file, "an earlier image");
    ASSERT_EQ(chmod(dir.path().c_str(), 0500), 0);
    write(d, makeHeader(3, 2), file);
    ASSERT_EQ(chmod(dir.path().c_str(), 0700), 0);
    EXPECT_EQ(tgatest::readFile(file), tgaHeader(3, 2) + pixels(d));
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

// Files both ways: ImageMagick writes a 24-bit uncompressed TGA of a known picture that the
// planes must hold, and reads the picture of one of ours.
TEST_F(ReadImage, ExchangesFilesWithImageMagick) {
    const std::string convert = tool("convert"), identify = tool("identify");
    if (convert.empty() || identify.empty()) GTEST_SKIP() << "ImageMagick is not installed";
    // 3 x 2 picture, rows top to bottom, RGB per pixel.
    tgatest::writeFile(dir / "in.ppm",
                       "P6\n3 2\n255\n" + Bytes("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF"
                                                "\x10\x20\x30\x40\x50\x60\xFE\xFD\xFC",
                                                18));
    // Top-left origin, so that the file's pixel order is the picture's whoever reads it.
    const auto r = tgatest::run({convert, (dir / "in.ppm").string(), "-type", "TrueColor",
                                 "-compress", "None", "-orient", "topleft", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    {
        const Read d(file);
        ASSERT_EQ(d.result, 1);
        // idlength, image type, depth, width, height and the top-left bit of the descriptor.
        ASSERT_EQ(std::tuple(d.head.idlength, d.head.datatypecode, d.head.useless2[0], d.width,
                             d.height, d.head.useless2[1] & 0x20),
                  std::tuple(0, 2, 24, 3, 2, 0x20));
        EXPECT_EQ(pixels(d), Bytes("\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00"
                                   "\x30\x20\x10\x60\x50\x40\xFC\xFD\xFE",
                                   18));
    }
    Image d{};
    pattern(d, 3, 2);
    write(d, makeHeader(3, 2, 0x20), file);
    const auto id = tgatest::run({identify, "-format", "%w %h", file});
    ASSERT_EQ(id.exitCode, 0) << id.err;
    EXPECT_EQ(id.out, "3 2");
    const auto raw = tgatest::run({convert, file, "-depth", "8", "rgb:-"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    // The pattern's pixels as RGB: 200 - i, 100 + i, i.
    EXPECT_EQ(raw.out, Bytes("\xC8\x64\x00\xC7\x65\x01\xC6\x66\x02"
                             "\xC5\x67\x03\xC4\x68\x04\xC3\x69\x05",
                             18));
}

}  // namespace
