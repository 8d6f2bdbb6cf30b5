#include "tests/support/files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tgatest {

std::string readFile(const std::filesystem::path &path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string tgaHeader(std::uint16_t width, std::uint16_t height, std::uint8_t idlength,
                      std::uint8_t descriptor) {
    const auto byte = [](unsigned v) { return static_cast<char>(v & 0xFFu); };
    return byte(idlength) + std::string("\0\2\0\0\0\0\0\0\0\0\0", 11) +
           std::string{byte(width),        byte(width >> 8u), byte(height),
                       byte(height >> 8u), byte(24),          byte(descriptor)};
}

}  // namespace tgatest
