// histoDemo's logic: the staircase demo and the histogram of an image file.
#include "histoDemo/histoDemo.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "chartPainter/checkedCharts.h"
#include "histoDemo/messages.h"
#include "imgfile/tgaDecoder.h"
#include "stdstreams/stdstreams.h"

namespace {

using namespace histoDemo_msg;

constexpr int kAllChannels = 111;
constexpr int kPixelCount = 1000;
constexpr int64_t kTallest = 500;  // the vertical axis, in pixels

// Prints the two lines, then draws: the lines go out before any report of the chart.
int draw(const int *heights, int pixels) {
    std::printf(kSelectorLine, kAllChannels);
    std::printf(kPixelsLine, pixels);
    stdstreams::flush();
    return chartPainter_detail::drawHistogram(heights, kAllChannels) ? EXIT_SUCCESS : EXIT_FAILURE;
}

int staircase() {
    // Three rows of 256 entries, entry [i][j] = i + j. The chart reads the first 96 ints,
    // row 0's entries 0 to 95: a staircase in each channel.
    static int histogram[3][256];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 256; ++j)
            histogram[i][j] = i + j;
    }
    // Same chart as drawHisImage_main, which ignores the pixel count; this form also says
    // whether test.tga was written.
    return draw(&histogram[0][0], kPixelCount);
}

int imageHistogram(const char *file) {
    image_desc img{};
    targa_header head{};
    std::size_t missing = 0;
    if (imgfile_detail::readImageFile(&img, &head, file, missing) != 1) {
        std::fprintf(stderr, kFileFailed, file,
                     errno == EINVAL ? kNotReadable : std::strerror(errno));
        return EXIT_FAILURE;
    }
    // A cut file is charted, but not taken for a dark picture.
    if (missing > 0)
        std::fprintf(stderr, kPixelsMissing, file, missing, std::size_t{img.width} * img.height);
    int heights[3 * histoDemo::kBins];
    histoDemo::barHeights(img, heights);
    const int pixels = img.width * img.height;
    freeImage(&img);
    return draw(heights, pixels);
}

}  // namespace

void histoDemo::barHeights(const image_desc &img, int (&heights)[3 * kBins]) {
    int64_t counts[3 * kBins] = {};
    const std::size_t n = std::size_t{img.width} * img.height;
    const uint8_t *const planes[3] = {img.pBlue, img.pGreen, img.pRed};
    for (std::size_t c = 0; c < 3; ++c) {
        int64_t *bins = counts + c * kBins;
        for (std::size_t i = 0; i < n; ++i)
            ++bins[planes[c][i] >> 3U];
    }
    const int64_t max = *std::max_element(std::begin(counts), std::end(counts));
    for (int i = 0; i < 3 * kBins; ++i)
        heights[i] = max == 0 ? 0 : static_cast<int>(counts[i] * kTallest / max);
}

int histoDemo::run(int argc, char **argv) {
    if (argc <= 1) return staircase();
    if (argc == 2 && argv[1][0] != '\0' && argv[1][0] != '-') return imageHistogram(argv[1]);
    std::fprintf(stderr, kUsage, argv[0]);
    return 2;
}
