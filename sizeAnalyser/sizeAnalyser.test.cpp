// Tests of the size analysis: the class search, the analysis run in this process on directories
// of images, and the program for its statuses and streams.
#include "sizeAnalyser/sizeAnalyser.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fdio/fdio.h"
#include "sizeAnalyser/analysis.h"
#include "tests/support/capture.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/programCase.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;

TEST(find, SizeEqualToAThresholdBelongsToTheClassAbove) {
    const int32_t table[] = {10, 30, 500, 921};
    NodeImage node{};
    // Entry n of the table is not a threshold.
    for (auto [size, n, index] :
         {std::array{0, 3, 0}, {10, 3, 1}, {29, 3, 1}, {30, 3, 2}, {921, 3, 3}, {921, 0, 0}}) {
        node.size = size;
        EXPECT_EQ(find(&node, table, n), index) << size << " among " << n;
    }
    int32_t a = 1, b = -2;
    swap(&a, &b);
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 1);
}

// The directory that the tests name to sizeAnalyser, emptied (or removed) for each test.
class SizeAnalyserRun : public testing::Test {
  protected:
    const fs::path dir{SIZE_ANALYSER_TEST_DIR};

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A TGA header claiming width x height, followed by all its pixels.
    void image(const std::string &name, uint16_t width, uint16_t height) const {
        tgatest::writeFile(dir / name, tgatest::tgaHeader(width, height) +
                                           std::string(std::size_t{width} * height * 3, '\x42'));
    }

    // The "p->size is" lines for the given sizes by name, in the directory's own order.
    std::string sizeLines(const std::vector<std::pair<std::string, int>> &sizes) const {
        std::string lines;
        DIR *d = opendir(dir.c_str());
        while (const dirent *e = readdir(d)) {
            for (const auto &[name, size] : sizes) {
                if (name == e->d_name) lines += "p->size is " + std::to_string(size) + "\n";
            }
        }
        closedir(d);
        return lines;
    }

    // sizeAnalyser on the test directory; `ownDefault` runs it without an argument instead.
    tgatest::RunResult analyse(const std::string &input, bool ownDefault = false) const {
        tgatest::RunOptions options;
        options.input = input;
        std::vector<std::string> argv{tgatest::program("sizeAnalyser").string()};
        if (!ownDefault) argv.push_back(dir.string());
        return tgatest::run(argv, options);
    }

    // analyse() on the test directory in this process, its thresholds read from `input`.
    tgatest::RunResult analyseHere(const std::string &input) const {
        const std::unique_ptr<std::FILE, int (*)(std::FILE *)> in{std::tmpfile(), &std::fclose};
        tgatest::RunResult r;
        if (!in || std::fwrite(input.data(), 1, input.size(), in.get()) != input.size()) return r;
        std::rewind(in.get());
        const auto printed = tgatest::captured(
            [&] { r.exitCode = sizeAnalyser_detail::analyse(dir.c_str(), in.get()); });
        r.out = printed.out;
        r.err = printed.err;
        return r;
    }

    // The same with the fault library preloaded and `settings` in its environment.
    tgatest::RunResult analyseWith(const std::vector<std::string> &settings,
                                   const std::string &input, tgatest::RunOptions options = {}) {
        // A sanitizer's runtime would otherwise refuse to load after the preloaded library.
        const char *asan = std::getenv("ASAN_OPTIONS");
        std::vector<std::string> argv = {
            "/usr/bin/env", std::string("LD_PRELOAD=") + BANK_FAULTS_LIB,
            "ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") +
                ":verify_asan_link_order=0"};
        argv.insert(argv.end(), settings.begin(), settings.end());
        argv.push_back(tgatest::program("sizeAnalyser").string());
        argv.push_back(dir.string());
        options.input = input;
        return tgatest::run(argv, options);
    }

    void workedExample() const {
        image("hundred.tga", 100, 100);
        image("vga.tga", 640, 480);
        image("ten.tga", 10, 10);
    }
    std::string workedSizes() const {
        return sizeLines({{"hundred.tga", 30}, {"vga.tga", 921}, {"ten.tga", 0}}) +
               "The Maximum size is 921, and the minimum size is 0\n"
               "Please input the size and terminted with -1\n";
    }
};

class sizeAnalyser : public SizeAnalyserRun {};

TEST_F(sizeAnalyser, ThresholdsAreSortedIntoClasses) {
    workedExample();
    const char *const twoThresholds =
        "maxi is 500\n"
        "In the set < 10, there are 1 images\n"
        "In the 10 < set < 500, there are 1 images\n"
        "In the 500 < set < 921, there are 1 images\n";
    const char *const none = "maxi is 0\nIn the set < 921, there are 3 images\n";
    const std::pair<std::vector<const char *>, const char *> cases[] = {
        // Input that ends, or is not a number, before -1 ends the list all the same.
        {{"500 10 -1\n", "500 10"}, twoThresholds},
        {{"-1\n", "99999999999 -1", ""}, none},
        {{"30\n-1\n"},
         "maxi is 30\n"
         "In the set < 30, there are 1 images\n"
         "In the 30 < set < 921, there are 2 images\n"},
        {{"10 10 -1"},
         "maxi is 10\n"
         "In the set < 10, there are 1 images\n"
         "In the 10 < set < 10, there are 0 images\n"
         "In the 10 < set < 921, there are 2 images\n"},
        {{"-3 -7 -1"},
         "maxi is 0\n"
         "In the set < -7, there are 0 images\n"
         "In the -7 < set < -3, there are 0 images\n"
         "In the -3 < set < 921, there are 3 images\n"},
        {{"100 x 10 -1"},
         "maxi is 100\n"
         "In the set < 100, there are 2 images\n"
         "In the 100 < set < 921, there are 1 images\n"},
    };
    for (const auto &[inputs, report] : cases) {
        for (const char *input : inputs) {
            const auto r = analyseHere(input);
            EXPECT_EQ(r.exitCode, 0) << input;
            EXPECT_EQ(r.out, workedSizes() + report) << input;
            EXPECT_EQ(r.err, "") << input;
        }
    }
}

TEST_F(sizeAnalyser, GreatestSizeBelowGreatestThreshold) {
    image("hundred.tga", 100, 100);
    image("ten.tga", 10, 10);
    const auto r = analyseHere("10 500 -1\n");
    EXPECT_EQ(r.out, sizeLines({{"hundred.tga", 30}, {"ten.tga", 0}}) +
                         "The Maximum size is 30, and the minimum size is 0\n"
                         "Please input the size and terminted with -1\n"
                         "maxi is 500\n"
                         "In the set < 10, there are 1 images\n"
                         "In the 10 < set < 500, there are 1 images\n"
                         "In the 500 < set < 30, there are 0 images\n");
}

TEST_F(sizeAnalyser, ThresholdsBeyondTheTableAreIgnored) {
    image("ten.tga", 10, 10);
    std::string input;
    for (int v = 1; v <= 1200; ++v)
        input += std::to_string(v) + " ";
    const auto r = analyseHere(input + "-1\n");
    EXPECT_EQ(r.exitCode, 0);
    const std::string tail = "maxi is 999\nIn the set < 1, there are 1 images\n";
    ASSERT_NE(r.out.find(tail), std::string::npos);
    const std::string report = r.out.substr(r.out.find(tail) + 12);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1000);
    EXPECT_TRUE(
        report.ends_with("In the 998 < set < 999, there are 0 images\n"
                         "In the 999 < set < 0, there are 0 images\n"));
}

TEST_F(sizeAnalyser, EmptyAndMissingDirectories) {
    const std::string emptyReport =
        "The Maximum size is -1, and the minimum size is 100000000\n"
        "Please input the size and terminted with -1\n"
        "maxi is 5\n"
        "In the set < 5, there are 0 images\n"
        "In the 5 < set < -1, there are 0 images\n";
    auto r = analyseHere("5 -1\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, emptyReport);

    // A directory that cannot be opened is a failure, told once the report is out: in this
    // process and as the program's status.
    fs::remove_all(dir);
    r = analyseHere("5 -1\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "opendir failed!" + emptyReport);
    EXPECT_EQ(r.err, dir.string() + ": No such file or directory\n");
    r = analyse("5 -1\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "opendir failed!" + emptyReport);
    EXPECT_EQ(r.err, dir.string() + ": No such file or directory\n");
}

TEST_F(sizeAnalyser, OddEntriesAreCountedAsEmptyImages) {
    image(".dot.tga", 100, 100);
    fs::create_directory(dir / "sub");
    tgatest::writeFile(dir / "tiny", "abc");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const auto r = analyse("-1\n");
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, sizeLines({{".dot.tga", 30}, {"sub", 0}, {"tiny", 0}, {"fifo", 0}}) +
                         "The Maximum size is 30, and the minimum size is 0\n"
                         "Please input the size and terminted with -1\n"
                         "maxi is 0\n"
                         "In the set < 30, there are 4 images\n");
}

TEST_F(sizeAnalyser, UnreadableEntriesEndTheProgram) {
    image("ten.tga", 10, 10);
    fs::create_symlink(dir / "nowhere.tga", dir / "dangling.tga");
    // The analysis returns its failure; the program ends with it.
    for (const auto &r : {analyseHere("-1\n"), analyse("-1\n")}) {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "read image failed!: No such file or directory\n");
    }

    // A directory or a file that fails while it is read ends the program too, not the report.
    fs::remove(dir / "dangling.tga");
    image("vga.tga", 640, 480);
    auto r = analyseWith({"TGAKIT_FAIL_READDIR=3"}, "-1\n");  // ".", "..", then one image
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "readdir failed!: Input/output error\n");

    // Every file is read to its end, whatever its header claims: a 0 x 0 image followed by
    // other bytes (a colour map, a footer) is read past its header too.
    tgatest::writeFile(dir / "zero.tga", tgatest::tgaHeader(0, 0) + std::string(26, 'F'));
    for (const char *failing : {"TGAKIT_FAIL_READ=vga.tga", "TGAKIT_FAIL_READ=zero.tga"}) {
        r = analyseWith({failing}, "-1\n");
        EXPECT_EQ(r.exitCode, 1) << failing;
        EXPECT_EQ(r.out, "") << failing;
        EXPECT_EQ(r.err, "read image failed!: Input/output error\n") << failing;
    }
}

TEST_F(sizeAnalyser, HugeClaimsGiveTheirSizesWithoutBeingHeld) {
    // 65535 x 65535 in 18 bytes, and a sparse file holding all of a 20000 x 20000 image.
    tgatest::writeFile(dir / "huge.tga", tgatest::tgaHeader(65535, 65535));
    tgatest::writeFile(dir / "sparse.tga", tgatest::tgaHeader(20000, 20000));
    fs::resize_file(dir / "sparse.tga", 18 + uintmax_t{20000} * 20000 * 3);
    const auto r = analyseHere("-1\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, sizeLines({{"huge.tga", 12884508}, {"sparse.tga", 1200000}}) +
                         "The Maximum size is 12884508, and the minimum size is 1200000\n"
                         "Please input the size and terminted with -1\n"
                         "maxi is 0\n"
                         "In the set < 12884508, there are 2 images\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(sizeAnalyser, AnEntryThatBecomesAFifoBeforeItIsOpenedCountsAsEmpty) {
    // Listed as a regular image, renamed over by a FIFO at the moment it is opened: a decision
    // taken before the open would wait for a writer for ever.
    image("ten.tga", 10, 10);
    image("swapped.tga", 100, 100);
    const fs::path fifo = dir.parent_path() / "sizeAnalyser-swap-fifo";
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    tgatest::RunOptions options;
    options.timeout = std::chrono::seconds(10);
    const auto r = analyseWith(
        {"TGAKIT_SWAP_FROM=" + fifo.string(), "TGAKIT_SWAP_TO=" + (dir / "swapped.tga").string()},
        "-1\n", options);
    fs::remove(fifo);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(fs::is_fifo(dir / "swapped.tga"));
    EXPECT_EQ(r.out, sizeLines({{"ten.tga", 0}, {"swapped.tga", 0}}) +
                         "The Maximum size is 0, and the minimum size is 0\n"
                         "Please input the size and terminted with -1\n"
                         "maxi is 0\n"
                         "In the set < 0, there are 2 images\n");
}

// A report that cannot be written is a failure. A closed standard input is an input that has
// ended: no thresholds. One that fails is a failure, told after the report.
class StandardStreams : public SizeAnalyserRun,
                        public testing::WithParamInterface<tgatest::ProgramCase> {};

TEST_P(StandardStreams, Case) {
    workedExample();
    const tgatest::ProgramCase &row = GetParam();
    const auto r = tgatest::runCase("sizeAnalyser", row);
    EXPECT_EQ(r.exitCode, row.status);
    EXPECT_EQ(r.out, row.out.empty() ? "" : workedSizes() + row.out);  // after the size lines
    EXPECT_EQ(r.err, row.err);
}

const std::string kNoThresholds = "maxi is 0\nIn the set < 921, there are 3 images\n";
INSTANTIATE_TEST_SUITE_P(sizeAnalyser, StandardStreams,
                         testing::ValuesIn(std::vector<tgatest::ProgramCase>{
                             {"fullDisk",
                              {SIZE_ANALYSER_TEST_DIR},
                              ">/dev/full",
                              1,
                              "",
                              "sizeAnalyser: No space left on device\n"},
                             {"closedInput", {SIZE_ANALYSER_TEST_DIR}, "<&-", 0, kNoThresholds, ""},
                             {"failingInput",
                              {SIZE_ANALYSER_TEST_DIR},
                              "</",
                              1,
                              kNoThresholds,
                              "sizeAnalyser: standard input: Is a directory\n"}}),
                         tgatest::rowName);

// Descriptor 0 taken from `fd` for the length of a scope.
class StdinFrom {
  public:
    explicit StdinFrom(int fd) : saved_{::dup(STDIN_FILENO)} {
        ::dup2(fd, STDIN_FILENO);
        std::clearerr(stdin);
    }
    ~StdinFrom() {
        ::dup2(saved_.get(), STDIN_FILENO);
        std::clearerr(stdin);
    }
    StdinFrom(const StdinFrom &) = delete;
    StdinFrom &operator=(const StdinFrom &) = delete;

  private:
    fdio::Fd saved_;
};

class analyse : public SizeAnalyserRun {};

TEST_F(analyse, InputThatFailsEndsTheListAndThatWaitsIsWaitedOn) {
    workedExample();
    const std::string report =
        "maxi is 500\n"
        "In the set < 10, there are 1 images\n"
        "In the 10 < set < 500, there are 1 images\n"
        "In the 500 < set < 921, there are 1 images\n";
    int status = -1;
    auto analyseFrom = [&](int fd) {
        const StdinFrom in{fd};
        return tgatest::captured([&] { status = sizeAnalyser_detail::analyse(dir.c_str()); });
    };

    // A terminal whose other side has gone: what was typed there, then EIO.
    const fdio::Fd terminal{::posix_openpt(O_RDWR | O_NOCTTY)};
    ASSERT_GE(terminal.get(), 0);
    ASSERT_EQ(::grantpt(terminal.get()), 0);
    ASSERT_EQ(::unlockpt(terminal.get()), 0);
    {
        const fdio::Fd typist{::open(::ptsname(terminal.get()), O_RDWR | O_NOCTTY)};
        ASSERT_TRUE(fdio::writeAll(typist.get(), "500 10 ", 7));
    }
    auto printed = analyseFrom(terminal.get());
    EXPECT_EQ(status, EXIT_FAILURE);
    EXPECT_EQ(printed.out, workedSizes() + report);
    EXPECT_EQ(printed.err, "sizeAnalyser: standard input: Input/output error\n");

    // A pipe set not to wait, its thresholds coming later.
    std::array<int, 2> fds{};
    ASSERT_EQ(::pipe2(fds.data(), O_NONBLOCK), 0);
    const fdio::Fd pipeIn{fds[0]};
    fdio::Fd pipeOut{fds[1]};
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        fdio::writeAll(pipeOut.get(), "10 500 -1", 9);
        pipeOut.close();
    });
    printed = analyseFrom(pipeIn.get());
    late.join();
    EXPECT_EQ(status, EXIT_SUCCESS);
    EXPECT_EQ(printed.out, workedSizes() + report);
    EXPECT_EQ(printed.err, "");
}

// One argument names the directory instead of the default one.
TEST_F(sizeAnalyser, DirectoryArgument) {
    image("hundred.tga", 100, 100);
    tgatest::RunOptions options;
    options.input = "-1\n";
    const auto r = tgatest::run({tgatest::program("sizeAnalyser").string(), dir.string()}, options);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "p->size is 30\n"
              "The Maximum size is 30, and the minimum size is 30\n"
              "Please input the size and terminted with -1\n"
              "maxi is 0\n"
              "In the set < 30, there are 1 images\n");
}

// The build-tree program, laid out as installed, on the sample images beside it.
TEST_F(sizeAnalyser, AnalysesItsSampleImages) {
    if (!SIZE_ANALYSER_ON_SAMPLES) GTEST_SKIP() << "built for another images directory";
    const auto r = analyse("10 500 -1\n", true);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("The Maximum size is 1440, and the minimum size is 0\n"),
              std::string::npos);
    EXPECT_TRUE(
        r.out.ends_with("maxi is 500\n"
                        "In the set < 10, there are 3 images\n"
                        "In the 10 < set < 500, there are 2 images\n"
                        "In the 500 < set < 1440, there are 2 images\n"))
        << r.out;
}

// The default directory: a fixed one as it is, else relative to the program's own directory.
TEST(defaultDirectory, FixedOrBesideTheProgram) {
    EXPECT_EQ(sizeAnalyser_detail::defaultDirectory("/srv/images", "/nonexistent", "../x"),
              "/srv/images");
    const tgatest::TempDir tmp;
    const fs::path link = tmp.path() / "exe";
    fs::create_symlink("/opt/tool/bin/tgakit-sizeAnalyser", link);
    EXPECT_EQ(sizeAnalyser_detail::defaultDirectory("", link.c_str(), "../share/tgakit/images"),
              "/opt/tool/share/tgakit/images");
    // No link to read: a directory that cannot be opened, which the analysis then reports.
    const std::string missing =
        sizeAnalyser_detail::defaultDirectory("", (tmp.path() / "none").c_str(), "../images");
    EXPECT_FALSE(fs::exists(missing)) << missing;
}

}  // namespace
