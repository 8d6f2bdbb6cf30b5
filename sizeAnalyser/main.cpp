// sizeAnalyser: the size classes of the images of the directory compiled in.
#include <cstdlib>

#include "sizeAnalyser/sizeAnalyser.h"
#include "stdstreams/stdstreams.h"

#ifndef SIZE_ANALYSER_IMAGES_DIR
#error "SIZE_ANALYSER_IMAGES_DIR must name the images directory"
#endif

int main() {
    stdstreams::openMissing();
    diviserRepertoire(SIZE_ANALYSER_IMAGES_DIR);
    // A report that could not be written is a failure, not a normal end.
    return stdstreams::finish("sizeAnalyser", EXIT_SUCCESS);
}
