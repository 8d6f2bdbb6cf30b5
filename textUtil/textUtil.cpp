// Command-word helpers: splitting, keyword test, numeric words, joining and colour words.
#include "textUtil/textUtil.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// A copy of the `length` bytes at `text` plus a terminator, from malloc; null on failure.
char *copyWord(const char *text, std::size_t length) {
    auto *word = static_cast<char *>(std::malloc(length + 1));
    if (word == nullptr) return nullptr;
    std::memcpy(word, text, length);
    word[length] = '\0';
    return word;
}

void freeWords(char **argtab, int count) {
    for (int i = 0; i < count; ++i) {
        std::free(argtab[i]);
        argtab[i] = nullptr;
    }
}

// Value of one word: sum * 10 + (c - '0') per signed character, wrapping in 32 bits.
int wordValue(const char *word) {
    std::uint32_t sum = 0;
    for (; *word != '\0'; ++word) {
        const int digit = static_cast<signed char>(*word) - '0';
        sum = sum * 10u + static_cast<std::uint32_t>(digit);
    }
    return static_cast<int>(static_cast<std::int32_t>(sum));
}

}  // namespace

int str_split(char *string, char **argtab) {
    if (string == nullptr || argtab == nullptr) return -1;

    int count = 0;
    char *p = string;
    for (;;) {
        while (*p == ' ')
            ++p;
        if (*p == '\0') break;
        char *start = p;
        while (*p != '\0' && *p != ' ')
            ++p;
        const auto length = static_cast<std::size_t>(p - start);
        const bool more = *p == ' ';
        if (more) *p++ = '\0';

        char *word = copyWord(start, length);
        if (word == nullptr) {
            freeWords(argtab, count);
            argtab[0] = nullptr;
            return -1;
        }
        argtab[count++] = word;
        if (!more) break;
    }
    argtab[count] = nullptr;
    return count;
}

int startswith(const char *prefix, const char *str) {
    if (prefix == nullptr || str == nullptr) return -1;
    return std::strncmp(prefix, str, std::strlen(prefix)) == 0 ? 1 : 0;
}

void argStringToNb(int nb, char **argtab_class, int *set) {
    if (argtab_class == nullptr || set == nullptr) return;
    for (int i = 2; i < nb; ++i) {
        if (argtab_class[i] == nullptr) return;
        set[i - 2] = wordValue(argtab_class[i]);
    }
}

char *ToStringHis(int nbOfArgTab, char **argtab) {
    if (argtab == nullptr) return nullptr;
    if (nbOfArgTab <= 1 || argtab[0] == nullptr) return argtab[0];

    // Only words before a null entry belong to the table.
    int count = 1;
    std::size_t total = std::strlen(argtab[0]) + 1;
    while (count < nbOfArgTab && argtab[count] != nullptr) {
        const std::size_t length = std::strlen(argtab[count]);
        if (length > SIZE_MAX - total - 1) return nullptr;
        total += length + 1;  // '<' and the word
        ++count;
    }

    // A fresh buffer rather than realloc: every word is read before word 0 is released,
    // even one that shares word 0's buffer.
    auto *joined = static_cast<char *>(std::malloc(total));
    if (joined == nullptr) return nullptr;
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0) joined[at++] = '<';
        const std::size_t length = std::strlen(argtab[i]);
        std::memcpy(joined + at, argtab[i], length);
        at += length;
    }
    joined[at] = '\0';

    std::free(argtab[0]);
    argtab[0] = joined;
    return joined;
}

char *convertirString(char *str) {
    if (str == nullptr) return nullptr;
    for (char *p = str; *p != '\0'; ++p) {
        if (*p == '<') *p = ' ';
    }
    return copyWord(str, std::strlen(str));
}

int calculBgr(const char *str) {
    if (str == nullptr) return 0;
    std::uint32_t count = 0;  // a text of millions of letters wraps instead of overflowing
    for (; *str != '\0'; ++str) {
        switch (*str) {
            case 'b':
            case 'B':
                count += 1u;
                break;
            case 'g':
            case 'G':
                count += 10u;
                break;
            case 'r':
            case 'R':
                count += 100u;
                break;
            default:
                break;
        }
    }
    return static_cast<int>(static_cast<std::int32_t>(count));
}
