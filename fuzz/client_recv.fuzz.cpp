// Fuzzes the client's recv_img on an arbitrary service-connection stream. The input is a
// flag byte, the announced size (4 bytes, host order) and the bytes the server sent. The
// stored file must hold exactly the bytes that arrived, up to the size; a negative size must
// leave an existing file alone; and the bytes after the image must stay on the connection.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "client/client.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr const char *kOutput = "output/testsortie.tga";
constexpr std::uint8_t kOld[] = {'o', 'l', 'd', ' ', 'i', 'm', 'a', 'g', 'e'};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgafuzz::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 5 || size > 32768) return 0;
    const bool oldFile = (data[0] & 1U) != 0;
    std::int32_t announced;
    std::memcpy(&announced, data + 1, sizeof announced);
    const std::span<const std::uint8_t> stream(data + 5, size - 5);

    const tgafuzz::InScratch here;
    ::unlink(kOutput);
    if (oldFile) {
        ::mkdir("output", 0777);
        tgafuzz::writeFile(kOutput, kOld);
    }
    tgafuzz::Fd sock = tgafuzz::streamOf(stream);
    recv_img(sock.get(), announced);

    struct stat st {};
    FUZZ_CHECK(::stat(kOutput, &st) == 0);
    const std::string stored = tgafuzz::readFile(kOutput);
    const std::string sent(stream.begin(), stream.end());
    if (announced < 0) {
        FUZZ_CHECK(stored == (oldFile ? std::string(std::begin(kOld), std::end(kOld)) : ""));
        FUZZ_CHECK(tgafuzz::drain(sock.get()) == sent);
    } else {
        const std::size_t image = std::min(sent.size(), static_cast<std::size_t>(announced));
        FUZZ_CHECK(stored == sent.substr(0, image));
        FUZZ_CHECK(tgafuzz::drain(sock.get()) == sent.substr(image));
    }
    return 0;
}
