// The pixel loops of the image file store, plain and with byte shuffles.
//
// The baseline x86 target has no byte shuffle, and without one splitting pixels runs far
// below memory speed (the imaging benchmark times the chosen one against a plain fread):
// the shuffling variants are built too and one of them is chosen on the machine. Joining is
// the plain loop compiled for each target, which the compiler vectorises well on its own.
#include "imgfile/pixelKernels.h"

#include <array>

#ifndef TGAKIT_SIMD
#define TGAKIT_SIMD 1
#endif
#if TGAKIT_SIMD && (defined(__x86_64__) || defined(__i386__))
#define TGAKIT_PIXEL_SHUFFLES 1
#include <immintrin.h>
#else
#define TGAKIT_PIXEL_SHUFFLES 0
#endif

namespace imgfile_detail {
namespace {

using std::uint8_t;

// Inlined into each target's copy, so that each is vectorised for its own instruction set.
[[gnu::always_inline]] inline void splitLoop(const uint8_t *__restrict src, std::size_t n,
                                             uint8_t *__restrict b, uint8_t *__restrict g,
                                             uint8_t *__restrict r) {
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = src[3 * i];
        g[i] = src[3 * i + 1];
        r[i] = src[3 * i + 2];
    }
}

[[gnu::always_inline]] inline void joinLoop(const uint8_t *__restrict b,
                                            const uint8_t *__restrict g,
                                            const uint8_t *__restrict r, std::size_t n,
                                            uint8_t *__restrict dst) {
    for (std::size_t i = 0; i < n; ++i) {
        dst[3 * i] = b[i];
        dst[3 * i + 1] = g[i];
        dst[3 * i + 2] = r[i];
    }
}

void splitPlain(const uint8_t *src, std::size_t n, uint8_t *b, uint8_t *g, uint8_t *r) {
    splitLoop(src, n, b, g, r);
}

void joinPlain(const uint8_t *b, const uint8_t *g, const uint8_t *r, std::size_t n, uint8_t *dst) {
    joinLoop(b, g, r, n, dst);
}

#if TGAKIT_PIXEL_SHUFFLES

// kShuffle[c][p] gathers the bytes of channel c that lie in 16-byte part p of 16 pixels
// (48 bytes) into their places among the 16 outputs; -128 leaves a place zero.
struct ShuffleMasks {
    alignas(16) int8_t m[3][3][16];
};
constexpr ShuffleMasks makeShuffleMasks() {
    ShuffleMasks masks{};
    for (int c = 0; c < 3; ++c)
        for (int p = 0; p < 3; ++p)
            for (int j = 0; j < 16; ++j) {
                const int at = 3 * j + c;
                masks.m[c][p][j] = static_cast<int8_t>(at / 16 == p ? at % 16 : -128);
            }
    return masks;
}
constexpr ShuffleMasks kShuffle = makeShuffleMasks();

// 32 pixels a step: each 128-bit lane splits its own 16 pixels.
__attribute__((target("avx2"))) void splitAvx2(const uint8_t *__restrict src, std::size_t n,
                                               uint8_t *__restrict b, uint8_t *__restrict g,
                                               uint8_t *__restrict r) {
    __m256i mask[3][3];
    for (int c = 0; c < 3; ++c)
        for (std::size_t p = 0; p < 3; ++p)
            mask[c][p] = _mm256_broadcastsi128_si256(
                _mm_load_si128(reinterpret_cast<const __m128i *>(kShuffle.m[c][p])));
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const uint8_t *s = src + 3 * i;
        __m256i v[3];
        for (std::size_t p = 0; p < 3; ++p)
            v[p] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i *>(s + 48 + 16 * p),
                                       reinterpret_cast<const __m128i *>(s + 16 * p));
        uint8_t *out[3] = {b + i, g + i, r + i};
        for (int c = 0; c < 3; ++c) {
            const __m256i x =
                _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(v[0], mask[c][0]),
                                                _mm256_shuffle_epi8(v[1], mask[c][1])),
                                _mm256_shuffle_epi8(v[2], mask[c][2]));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out[c]), x);
        }
    }
    splitLoop(src + 3 * i, n - i, b + i, g + i, r + i);
}

__attribute__((target("ssse3"))) void splitSsse3(const uint8_t *__restrict src, std::size_t n,
                                                 uint8_t *__restrict b, uint8_t *__restrict g,
                                                 uint8_t *__restrict r) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const uint8_t *s = src + 3 * i;
        __m128i v[3];
        for (std::size_t p = 0; p < 3; ++p)
            v[p] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 16 * p));
        uint8_t *out[3] = {b + i, g + i, r + i};
        for (int c = 0; c < 3; ++c) {
            const auto *mask = reinterpret_cast<const __m128i *>(kShuffle.m[c]);
            const __m128i x = _mm_or_si128(
                _mm_or_si128(_mm_shuffle_epi8(v[0], mask[0]), _mm_shuffle_epi8(v[1], mask[1])),
                _mm_shuffle_epi8(v[2], mask[2]));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out[c]), x);
        }
    }
    splitLoop(src + 3 * i, n - i, b + i, g + i, r + i);
}

__attribute__((target("avx2"))) void joinAvx2(const uint8_t *b, const uint8_t *g, const uint8_t *r,
                                              std::size_t n, uint8_t *dst) {
    joinLoop(b, g, r, n, dst);
}

__attribute__((target("ssse3"))) void joinSsse3(const uint8_t *b, const uint8_t *g,
                                                const uint8_t *r, std::size_t n, uint8_t *dst) {
    joinLoop(b, g, r, n, dst);
}

#endif  // TGAKIT_PIXEL_SHUFFLES

struct Offer {
    std::array<Variant, 3> variants;
    std::size_t count;
};

Offer offered() {
    Offer offer{{Variant{"plain", splitPlain, joinPlain}}, 1};
#if TGAKIT_PIXEL_SHUFFLES
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3"))
        offer.variants[offer.count++] = Variant{"ssse3", splitSsse3, joinSsse3};
    if (__builtin_cpu_supports("avx2"))
        offer.variants[offer.count++] = Variant{"avx2", splitAvx2, joinAvx2};
#endif
    return offer;
}

}  // namespace

std::span<const Variant> available() {
    static const Offer offer = offered();
    return {offer.variants.data(), offer.count};
}

const Variant &chosen() {
    static const Variant &best = available().back();
    return best;
}

}  // namespace imgfile_detail
