// readImage against stb_image's TGA reader (stbi_load_from_file, three channels out) for every
// kind of pixel of the store's table, uncompressed and run-length encoded, each a 1920 x 1080
// picture with flat stretches and noise, written into <directory> first.
// Usage: imagingKinds [benchmark flags] <directory>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stb_image.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imgfile/imgfile.h"
#include "imgfile/pixelKinds.h"

namespace {

constexpr unsigned kWidth = 1920, kHeight = 1080;

using imgfile_detail::Pixel;

// One file to read: a kind of the table, raw or run-length; colour-mapped ones have 24-bit
// entries from index 0.
struct Kind {
    std::string name;
    imgfile_detail::PixelKind pixel;
    std::uint8_t type;
};

std::vector<Kind> allKinds() {
    std::vector<Kind> kinds;
    for (const auto &k : imgfile_detail::kPixelKinds) {
        const std::string name = k.name;
        kinds.push_back({name, k, k.type});
        const std::string rle = "rle" + (name.starts_with("raw") ? name.substr(3) : name);
        kinds.push_back({rle, k, static_cast<std::uint8_t>(k.type + 8)});
    }
    return kinds;
}

// The picture: 64-pixel stretches of a flat colour per 32-row band, alternating with noise.
std::uint32_t colourAt(unsigned x, unsigned y) {
    if ((x / 64 + y / 32) % 2 == 0) return (y / 32) * 0x9E3779B1U;
    std::uint32_t h = (y * kWidth + x) * 0x9E3779B1U;
    h ^= h >> 15;
    return h * 0x85EBCA77U;
}

// The bytes of one pixel of `kind` for colour c (a map index for mapped kinds).
std::string pixelBytes(const Kind &kind, std::uint32_t c) {
    const auto b = [](std::uint32_t v) { return static_cast<char>(v & 0xFFU); };
    switch (kind.pixel.pixel) {
        case Pixel::Grey8:
        case Pixel::Index8:
            return {b(c)};
        case Pixel::GreyAlpha16:
            return {b(c), b(0xFF)};
        case Pixel::Index16:
            return {b(c), b((c >> 8) & 0x0FU)};
        case Pixel::Rgb555:
            return {b(c), b((c >> 8) & 0x7FU)};
        case Pixel::Bgr24:
            return {b(c), b(c >> 8), b(c >> 16)};
        case Pixel::Bgra32:
            return {b(c), b(c >> 8), b(c >> 16), b(0xFF)};
    }
    return {};
}

std::string fileOf(const Kind &kind) {
    const bool mapped = kind.type % 8 == 1;
    const unsigned entries = mapped ? (kind.pixel.depth == 8 ? 256U : 4096U) : 0U;
    const auto b = [](unsigned v) { return static_cast<char>(v & 0xFFU); };
    std::string out{0,
                    b(mapped),
                    b(kind.type),
                    0,
                    0,
                    b(entries),
                    b(entries >> 8),
                    b(mapped ? 24 : 0),
                    0,
                    0,
                    0,
                    0,
                    b(kWidth),
                    b(kWidth >> 8),
                    b(kHeight),
                    b(kHeight >> 8),
                    b(kind.pixel.depth),
                    0x20};
    for (unsigned i = 0; i < entries; ++i)
        out += {b(i * 37), b(i * 91), b(i * 13 + 7)};
    std::vector<std::string> pixels;
    pixels.reserve(std::size_t{kWidth} * kHeight);
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            pixels.push_back(pixelBytes(kind, colourAt(x, y)));
    if (kind.type < 8) {
        for (const auto &p : pixels)
            out += p;
        return out;
    }
    // Runs of two or more equal pixels become run packets, the rest raw packets.
    for (std::size_t i = 0; i < pixels.size();) {
        std::size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        if (run > 1) {
            out += b(0x80U + static_cast<unsigned>(run) - 1) + pixels[i];
            i += run;
            continue;
        }
        std::size_t raw = 1;
        while (i + raw < pixels.size() && raw < 128 &&
               (i + raw + 1 >= pixels.size() || pixels[i + raw] != pixels[i + raw + 1]))
            ++raw;
        out += b(static_cast<unsigned>(raw) - 1);
        for (std::size_t k = 0; k < raw; ++k)
            out += pixels[i + k];
        i += raw;
    }
    return out;
}

void readOurs(benchmark::State &state, const std::string &file) {
    for (auto _ : state) {
        image_desc d{};
        targa_header head{};
        if (readImage(&d, &head, file.c_str()) != 1) state.SkipWithError("readImage failed");
        benchmark::DoNotOptimize(d.pRed);
        freeImage(&d);
    }
}

void readStb(benchmark::State &state, const std::string &file) {
    for (auto _ : state) {
        std::FILE *f = std::fopen(file.c_str(), "rb");
        int w = 0, h = 0, n = 0;
        unsigned char *pixels = f ? stbi_load_from_file(f, &w, &h, &n, 3) : nullptr;
        if (pixels == nullptr) state.SkipWithError("stb_image failed");
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
        if (f) std::fclose(f);
    }
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    // As imagingRead: released blocks are kept for the next read, for both readers alike.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [benchmark flags] <directory>\n", argv[0]);
        return EXIT_FAILURE;
    }
    for (const Kind &kind : allKinds()) {
        const std::string file = std::string(argv[1]) + "/" + kind.name + ".tga";
        const std::string bytes = fileOf(kind);
        std::FILE *f = std::fopen(file.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
            std::fclose(f) != 0) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], file.c_str());
            return EXIT_FAILURE;
        }
        benchmark::RegisterBenchmark(("readImage/" + kind.name).c_str(), readOurs, file)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("stb_image/" + kind.name).c_str(), readStb, file)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
