// The compiled-in images directory of sizeAnalyser and its command-line override. Built into
// each program with its own SIZE_ANALYSER_IMAGES_DIR.
#include "sizeAnalyser/sizeAnalyserDetail.h"

#include <cstdio>

#include "sizeAnalyser/messages.h"

#ifndef SIZE_ANALYSER_IMAGES_DIR
#error "SIZE_ANALYSER_IMAGES_DIR must name the images directory"
#endif

// External linkage and a size of its own keep the whole slot in the program, unfolded; a
// directory name too long for it does not compile.
extern const char sizeAnalyserImagesSlot[sizeAnalyser_detail::kSlotSize];
const char sizeAnalyserImagesSlot[sizeAnalyser_detail::kSlotSize] =
    "tgakit-sizeAnalyser-images-dir:" SIZE_ANALYSER_IMAGES_DIR;

const char *sizeAnalyser_detail::analysedDirectory(int argc, char **argv) {
    if (argc == 1) return sizeAnalyserImagesSlot + sizeof(sizeAnalyser_detail::kMarker) - 1;
    if (argc == 2 && argv[1][0] != '\0' && argv[1][0] != '-') return argv[1];
    std::fprintf(stderr, sizeAnalyser_msg::kUsage, argc > 0 ? argv[0] : "sizeAnalyser");
    return nullptr;
}
