// histoDemo run as a process in a scratch directory, and its histogram of an image.
#include "histoDemo/histoDemo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/programCase.h"
#include "tests/support/tempdir.h"

namespace {

// The chart's header: 600 by 600, top row first.
const std::string kChartHeader = tgatest::tgaHeader(600, 600, 0, 0x20);

tgatest::RunResult runIn(const tgatest::TempDir &dir, const std::vector<std::string> &argv) {
    tgatest::RunOptions options;
    options.cwd = dir.path();
    return tgatest::run(argv, options);
}

// histoDemo itself, or run by `/bin/sh -c script` with the program as $0 and the directory as $1.
tgatest::RunResult runDemo(const tgatest::TempDir &dir, const std::string &script = "") {
    const std::string demo = tgatest::program("histoDemo").string();
    return script.empty() ? runIn(dir, {demo})
                          : runIn(dir, {"/bin/sh", "-c", script, demo, dir.path().string()});
}

// Whether a child can mount a file system of its own (root, unshare available).
bool canMount() {
    tgatest::TempDir dir;
    return runIn(dir, {"/bin/sh", "-c", "unshare --mount mount -t tmpfs tgakit . 2>/dev/null"})
               .exitCode == 0;
}

// The names in a directory, sorted, each followed by a space.
std::string names(const tgatest::TempDir &dir) {
    std::vector<std::string> all;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        all.push_back(entry.path().filename().string());
    std::sort(all.begin(), all.end());
    std::string joined;
    for (const auto &name : all)
        joined += name + " ";
    return joined;
}

// The b, g, r bytes of a pixel of the 600 by 600 chart, as "b,g,r".
// The chart of a run that should have drawn one, after checking what the run printed; empty
// when test.tga is not a whole chart.
std::string drawnChart(const tgatest::RunResult &result, const tgatest::TempDir &dir,
                       const std::string &out, const std::string &err = "") {
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, out);
    EXPECT_EQ(result.err, err);
    const std::string tga = tgatest::readFile(dir / "test.tga");
    EXPECT_EQ(tga.size(), 1080018u);
    EXPECT_EQ(tga.substr(0, 18), kChartHeader);
    return tga.size() == 1080018u ? tga : std::string();
}

struct Spot {
    std::size_t col, row;
};

// The colours of a 600 x 600 chart at the given spots, "b,g,r" each, separated by blanks.
std::string pixelsAt(const std::string &tga, std::initializer_list<Spot> spots) {
    std::string shown;
    for (const Spot spot : spots) {
        const std::size_t at = 18 + 3 * (spot.row * 600 + spot.col);
        if (!shown.empty()) shown += ' ';
        shown += std::to_string(static_cast<unsigned char>(tga[at])) + "," +
                 std::to_string(static_cast<unsigned char>(tga[at + 1])) + "," +
                 std::to_string(static_cast<unsigned char>(tga[at + 2]));
    }
    return shown;
}

TEST(histoDemo, PrintsItsTwoLinesAndDrawsTheStaircase) {
    tgatest::TempDir dir;
    const std::string tga = drawnChart(runDemo(dir), dir, "count_bgr is 111\nnbofpix is 1000\n");
    ASSERT_FALSE(tga.empty());
    EXPECT_TRUE(
        std::all_of(tga.begin() + 18, tga.end(), [](char c) { return c == '\0' || c == '\xff'; }));
    EXPECT_EQ(pixelsAt(tga, {{0, 0}}), "255,255,255");
    // Blue bin 0 is empty, so the vertical axis stays whole; blue bin 5 is 5 pixels high.
    EXPECT_EQ(pixelsAt(tga, {{44, 549}, {124, 545}, {124, 544}}), "0,0,0 255,0,0 255,255,255");
    // Green bin 0 is 32 pixels high, red bin 31 is 95, below the grid dot above it.
    EXPECT_EQ(pixelsAt(tga, {{51, 518}, {51, 517}, {548, 455}, {548, 454}, {548, 450}}),
              "0,255,0 255,255,255 0,0,255 255,255,255 0,0,0");
}

TEST(histoDemo, FailsWhenTheChartCannotBeWritten) {
    tgatest::TempDir dir;
    std::filesystem::create_directory(dir / "test.tga");
    auto result = runDemo(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "count_bgr is 111\nnbofpix is 1000\n");
    EXPECT_EQ(result.err, "test.tga: Is a directory\n");

    // A full disk: a 64 KiB file system of its own, in a mount namespace of the child's.
    std::filesystem::remove(dir / "test.tga");
    if (!canMount()) GTEST_SKIP() << "no mount namespace here for the full-disk case";
    result = runDemo(dir,
                     "unshare --mount sh -c 'mount -t tmpfs -o size=64k tgakit \"$1\" && "
                     "cd \"$1\" && exec \"$0\"' \"$0\" \"$1\"");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "test.tga: No space left on device\n");
}

// The chart is written beside its file and renamed over it once complete: a link is replaced,
// not written through, a FIFO does not block, and a chart cut short (here by a file-size
// limit) leaves the previous file as it was. No temporary file remains in any case.
TEST(histoDemo, ReplacesTheChartFileOnlyWithACompleteChart) {
    tgatest::TempDir dir;
    tgatest::writeFile(dir / "victim", "keep");
    std::filesystem::create_symlink("victim", dir / "test.tga");
    auto result = runDemo(dir);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(tgatest::readFile(dir / "victim"), "keep");
    EXPECT_EQ(std::filesystem::file_size(dir / "test.tga"), 1080018u);  // no longer a link
    EXPECT_EQ(names(dir), "test.tga victim ");
    // The mode a plain create gives: 0666 less the umask.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat st {};
    ASSERT_EQ(lstat((dir / "test.tga").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);

    std::filesystem::remove(dir / "test.tga");
    ASSERT_EQ(mkfifo((dir / "test.tga").c_str(), 0600), 0);
    EXPECT_EQ(runDemo(dir).exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "test.tga"));

    // A size limit is a write error whether or not SIGXFSZ was ignored by whoever started it.
    for (const char *limit :
         {"ulimit -f 100; trap '' XFSZ; exec \"$0\"", "ulimit -f 100; exec \"$0\""}) {
        tgatest::writeFile(dir / "test.tga", "the previous chart");
        result = runDemo(dir, limit);
        EXPECT_EQ(result.exitCode, 1) << limit;
        EXPECT_EQ(result.err, "test.tga: File too large\n");
        EXPECT_EQ(tgatest::readFile(dir / "test.tga"), "the previous chart");
        EXPECT_EQ(names(dir), "test.tga victim ");
    }

    // A regular file replaced passes on its permission bits.
    ASSERT_EQ(chmod((dir / "test.tga").c_str(), 0600), 0);
    EXPECT_EQ(runDemo(dir).exitCode, 0);
    ASSERT_EQ(lstat((dir / "test.tga").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// A signal in the middle of writing the chart leaves the previous file and nothing else: the
// new file has no name yet, or, on a file system without unnamed files, its name is removed
// before the program dies of the signal.
TEST(histoDemo, SignalWhileWritingLeavesOnlyThePreviousChart) {
    tgatest::TempDir dir;
    const std::string demo = tgatest::program("histoDemo").string();
    const char *asan = std::getenv("ASAN_OPTIONS");
    // Real-time signals are covered by the new file's own tests: a test run under an emulator
    // sees a native child's real-time signal under another number.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGKILL, SIGUSR1, SIGALRM, SIGVTALRM}) {
        for (const bool named : {false, true}) {
            if (named && sig == SIGKILL) continue;  // a named file cannot outlive it then
            tgatest::writeFile(dir / "test.tga", "the previous chart");
            // A sanitizer's runtime would otherwise refuse to load after the preloaded library.
            std::vector<std::string> argv{
                "/usr/bin/env", std::string("LD_PRELOAD=") + FILE_FAULTS_LIB,
                "ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") +
                    ":verify_asan_link_order=0",
                "TGAKIT_SIGNAL_IN_FWRITE=" + std::to_string(sig)};
            if (named) argv.emplace_back("TGAKIT_NO_TMPFILE=1");
            argv.push_back(demo);
            const auto result = runIn(dir, argv);
            EXPECT_EQ(result.termSignal, sig) << named;
            EXPECT_EQ(tgatest::readFile(dir / "test.tga"), "the previous chart");
            EXPECT_EQ(names(dir), "test.tga ") << sig << " " << named;
        }
    }
}

// Output that cannot be written is a failure, also to a closed standard output; closed
// standard streams are not taken by the chart file.
class StandardStreams : public testing::TestWithParam<tgatest::ProgramCase> {};

TEST_P(StandardStreams, Case) {
    tgatest::TempDir dir;
    tgatest::expectCase(GetParam(), dir.path());
    const std::string tga = tgatest::readFile(dir / "test.tga");
    ASSERT_EQ(tga.size(), 1080018u);
    EXPECT_EQ(tga.substr(0, 18), kChartHeader);
}

INSTANTIATE_TEST_SUITE_P(
    histoDemo, StandardStreams,
    testing::ValuesIn(std::vector<tgatest::ProgramCase>{
        {"fullDisk", {}, ">/dev/full", 1, "", "histoDemo: No space left on device\n"},
        {"closedOutput", {}, ">&-", 1, "", "histoDemo: Bad file descriptor\n"},
        {"allClosed", {}, "<&- >&- 2>&-", 1, "", ""}}),
    tgatest::rowName);

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

TEST(histoDemo, BarsOfAnImageAreScaledToTheTallestBin) {
    uint8_t blue[] = {0, 7, 8}, green[] = {255, 255, 255}, red[] = {200, 201, 255};
    image_desc img{};
    img.width = 3;
    img.height = 1;
    img.pBlue = blue, img.pGreen = green, img.pRed = red;
    int heights[96];
    histoDemo::barHeights(img, heights);
    std::vector<int> want(96, 0);
    want[0] = 2 * 500 / 3, want[1] = 500 / 3;  // truncated
    want[32 + 31] = 500;
    want[64 + 25] = 2 * 500 / 3, want[64 + 31] = 500 / 3;
    EXPECT_EQ(std::vector<int>(heights, heights + 96), want);
    img.width = 0;
    histoDemo::barHeights(img, heights);
    EXPECT_EQ(std::vector<int>(heights, heights + 96), std::vector<int>(96, 0));
}

TEST(histoDemo, DrawsTheHistogramOfAnImageFile) {
    tgatest::TempDir dir;
    // Six pixels of one colour: blue bin 1, green bin 31 and red bin 16 are all the tallest.
    std::string pixels;
    for (int i = 0; i < 6; ++i)
        pixels += "\x08\xFF\x80";
    tgatest::writeFile(dir / "in.tga", tgatest::tgaHeader(3, 2) + pixels);
    const std::string demo = tgatest::program("histoDemo").string();
    const std::string tga =
        drawnChart(runIn(dir, {demo, "in.tga"}), dir, "count_bgr is 111\nnbofpix is 6\n");
    ASSERT_FALSE(tga.empty());
    // 500 pixels high, from row 549 up to row 50; blue bin 2 is empty.
    EXPECT_EQ(pixelsAt(tga, {{60, 549}, {60, 50}, {60, 49}, {544, 50}, {308, 50}, {76, 548}}),
              "255,0,0 255,0,0 255,255,255 0,255,0 0,0,255 255,255,255");

    // Cut inside the fifth pixel: charted all the same, the missing pixels black and said.
    tgatest::writeFile(dir / "cut.tga", tgatest::tgaHeader(3, 2) + pixels.substr(0, 13));
    drawnChart(
        runIn(dir, {demo, "cut.tga"}), dir, "count_bgr is 111\nnbofpix is 6\n",
        "cut.tga: the file ends early, 2 of its 6 pixels are missing and charted as black\n");
}

TEST(histoDemo, RefusesOtherArgumentsAndFilesItCannotRead) {
    tgatest::TempDir dir;
    const std::string demo = tgatest::program("histoDemo").string();
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"a.tga", "b.tga"}, {""}, {"-x"}}) {
        std::vector<std::string> argv{demo};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto result = runIn(dir, argv);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Usage : " + demo + " [file]\n");
    }
    tgatest::writeFile(dir / "photo.tga",
                       std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + std::string(13, '\0'));
    std::filesystem::create_directory(dir / "pics");
    const std::pair<std::string, std::string> cases[] = {
        {"photo.tga", "photo.tga: not a TGA image of a kind that can be read\n"},
        {"missing.tga", "missing.tga: No such file or directory\n"},
        {"pics", "pics: Is a directory\n"},
    };
    for (const auto &[file, err] : cases) {
        const auto result = runIn(dir, {demo, file});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, err);
    }
    EXPECT_EQ(names(dir), "photo.tga pics ");
}

}  // namespace
