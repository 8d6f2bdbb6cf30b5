// Every pixel loop this machine runs gives exactly what the plain loops give.
#include "imgfile/pixelKernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every pixel count up to 100 (all the tails of 16- and 32-pixel steps) and longer odd runs,
// from a source that starts off any alignment.
TEST(pixelKernels, EveryVariantMatchesThePlainLoops) {
    const auto variants = imgfile_detail::available();
    ASSERT_STREQ(variants.front().name, "plain");
    EXPECT_STREQ(imgfile_detail::chosen().name, variants.back().name);
    std::vector<std::size_t> counts;
    for (std::size_t n = 0; n <= 100; ++n)
        counts.push_back(n);
    for (std::size_t n : {127u, 129u, 1001u, 4099u})
        counts.push_back(n);

    for (const auto &v : variants) {
        for (std::size_t n : counts) {
            const std::size_t offset = n % 7;  // misaligned sources and planes
            Bytes src(3 * n + offset);
            for (std::size_t i = 0; i < src.size(); ++i)
                src[i] = static_cast<std::uint8_t>(i * 37 + 11);
            // Planes one byte longer than needed: a store past the end would show there.
            Bytes want[3], got[3];
            for (int c = 0; c < 3; ++c)
                want[c].assign(n + offset + 1, 0xEE), got[c].assign(n + offset + 1, 0xEE);
            variants.front().split(src.data() + offset, n, want[0].data() + offset,
                                   want[1].data() + offset, want[2].data() + offset);
            v.split(src.data() + offset, n, got[0].data() + offset, got[1].data() + offset,
                    got[2].data() + offset);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(got[c], want[c]) << v.name << " split, n " << n << ", channel " << c;

            Bytes joinedWant(3 * n + 1, 0xEE), joinedGot(3 * n + 1, 0xEE);
            variants.front().join(want[0].data() + offset, want[1].data() + offset,
                                  want[2].data() + offset, n, joinedWant.data());
            v.join(want[0].data() + offset, want[1].data() + offset, want[2].data() + offset, n,
                   joinedGot.data());
            ASSERT_EQ(joinedGot, joinedWant) << v.name << " join, n " << n;
            ASSERT_EQ(Bytes(joinedGot.begin(), joinedGot.end() - 1),
                      Bytes(src.begin() + static_cast<std::ptrdiff_t>(offset), src.end()))
                << v.name << " join, n " << n;
        }
    }
}

}  // namespace
