// The polar and Lissajous point transforms and the direction histogram, checked against
// hand-worked points and against the closed forms written as sums and differences of the
// channels rather than through angles.

#include "metering/DirectionHistogram.h"
#include "metering/LissajousSamples.h"
#include "metering/PolarSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr double kTol = 1e-12;
constexpr double kInvSqrt2 = 0.70710678118654752;
constexpr int kBins = 128;

SampleBuffer MakeBuffer(const std::vector<double>& v)
{
    SampleBuffer b;
    b.Set(v.data(), static_cast<int>(v.size()));
    return b;
}

struct Point
{
    double x, y;
};

Point Polar(double l, double r)
{
    SampleBuffer x, y;
    PolarSamples(MakeBuffer({l}), MakeBuffer({r}), x, y);
    EXPECT_EQ(x.GetSize(), 1);
    EXPECT_EQ(y.GetSize(), 1);
    return {x[0], y[0]};
}

Point Lissajous(double l, double r, bool clip)
{
    SampleBuffer x, y;
    LissajousSamples(MakeBuffer({l}), MakeBuffer({r}), clip, x, y);
    EXPECT_EQ(x.GetSize(), 1);
    return {x[0], y[0]};
}

// Histogram of a single pair through the public function: returns the only non-zero bin or -1.
int BinOfPair(double l, double r)
{
    SampleBuffer bins;
    WDL_TypedBuf<int> counts;
    DirectionHistogram(MakeBuffer({l}), MakeBuffer({r}), kBins, false, bins, counts);
    int found = -1;
    for (int k = 0; k < kBins; ++k)
        if (bins[k] != 0.0)
            found = k;
    return found;
}
} // namespace

TEST(PolarSamplesTest, WorkedPoints)
{
    const Point origin = Polar(0.0, 0.0);
    EXPECT_NEAR(origin.x, 0.0, kTol);
    EXPECT_NEAR(origin.y, 0.0, kTol);

    // Left-only full scale: limited to radius 0.95, 45° up to the left.
    const Point leftOnly = Polar(1.0, 0.0);
    EXPECT_NEAR(leftOnly.x, -0.95 * kInvSqrt2, kTol);
    EXPECT_NEAR(leftOnly.y, 0.95 * kInvSqrt2, kTol);
    const Point leftNeg = Polar(-1.0, 0.0);
    EXPECT_NEAR(leftNeg.x, leftOnly.x, kTol);
    EXPECT_NEAR(leftNeg.y, leftOnly.y, kTol);

    // Right-only: 45° up to the right.
    const Point rightOnly = Polar(0.0, 0.5);
    EXPECT_NEAR(rightOnly.x, 0.5 * kInvSqrt2, kTol);
    EXPECT_NEAR(rightOnly.y, 0.5 * kInvSqrt2, kTol);

    // In-phase mono on the vertical axis at its amplitude √(0.5² + 0.5²).
    const Point mono = Polar(0.5, 0.5);
    EXPECT_NEAR(mono.x, 0.0, kTol);
    EXPECT_NEAR(mono.y, kInvSqrt2, kTol);

    const Point loud = Polar(2.0, 2.0);
    EXPECT_NEAR(std::hypot(loud.x, loud.y), 0.95, kTol);
    EXPECT_NEAR(loud.x, 0.0, kTol);

    // Opposite phase on the horizontal axis, at its right end whichever the sign: the angle
    // form gives φ = 0 for (0.3, −0.3) and a y just below 0 for (−0.3, 0.3), folded to the right.
    for (const Point side : {Polar(0.3, -0.3), Polar(-0.3, 0.3)})
    {
        EXPECT_NEAR(side.x, 0.3 * std::sqrt(2.0), kTol);
        EXPECT_EQ(side.y, 0.0);
        EXPECT_FALSE(std::signbit(side.y));
    }
}

TEST(PolarSamplesTest, MatchesSumDifferenceFormOnRandomPairs)
{
    const unsigned seed = 20261207;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.5, 1.5);
    const int n = 5000;
    std::vector<double> l(n), r(n);
    for (int i = 0; i < n; ++i)
    {
        l[i] = dist(rng);
        r[i] = dist(rng);
    }
    SampleBuffer x, y;
    PolarSamples(MakeBuffer(l), MakeBuffer(r), x, y);
    ASSERT_EQ(x.GetSize(), n);
    ASSERT_EQ(y.GetSize(), n);
    for (int i = 0; i < n; ++i)
    {
        // Unfolded point: ((L − R) / √2, −(L + R) / √2), its length limited to 0.95, then
        // reflected through the origin when below the X axis.
        const double rho = std::hypot(l[i], r[i]);
        const double g = std::min(rho, 0.95) / rho;
        double ex = g * (l[i] - r[i]) * kInvSqrt2;
        double ey = -g * (l[i] + r[i]) * kInvSqrt2;
        if (ey < 0.0)
        {
            ex = -ex;
            ey = -ey;
        }
        ASSERT_GE(y[i], 0.0) << "seed=" << seed << " i=" << i;
        ASSERT_NEAR(x[i], ex, 1e-12) << "seed=" << seed << " i=" << i;
        ASSERT_NEAR(y[i], ey, 1e-12) << "seed=" << seed << " i=" << i;
    }
}

TEST(LissajousSamplesTest, WorkedPoints)
{
    const Point origin = Lissajous(0.0, 0.0, true);
    EXPECT_NEAR(origin.x, 0.0, kTol);
    EXPECT_NEAR(origin.y, 0.0, kTol);

    const Point leftOnly = Lissajous(1.0, 0.0, true);
    EXPECT_NEAR(leftOnly.x, 0.5, kTol);
    EXPECT_NEAR(leftOnly.y, -0.5, kTol);
    const Point clipped = Lissajous(3.0, 0.0, true);
    EXPECT_NEAR(clipped.x, 0.5, kTol);
    EXPECT_NEAR(clipped.y, -0.5, kTol);
    const Point mono = Lissajous(1.0, 1.0, true);
    EXPECT_NEAR(mono.x, 0.0, kTol);
    EXPECT_NEAR(mono.y, -1.0, kTol);

    // Without clip the radius is the full √(L² + R²).
    const Point loud = Lissajous(3.0, 0.0, false);
    EXPECT_NEAR(loud.x, 3.0 * kInvSqrt2, kTol);
    EXPECT_NEAR(loud.y, -3.0 * kInvSqrt2, kTol);
}

TEST(LissajousSamplesTest, ClippedFormIsHalfDifferenceAndNegatedHalfSum)
{
    const unsigned seed = 7;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-2.0, 2.0);
    const int n = 3000;
    std::vector<double> l(n), r(n);
    for (int i = 0; i < n; ++i)
    {
        l[i] = dist(rng);
        r[i] = dist(rng);
    }
    SampleBuffer x, y;
    LissajousSamples(MakeBuffer(l), MakeBuffer(r), true, x, y);
    ASSERT_EQ(x.GetSize(), n);
    for (int i = 0; i < n; ++i)
    {
        const double lc = std::max(-1.0, std::min(1.0, l[i]));
        const double rc = std::max(-1.0, std::min(1.0, r[i]));
        ASSERT_NEAR(x[i], (lc - rc) / 2.0, 1e-12) << "seed=" << seed << " i=" << i;
        ASSERT_NEAR(y[i], -(lc + rc) / 2.0, 1e-12) << "seed=" << seed << " i=" << i;
        // Every clipped point lies inside the unit diamond.
        ASSERT_LE(std::fabs(x[i]) + std::fabs(y[i]), 1.0 + 1e-12) << "seed=" << seed << " i=" << i;
    }
}

TEST(PointTransformsTest, SizesFollowTheShorterChannelAndEmptyInputWritesNothing)
{
    SampleBuffer x, y;
    x.Set(std::vector<double>{9.0, 9.0, 9.0}.data(), 3);
    y.Set(std::vector<double>{8.0, 8.0, 8.0}.data(), 3);
    const SampleBuffer empty;
    PolarSamples(empty, empty, x, y);
    EXPECT_EQ(x.GetSize(), 3) << "polar, empty input";
    EXPECT_EQ(y[2], 8.0) << "polar, empty input";
    LissajousSamples(empty, empty, true, x, y);
    EXPECT_EQ(x.GetSize(), 3) << "lissajous, empty input";
    EXPECT_EQ(x[0], 9.0) << "lissajous, empty input";

    // A right channel shorter than the left is never read past its end.
    const SampleBuffer l = MakeBuffer({0.1, 0.2, 0.3, 0.4});
    const SampleBuffer r = MakeBuffer({0.1, 0.2});
    PolarSamples(l, r, x, y);
    EXPECT_EQ(x.GetSize(), 2) << "polar, short right";
    LissajousSamples(l, r, true, x, y);
    EXPECT_EQ(y.GetSize(), 2) << "lissajous, short right";
}

TEST(PointTransformsTest, NonFinitePairsGiveTheOrigin)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const SampleBuffer l = MakeBuffer({nan, 0.5, inf});
    const SampleBuffer r = MakeBuffer({0.5, nan, 0.5});
    SampleBuffer x, y;
    PolarSamples(l, r, x, y);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(x[i], 0.0) << "polar i=" << i;
        EXPECT_EQ(y[i], 0.0) << "polar i=" << i;
    }
    LissajousSamples(l, r, true, x, y);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(x[i], 0.0) << "lissajous i=" << i;
        EXPECT_EQ(y[i], 0.0) << "lissajous i=" << i;
    }
    SampleBuffer bins;
    WDL_TypedBuf<int> counts;
    DirectionHistogram(l, r, kBins, true, bins, counts);
    for (int k = 0; k < kBins; ++k)
        EXPECT_EQ(bins[k], 0.0) << "bin " << k;
}

TEST(DirectionHistogramTest, CardinalDirectionsLandInTheirBins)
{
    EXPECT_EQ(BinOfPair(0.5, 0.5), 64) << "in-phase mono";
    EXPECT_EQ(BinOfPair(-0.5, -0.5), 64) << "negative mono";
    EXPECT_EQ(BinOfPair(0.5, 0.0), 96) << "left only";
    EXPECT_EQ(BinOfPair(0.0, 0.5), 32) << "right only";
    EXPECT_EQ(BinOfPair(0.5, -0.5), 0) << "opposite phase";
    EXPECT_EQ(BinOfPair(-0.5, 0.5), 0) << "opposite phase, negated";
    EXPECT_EQ(DirectionBin(0.0, 0.0, kBins), 96) << "silence";
}

TEST(DirectionHistogramTest, BinFollowsTheDirectionAcrossTheHalfTurn)
{
    // A direction c in 0 … π is produced by the pair (cos t, sin t) with t = −π/4 − c; its bin is
    // floor(c / π × N). Directions are taken at bin centres so rounding cannot move them.
    for (int k = 0; k < kBins; ++k)
    {
        const double c = (k + 0.5) / kBins * M_PI;
        const double t = -M_PI / 4.0 - c;
        for (double amp : {0.25, -0.25})
            EXPECT_EQ(DirectionBin(amp * std::cos(t), amp * std::sin(t), kBins), k)
                << "bin " << k << " amp " << amp;
    }
}

// The bin comes without atan2 where the direction is clear of a bin edge; it is the atan2
// definition's bin (itself checked on cardinal directions and bin centres above) everywhere: on edges, beside them, at every magnitude, on signed zeros,
// subnormals, overflow and non-finite values, for several bin counts.
TEST(DirectionHistogramTest, BinIsTheAtan2DefinitionsOverThePlane)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::pair<double, double>> pairs;
    for (double a : {0.0, -0.0, 5e-324, 1e-310, 1e-17, 0.3, 1.0, 1e300, 1.7e308, inf, nan})
        for (double b : {0.0, -0.0, 5e-324, -1e-310, 2e-17, -0.3, 1.0, -1e300, 1.7e308, -inf})
            for (double sa : {1.0, -1.0})
            {
                pairs.emplace_back(sa * a, b);
                pairs.emplace_back(b, sa * a);
            }
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int n : {128, 96, 7})
    {
        // Directions on every edge, a few ulps either side, either side of the coarse route's
        // margin (one magnitude after another, so that runs of ordinary ones take that route),
        // and anywhere.
        for (double amp : {1e-200, 0.7, -3e150})
            for (int k = 0; k <= n; ++k)
                for (double nudge :
                     {0.0, 1e-16, -1e-16, 4e-16, -4e-16, 1e-12, -1e-12, 1e-6, -1e-6, 3e-6, -3e-6})
                {
                    const double t = -M_PI / 4.0 - (k + nudge * n) / n * M_PI;
                    pairs.emplace_back(amp * std::cos(t), amp * std::sin(t));
                }
        for (int i = 0; i < 200000; ++i)
            pairs.emplace_back(unit(rng) * std::pow(10.0, 40.0 * unit(rng)), unit(rng));
        int wrong = 0;
        for (const auto& [l, r] : pairs)
            if (DirectionBin(l, r, n) != DirectionBinByAtan2(l, r, n) && ++wrong < 5)
                ADD_FAILURE() << "n=" << n << " L=" << l << " R=" << r << ": "
                              << DirectionBin(l, r, n) << " instead of " << DirectionBinByAtan2(l, r, n);
        EXPECT_EQ(wrong, 0) << "n=" << n;
        // Runs of pairs go several lanes at a time: the same bins.
        std::vector<double> ls, rs;
        for (const auto& [l, r] : pairs)
            ls.push_back(l), rs.push_back(r);
        std::vector<int> bins(pairs.size());
        DirectionBins(ls.data(), rs.data(), static_cast<int>(pairs.size()), n, bins.data());
        for (size_t i = 0; i < pairs.size(); ++i)
            wrong += bins[i] != DirectionBinByAtan2(ls[i], rs[i], n);
        EXPECT_EQ(wrong, 0) << "runs, n=" << n;
    }
}

TEST(DirectionHistogramTest, AverageAndMaximumOfAHandWorkedWindow)
{
    // Three mono pairs of radius √2·0.1, √2·0.3, √2·0.2 and one left-only pair of 0.4.
    const SampleBuffer l = MakeBuffer({0.1, 0.3, 0.4, 0.2});
    const SampleBuffer r = MakeBuffer({0.1, 0.3, 0.0, 0.2});
    SampleBuffer bins;
    WDL_TypedBuf<int> counts;

    DirectionHistogram(l, r, kBins, true, bins, counts);
    ASSERT_EQ(bins.GetSize(), kBins);
    EXPECT_NEAR(bins[64], std::sqrt(2.0) * 0.2, kTol) << "mean of the mono bin";
    EXPECT_NEAR(bins[96], 0.4, kTol) << "left bin";
    for (int k = 0; k < kBins; ++k)
    {
        if (k != 64 && k != 96)
        {
            EXPECT_EQ(bins[k], 0.0) << "empty bin " << k;
        }
    }

    DirectionHistogram(l, r, kBins, false, bins, counts);
    EXPECT_NEAR(bins[64], std::sqrt(2.0) * 0.3, kTol) << "maximum of the mono bin";
    EXPECT_NEAR(bins[96], 0.4, kTol) << "left bin, maximum";
}

TEST(DirectionHistogramTest, BinsAreLimitedTo095AndOtherCountsWork)
{
    const SampleBuffer l = MakeBuffer({3.0, -3.0});
    const SampleBuffer r = MakeBuffer({3.0, 3.0});
    SampleBuffer bins;
    WDL_TypedBuf<int> counts;
    DirectionHistogram(l, r, kBins, true, bins, counts);
    EXPECT_EQ(bins[64], 0.95);
    EXPECT_EQ(bins[0], 0.95);

    // Four bins: quarter turns, mono in bin 2, left in 3, right in 1, side in 0.
    const SampleBuffer l4 = MakeBuffer({0.2, 0.2, 0.0, 0.2});
    const SampleBuffer r4 = MakeBuffer({0.2, 0.0, 0.2, -0.2});
    DirectionHistogram(l4, r4, 4, false, bins, counts);
    ASSERT_EQ(bins.GetSize(), 4);
    EXPECT_NEAR(bins[2], 0.2 * std::sqrt(2.0), kTol);
    EXPECT_NEAR(bins[3], 0.2, kTol);
    EXPECT_NEAR(bins[1], 0.2, kTol);
    EXPECT_NEAR(bins[0], 0.2 * std::sqrt(2.0), kTol);
}

TEST(DirectionHistogramTest, MeansOfPairsAreThoseOfSummingEachBinInOrder)
{
    // Runs of one bin, alternations, random bins and left-out pairs (−1), with radii spread over
    // many magnitudes so that any change in the order of the additions changes the sums.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> bin(-1, kBins - 1), run(1, 40);
    std::uniform_real_distribution<double> exponent(-30.0, 0.0);
    std::vector<int> pairBins;
    std::vector<double> radii;
    while (pairBins.size() < 4096)
    {
        const int a = bin(rng), b = bin(rng), length = run(rng);
        for (int i = 0; i < length; ++i)
            pairBins.push_back(i % 3 == 2 ? b : a);
    }
    pairBins[0] = -1;
    for (size_t i = 0; i < pairBins.size(); ++i)
        radii.push_back(pairBins[i] < 0 ? 0.0 : std::exp(exponent(rng)));
    radii[100] = std::numeric_limits<double>::infinity();
    pairBins[100] = 5;

    std::vector<double> sums(kBins, 0.0);
    std::vector<int> n(kBins, 0);
    for (size_t i = 0; i < pairBins.size(); ++i)
        if (pairBins[i] >= 0)
        {
            sums[pairBins[i]] += radii[i];
            ++n[pairBins[i]];
        }
    SampleBuffer bins;
    DirectionMeansOfPairs(pairBins.data(), radii.data(), static_cast<int>(pairBins.size()),
                          n.data(), kBins, bins);
    ASSERT_EQ(bins.GetSize(), kBins);
    for (int k = 0; k < kBins; ++k)
        EXPECT_EQ(bins[k], n[k] > 0 ? std::min(sums[k] / n[k], 0.95) : 0.0) << "bin " << k;
}
