// The size-class analysis of a directory's images.
#include "sizeAnalyser/sizeAnalyser.h"

#include <poll.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "bankList/bankWalk.h"
#include "sizeAnalyser/analysis.h"
#include "sizeAnalyser/messages.h"
#include "stdstreams/stdstreams.h"

namespace {

using namespace sizeAnalyser_msg;

constexpr std::size_t kTableSize = 1000;  // thresholds, then the greatest size
constexpr int32_t kEndOfList = -1;

// The thresholds' input, byte by byte. A descriptor set not to wait (O_NONBLOCK) is waited on
// here; any other read error ends the input for good and is kept.
class Input {
  public:
    explicit Input(std::FILE *stream) : stream_(stream) {}
    // The next byte, EOF at the end of the input or after a read error.
    int get() {
        while (error_ == 0) {
            const int c = std::getc(stream_);
            if (c != EOF || std::ferror(stream_) == 0) return c;
            const int reason = errno;
            std::clearerr(stream_);
            if (reason == EAGAIN) {
                pollfd p{::fileno(stream_), POLLIN, 0};
                static_cast<void>(::poll(&p, 1, -1));
            } else if (reason != EINTR) {
                error_ = reason != 0 ? reason : EIO;
            }
        }
        return EOF;
    }
    void unget(int c) { std::ungetc(c, stream_); }
    // The reason of the read error that ended the input, 0 when none did.
    int error() const { return error_; }

  private:
    std::FILE *stream_;
    int error_ = 0;
};

// One decimal integer as "%d" reads it: leading white space, an optional sign, digits.
// Nothing when the input ends or holds something else, or the value leaves the 32-bit range.
std::optional<int32_t> readInteger(Input &in) {
    int c = in.get();
    while (c != EOF && std::isspace(c))
        c = in.get();
    const bool negative = c == '-';
    if (c == '-' || c == '+') c = in.get();
    if (c == EOF || !std::isdigit(c)) return std::nullopt;
    int64_t value = 0;
    for (; c != EOF && std::isdigit(c); c = in.get()) {
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (c != EOF) in.unget(c);
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

struct Thresholds {
    std::array<int32_t, kTableSize> table{};
    int32_t count = 0;
    int32_t greatest = 0;  // the greatest value typed, 0 when none is positive
};

// Reads thresholds up to -1. The input ending or failing, or holding a non-integer, ends the
// list as -1 would; values beyond the table's room are read and ignored.
Thresholds readThresholds(Input &in) {
    Thresholds t;
    while (const auto value = readInteger(in)) {
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
    if (sizeAnalyser_detail::analyse(path) != EXIT_SUCCESS) std::exit(EXIT_FAILURE);
}

int sizeAnalyser_detail::analyse(const char *path, std::FILE *input) {
    // Every image is read in full, one at a time, as the bank is built.
    const bankList_detail::Walk walk = bankList_detail::walkBank(path, true);
    bankList_detail::reportFailure(walk.status, stdout, stderr);
    // A directory that cannot be opened reads as an empty one; an image that cannot be read
    // stops the analysis before anything else is printed.
    const bool unopened = walk.status.failure == bankList_detail::Failure::openDirectory;
    if (walk.status.failure != bankList_detail::Failure::none && !unopened) return EXIT_FAILURE;
    const int directoryError = unopened ? walk.status.error : 0;
    const NodeImage *const bank = walk.bank.get();

    int32_t maxSize = -1;
    int32_t minSize = 100000000;
    for (const NodeImage *p = bank; p != nullptr; p = p->next) {
        std::printf(kSize, p->size);
        if (p->size > maxSize) maxSize = p->size;
        if (p->size < minSize) minSize = p->size;
    }
    std::printf(kExtremes, maxSize, minSize);
    std::puts(kPrompt);

    Input in{input};
    Thresholds t = readThresholds(in);
    const int32_t n = t.count;
    int32_t *table = t.table.data();
    sortAscending(table, n);
    table[n] = maxSize;

    std::vector<int32_t> counts(static_cast<std::size_t>(n) + 1, 0);
    for (const NodeImage *p = bank; p != nullptr; p = p->next) {
        ++counts[static_cast<std::size_t>(find(p, table, n))];
    }

    std::printf(kMaxi, t.greatest);
    std::printf(kFirstClass, table[0], counts[0]);
    for (int32_t k = 1; k <= n; ++k) {
        std::printf(kClass, table[k - 1], table[k], counts[static_cast<std::size_t>(k)]);
    }

    if (directoryError == 0 && in.error() == 0) return EXIT_SUCCESS;
    // The report goes out before the reasons of the failure.
    stdstreams::flush();
    if (directoryError != 0)
        std::fprintf(stderr, kDirectoryFailed, path, std::strerror(directoryError));
    if (in.error() != 0) std::fprintf(stderr, kInputFailed, std::strerror(in.error()));
    return EXIT_FAILURE;
}
