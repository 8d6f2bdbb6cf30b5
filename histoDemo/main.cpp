// histoDemo: draws the colour histogram of a synthetic staircase, or of an image file, into
// "test.tga".
#include "cmdline/cmdline.h"
#include "histoDemo/histoDemo.h"
#include "histoDemo/messages.h"
#include "stdstreams/stdstreams.h"

int main(int argc, char **argv) try {
    // Before anything is opened, so that the chart file never lands on a standard stream.
    stdstreams::openMissing();
    using namespace histoDemo_msg;
    if (const auto status = cmdline::standardOption(argc, argv, {kProgram, kUsage, kDescription}))
        return *status;
    // A failure to print is reported at the end.
    return stdstreams::finish(kProgram, histoDemo::run(argc, argv));
} catch (...) {
    return stdstreams::escaped(histoDemo_msg::kProgram);
}
