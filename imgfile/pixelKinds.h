// Internal to the toolkit (not installed): the kinds of pixel that the image file store
// decodes, in one table that the decoder, its kind tests, its fuzz model and the benchmarks
// all take their kinds from.
#pragma once

#include <cstdint>

namespace imgfile_detail {

// How one pixel lies in the file. A new kind goes into kPixelKinds, and into the switches over
// Pixel that the compiler then names (the decoder's conversion, the fuzz model's pixel, the
// kind tests' sample, the benchmark's pixel bytes).
enum class Pixel { Bgr24, Bgra32, Rgb555, Grey8, GreyAlpha16, Index8, Index16 };

struct PixelKind {
    Pixel pixel;
    std::uint8_t type;   // uncompressed image type: 1 colour-mapped, 2 true colour, 3 grey;
                         // type + 8 is its run-length form
    std::uint8_t depth;  // bits per pixel in the header
    const char *name;    // in the benchmarks; the run-length form is "rle" + name less "raw"
};

inline constexpr PixelKind kPixelKinds[] = {
    {Pixel::Bgr24, 2, 24, "raw24"},        {Pixel::Bgra32, 2, 32, "raw32"},
    {Pixel::Rgb555, 2, 16, "raw16"},       {Pixel::Grey8, 3, 8, "grey8"},
    {Pixel::GreyAlpha16, 3, 16, "grey16"}, {Pixel::Index8, 1, 8, "map8"},
    {Pixel::Index16, 1, 16, "map16"},
};

// The kind of an uncompressed image type (1, 2 or 3) and depth, or null for none. Depth 15 of
// a true-colour image is 5-5-5 as 16 is.
constexpr const PixelKind *pixelKindOf(unsigned type, unsigned depth) {
    if (type == 2 && depth == 15) depth = 16;
    for (const PixelKind &kind : kPixelKinds)
        if (kind.type == type && kind.depth == depth) return &kind;
    return nullptr;
}

}  // namespace imgfile_detail
