// Fuzzes the command-word helpers on arbitrary text: every result is compared with a plain
// model of the documented rules, and ASan checks each word buffer's exact size.
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/allocator_interface.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzzSupport.h"
#include "textUtil/textUtil.h"

namespace {

std::vector<std::string> wordsOf(const std::string &text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// The caller's text after the split: the first space after each word becomes a terminator.
std::string splitInPlace(std::string text) {
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == ' ' && text[i - 1] != ' ' && text[i - 1] != '\0') text[i] = '\0';
    }
    return text;
}

int numberOf(const std::string &word) {
    std::uint32_t sum = 0;  // wraps like the 32-bit two's-complement sum it models
    for (char c : word) {
        const auto digit =
            static_cast<std::uint32_t>(static_cast<int>(static_cast<signed char>(c)) - 48);
        sum = sum * 10U + digit;
    }
    return static_cast<int>(sum);
}

int selectorOf(const std::string &text) {
    int count = 0;
    for (char c : text) {
        if (c == 'b' || c == 'B') count += 1;
        if (c == 'g' || c == 'G') count += 10;
        if (c == 'r' || c == 'R') count += 100;
    }
    return count;
}

std::string joined(const std::vector<std::string> &words, std::size_t count, char sep) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out += sep;
        out += words[i];
    }
    return out;
}

std::string unbracketed(std::string text) {
    for (char &c : text) {
        if (c == '<') c = ' ';
    }
    return text;
}

void checkCopy(char *copy, const std::string &expected) {
    FUZZ_CHECK(copy != nullptr);
    FUZZ_CHECK(expected == copy);
    FUZZ_CHECK(__sanitizer_get_allocated_size(copy) >= expected.size() + 1);
    std::free(copy);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    tgatest::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 8192) return 0;
    FuzzedDataProvider in(data, size);
    const auto pick = in.ConsumeIntegral<std::uint8_t>();
    const std::string prefix = tgatest::cText(in.ConsumeRandomLengthString());
    const std::string text = tgatest::cText(in.ConsumeRemainingBytesAsString());

    FUZZ_CHECK(startswith(prefix.c_str(), text.c_str()) == (text.starts_with(prefix) ? 1 : 0));
    FUZZ_CHECK(startswith(nullptr, text.c_str()) == -1);
    FUZZ_CHECK(calculBgr(text.c_str()) == selectorOf(text));

    std::string raw = text;
    checkCopy(convertirString(raw.data()), unbracketed(text));
    FUZZ_CHECK(raw == unbracketed(text));

    const std::vector<std::string> words = wordsOf(text);
    std::string line = text;
    std::vector<char *> argtab(text.size() / 2 + 2, reinterpret_cast<char *>(&line));
    const int n = str_split(line.data(), argtab.data());
    FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) == words.size());
    FUZZ_CHECK(argtab[words.size()] == nullptr);
    FUZZ_CHECK(line == splitInPlace(text));
    for (std::size_t i = 0; i < words.size(); ++i) {
        FUZZ_CHECK(argtab[i] != nullptr && words[i] == argtab[i]);
        FUZZ_CHECK(__sanitizer_get_allocated_size(argtab[i]) == words[i].size() + 1);
    }

    // Exactly nb - 2 numbers, on the heap, so a write past them is caught.
    std::vector<int> numbers(words.size() > 2 ? words.size() - 2 : 0, -7);
    argStringToNb(n, argtab.data(), numbers.empty() ? nullptr : numbers.data());
    for (std::size_t i = 2; i < words.size(); ++i)
        FUZZ_CHECK(numbers[i - 2] == numberOf(words[i]));

    const std::size_t count = pick % (words.size() + 1);
    std::vector<char *> before(argtab.begin(),
                               argtab.begin() + static_cast<std::ptrdiff_t>(words.size()) + 1);
    char *all = ToStringHis(static_cast<int>(count), argtab.data());
    if (count <= 1) {
        FUZZ_CHECK(all == before[0]);
    } else {
        FUZZ_CHECK(all != nullptr && all == argtab[0]);
        FUZZ_CHECK(joined(words, count, '<') == all);
    }
    for (std::size_t i = 1; i <= words.size(); ++i)
        FUZZ_CHECK(argtab[i] == before[i]);
    if (all != nullptr) {
        std::string expected = unbracketed(all);
        checkCopy(convertirString(all), expected);
        FUZZ_CHECK(expected == all);
    }

    for (std::size_t i = 0; i < words.size(); ++i)
        std::free(argtab[i]);
    return 0;
}
