// Writes `count` TGA images of width x height into a directory, for the imaging benchmarks.
// Usage: imagingMake <directory> <count> <width> <height>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imgfile/imgfile.h"

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <directory> <count> <width> <height>\n", argv[0]);
        return EXIT_FAILURE;
    }
    const std::string dir = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const auto width = static_cast<uint16_t>(std::strtoul(argv[3], nullptr, 10));
    const auto height = static_cast<uint16_t>(std::strtoul(argv[4], nullptr, 10));
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return EXIT_FAILURE;

    image_desc d{};
    const int n = mallocImage(&d, width, height);
    for (int i = 0; i < n; ++i) {
        const auto u = static_cast<unsigned>(i);
        d.pBlue[i] = static_cast<uint8_t>(u * 7);
        d.pGreen[i] = static_cast<uint8_t>(u >> 3);
        d.pRed[i] = static_cast<uint8_t>(u ^ (u >> 11));
    }
    targa_header head{};
    head.datatypecode = 2;
    head.useless2[0] = 24;
    head.useless2[1] = 0x20;
    int status = EXIT_SUCCESS;
    for (long k = 0; k < count && status == EXIT_SUCCESS; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/img%05ld.tga", k);
        if (writeImage(d, head, (dir + name).c_str()) != 1) status = EXIT_FAILURE;
    }
    freeImage(&d);
    return status;
}
