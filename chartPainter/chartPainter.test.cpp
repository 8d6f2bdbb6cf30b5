// Charts are checked pixel by pixel against pictures built here from literal coordinates.
#include "chartPainter/chartPainter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/capture.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/tempdir.h"

namespace {

using tgatest::printed;

const std::string kLargeHeader = tgatest::tgaHeader(600, 600, 0, 0x20);
const std::string kSmallHeader = tgatest::tgaHeader(260, 260, 0, 0x20);

// The picture a chart file should hold: a white square, painted by rectangles.
class Picture {
  public:
    explicit Picture(std::size_t side) : side_(side), bytes_(3 * side * side, '\xff') {}

    Picture &fill(std::size_t left, std::size_t right, std::size_t top, std::size_t bottom, pixel p,
                  std::size_t colStep = 1) {
        for (std::size_t row = top; row <= bottom; ++row) {
            for (std::size_t col = left; col <= right; col += colStep) {
                bytes_.replace(3 * (row * side_ + col), 3, {char(p.b), char(p.g), char(p.r)});
            }
        }
        return *this;
    }

    // Compares with a chart file and names the first pixel that differs. Called inside
    // ASSERT_NO_FATAL_FAILURE, so the test stops at the first wrong picture.
    void expectFile(const char *name) const {
        const std::string file = tgatest::readFile(name);
        ASSERT_EQ(file.size(), 18 + bytes_.size());
        EXPECT_EQ(file.substr(0, 18), side_ == 600 ? kLargeHeader : kSmallHeader);
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            if (file[18 + i] != bytes_[i]) {
                const std::size_t at = i / 3;
                FAIL() << "pixel at column " << at % side_ << ", row " << at / side_;
            }
        }
    }

  private:
    std::size_t side_;
    std::string bytes_;
};

constexpr pixel kBlack{0, 0, 0}, kBlue{255, 0, 0}, kGreen{0, 255, 0}, kRed{0, 0, 255};

Picture largeFrame() {
    Picture p(600);
    p.fill(44, 555, 550, 550, kBlack);  // horizontal axis
    p.fill(556, 556, 546, 555, kBlack).fill(557, 557, 547, 554, kBlack);
    p.fill(558, 558, 548, 553, kBlack).fill(559, 559, 549, 552, kBlack);
    p.fill(560, 560, 550, 551, kBlack);
    p.fill(44, 44, 50, 549, kBlack);  // vertical axis
    p.fill(44, 45, 51, 51, kBlack).fill(43, 46, 52, 52, kBlack);
    p.fill(42, 47, 53, 53, kBlack).fill(41, 48, 54, 54, kBlack);
    for (std::size_t row = 50; row <= 450; row += 100)
        p.fill(44, 554, row, row, kBlack, 3);
    return p;
}

Picture smallFrame() {
    Picture p(260);
    p.fill(30, 229, 230, 230, kBlack);
    p.fill(230, 230, 226, 235, kBlack).fill(231, 231, 227, 234, kBlack);
    p.fill(232, 232, 228, 233, kBlack).fill(233, 233, 229, 232, kBlack);
    p.fill(234, 234, 230, 231, kBlack);
    p.fill(30, 30, 30, 229, kBlack);
    p.fill(30, 31, 31, 31, kBlack).fill(29, 32, 32, 32, kBlack);
    p.fill(28, 33, 33, 33, kBlack).fill(27, 34, 34, 34, kBlack);
    return p;
}

// Charts write into the working directory: each test runs in a scratch one.
class Chart : public testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

  private:
    tgatest::TempDir dir_;
    std::filesystem::path previous_;
};

TEST(writeheader, WritesEighteenBytesWideFieldsLowByteFirst) {
    const auto written = [](targa_header_his h) {
        std::FILE *f = std::tmpfile();
        writeheader(h, f);
        std::string bytes(32, '\0');
        std::rewind(f);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
        return bytes;
    };
    EXPECT_EQ(written({0, 0, 2, 0, 0, 0, 0, 0, 600, 600, 24, 0x20}), kLargeHeader);
    EXPECT_EQ(written({0, 0, 2, 0, 0, 0, 0, 0, 260, 260, 24, 0x20}), kSmallHeader);
    EXPECT_EQ(written({1, 2, 3, 0x0405, 0x0607, 8, 0x090a, 0x0b0c, 0x0d0e, 0xf00f, 16, 17}),
              std::string("\1\2\3\5\4\7\6\x8\xa\x9\xc\xb\xe\xd\x0f\xf0\x10\x11", 18));
}

class DrawHisImage_main : public Chart {};

TEST_F(DrawHisImage_main, WithoutBarsIsTheFrameAndGrid) {
    int zeros[96] = {};
    drawHisImage_main(zeros, 111, 1000);
    ASSERT_NO_FATAL_FAILURE(largeFrame().expectFile("test.tga"));
    // Two-channel and unknown selectors draw nothing, whatever the heights.
    std::vector<int> tall(96, 100);
    for (int selector : {0, 11, 101, 110, 2, -1}) {
        drawHisImage_main(tall.data(), selector, 0);
        ASSERT_NO_FATAL_FAILURE(largeFrame().expectFile("test.tga"));
    }
}

TEST_F(DrawHisImage_main, DrawsOnlyTheSelectedChannel) {
    std::vector<int> his(96, 20);
    drawHisImage_main(his.data(), 10, 7);
    Picture want = largeFrame();
    for (std::size_t i = 0; i < 32; ++i)
        want.fill(48 + 16 * i, 51 + 16 * i, 530, 549, kGreen);
    ASSERT_NO_FATAL_FAILURE(want.expectFile("test.tga"));
}

TEST_F(DrawHisImage_main, BarsOverwriteTheAxisAndAreCutAtTheCanvas) {
    std::vector<int> his(96, 0);
    his[0] = 10;             // blue bin 0 covers the vertical axis
    his[3] = -7;             // draws nothing
    his[32 + 1] = 550;       // green, up to row 0
    his[64 + 31] = INT_MAX;  // red, cut at row 0
    // An older, longer file of the same name is replaced.
    tgatest::writeFile("test.tga", std::string(2000000, 'x'));
    drawHisImage_main(his.data(), 111, 0);
    Picture want = largeFrame();
    want.fill(44, 47, 540, 549, kBlue);
    want.fill(64, 67, 0, 549, kGreen);
    want.fill(548, 551, 0, 549, kRed);
    ASSERT_NO_FATAL_FAILURE(want.expectFile("test.tga"));
}

class DrawHis_size : public Chart {};

TEST_F(DrawHis_size, BarsFollowTheShareOfImages) {
    int num[] = {5, 10, 0, 20};
    std::string lines;
    for (int yy : {50, 100, 0, 200}) {
        for (int col = 0; col < 15; ++col)
            lines += "yy is " + std::to_string(yy) + "\n";
    }
    EXPECT_EQ(printed([&] { drawHis_size(nullptr, num, 4, 20); }), lines);
    Picture want = smallFrame();
    want.fill(35, 49, 180, 229, kBlack).fill(55, 69, 130, 229, kBlack);
    want.fill(95, 109, 30, 229, kBlack);
    ASSERT_NO_FATAL_FAILURE(want.expectFile("test_size.tga"));
}

TEST_F(DrawHis_size, KeepsBadInputOnTheCanvas) {
    // No classes, or no images to divide by: the bare frame and no lines.
    int one[] = {1};
    for (const auto &c : {std::pair{0, 5}, {1, 0}, {1, -3}}) {
        EXPECT_EQ(printed([&] { drawHis_size(nullptr, one, c.first, c.second); }), "");
        ASSERT_NO_FATAL_FAILURE(smallFrame().expectFile("test_size.tga"));
    }
    // Twelve classes: the eleventh stands right of the arrowhead, the twelfth is not drawn.
    // A negative count draws nothing; a huge one neither overflows nor leaves the canvas.
    std::vector<int> num(12, 3);
    num[0] = -4;
    num[1] = INT_MAX;
    const std::string out = printed([&] { drawHis_size(nullptr, num.data(), 12, 3); });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 165);
    EXPECT_EQ(out.substr(0, 16), "yy is -266\nyy is");
    EXPECT_NE(out.find("yy is 143165576466\n"), std::string::npos);
    Picture want = smallFrame();
    want.fill(55, 69, 0, 229, kBlack);
    for (std::size_t i = 2; i < 11; ++i)
        want.fill(35 + 20 * i, 49 + 20 * i, 30, 229, kBlack);
    ASSERT_NO_FATAL_FAILURE(want.expectFile("test_size.tga"));
}

class DrawHis_threeRect : public Chart {};

TEST_F(DrawHis_threeRect, ThreeBarsStandOnTheGridThatFitsTheCanvas) {
    Picture grid = smallFrame();
    for (std::size_t row : {50u, 150u, 250u})
        grid.fill(44, 257, row, row, kBlack, 3);
    int none[] = {0, 0, 0};
    drawHis_threeRect(none);
    ASSERT_NO_FATAL_FAILURE(grid.expectFile("test.tga"));

    int cnt[] = {40, 200, 230};
    drawHis_threeRect(cnt);
    Picture want = grid;
    want.fill(35, 94, 190, 229, kBlue).fill(100, 159, 30, 229, kGreen);
    ASSERT_NO_FATAL_FAILURE(want.fill(165, 194, 0, 229, kRed).expectFile("test.tga"));

    int odd[] = {-5, 1, 999};
    drawHis_threeRect(odd);
    want = grid;
    ASSERT_NO_FATAL_FAILURE(
        want.fill(100, 159, 229, 229, kGreen).fill(165, 194, 0, 229, kRed).expectFile("test.tga"));
}

TEST(afficherHis, PrintsRowsWithARunningSum) {
    std::vector<int> hist(768, 1);
    for (std::size_t j = 0; j < 3; ++j)
        hist[j] = int(1 + j), hist[256 + j] = int(4 + j), hist[512 + j] = int(7 + j);
    const auto shown = [&](int nb) { return printed([&] { afficherHis(hist.data(), nb); }); };
    EXPECT_EQ(shown(3),
              "--------------histo info\n1 2 3 \nsum is 6 \n4 5 6 \nsum is 21 \n7 8 9 \n"
              "sum is 45 \n");
    EXPECT_EQ(shown(0), "--------------histo info\n\nsum is 0 \n\nsum is 0 \n\nsum is 0 \n");
    const std::string whole = shown(1000);                         // no more than a row
    EXPECT_EQ(whole.substr(whole.rfind("sum")), "sum is 804 \n");  // 45 + 3 * 253
}

TEST_F(DrawHis_threeRect, UnwritableFileIsReportedAndNotWritten) {
    std::filesystem::create_directory("test.tga");
    int cnt[] = {10, 10, 10};
    EXPECT_EQ(tgatest::printedErr([&] { drawHis_threeRect(cnt); }), "test.tga: Is a directory\n");

    // A full disk: the header and pixels go nowhere, and that is said.
    const auto onFullDisk = tgatest::printedOnSmallDisk([&] { drawHis_size(nullptr, cnt, 0, 1); });
    if (!onFullDisk) GTEST_SKIP() << "no mount namespace here for the full-disk case";
    EXPECT_EQ(*onFullDisk, "test_size.tga: No space left on device\n");
}

// A chart takes its file's name only once complete: a link there is replaced, not written
// through, and a FIFO there does not block.
TEST_F(DrawHis_threeRect, ReplacesWhatHeldTheNameNeverWritesThroughIt) {
    tgatest::writeFile("victim", "keep");
    std::filesystem::create_symlink("victim", "test.tga");
    ASSERT_EQ(mkfifo("test_size.tga", 0600), 0);
    int cnt[] = {0, 0, 0};
    drawHis_threeRect(cnt);
    drawHis_size(nullptr, cnt, 0, 1);
    EXPECT_EQ(tgatest::readFile("victim"), "keep");
    EXPECT_FALSE(std::filesystem::is_symlink("test.tga"));
    ASSERT_NO_FATAL_FAILURE(smallFrame().expectFile("test_size.tga"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 3);
}

}  // namespace
