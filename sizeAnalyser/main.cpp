// sizeAnalyser: the size classes of the images of the directory compiled in.
#include "sizeAnalyser/sizeAnalyser.h"

#ifndef SIZE_ANALYSER_IMAGES_DIR
#error "SIZE_ANALYSER_IMAGES_DIR must name the images directory"
#endif

int main() {
    diviserRepertoire(SIZE_ANALYSER_IMAGES_DIR);
    return 0;
}
