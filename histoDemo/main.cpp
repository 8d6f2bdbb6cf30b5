// histoDemo: draws the colour histogram of a synthetic staircase into "test.tga".
#include <cstdio>
#include <cstdlib>

#include "chartPainter/chartFile.h"

namespace {

constexpr char kSelectorLine[] = "count_bgr is %d\n";
constexpr char kPixelsLine[] = "nbofpix is %d\n";

constexpr int kAllChannels = 111;
constexpr int kPixelCount = 1000;

}  // namespace

int main() {
    // Three rows of 256 entries, entry [i][j] = i + j. The chart reads the first 96 ints,
    // row 0's entries 0 to 95: a staircase in each channel.
    static int histogram[3][256];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 256; ++j)
            histogram[i][j] = i + j;
    }
    std::printf(kSelectorLine, kAllChannels);
    std::printf(kPixelsLine, kPixelCount);
    std::fflush(stdout);
    // Same chart as drawHisImage_main, which ignores the pixel count; this form also says
    // whether test.tga was written.
    return chart::drawHistogram(&histogram[0][0], kAllChannels) ? EXIT_SUCCESS : EXIT_FAILURE;
}
