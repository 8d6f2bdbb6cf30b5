// histoDemo: draws the colour histogram of a synthetic staircase, or of an image file, into
// "test.tga".
#include "histoDemo/histoDemo.h"
#include "histoDemo/messages.h"
#include "stdstreams/stdstreams.h"

int main(int argc, char **argv) {
    // Before anything is opened, so that the chart file never lands on a standard stream.
    stdstreams::openMissing();
    // A failure to print is reported at the end.
    return stdstreams::finish(histoDemo_msg::kProgram, histoDemo::run(argc, argv));
}
