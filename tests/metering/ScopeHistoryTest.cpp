// The scope window's bins, amplitudes and per-bin counts (the counts kept by counting the pairs
// that enter and leave) against those of the whole window worked out afresh, through blocks of
// every size, moves of the window, blocks longer than the window, non-finite pairs and
// stretches without updates.

#include "metering/DirectionHistogram.h"
#include "metering/ScopeHistory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr int kBins = 16;

TEST(ScopeHistoryTest, BinCountsAreThoseOfTheWholeWindow)
{
    ScopeHistory h(kBins);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> sample(-1.0, 1.0);
    const int sizes[] = {1, 7, 32, 512, 1000, 3000, 5000};
    std::uniform_int_distribution<int> pick(0, 6), chance(0, 3);
    for (int block = 0; block < 300; ++block)
    {
        const int n = sizes[pick(rng)];
        std::vector<double> l(n), r(n);
        for (int i = 0; i < n; ++i)
        {
            l[i] = sample(rng);
            r[i] = i % 97 == 5 ? std::numeric_limits<double>::quiet_NaN() : sample(rng);
        }
        h.Append(l.data(), r.data(), n);
        if (chance(rng) == 0)
            continue; // nobody looked at this block
        h.UpdateDirections();
        std::vector<int> expected(kBins, 0);
        for (int i = 0; i < h.Size(); ++i)
        {
            const bool finite = std::isfinite(h.Left()[i]) && std::isfinite(h.Right()[i]);
            const double l = h.Left()[i], r = h.Right()[i];
            ASSERT_EQ(h.Bins()[i], finite ? DirectionBin(l, r, kBins) : -1);
            ASSERT_EQ(h.Radii()[i], finite ? std::sqrt(l * l + r * r) : 0.0);
            if (finite)
                ++expected[h.Bins()[i]];
        }
        for (int k = 0; k < kBins; ++k)
            ASSERT_EQ(h.BinCounts()[k], expected[k]) << "block " << block << ", bin " << k;
    }
}
} // namespace
