// sizeAnalyser: the size classes of the images of its default directory, or of the one named
// on the command line.
#include "cmdline/cmdline.h"
#include "sizeAnalyser/analysis.h"
#include "sizeAnalyser/messages.h"
#include "stdstreams/stdstreams.h"

int main(int argc, char **argv) try {
    stdstreams::openMissing();
    if (const auto status = cmdline::standardOption(
            argc, argv, {"sizeAnalyser", sizeAnalyser_msg::kUsage, sizeAnalyser_msg::kDescription}))
        return *status;
    const char *const dir = sizeAnalyser_detail::analysedDirectory(argc, argv);
    if (dir == nullptr) return 2;
    const int status = sizeAnalyser_detail::analyse(dir);
    // A report that could not be written is a failure, not a normal end.
    return stdstreams::finish("sizeAnalyser", status);
} catch (...) {
    return stdstreams::escaped("sizeAnalyser");
}
