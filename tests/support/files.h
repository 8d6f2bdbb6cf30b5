// Whole-file helpers for setting up inputs and checking outputs, and the bytes of TGA headers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tgatest {

// The whole file; throws when it cannot be read.
std::string readFile(const std::filesystem::path &path);
// Replaces the file by `bytes`; throws when it cannot be written.
void writeFile(const std::filesystem::path &path, const std::string &bytes);

// The 18 bytes of an uncompressed 24-bit TGA header in file order: identification length,
// no colour map, type 2, zero origin, width and height low byte first, depth 24, descriptor.
std::string tgaHeader(std::uint16_t width, std::uint16_t height, std::uint8_t idlength = 0,
                      std::uint8_t descriptor = 0);

}  // namespace tgatest
