// The size-class analysis of a directory's images.
#include "sizeAnalyser/sizeAnalyser.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "bankList/bankListDetail.h"
#include "sizeAnalyser/messages.h"

namespace {

using namespace sizeAnalyser_msg;

constexpr std::size_t kTableSize = 1000;  // thresholds, then the greatest size
constexpr int32_t kEndOfList = -1;

// One decimal integer as "%d" reads it: leading white space, an optional sign, digits.
// Nothing when the input ends or holds something else, or the value leaves the 32-bit range.
std::optional<int32_t> readInteger() {
    int c = std::getchar();
    while (c != EOF && std::isspace(c))
        c = std::getchar();
    const bool negative = c == '-';
    if (c == '-' || c == '+') c = std::getchar();
    if (c == EOF || !std::isdigit(c)) return std::nullopt;
    int64_t value = 0;
    for (; c != EOF && std::isdigit(c); c = std::getchar()) {
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (c != EOF) std::ungetc(c, stdin);
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

struct Thresholds {
    std::array<int32_t, kTableSize> table{};
    int32_t count = 0;
    int32_t greatest = 0;  // the greatest value typed, 0 when none is positive
};

// Reads thresholds up to -1. The input ending, or holding a non-integer, ends the list as -1
// would; values beyond the table's room are read and ignored.
Thresholds readThresholds() {
    Thresholds t;
    while (const auto value = readInteger()) {
        if (*value == kEndOfList) break;
        if (static_cast<std::size_t>(t.count) + 1 >= kTableSize) continue;
        t.table[static_cast<std::size_t>(t.count++)] = *value;
        if (*value > t.greatest) t.greatest = *value;
    }
    return t;
}

void sortAscending(int32_t *table, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = i; j < n; ++j) {
            if (table[i] > table[j]) swap(&table[i], &table[j]);
        }
    }
}

}  // namespace

int32_t find(const NodeImage *node, const int32_t *table, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        if (table[i] > node->size) return i;
    }
    return n;
}

void swap(int32_t *a, int32_t *b) {
    const int32_t t = *a;
    *a = *b;
    *b = t;
}

void diviserRepertoire(const char *path) {
    // Every image is read in full, one at a time, as the bank is built.
    const bankList_detail::Bank bank{bankList_detail::readBank(path, true)};

    int32_t maxSize = -1;
    int32_t minSize = 100000000;
    for (const NodeImage *p = bank.get(); p != nullptr; p = p->next) {
        std::printf(kSize, p->size);
        if (p->size > maxSize) maxSize = p->size;
        if (p->size < minSize) minSize = p->size;
    }
    std::printf(kExtremes, maxSize, minSize);
    std::puts(kPrompt);

    Thresholds t = readThresholds();
    const int32_t n = t.count;
    int32_t *table = t.table.data();
    sortAscending(table, n);
    table[n] = maxSize;

    std::vector<int32_t> counts(static_cast<std::size_t>(n) + 1, 0);
    for (const NodeImage *p = bank.get(); p != nullptr; p = p->next) {
        ++counts[static_cast<std::size_t>(find(p, table, n))];
    }

    std::printf(kMaxi, t.greatest);
    std::printf(kFirstClass, table[0], counts[0]);
    for (int32_t k = 1; k <= n; ++k) {
        std::printf(kClass, table[k - 1], table[k], counts[static_cast<std::size_t>(k)]);
    }
}
