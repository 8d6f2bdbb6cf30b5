// Internal to the image file store: the three planes of an image, allocated before they are
// handed to a caller.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

namespace imgfile_detail {

struct Free {
    void operator()(void *p) const { std::free(p); }
};
using Plane = std::unique_ptr<std::uint8_t[], Free>;

struct Planes {
    Plane blue, green, red;
};

// width x height as a plane size, when it stays within the signed 32-bit range.
inline std::optional<std::size_t> planeSize(std::uint16_t width, std::uint16_t height) {
    const std::uint64_t n = std::uint64_t{width} * height;
    if (n > static_cast<std::uint64_t>(INT32_MAX)) return std::nullopt;
    return static_cast<std::size_t>(n);
}

// Three planes of n bytes each; an empty image still gets three valid (1-byte) blocks.
// zeroed uses calloc, whose fresh pages stay untouched (and not resident) until written.
inline std::optional<Planes> allocPlanes(std::size_t n, bool zeroed) {
    const std::size_t bytes = std::max<std::size_t>(n, 1);
    auto get = [&] {
        return Plane{
            static_cast<std::uint8_t *>(zeroed ? std::calloc(bytes, 1) : std::malloc(bytes))};
    };
    Planes p{get(), get(), get()};
    if (!p.blue || !p.green || !p.red) {
        errno = ENOMEM;
        return std::nullopt;
    }
    return p;
}

}  // namespace imgfile_detail
