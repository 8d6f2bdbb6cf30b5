// Test helper: reads lines with readInMyWay until the input ends and prints each one
// between brackets, with tabs, carriage returns, backslashes and other unprintable bytes
// escaped. With --buffer it uses the form that hands back the buffer and prints the
// line's offset in it first.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lineInput/lineInput.h"

namespace {

void printEscaped(const char *text) {
    std::putchar('[');
    for (const char *p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte == '\t') {
            std::fputs("\\t", stdout);
        } else if (byte == '\r') {
            std::fputs("\\r", stdout);
        } else if (byte == '\\') {
            std::fputs("\\\\", stdout);
        } else if (byte < 0x20 || byte >= 0x7f) {
            std::printf("\\x%02x", static_cast<unsigned>(byte));
        } else {
            std::putchar(byte);
        }
    }
    std::puts("]");
}

}  // namespace

int main(int argc, char **argv) {
    const bool withBuffer = argc > 1 && std::strcmp(argv[1], "--buffer") == 0;
    for (;;) {
        char *buffer = nullptr;
        char *line = withBuffer ? readInMyWay(&buffer) : readInMyWay();
        if (line == nullptr) {
            if (buffer != nullptr) return 2;
            break;
        }
        if (withBuffer) std::printf("+%d ", static_cast<int>(line - buffer));
        printEscaped(line);
        std::free(withBuffer ? buffer : line);
    }
    std::puts("end");
    return 0;
}
