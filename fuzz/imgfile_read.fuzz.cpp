// Fuzzes readImageHead and readImage on arbitrary file bytes: the header is the first 18 bytes
// (zero where the file is shorter), pixel k is bytes 18 + 3k.. as blue, green, red (zero where
// missing), and nothing leaks on any path. The pixels go through the same shuffling loop that
// the store ships (pixelKernels: clang builds get the SSSE3/AVX2 variants too).
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "imgfile/imgfile.h"
#include "imgfile/tgaBytes.h"

namespace {

const std::string &scratchTga() {
    static const std::string path = tgatest::scratchFile("input.tga");
    return path;
}
// Above this many pixels the header is scaled down before the bytes are written: the planes
// would be gigabytes, which tests the machine's memory, not the reader.
constexpr std::uint32_t kMaxPixels = 1U << 14;

std::uint8_t byteAt(const std::vector<std::uint8_t> &bytes, std::size_t i) {
    return i < bytes.size() ? bytes[i] : 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgatest::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    const std::uint32_t width = byteAt(bytes, 12) | std::uint32_t{byteAt(bytes, 13)} << 8U;
    const std::uint32_t height = byteAt(bytes, 14) | std::uint32_t{byteAt(bytes, 15)} << 8U;
    if (width * height > kMaxPixels) {
        if (bytes.size() < 16) bytes.resize(16);  // a missing header byte reads as 0 anyway
        bytes[14] = static_cast<std::uint8_t>(kMaxPixels / width);
        bytes[15] = static_cast<std::uint8_t>((kMaxPixels / width) >> 8U);
    }
    tgatest::writeFile(scratchTga(), std::string(bytes.begin(), bytes.end()));

    std::uint8_t headerBytes[18];
    for (std::size_t i = 0; i < sizeof headerBytes; ++i)
        headerBytes[i] = byteAt(bytes, i);
    const targa_header expected = imgfile_detail::headerFromBytes(headerBytes);

    targa_header head;
    std::memset(&head, 0xA5, sizeof head);
    FUZZ_CHECK(readImageHead(&head, scratchTga().c_str()) == 1);
    FUZZ_CHECK(std::memcmp(&head, &expected, sizeof expected) == 0);

    image_desc desc{};
    std::memset(&head, 0xA5, sizeof head);
    if (readImage(&desc, &head, scratchTga().c_str()) != 1) {
        // Only running out of memory may fail here; then nothing is handed out.
        FUZZ_CHECK(errno == ENOMEM);
        FUZZ_CHECK(desc.pRed == nullptr && desc.pGreen == nullptr && desc.pBlue == nullptr);
        return 0;
    }
    FUZZ_CHECK(std::memcmp(&head, &expected, sizeof expected) == 0);
    FUZZ_CHECK(desc.width == head.width && desc.height == head.height);
    const std::size_t pixels = std::size_t{desc.width} * desc.height;
    FUZZ_CHECK(desc.pRed != nullptr && desc.pGreen != nullptr && desc.pBlue != nullptr);
    for (std::size_t k = 0; k < pixels; ++k) {
        FUZZ_CHECK(desc.pBlue[k] == byteAt(bytes, 18 + 3 * k));
        FUZZ_CHECK(desc.pGreen[k] == byteAt(bytes, 19 + 3 * k));
        FUZZ_CHECK(desc.pRed[k] == byteAt(bytes, 20 + 3 * k));
    }
    freeImage(&desc);
    FUZZ_CHECK(desc.pRed == nullptr && desc.pGreen == nullptr && desc.pBlue == nullptr);
    freeImage(&desc);
    return 0;
}
