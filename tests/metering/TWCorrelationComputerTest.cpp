// The correlation measure: its per-sample value against the angle between (L, R) and the line
// L = R computed from a dot product, its smoothing against the closed form of a one-pole step
// response, and the meter's edge cases.

#include "metering/TWCorrelationComputer.h"
#include "framework/CParamSmooth.h"
#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr double kPi = 3.141592653589793;
constexpr double kSmoothingTimeMs = 500.0;
constexpr double kRate44k = 44100.0;
constexpr double kRate96k = 96000.0;
constexpr int kSignedMode = 0;
constexpr int kNegativeOnlyMode = 1;
constexpr unsigned kSeed = 20261207;

// 1 − 4φ/π with φ the angle between the line through (l, r) and the line L = R, from the
// normalised dot product with (1, 1) / √2: cos φ = |l + r| / (√2 |(l, r)|).
double ReferenceInstant(double l, double r)
{
    const double len = std::sqrt(l * l + r * r);
    if (len == 0.0)
        return 0.0;
    const double cosPhi = std::min(1.0, std::fabs(l + r) / (std::sqrt(2.0) * len));
    return 1.0 - 4.0 * std::acos(cosPhi) / kPi;
}

SampleBuffer Buffer(const std::vector<double>& v)
{
    return testsig::MakeBuffer(v);
}

std::vector<double> Scaled(const std::vector<double>& v, double g)
{
    std::vector<double> out(v);
    for (double& x : out)
        x *= g;
    return out;
}

// Noise that is never exactly zero, so that every sample has a direction.
std::vector<double> NonZeroNoise(int n, unsigned seed)
{
    std::vector<double> v = testsig::Noise(n, seed);
    for (double& x : v)
        x = x >= 0.0 ? x + 0.01 : x - 0.01;
    return v;
}

void Feed(TWCorrelationComputer& c, const std::vector<double>& l, const std::vector<double>& r)
{
    c.Process(Buffer(l), Buffer(r), false);
}

// The meter's reading after a single pair: the first pair after a reset sets the reading, so this
// is the pair's own per-sample value (give or take the smoother's rounding of one step).
double FirstReading(double l, double r, bool weighted)
{
    static TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
    meter.Reset(kRate44k);
    meter.Process(Buffer({l}), Buffer({r}), weighted);
    return meter.GetCorrelation();
}
} // namespace

TEST(TWCorrelationComputerTest, InstantValueMatchesTheAngleToTheInPhaseLine)
{
    const struct
    {
        double l, r, expected;
    } cases[] = {
        {1, 1, 1}, {-0.3, -0.3, 1}, {1, -1, -1}, {-2, 2, -1}, {1, 0, 0},
        {0, 1, 0}, {-1, 0, 0},      {0, -1, 0},  {0, 0, 0},   {1, std::tan(kPi / 8), 0.5},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(FirstReading(c.l, c.r, false), c.expected, 1e-12)
            << "L=" << c.l << " R=" << c.r;

    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<double> d(-2.0, 2.0);
    for (int i = 0; i < 10000; ++i)
    {
        const double l = d(rng), r = d(rng);
        const double expected = ReferenceInstant(l, r);
        EXPECT_NEAR(FirstReading(l, r, false), expected, 1e-9)
            << "seed " << kSeed << " pair " << i << " L=" << l << " R=" << r;
        EXPECT_NEAR(FirstReading(l, r, true),
                    std::sqrt(l * l + r * r) * expected, 1e-9)
            << "weighted, seed " << kSeed << " pair " << i;
    }
}

TEST(TWCorrelationComputerTest, SteadySignalsDriveTheMeasureToTheirCorrelation)
{
    const int n = static_cast<int>(kRate44k); // one second: 12.6 time constants
    const std::vector<double> a = NonZeroNoise(n, kSeed);
    const std::vector<double> b = NonZeroNoise(n, kSeed + 1);
    const std::vector<double> silence(n, 0.0);
    const struct
    {
        const char* name;
        std::vector<double> l, r;
        double expected;
    } cases[] = {
        {"L = R", a, a, 1.0},
        {"L = -R", a, Scaled(a, -1.0), -1.0},
        {"silent right", a, silence, 0.0},
        {"silent left", silence, a, 0.0},
        {"digital silence", silence, silence, 0.0},
        {"L = 0.5 R", Scaled(a, 0.5), a, ReferenceInstant(0.5, 1.0)},
    };
    for (const auto& c : cases)
    {
        TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
        // Start from the opposite extreme of the expected value so the test sees a movement.
        Feed(meter, a, c.expected > 0.0 ? Scaled(a, -1.0) : a);
        Feed(meter, c.l, c.r);
        EXPECT_NEAR(meter.GetCorrelation(), c.expected, 1e-4) << c.name;
    }
    // Uncorrelated noise sits near 0.
    TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
    Feed(meter, a, b);
    EXPECT_NEAR(meter.GetCorrelation(), 0.0, 0.1) << "independent noise";
}

TEST(TWCorrelationComputerTest, FirstSampleAfterConstructionOrResetSetsTheValueAtOnce)
{
    TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
    EXPECT_EQ(meter.GetCorrelation(), 0.0);
    meter.Process(SampleBuffer(), SampleBuffer(), false); // an empty block changes nothing
    EXPECT_EQ(meter.GetCorrelation(), 0.0);
    Feed(meter, {0.3}, {0.3});
    EXPECT_EQ(meter.GetCorrelation(), 1.0);

    Feed(meter, std::vector<double>(1000, 1.0), std::vector<double>(1000, -1.0));
    EXPECT_LT(meter.GetCorrelation(), 0.99);
    meter.Reset(kRate96k);
    EXPECT_EQ(meter.GetCorrelation(), 0.0);
    Feed(meter, {0.5}, {-0.5});
    EXPECT_EQ(meter.GetCorrelation(), -1.0);
    meter.Reset(kRate44k);
    Feed(meter, {0.5}, {0.0});
    EXPECT_EQ(meter.GetCorrelation(), 0.0);
}

TEST(TWCorrelationComputerTest, PairsWithinTheSilenceThresholdCountAsSilence)
{
    // Rounding residue in opposite phase, as a convolver leaves it after a faded-in zero.
    EXPECT_EQ(FirstReading(2e-17, -2e-17, false), 0.0);
    EXPECT_EQ(FirstReading(-1e-16, 1e-16, false), 0.0);
    EXPECT_EQ(FirstReading(1e-16, 1e-16, true), 0.0);
    // One sample above the threshold is sound and has its direction.
    EXPECT_NEAR(FirstReading(2e-16, -2e-16, false), -1.0, 1e-12);
    EXPECT_NEAR(FirstReading(1e-16, -3e-16, false),
                ReferenceInstant(1.0, -3.0), 1e-12);

    // Such a first sample starts the meter at 0, not at full anti-correlation.
    TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
    Feed(meter, {2e-17, 0.5}, {-2e-17, 0.5});
    const double a = std::exp(-2.0 * kPi / (kSmoothingTimeMs * 0.001 * kRate44k));
    EXPECT_NEAR(meter.GetCorrelation(), 1.0 - a, 1e-15);
}

TEST(TWCorrelationComputerTest, StepReachesOneMinusOneOverEAfter79Point6MsAtAnyRate)
{
    // The 1/e time of a 500 ms one-pole smoother is 500 / 2π ms.
    const double tauMs = kSmoothingTimeMs / (2.0 * kPi);
    for (double rate : {kRate44k, kRate96k})
    {
        TWCorrelationComputer meter(kSignedMode, rate, kSmoothingTimeMs);
        Feed(meter, {1.0}, {0.0}); // per-sample value 0 starts the smoother at 0
        ASSERT_EQ(meter.GetCorrelation(), 0.0) << "rate " << rate;
        const double target = 1.0 - std::exp(-1.0);
        int samples = 0;
        while (meter.GetCorrelation() < target && samples < static_cast<int>(rate))
        {
            Feed(meter, {0.7}, {0.7});
            ++samples;
        }
        const double ms = 1000.0 * samples / rate;
        EXPECT_NEAR(ms, tauMs, 1000.0 / rate) << "rate " << rate;
        EXPECT_NEAR(tauMs, 79.577, 0.001);
        // And the whole curve follows 1 − a^n.
        TWCorrelationComputer again(kSignedMode, rate, kSmoothingTimeMs);
        Feed(again, {1.0}, {0.0});
        const int n = static_cast<int>(rate / 10);
        Feed(again, std::vector<double>(n, 0.2), std::vector<double>(n, 0.2));
        const double a = std::exp(-2.0 * kPi / (kSmoothingTimeMs * 0.001 * rate));
        EXPECT_NEAR(again.GetCorrelation(), 1.0 - std::pow(a, n), 1e-9) << "rate " << rate;
    }
}

TEST(TWCorrelationComputerTest, NegativeOnlyModeNeverGoesPositive)
{
    TWCorrelationComputer meter(kNegativeOnlyMode, kRate44k, kSmoothingTimeMs);
    Feed(meter, {0.4}, {0.4});
    EXPECT_EQ(meter.GetCorrelation(), 0.0) << "an in-phase first sample counts as 0";
    for (unsigned s = 0; s < 20; ++s)
    {
        const std::vector<double> l = testsig::Noise(512, kSeed + s);
        std::vector<double> r = testsig::Noise(512, kSeed + 100 + s);
        const double mix = s / 10.0 - 1.0; // −1 … +0.9: from anti-phase to mostly in phase
        for (int i = 0; i < 512; ++i)
            r[i] = mix * l[i] + (1.0 - std::fabs(mix)) * r[i];
        Feed(meter, l, r);
        EXPECT_LE(meter.GetCorrelation(), 0.0) << "seed " << kSeed + s << " mix " << mix;
    }
    const std::vector<double> a = NonZeroNoise(static_cast<int>(kRate44k), kSeed);
    Feed(meter, a, Scaled(a, -1.0));
    EXPECT_NEAR(meter.GetCorrelation(), -1.0, 1e-4);
}

TEST(TWCorrelationComputerTest, WeightedMeasureScalesByTheVectorLength)
{
    TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
    meter.Process(Buffer({0.5}), Buffer({0.5}), true);
    EXPECT_NEAR(meter.GetCorrelation(), 0.5 * std::sqrt(2.0), 1e-15);
    meter.Process(Buffer(std::vector<double>(44100, 3.0)), Buffer(std::vector<double>(44100, -4.0)),
                  true);
    EXPECT_NEAR(meter.GetCorrelation(), 5.0 * ReferenceInstant(3.0, -4.0), 1e-4);
}

TEST(TWCorrelationComputerTest, BlockSizeDoesNotChangeTheResult)
{
    const int n = 4000;
    std::vector<double> l = testsig::Noise(n, kSeed);
    std::vector<double> r = testsig::Noise(n, kSeed + 7);
    for (int i = 0; i < n; ++i)
        r[i] += 0.5 * l[i];
    // A NaN and an infinity among them, which their runs of samples measure the long way.
    l[1234] = std::numeric_limits<double>::quiet_NaN();
    r[2900] = std::numeric_limits<double>::infinity();
    for (int mode : {kSignedMode, kNegativeOnlyMode})
    {
        TWCorrelationComputer whole(mode, kRate44k, kSmoothingTimeMs);
        Feed(whole, l, r);
        for (int block : {1, 17, 500, 512})
        {
            TWCorrelationComputer split(mode, kRate44k, kSmoothingTimeMs);
            for (int start = 0; start < n; start += block)
            {
                const int len = std::min(block, n - start);
                Feed(split, std::vector<double>(l.begin() + start, l.begin() + start + len),
                     std::vector<double>(r.begin() + start, r.begin() + start + len));
            }
            EXPECT_EQ(split.GetCorrelation(), whole.GetCorrelation())
                << "mode " << mode << " block " << block;
        }
    }
}

TEST(TWCorrelationComputerTest, ShortRightChannelAndNonFiniteSamplesAreHandled)
{
    // Only the common length is measured.
    const std::vector<double> l = testsig::Noise(100, kSeed);
    const std::vector<double> r = testsig::Noise(50, kSeed + 1);
    TWCorrelationComputer uneven(kSignedMode, kRate44k, kSmoothingTimeMs);
    Feed(uneven, l, r);
    TWCorrelationComputer even(kSignedMode, kRate44k, kSmoothingTimeMs);
    Feed(even, std::vector<double>(l.begin(), l.begin() + 50), r);
    EXPECT_EQ(uneven.GetCorrelation(), even.GetCorrelation());

    // A NaN or an infinity does not stick the meter.
    TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Feed(meter, {nan, 1.0, inf}, {1.0, nan, inf});
    EXPECT_TRUE(std::isfinite(meter.GetCorrelation()));
    meter.Process(Buffer({inf, 0.5}), Buffer({1.0, 0.5}), true);
    EXPECT_TRUE(std::isfinite(meter.GetCorrelation()));
    Feed(meter, std::vector<double>(44100, 0.5), std::vector<double>(44100, 0.5));
    EXPECT_NEAR(meter.GetCorrelation(), 1.0, 1e-4);
}

TEST(TWCorrelationComputerTest, ProcessAllocatesNothing)
{
    TWCorrelationComputer meter(kSignedMode, kRate44k, kSmoothingTimeMs);
    const SampleBuffer l = Buffer(testsig::Noise(512, kSeed));
    const SampleBuffer r = Buffer(testsig::Noise(512, kSeed + 1));
    AllocationCounter::Start();
    for (int i = 0; i < 16; ++i)
        meter.Process(l, r, i % 2 == 0);
    meter.Reset(kRate96k);
    meter.Process(l, r, false);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
}

namespace
{
// The meter formula in long double through atan2: fold the angle into the right half-plane,
// turn by π/4, measure from the nearer axis.
long double ExactInstant(double l, double r)
{
    if (std::fabs(l) <= 1e-16 && std::fabs(r) <= 1e-16)
        return 0.0L;
    const long double pi = 3.14159265358979323846264338327950288L;
    long double theta = std::atan2(static_cast<long double>(r), static_cast<long double>(l));
    if (theta < -pi / 2)
        theta = -pi / 2 - theta;
    else if (theta > pi / 2)
        theta = pi / 2 - theta;
    theta += pi / 4;
    if (theta < 0)
        theta += pi;
    const long double c = (theta > pi / 2 ? pi - theta : theta) / (pi / 2);
    return 2 * c - 1;
}
} // namespace

TEST(TWCorrelationComputerTest, InstantValueIsWithin1e12OfTheExactAngleOverThePlane)
{
    // The value depends on the direction of (L, R) only; the polynomial behind it is within 1e-16
    // of atan on its whole interval, so what remains to bound is the rounding on the way, at
    // every scale: 2^17 directions plus the axes, the diagonals and their neighbouring doubles, at
    // magnitudes from just above the silence threshold to the largest double; and points whose
    // coordinates differ by up to 600 orders of magnitude, zeros and subnormals included.
    const double largest = std::numeric_limits<double>::max();
    const double magnitudes[] = {
        1.0000000000000002e-16, 1.7e-16, 3e-13, 1e-6, 0.5, 1.0, 7.25, 1e8, 1e150, 1e300, largest};
    std::vector<std::pair<double, double>> points;
    const int angles = 1 << 17;
    for (double m : magnitudes)
    {
        for (int i = 0; i < angles; ++i)
            points.push_back(
                {m * std::cos(2 * kPi * i / angles), m * std::sin(2 * kPi * i / angles)});
        for (double sl : {-1.0, 1.0})
            for (double sr : {-1.0, 0.0, 1.0})
            {
                const double l = sl * m, r = sr * m;
                points.push_back({l, r});
                points.push_back({r, l});
                for (double toward : {0.0, 2.0 * m})
                {
                    points.push_back({std::nextafter(l, toward), r});
                    points.push_back({l, std::nextafter(r, toward)});
                }
            }
    }
    const double others[] = {0.0, 5e-324, 1e-310, 1e-300, 1e-17, 1e-16, 2e-16, 1e-3, 1.0, 1e300};
    for (double a : others)
        for (double b : others)
            for (double sa : {-1.0, 1.0})
                for (double sb : {-1.0, 1.0})
                    points.push_back({sa * a, sb * b});

    double worst = 0.0;
    std::pair<double, double> worstAt;
    for (const auto& [l, r] : points)
    {
        const double got = FirstReading(l, r, false);
        const double error = static_cast<double>(std::fabs(got - ExactInstant(l, r)));
        if (!(error <= worst)) // NaN counts as the worst
        {
            worst = error;
            worstAt = {l, r};
        }
    }
    EXPECT_LT(worst, 1e-12) << "at L=" << worstAt.first << " R=" << worstAt.second;
}

TEST(TWCorrelationComputerTest, ProcessSmoothsTheInstantValues)
{
    // Silence, residue, infinities and NaN among noise, in blocks of odd and even lengths.
    std::vector<double> l = testsig::Noise(3000, kSeed), r = testsig::Noise(3000, kSeed + 1);
    const double inf = std::numeric_limits<double>::infinity();
    const double specials[][2] = {{0.0, 0.0},  {2e-17, -2e-17}, {inf, 1.0},     {inf, inf},
                                  {-inf, inf}, {NAN, 0.5},      {1e308, 1e308}, {0.0, -0.3}};
    for (int i = 0; i < 8; ++i)
        for (int k : {3 + 97 * i, 1500 + 13 * i})
            l[k] = specials[i][0], r[k] = specials[i][1];
    for (int mode : {kSignedMode, kNegativeOnlyMode})
        for (bool weighted : {false, true})
        {
            TWCorrelationComputer meter(mode, kRate44k, kSmoothingTimeMs);
            CParamSmooth smoother(kSmoothingTimeMs, kRate44k);
            int start = 0;
            for (int block = 1; start < 3000; block = block * 3 % 1024 + 1)
            {
                const int n = std::min(block, 3000 - start);
                meter.Process(Buffer({l.begin() + start, l.begin() + start + n}),
                              Buffer({r.begin() + start, r.begin() + start + n}), weighted);
                double z = 0.0;
                for (int k = start; k < start + n; ++k)
                {
                    double d = FirstReading(l[k], r[k], weighted);
                    d = !std::isfinite(d) || (mode == kNegativeOnlyMode && d > 0.0) ? 0.0 : d;
                    if (k == 0)
                        smoother.SetState(d);
                    z = smoother.Process(d);
                }
                ASSERT_NEAR(meter.GetCorrelation(), z, 1e-12)
                    << "mode " << mode << " weighted " << weighted << " up to " << start + n;
                start += n;
            }
        }
}

// The smoother takes four values per step. Against one value per step it stays within 1e-12 at
// every rate, for every input it can get (per-sample values within ±1): constant extremes, which
// hold the state at its largest, a square wave between them, and noise; and it follows the exact
// smoothing (long double) at least as closely.
TEST(TWCorrelationComputerTest, SmoothingFourValuesPerStepStaysWithin1e12OfOneAtATime)
{
    for (double rate : {8000.0, 44100.0, 96000.0, 192000.0, 768000.0})
    {
        double fromOne = 0.0, oneFromExact = 0.0, fourFromExact = 0.0;
        const int n = static_cast<int>(2.0 * rate);
        const std::vector<double> noise = testsig::Noise(n, kSeed + 3);
        for (int signal = 0; signal < 4; ++signal)
        {
            std::vector<double> l(n, 0.5), r(n);
            for (int k = 0; k < n; ++k)
            {
                const bool high = (k / static_cast<int>(rate / 3)) % 2 == 0;
                const double sign = signal == 0 ? 1.0 : signal == 1 ? -1.0 : high ? 1.0 : -1.0;
                r[k] = signal == 3 ? noise[k] : 0.5 * sign;
            }
            TWCorrelationComputer meter(kSignedMode, rate, kSmoothingTimeMs);
            CParamSmooth smoother(kSmoothingTimeMs, rate);
            const long double a = smoother.FeedbackCoefficient();
            long double exact = FirstReading(l[0], r[0], false);
            smoother.SetState(static_cast<double>(exact));
            int start = 0;
            for (int block = 1; start < n; block = block * 5 % 4093 + 1)
            {
                const int m = std::min(block, n - start);
                meter.Process(Buffer({l.begin() + start, l.begin() + start + m}),
                              Buffer({r.begin() + start, r.begin() + start + m}), false);
                double z = 0.0;
                for (int k = start; k < start + m; ++k)
                {
                    const double d = FirstReading(l[k], r[k], false);
                    z = smoother.Process(d);
                    exact = d * (1.0L - a) + exact * a;
                }
                const double c = meter.GetCorrelation();
                fromOne = std::max(fromOne, std::fabs(c - z));
                oneFromExact = std::max(oneFromExact, static_cast<double>(std::fabs(z - exact)));
                fourFromExact = std::max(fourFromExact, static_cast<double>(std::fabs(c - exact)));
                start += m;
            }
        }
        std::printf("%6.0f Hz: from one at a time %.2g; from exact: one at a time %.2g, four %.2g\n",
                    rate, fromOne, oneFromExact, fourFromExact);
        EXPECT_LT(fromOne, 1e-12) << rate;
        EXPECT_LE(fourFromExact, oneFromExact) << rate;
    }
}
