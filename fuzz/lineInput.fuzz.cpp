// Fuzzes the space trimmer on arbitrary text against a model: trailing spaces become
// terminators in place, the result points past the leading spaces, nothing else changes.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzzSupport.h"
#include "lineInput/lineInput.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgatest::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text = tgatest::cText({reinterpret_cast<const char *>(data), size});
    // The text alone on the heap, so a scan that runs off either end is caught.
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    char *result = delSpaceBeforeEnd(buffer.data());

    const std::size_t end = text.find_last_not_of(' ');
    const std::size_t begin = text.find_first_not_of(' ');
    std::string expectedBuffer = text;
    for (std::size_t i = end == std::string::npos ? 0 : end + 1; i < text.size(); ++i) {
        expectedBuffer[i] = '\0';
    }
    expectedBuffer.push_back('\0');
    FUZZ_CHECK(std::string(buffer.begin(), buffer.end()) == expectedBuffer);

    const std::size_t offset = begin == std::string::npos ? text.size() : begin;
    if (end == std::string::npos) {
        // All spaces: a pointer at a terminator; the buffer's first byte is one.
        FUZZ_CHECK(result != nullptr && result >= buffer.data() && *result == '\0');
        FUZZ_CHECK(result <= buffer.data() + text.size());
    } else {
        FUZZ_CHECK(result == buffer.data() + offset);
        FUZZ_CHECK(text.substr(begin, end - begin + 1) == result);
    }
    FUZZ_CHECK(delSpaceBeforeEnd(nullptr) == nullptr);
    return 0;
}
