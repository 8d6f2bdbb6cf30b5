// histoDemo: draws the colour histogram of a synthetic staircase into "test.tga".
#include <cstdio>
#include <cstdlib>

#include "chartPainter/chartPainterDetail.h"
#include "cmdline/cmdline.h"
#include "histoDemo/messages.h"
#include "stdstreams/stdstreams.h"

namespace {

constexpr int kAllChannels = 111;
constexpr int kPixelCount = 1000;

}  // namespace

int main(int argc, char **argv) try {
    // Before anything is opened, so that the chart file never lands on a standard stream.
    stdstreams::openMissing();
    using namespace histoDemo_msg;
    // Other arguments are ignored.
    if (const auto status = cmdline::standardOption(argc, argv, {kProgram, kUsage, kDescription}))
        return *status;
    // Three rows of 256 entries, entry [i][j] = i + j. The chart reads the first 96 ints,
    // row 0's entries 0 to 95: a staircase in each channel.
    static int histogram[3][256];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 256; ++j)
            histogram[i][j] = i + j;
    }
    std::printf(kSelectorLine, kAllChannels);
    std::printf(kPixelsLine, kPixelCount);
    // The lines go out before any report of the chart; a failure is reported at the end.
    stdstreams::flush();
    // Same chart as drawHisImage_main, which ignores the pixel count; this form also says
    // whether test.tga was written.
    const bool drawn = chartPainter_detail::drawHistogram(&histogram[0][0], kAllChannels);
    return stdstreams::finish(kProgram, drawn ? EXIT_SUCCESS : EXIT_FAILURE);
} catch (...) {
    return stdstreams::escaped(histoDemo_msg::kProgram);
}
