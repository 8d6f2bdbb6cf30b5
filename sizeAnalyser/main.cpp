// sizeAnalyser: the size classes of the images of the directory compiled in, or of the one
// named on the command line.
#include <cstdlib>

#include "sizeAnalyser/sizeAnalyser.h"
#include "sizeAnalyser/sizeAnalyserDetail.h"
#include "stdstreams/stdstreams.h"

int main(int argc, char **argv) try {
    stdstreams::openMissing();
    const char *const dir = sizeAnalyser_detail::analysedDirectory(argc, argv);
    if (dir == nullptr) return 2;
    diviserRepertoire(dir);
    // A report that could not be written is a failure, not a normal end.
    return stdstreams::finish("sizeAnalyser", EXIT_SUCCESS);
} catch (...) {
    return stdstreams::escaped("sizeAnalyser");
}
