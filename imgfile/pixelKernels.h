// The pixel loops of the image file store: splitting interleaved blue, green, red bytes into
// three planes and joining planes back. Internal: not installed, used by imgfile.cpp and its
// tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace imgfile_detail {

// One way to run both loops. `split` turns n pixels of src (3n bytes) into n bytes of each of
// b, g and r; `join` does the reverse into dst. Buffers never overlap.
struct Variant {
    const char *name;
    void (*split)(const std::uint8_t *src, std::size_t n, std::uint8_t *b, std::uint8_t *g,
                  std::uint8_t *r);
    void (*join)(const std::uint8_t *b, const std::uint8_t *g, const std::uint8_t *r, std::size_t n,
                 std::uint8_t *dst);
};

// Every variant that this build offers and this machine runs, the plain loops first and the
// fastest last. Only the plain loops when the build has TGAKIT_SIMD off or is not for x86.
std::span<const Variant> available();

// The variant the store uses: the last of available(), chosen once, on first use.
const Variant &chosen();

}  // namespace imgfile_detail
