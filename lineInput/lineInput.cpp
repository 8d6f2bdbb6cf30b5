// Console line reader: reads one line of the standard input and trims its outer spaces.
#include "lineInput/lineInput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kLineBuffer = 500;  // 499 characters and the terminator

struct Free {
    void operator()(char *p) const { std::free(p); }
};
using LineBuffer = std::unique_ptr<char[], Free>;

// The next line of the standard input in a new buffer, without its newline; characters
// past the buffer's room are read and dropped. Null at the end of the input with nothing
// read, or when the buffer cannot be allocated.
LineBuffer readLine() {
    LineBuffer line{static_cast<char *>(std::malloc(kLineBuffer))};
    if (!line) return nullptr;

    std::size_t length = 0;
    bool readAny = false;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n') {
        readAny = true;
        if (length < kLineBuffer - 1) line[length++] = static_cast<char>(c);
    }
    // A read error ends the input too, or a caller's loop would never end.
    if (c == EOF && !readAny) return nullptr;
    line[length] = '\0';
    return line;
}

}  // namespace

char *delSpaceBeforeEnd(char *str) {
    if (str == nullptr) return nullptr;
    for (std::size_t end = std::strlen(str); end > 0 && str[end - 1] == ' '; --end)
        str[end - 1] = '\0';
    while (*str == ' ')
        ++str;
    return str;
}

char *readInMyWay(char **pBuffer) {
    if (pBuffer == nullptr) return readInMyWay();
    LineBuffer line = readLine();
    *pBuffer = line.get();
    if (!line) return nullptr;
    return delSpaceBeforeEnd(line.release());
}

char *readInMyWay() {
    LineBuffer line = readLine();
    if (!line) return nullptr;
    const char *text = delSpaceBeforeEnd(line.get());
    std::memmove(line.get(), text, std::strlen(text) + 1);
    return line.release();
}
