// Fuzzes writeImage then readImage: an image made from the input is written and read back.
// The file must be the header (with the descriptor's width and height) followed by blue,
// green, red of every pixel, and reading it must give back the same header and planes. Both
// directions run the pixel loops the store ships, chosen on this machine as in every build.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "imgfile/imgfile.h"
#include "imgfile/tgaBytes.h"

namespace {

const std::string &scratchTga() {
    static const std::string path = tgatest::scratchFile("roundtrip.tga");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgatest::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto width = in.ConsumeIntegralInRange<std::uint16_t>(0, 96);
    const auto height = in.ConsumeIntegralInRange<std::uint16_t>(0, 96);
    targa_header head{};
    in.ConsumeData(&head, sizeof head);  // whatever the caller's header holds, dimensions too
    const targa_header given = head;

    image_desc desc{};
    const int planeSize = mallocImage(&desc, width, height);
    const std::size_t pixels = std::size_t{width} * height;
    FUZZ_CHECK(planeSize >= 0 && static_cast<std::size_t>(planeSize) == pixels);
    FUZZ_CHECK(desc.width == width && desc.height == height);
    for (std::size_t k = 0; k < pixels; ++k) {
        desc.pBlue[k] = in.ConsumeIntegral<std::uint8_t>();
        desc.pGreen[k] = in.ConsumeIntegral<std::uint8_t>();
        desc.pRed[k] = in.ConsumeIntegral<std::uint8_t>();
    }

    FUZZ_CHECK(writeImage(desc, head, scratchTga().c_str()) == 1);
    FUZZ_CHECK(std::memcmp(&head, &given, sizeof head) == 0);

    targa_header written = given;
    written.width = width;
    written.height = height;
    const std::string bytes = tgatest::readFile(scratchTga().c_str());
    FUZZ_CHECK(bytes.size() == 18 + 3 * pixels);
    std::uint8_t writtenBytes[18];
    imgfile_detail::headerToBytes(written, writtenBytes);
    FUZZ_CHECK(std::memcmp(bytes.data(), writtenBytes, 18) == 0);
    for (std::size_t k = 0; k < pixels; ++k) {
        FUZZ_CHECK(static_cast<std::uint8_t>(bytes[18 + 3 * k]) == desc.pBlue[k]);
        FUZZ_CHECK(static_cast<std::uint8_t>(bytes[19 + 3 * k]) == desc.pGreen[k]);
        FUZZ_CHECK(static_cast<std::uint8_t>(bytes[20 + 3 * k]) == desc.pRed[k]);
    }

    image_desc back{};
    targa_header backHead{};
    FUZZ_CHECK(readImage(&back, &backHead, scratchTga().c_str()) == 1);
    FUZZ_CHECK(std::memcmp(&backHead, &written, sizeof written) == 0);
    FUZZ_CHECK(back.width == width && back.height == height);
    FUZZ_CHECK(pixels == 0 || (std::memcmp(back.pRed, desc.pRed, pixels) == 0 &&
                               std::memcmp(back.pGreen, desc.pGreen, pixels) == 0 &&
                               std::memcmp(back.pBlue, desc.pBlue, pixels) == 0));
    freeImage(&back);
    freeImage(&desc);
    return 0;
}
