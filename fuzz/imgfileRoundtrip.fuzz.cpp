// Fuzzes writeImage then readImage: an image made from the input is written and read back.
// The file must be a 24-bit true-colour header (with the descriptor's width and height, the
// caller's map fields, origin and origin bits) followed by blue, green, red of every pixel,
// and reading it must give back the same header and planes. Both directions run the pixel loops the
// store ships, chosen on this machine as in every build.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzzSupport.h"
#include "imgfile/imgfile.h"

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

    // What the file says it holds: 24-bit uncompressed true colour, the caller's map
    // fields, the descriptor's size and the caller's origin and interleave bits.
    targa_header written = given;
    written.idlength = 0;
    written.colourmaptype = 0;
    written.datatypecode = 2;
    written.width = width;
    written.height = height;
    written.useless2[0] = 24;
    written.useless2[1] = static_cast<std::uint8_t>(given.useless2[1] & 0xF0U);
    const std::string bytes = tgatest::readFile(scratchTga().c_str());
    FUZZ_CHECK(bytes.size() == 18 + 3 * pixels);
    const std::string writtenBytes =
        std::string{'\0', '\0', '\2'} +
        std::string(reinterpret_cast<const char *>(given.useless), sizeof given.useless) +
        std::string{static_cast<char>(width & 0xFFU),
                    static_cast<char>(width >> 8U),
                    static_cast<char>(height & 0xFFU),
                    static_cast<char>(height >> 8U),
                    24,
                    static_cast<char>(written.useless2[1])};
    FUZZ_CHECK(bytes.compare(0, 18, writtenBytes) == 0);
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
