// The images directory of sizeAnalyser when none is named: a directory fixed when the program
// is built, or else the images directory installed beside the program itself.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "sizeAnalyser/analysis.h"
#include "sizeAnalyser/messages.h"

#ifndef SIZE_ANALYSER_IMAGES_DIR
#define SIZE_ANALYSER_IMAGES_DIR ""
#endif
#ifndef SIZE_ANALYSER_IMAGES_FROM_BIN
#define SIZE_ANALYSER_IMAGES_FROM_BIN "../share/tgakit/images"
#endif

std::string sizeAnalyser_detail::defaultDirectory(const char *fixed, const char *exe,
                                                  const char *fromBin) {
    if (fixed[0] != '\0') return fixed;
    std::string self(4096, '\0');
    const ssize_t n = ::readlink(exe, self.data(), self.size());
    // Unreadable or cut short: a directory that cannot be opened, named as it was looked for.
    if (n <= 0 || static_cast<std::size_t>(n) >= self.size()) {
        return std::string(exe) + "/../" + fromBin;
    }
    self.resize(static_cast<std::size_t>(n));
    return (std::filesystem::path(self).parent_path() / fromBin).lexically_normal().string();
}

const char *sizeAnalyser_detail::analysedDirectory(int argc, char **argv) {
    if (argc == 1) {
        static const std::string dir = defaultDirectory(SIZE_ANALYSER_IMAGES_DIR, "/proc/self/exe",
                                                        SIZE_ANALYSER_IMAGES_FROM_BIN);
        return dir.c_str();
    }
    if (argc == 2 && argv[1][0] != '\0' && argv[1][0] != '-') return argv[1];
    std::fprintf(stderr, sizeAnalyser_msg::kUsage, argc > 0 ? argv[0] : "sizeAnalyser");
    return nullptr;
}
