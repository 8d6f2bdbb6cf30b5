// sizeAnalyser: the size classes of the images of the directory compiled in, or of the one
// named on the command line.
#include "sizeAnalyser/imagesDir.h"
#include "sizeAnalyser/sizeAnalyser.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char **argv) {
    const char *const dir = analysedDirectory(argc, argv);
    if (dir == nullptr) return 2;
#ifdef __GLIBC__
    // Every image is read in full and released before the next: keep the released planes for
    // the next image rather than hand them back to the system and fault them in again, which
    // costs more than reading the file. Memory stays bounded by the largest image's planes.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    diviserRepertoire(dir);
    return 0;
}
