// histoDemo run as a process in a scratch directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/tempdir.h"

namespace {

tgatest::RunResult runIn(const tgatest::TempDir &dir, const std::vector<std::string> &argv) {
    tgatest::RunOptions options;
    options.cwd = dir.path();
    return tgatest::run(argv, options);
}

tgatest::RunResult runDemo(const tgatest::TempDir &dir) {
    return runIn(dir, {tgatest::program("histoDemo")});
}

// The b, g, r bytes of a pixel of the 600 by 600 chart, as "b,g,r".
std::string pixelAt(const std::string &tga, std::size_t col, std::size_t row) {
    const std::size_t at = 18 + 3 * (row * 600 + col);
    return std::to_string(static_cast<unsigned char>(tga[at])) + "," +
           std::to_string(static_cast<unsigned char>(tga[at + 1])) + "," +
           std::to_string(static_cast<unsigned char>(tga[at + 2]));
}

TEST(histoDemo, PrintsItsTwoLinesAndDrawsTheStaircase) {
    tgatest::TempDir dir;
    const auto result = runDemo(dir);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "count_bgr is 111\nnbofpix is 1000\n");
    EXPECT_EQ(result.err, "");

    const std::string tga = tgatest::readFile(dir / "test.tga");
    ASSERT_EQ(tga.size(), 1080018u);
    EXPECT_EQ(tga.substr(0, 18), std::string("\0\0\2\0\0\0\0\0\0\0\0\0\x58\2\x58\2\x18\x20", 18));
    EXPECT_TRUE(
        std::all_of(tga.begin() + 18, tga.end(), [](char c) { return c == '\0' || c == '\xff'; }));
    EXPECT_EQ(pixelAt(tga, 0, 0), "255,255,255");
    // Blue bin 0 is empty, so the vertical axis stays whole; blue bin 5 is 5 pixels high.
    EXPECT_EQ(pixelAt(tga, 44, 549), "0,0,0");
    EXPECT_EQ(pixelAt(tga, 124, 545), "255,0,0");
    EXPECT_EQ(pixelAt(tga, 124, 544), "255,255,255");
    // Green bin 0 is 32 pixels high, red bin 31 is 95, below the grid dot above it.
    EXPECT_EQ(pixelAt(tga, 51, 518), "0,255,0");
    EXPECT_EQ(pixelAt(tga, 51, 517), "255,255,255");
    EXPECT_EQ(pixelAt(tga, 548, 455), "0,0,255");
    EXPECT_EQ(pixelAt(tga, 548, 454), "255,255,255");
    EXPECT_EQ(pixelAt(tga, 548, 450), "0,0,0");
}

TEST(histoDemo, FailsWhenTheChartCannotBeWritten) {
    tgatest::TempDir dir;
    std::filesystem::create_directory(dir / "test.tga");
    auto result = runDemo(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "count_bgr is 111\nnbofpix is 1000\n");
    EXPECT_EQ(result.err, "test.tga: Is a directory\n");

    std::filesystem::remove(dir / "test.tga");
    std::filesystem::create_symlink("/dev/full", dir / "test.tga");
    result = runDemo(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "test.tga: No space left on device\n");
}

// ImageMagick, a reader written elsewhere, must see a 600 by 600 image with its origin at
// the top left: the tallest red bar is near the bottom of the picture, not the top.
TEST(histoDemo, ImageMagickReadsTheChartTopRowFirst) {
    // NOLINTNEXTLINE(cert-env33-c): a fixed command line, only to see whether the tool exists
    if (std::system("identify -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ImageMagick's identify is not installed";
    }
    tgatest::TempDir dir;
    ASSERT_EQ(runDemo(dir).exitCode, 0);
    const auto result = runIn(
        dir, {"/bin/sh", "-c",
              "identify -format '%m %w %h %[pixel:p{548,455}] %[pixel:p{548,144}]' test.tga"});
    EXPECT_EQ(result.out, "TGA 600 600 srgb(255,0,0) srgb(255,255,255)");
}

}  // namespace
