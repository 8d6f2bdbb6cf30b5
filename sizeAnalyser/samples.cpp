// Writes the sample images that sizeAnalyser analyses out of the box, with the toolkit's own
// TGA writer. Usage: sizeAnalyser_samples <directory>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imgfile/imgfile.h"

namespace {

struct Sample {
    uint16_t width;
    uint16_t height;
};

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
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return EXIT_FAILURE;
    }
    // The writer announces every header on the standard output; the build log does not need it.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return EXIT_FAILURE;
    const Sample samples[] = {{100, 100}, {640, 480}, {10, 10}, {320, 240},
                              {800, 600}, {33, 17},   {1, 1}};
    for (const Sample &s : samples) {
        image_desc d{};
        if (mallocImage(&d, s.width, s.height) == 0 && s.width * s.height != 0) return EXIT_FAILURE;
        paint(d);
        targa_header head{};
        head.datatypecode = 2;
        head.useless2[0] = 24;
        head.useless2[1] = 0x20;  // rows top to bottom
        const std::string name = std::string(argv[1]) + "/" + std::to_string(s.width) + "x" +
                                 std::to_string(s.height) + ".tga";
        const int ok = writeImage(d, head, name.c_str());
        freeImage(&d);
        if (ok != 1) return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
