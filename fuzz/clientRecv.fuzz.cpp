// Fuzzes the client's recv_img on an arbitrary service-connection stream. The input is a
// flag byte, the announced size (4 bytes, little-endian) and the bytes the server sent. A whole
// image must replace the stored file exactly; a cut one must leave it alone and be kept as the
// .part file; a negative size must leave an existing file alone; no new file may be left
// behind; and the bytes after the image must stay on the connection.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "chatWire/chatWire.h"
#include "client/client.h"
#include "fuzz/fuzzSupport.h"

namespace {

constexpr const char *kOutput = "output/testsortie.tga";
constexpr const char *kPart = "output/testsortie.tga.part";
constexpr std::uint8_t kOld[] = {'o', 'l', 'd', ' ', 'i', 'm', 'a', 'g', 'e'};

bool exists(const char *path) {
    struct stat st {};
    return ::lstat(path, &st) == 0;
}

// Entries of "output/" other than "." and "..".
int outputEntries() {
    DIR *dir = ::opendir("output");
    if (dir == nullptr) return 0;
    int n = 0;
    while (const dirent *e = ::readdir(dir))
        n += std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0;
    ::closedir(dir);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgatest::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 5 || size > 32768) return 0;
    const bool oldFile = (data[0] & 1U) != 0;
    const std::int32_t announced = chatWire::countFrom({data[1], data[2], data[3], data[4]});
    const std::span<const std::uint8_t> stream(data + 5, size - 5);

    const tgatest::InScratch here;
    ::unlink(kOutput);
    ::unlink(kPart);
    if (oldFile) {
        ::mkdir("output", 0777);
        tgatest::writeFile(kOutput, std::string(std::begin(kOld), std::end(kOld)));
    }
    fdio::Fd sock = tgatest::streamOf(stream);
    recv_img(sock.get(), announced);

    const std::string old = oldFile ? std::string(std::begin(kOld), std::end(kOld)) : "";
    const std::string sent(stream.begin(), stream.end());
    const bool whole = announced >= 0 && sent.size() >= static_cast<std::size_t>(announced);
    if (announced < 0) {
        FUZZ_CHECK(exists(kOutput) && tgatest::readFile(kOutput) == old && !exists(kPart));
        FUZZ_CHECK(tgatest::drain(sock.get()) == sent);
    } else if (whole) {
        const std::size_t image = static_cast<std::size_t>(announced);
        FUZZ_CHECK(exists(kOutput) && tgatest::readFile(kOutput) == sent.substr(0, image));
        FUZZ_CHECK(!exists(kPart));
        FUZZ_CHECK(tgatest::drain(sock.get()) == sent.substr(image));
    } else {
        FUZZ_CHECK(exists(kOutput) == oldFile && (!oldFile || tgatest::readFile(kOutput) == old));
        FUZZ_CHECK(exists(kPart) && tgatest::readFile(kPart) == sent);
        FUZZ_CHECK(tgatest::drain(sock.get()).empty());
    }
    FUZZ_CHECK(outputEntries() == int{exists(kOutput)} + int{exists(kPart)});
    return 0;
}
