// Writes the sample images that sizeAnalyser analyses out of the box, with the toolkit's own
// TGA writer, one per size given (the build's list of samples).
// Usage: sizeAnalyser_samples <directory> <width>x<height>...
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imgfile/imgfile.h"

namespace {

// A <width>x<height> argument, each between 1 and 65535 (false for anything else).
bool parseSize(const char *text, uint16_t *width, uint16_t *height) {
    unsigned w = 0, h = 0;
    char end = 0;
    if (std::sscanf(text, "%5ux%5u%c", &w, &h, &end) != 2) return false;
    if (w == 0 || h == 0 || w > 65535 || h > 65535) return false;
    *width = static_cast<uint16_t>(w);
    *height = static_cast<uint16_t>(h);
    return true;
}

// A gradient with a red 'F' on a blue square in the top-left corner, so flips and channel
// swaps are visible in any viewer.
void paint(image_desc &d) {
    const unsigned w = d.width;
    const unsigned h = d.height;
    const unsigned s = (w < h ? w : h) / 2;
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            const std::size_t i = std::size_t{y} * w + x;
            d.pRed[i] = static_cast<uint8_t>(x * 255 / w);
            d.pGreen[i] = static_cast<uint8_t>(y * 255 / h);
            d.pBlue[i] = 96;
            if (x >= s || y >= s) continue;
            const bool stem = x >= s / 5 && x < 2 * s / 5 && y >= s / 5 && y < 4 * s / 5;
            const bool top = y >= s / 5 && y < 2 * s / 5 && x >= s / 5 && x < 4 * s / 5;
            const bool mid =
                y >= 2 * s / 5 + s / 10 && y < 3 * s / 5 && x >= s / 5 && x < 3 * s / 5;
            const bool f = stem || top || mid;
            d.pRed[i] = f ? 255 : 0;
            d.pGreen[i] = 0;
            d.pBlue[i] = f ? 0 : 255;
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <directory> <width>x<height>...\n", argv[0]);
        return EXIT_FAILURE;
    }
    // The writer announces every header on the standard output; the build log does not need it.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return EXIT_FAILURE;
    for (int arg = 2; arg < argc; ++arg) {
        uint16_t width = 0, height = 0;
        if (!parseSize(argv[arg], &width, &height)) {
            std::fprintf(stderr, "%s: not a size: %s\n", argv[0], argv[arg]);
            return EXIT_FAILURE;
        }
        image_desc d{};
        if (mallocImage(&d, width, height) == 0) return EXIT_FAILURE;
        paint(d);
        targa_header head{};
        head.datatypecode = 2;
        head.useless2[0] = 24;
        head.useless2[1] = 0x20;  // rows top to bottom
        const std::string name = std::string(argv[1]) + "/" + argv[arg] + ".tga";
        const int ok = writeImage(d, head, name.c_str());
        freeImage(&d);
        if (ok != 1) return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
