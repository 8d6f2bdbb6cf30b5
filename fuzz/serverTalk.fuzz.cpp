// Fuzzes the server's reading of the talk connection: a name header, then chat lines up to
// the end-of-conversation byte 0xFF, from an arbitrary byte stream. The name and line buffers
// are exactly 10 and 100 bytes on the heap, so any write past them is caught; what is kept
// must match the stream, and the bytes after the last line must stay on the connection.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "chatWire/chatWire.h"
#include "fuzz/fuzzSupport.h"
#include "server/server.h"
#include "server/transfers.h"

namespace {

constexpr std::size_t kNameBuffer = 10;
constexpr std::size_t kLineBuffer = 100;

// The terminated text at the start of `buffer`, which must end inside it.
std::string textIn(const char *buffer, std::size_t capacity) {
    const void *end = std::memchr(buffer, '\0', capacity);
    FUZZ_CHECK(end != nullptr);
    return {buffer, static_cast<const char *>(end)};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgatest::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 32768) return 0;
    const std::string sent(reinterpret_cast<const char *>(data), size);
    fdio::Fd sock = tgatest::streamOf(std::span(data, size));
    auto name = std::make_unique<char[]>(kNameBuffer);
    auto line = std::make_unique<char[]>(kLineBuffer);

    std::int32_t length = -1;
    if (size >= 4) length = chatWire::countFrom({data[0], data[1], data[2], data[3]});
    const bool whole = length >= 0 && size - 4 >= static_cast<std::size_t>(length);
    const int gotHeader = server_detail::read_header_checked(sock.get(), name.get());
    if (!whole) {
        FUZZ_CHECK(gotHeader == 0 && name[0] == '\0');
        return 0;
    }
    FUZZ_CHECK(gotHeader == 1);
    const std::size_t nameLength = static_cast<std::size_t>(length);
    FUZZ_CHECK(std::memchr(name.get(), '\0', kNameBuffer) != nullptr);
    const std::size_t kept = std::min<std::size_t>(nameLength, 9);
    FUZZ_CHECK(std::memcmp(name.get(), data + 4, kept) == 0 && name[kept] == '\0');

    std::size_t at = 4 + nameLength;
    unsigned char last = 'X';
    const char lineEnds[] = {'\n', static_cast<char>(chatWire::kEndOfTalk), '\0'};
    while (last != chatWire::kEndOfTalk) {
        const std::size_t end = sent.find_first_of(lineEnds, at);
        const int got = server_detail::read_chat_line(sock.get(), line.get(), &last);
        if (end == std::string::npos) {
            FUZZ_CHECK(got == 0);
            FUZZ_CHECK(
                sent.substr(at, kLineBuffer - 1).starts_with(textIn(line.get(), kLineBuffer)));
            return 0;
        }
        FUZZ_CHECK(got == 1);
        FUZZ_CHECK(last == static_cast<unsigned char>(sent[end]));
        const std::string whole_line = sent.substr(at, end + 1 - at);
        const std::string shown = whole_line.substr(0, kLineBuffer - 1);
        // The kept bytes, up to the first zero byte among them.
        FUZZ_CHECK(textIn(line.get(), kLineBuffer) == tgatest::cText(shown));
        FUZZ_CHECK(std::memcmp(line.get(), shown.data(), shown.size()) == 0);
        FUZZ_CHECK(line[shown.size()] == '\0');
        at = end + 1;
    }
    FUZZ_CHECK(tgatest::drain(sock.get()) == sent.substr(at));
    return 0;
}
