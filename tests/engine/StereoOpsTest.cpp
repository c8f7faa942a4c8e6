#include "engine/StereoOps.h"
#include "support/StereoOracle.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace
{
ParamSmoother Settled(double value)
{
    ParamSmoother s(10, value, 0.999);
    return s;
}

struct Pair
{
    SampleBuffer l, r;
    Pair(std::vector<double> a, std::vector<double> b)
        : l(testsig::MakeBuffer(a)), r(testsig::MakeBuffer(b))
    {
    }
};
} // namespace

TEST(ApplyWidth, ZeroWidthIsTransparent)
{
    const auto L = testsig::Noise(1000, 1), R = testsig::Noise(1000, 2);
    Pair p(L, R);
    auto w = Settled(0.0);
    oracle::ApplyWidth(p.l, p.r, w);
    for (int k = 0; k < 1000; ++k)
    {
        ASSERT_NEAR(p.l[k], L[k], 4e-16) << k;
        ASSERT_NEAR(p.r[k], R[k], 4e-16) << k;
    }
}

TEST(ApplyWidth, MinusHundredGivesTheMidOnBothChannels)
{
    const auto L = testsig::Noise(1000, 3), R = testsig::Noise(1000, 4);
    Pair p(L, R);
    auto w = Settled(-1.0);
    oracle::ApplyWidth(p.l, p.r, w);
    for (int k = 0; k < 1000; ++k)
    {
        ASSERT_NEAR(p.l[k], (L[k] + R[k]) / 2, 4e-16) << k;
        ASSERT_NEAR(p.l[k], p.r[k], 1e-15) << k; // equal to rounding
    }
    // Opposite-phase input cancels.
    Pair q({0.3, -0.7}, {-0.3, 0.7});
    auto w2 = Settled(-1.0);
    oracle::ApplyWidth(q.l, q.r, w2);
    EXPECT_NEAR(q.l[0], 0.0, 1e-16);
    EXPECT_NEAR(q.r[1], 0.0, 1e-16);
}

TEST(ApplyWidth, PlusHundredDoublesTheSide)
{
    Pair p({1.0}, {0.0});
    auto w = Settled(1.0);
    oracle::ApplyWidth(p.l, p.r, w);
    // mid 0.5 both, side ±0.5 doubled to ±1.
    EXPECT_NEAR(p.l[0], 1.5, 1e-15);
    EXPECT_NEAR(p.r[0], -0.5, 1e-15);
}

TEST(ApplyWidth, WidthGlidesAndSideGainIsQuantised)
{
    // A jump from 0 to +100 % raises the side gain over about a thousand samples.
    const int n = 3000;
    Pair p(std::vector<double>(n, 1.0), std::vector<double>(n, 0.0));
    ParamSmoother w(10, 0.0, 0.999);
    w.Step();
    w.SetTarget(1.0);
    oracle::ApplyWidth(p.l, p.r, w);
    // Left = 0.5 + 0.5 f, so f − 1 = 2 (left − 1) follows 1 − 0.999^(k+1).
    EXPECT_NEAR(2 * (p.l[0] - 1.0), 0.001, 1e-6);
    EXPECT_NEAR(2 * (p.l[999] - 1.0), 1 - std::pow(0.999, 1000), 1e-6);
    EXPECT_LT(p.l[999], 1.45);

    // Values that round to the same multiple of 1e-6 give identical output.
    Pair a({0.3}, {-0.1}), b({0.3}, {-0.1});
    auto wa = Settled(0.25 + 1e-8), wb = Settled(0.25 - 1e-8);
    oracle::ApplyWidth(a.l, a.r, wa);
    oracle::ApplyWidth(b.l, b.r, wb);
    EXPECT_EQ(a.l[0], b.l[0]);
    EXPECT_EQ(a.r[0], b.r[0]);
}

TEST(ApplyPan, ConstantPowerBalance)
{
    {
        Pair p({1.0}, {1.0});
        auto s = Settled(0.0);
        oracle::ApplyPan(p.l, p.r, s);
        EXPECT_NEAR(p.l[0], 1.0, 3e-16);
        EXPECT_NEAR(p.r[0], 1.0, 3e-16);
    }
    {
        Pair p({1.0}, {1.0});
        auto s = Settled(-1.0);
        oracle::ApplyPan(p.l, p.r, s);
        EXPECT_NEAR(p.l[0], std::sqrt(2.0), 1e-15);
        EXPECT_EQ(p.r[0], 0.0);
    }
    {
        Pair p({1.0}, {1.0});
        auto s = Settled(1.0);
        oracle::ApplyPan(p.l, p.r, s);
        EXPECT_NEAR(p.r[0], std::sqrt(2.0), 1e-15);
        EXPECT_LT(std::fabs(p.l[0]), 1e-15);
        EXPECT_GT(std::fabs(p.l[0]), 0.0); // cos(π/2) is not exactly zero
    }
    {
        // Half right: gains cos(3π/8)√2 and sin(3π/8)√2, power sum 2.
        Pair p({1.0}, {1.0});
        auto s = Settled(0.5);
        oracle::ApplyPan(p.l, p.r, s);
        EXPECT_NEAR(p.l[0] * p.l[0] + p.r[0] * p.r[0], 2.0, 1e-14);
        EXPECT_NEAR(p.l[0], std::cos(3 * M_PI / 8) * std::sqrt(2.0), 1e-15);
    }
}

TEST(ChannelUtilities, MakeMonoSumsOrCopies)
{
    SampleBuffer l = testsig::MakeBuffer({1, 2, 3}), r = testsig::MakeBuffer({3, 2, 1});
    ChannelList one;
    one.Add(l);
    MakeMono(one);
    ASSERT_EQ(one.GetSize(), 2);
    EXPECT_EQ(one[1][1], 2.0);

    ChannelList two;
    two.Add(l);
    two.Add(r);
    MakeMono(two);
    EXPECT_EQ(two[0][0], 2.0);
    EXPECT_EQ(two[1][2], 2.0);

    ChannelList three;
    three.Add(l);
    three.Add(r);
    three.Add(l);
    MakeMono(three);
    EXPECT_EQ(three[0][0], 1.0);
    EXPECT_EQ(three[1][0], 3.0);
}

TEST(ApplyGain, MultipliesBothChannelsByTheSmoothedGain)
{
    Pair p({1.0, 1.0}, {-2.0, -2.0});
    ParamSmoother g(10, 1.0, 0.999);
    g.SetTarget(std::exp(-6 * 0.1151292546497));
    oracle::ApplyGain(p.l, &p.r, g);
    EXPECT_NEAR(p.l[1], std::pow(10.0, -6.0 / 20), 1e-12);
    EXPECT_NEAR(p.r[1], -2 * std::pow(10.0, -6.0 / 20), 1e-12);
    SampleBuffer mono = testsig::MakeBuffer({2.0});
    ParamSmoother h(10, 0.5, 0.999);
    oracle::ApplyGain(mono, nullptr, h);
    EXPECT_EQ(mono[0], 1.0);
}

// Every kind of sample through the output guard, against the rule written out by hand: NaN and
// infinities are silence, finite samples beyond what a float holds saturate with their sign,
// everything else (the sign of zero included) passes bit for bit; and the copy guard keeps
// finite samples as they are. Odd lengths reach the loops' scalar ends.
TEST(ChannelUtilities, OutputGuardSilencesNonFiniteAndSaturatesBeyondAFloat)
{
    const double flt = std::numeric_limits<float>::max(), dbl = std::numeric_limits<double>::max();
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::pair<double, double>> cases = {
        {nan, 0.0},        {inf, 0.0},   {-inf, 0.0},  {-nan, 0.0},      {3.5e38, flt},
        {-3.5e38, -flt},   {dbl, flt},   {-dbl, -flt}, {flt, flt},       {-flt, -flt},
        {-0.0, -0.0},      {0.0, 0.0},   {0.5, 0.5},   {-1e-300, -1e-300}, {4.9e-324, 4.9e-324}};
    for (int n : {1, 2, 3, 7, 15})
    {
        std::vector<double> x(n), copy(n);
        for (size_t start = 0; start < cases.size(); ++start)
        {
            for (int k = 0; k < n; ++k)
                x[k] = cases[(start + k) % cases.size()].first;
            CopyFinite(x.data(), copy.data(), n);
            oracle::BoundOutput(x.data(), n);
            for (int k = 0; k < n; ++k)
            {
                const auto& c = cases[(start + k) % cases.size()];
                EXPECT_EQ(std::signbit(x[k]), std::signbit(c.second)) << c.first;
                EXPECT_EQ(x[k], c.second) << c.first;
                const double finite = std::isfinite(c.first) ? c.first : 0.0;
                EXPECT_EQ(std::signbit(copy[k]), std::signbit(finite)) << c.first;
                EXPECT_EQ(copy[k], finite) << c.first;
            }
        }
    }
}
