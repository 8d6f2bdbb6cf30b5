// sizeAnalyser: the size classes of the images of the directory compiled in.
#include "sizeAnalyser/sizeAnalyser.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifndef SIZE_ANALYSER_IMAGES_DIR
#error "SIZE_ANALYSER_IMAGES_DIR must name the images directory"
#endif

int main() {
#ifdef __GLIBC__
    // Every image is read in full and released before the next: keep the released planes for
    // the next image rather than hand them back to the system and fault them in again, which
    // costs more than reading the file. Memory stays bounded by the largest image's planes.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    diviserRepertoire(SIZE_ANALYSER_IMAGES_DIR);
    return 0;
}
