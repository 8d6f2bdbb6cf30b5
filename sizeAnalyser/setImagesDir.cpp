// Writes an images directory into the compiled-in slot of an installed sizeAnalyser, so that
// the installed program analyses the installed sample images.
// Usage: sizeAnalyser_setdir <program file> <absolute directory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "sizeAnalyser/sizeAnalyserDetail.h"

int main(int argc, char **argv) {
    if (argc != 3 || argv[2][0] != '/') {
        std::fprintf(stderr, "usage: %s <program> <absolute directory>\n", argv[0]);
        return EXIT_FAILURE;
    }
    const std::string marker = std::string(sizeAnalyser_detail::kMarker) + "/";
    const std::size_t room = sizeAnalyser_detail::kSlotSize - (marker.size() - 1);
    const std::string dir = argv[2];
    if (dir.size() >= room) {
        std::fprintf(stderr, "%s: directory name too long\n", argv[0]);
        return EXIT_FAILURE;
    }
    std::string bytes;
    {
        std::ifstream in(argv[1], std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        if (!in.good() && !in.eof()) bytes.clear();
    }
    const std::size_t at = bytes.find(marker);
    if (bytes.empty() || at == std::string::npos ||
        bytes.find(marker, at + 1) != std::string::npos ||
        bytes.size() - at < sizeAnalyser_detail::kSlotSize) {
        std::fprintf(stderr, "%s: %s holds no single images-directory slot\n", argv[0], argv[1]);
        return EXIT_FAILURE;
    }
    std::string slot = dir;
    slot.resize(room, '\0');
    bytes.replace(at + marker.size() - 1, room, slot);
    std::fstream out(argv[1], std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(0);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::perror(argv[1]);
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
