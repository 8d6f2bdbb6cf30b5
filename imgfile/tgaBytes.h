// Internal to the toolkit (not installed): the little-endian fields of TGA files and the
// 18-byte header in file order, for every reader and writer of TGA headers (imgfile, bankList).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imgfile/imgfile.h"

namespace imgfile_detail {

inline constexpr std::size_t kHeaderBytes = 18;

constexpr std::uint16_t loadLe16(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8U);
}

constexpr void storeLe16(std::uint8_t *p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFFU);
    p[1] = static_cast<std::uint8_t>(v >> 8U);
}

// The record of the header bytes: width and height as numbers, every other byte as it lies
// in the file.
inline targa_header headerFromBytes(const std::uint8_t (&bytes)[kHeaderBytes]) {
    targa_header head{};
    head.idlength = bytes[0];
    head.colourmaptype = bytes[1];
    head.datatypecode = bytes[2];
    std::memcpy(head.useless, bytes + 3, sizeof head.useless);
    head.width = loadLe16(bytes + 12);
    head.height = loadLe16(bytes + 14);
    std::memcpy(head.useless2, bytes + 16, sizeof head.useless2);
    return head;
}

inline void headerToBytes(const targa_header &head, std::uint8_t (&bytes)[kHeaderBytes]) {
    bytes[0] = head.idlength;
    bytes[1] = head.colourmaptype;
    bytes[2] = head.datatypecode;
    std::memcpy(bytes + 3, head.useless, sizeof head.useless);
    storeLe16(bytes + 12, head.width);
    storeLe16(bytes + 14, head.height);
    std::memcpy(bytes + 16, head.useless2, sizeof head.useless2);
}

}  // namespace imgfile_detail
