// FLAME envelopes: the current envelope against means worked out by hand or by a plain loop,
// the peak hold against its closed form 0.995^k, and the reset behaviour.

#include "metering/TWFireworks.h"

#include <gtest/gtest.h>

#include "support/AllocationCounter.h"

#include <cmath>
#include <vector>

namespace
{
constexpr double kSampleRateHz = 44100.0;
constexpr int kWindow = 4096;
constexpr int kBins = TWFireworks::kNumBins;
constexpr int kMonoBin = 64;
constexpr double kTol = 1e-12;

struct Envelopes
{
    SampleBuffer curX, curY, peakX, peakY;
};

// Value of bin i recovered from its point: the distance from the origin.
double BinValue(const SampleBuffer& x, const SampleBuffer& y, int i)
{
    return std::hypot(x[i], y[i]);
}

// A sine over whole periods without exact zero crossings (a zero pair counts as a separate
// direction), at amplitude amp, sign +1 in phase or −1 in opposite phase on the right.
void MakeSine(double amp, double rightSign, SampleBuffer& l, SampleBuffer& r)
{
    const int period = 64;
    l.Resize(kWindow);
    r.Resize(kWindow);
    for (int i = 0; i < kWindow; ++i)
    {
        l[i] = amp * std::sin(2.0 * M_PI * (i + 0.5) / period);
        r[i] = rightSign * l[i];
    }
}

void MakeSilence(SampleBuffer& l, SampleBuffer& r)
{
    l.Resize(kWindow);
    r.Resize(kWindow);
    l.Zero();
    r.Zero();
}

void ExpectSamePoints(const SampleBuffer& a, const SampleBuffer& b, const char* what)
{
    ASSERT_EQ(a.GetSize(), b.GetSize()) << what;
    for (int i = 0; i < a.GetSize(); ++i)
        EXPECT_EQ(a[i], b[i]) << what << " i=" << i;
}
} // namespace

TEST(TWFireworksTest, SilenceGivesEveryPointAtTheOrigin)
{
    TWFireworks fw(kSampleRateHz);
    SampleBuffer l, r;
    MakeSilence(l, r);
    Envelopes e;
    fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    ASSERT_EQ(e.curX.GetSize(), kBins);
    ASSERT_EQ(e.peakY.GetSize(), kBins);
    for (int i = 0; i < kBins; ++i)
    {
        EXPECT_EQ(e.curX[i], 0.0) << "i=" << i;
        EXPECT_EQ(e.curY[i], 0.0) << "i=" << i;
        EXPECT_EQ(e.peakX[i], 0.0) << "i=" << i;
        EXPECT_EQ(e.peakY[i], 0.0) << "i=" << i;
    }
}

TEST(TWFireworksTest, InPhaseSineFillsTheMonoBinWithItsMeanAmplitude)
{
    for (double amp : {0.1, 0.5, 0.9})
    {
        TWFireworks fw(kSampleRateHz);
        SampleBuffer l, r;
        MakeSine(amp, 1.0, l, r);
        Envelopes e;
        fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);

        // Mean of √2·A·|sin| over the window by a plain loop, and the continuous value 2√2/π·A.
        double sum = 0.0;
        for (int i = 0; i < kWindow; ++i)
            sum += std::sqrt(l[i] * l[i] + r[i] * r[i]);
        const double expected = std::min(sum / kWindow, 0.95);
        EXPECT_NEAR(BinValue(e.curX, e.curY, kMonoBin), expected, 1e-12) << "amp=" << amp;
        EXPECT_NEAR(expected, std::min(0.9003163161571 * amp, 0.95), 1e-3 * amp) << "amp=" << amp;

        // Drawn at the angle 64 / 127 × π.
        const double a = kMonoBin / 127.0 * M_PI;
        EXPECT_NEAR(e.curX[kMonoBin], expected * std::cos(a), kTol) << "amp=" << amp;
        EXPECT_NEAR(e.curY[kMonoBin], expected * std::sin(a), kTol) << "amp=" << amp;
        for (int i = 0; i < kBins; ++i)
        {
            if (i != kMonoBin)
            {
                EXPECT_EQ(BinValue(e.curX, e.curY, i), 0.0) << "amp=" << amp << " bin " << i;
            }
        }
    }
}

TEST(TWFireworksTest, LoudMonoIsLimitedAndOppositePhaseLiesOnThePositiveXAxis)
{
    TWFireworks fw(kSampleRateHz);
    SampleBuffer l, r;
    Envelopes e;
    MakeSine(2.0, 1.0, l, r);
    fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    EXPECT_NEAR(BinValue(e.curX, e.curY, kMonoBin), 0.95, kTol);

    fw.Reset();
    MakeSine(0.5, -1.0, l, r);
    fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    EXPECT_GT(e.curX[0], 0.4);
    EXPECT_EQ(e.curY[0], 0.0);
    for (int i = 1; i < kBins; ++i)
        EXPECT_EQ(BinValue(e.curX, e.curY, i), 0.0) << "bin " << i;
}

TEST(TWFireworksTest, PeakFallsBy0995PerCallOnceTheWindowIsSilent)
{
    TWFireworks fw(kSampleRateHz);
    SampleBuffer l, r;
    Envelopes e;
    MakeSine(0.5, 1.0, l, r);
    fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    const double start = BinValue(e.peakX, e.peakY, kMonoBin);
    ASSERT_GT(start, 0.4);

    MakeSilence(l, r);
    for (int k = 1; k <= 200; ++k)
    {
        fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
        ASSERT_NEAR(BinValue(e.peakX, e.peakY, kMonoBin), start * std::pow(0.995, k), 1e-12)
            << "k=" << k;
        ASSERT_EQ(BinValue(e.curX, e.curY, kMonoBin), 0.0) << "k=" << k;
    }
}

TEST(TWFireworksTest, PeakFollowsARiseAtOnceAndBlendsAFall)
{
    TWFireworks fw(kSampleRateHz);
    SampleBuffer l, r;
    Envelopes e;
    // Constant mono windows: every pair has radius a·√2, so the bin holds exactly that.
    auto constantMono = [&](double a)
    {
        l.Resize(kWindow);
        r.Resize(kWindow);
        for (int i = 0; i < kWindow; ++i)
            l[i] = r[i] = a;
        fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
        return BinValue(e.peakX, e.peakY, kMonoBin);
    };
    const double s = std::sqrt(2.0);
    EXPECT_NEAR(constantMono(0.2), 0.2 * s, kTol) << "first call";
    EXPECT_NEAR(constantMono(0.4), 0.4 * s, kTol) << "rise: 0.995·h + 0.005·h";
    EXPECT_NEAR(constantMono(0.1), 0.995 * 0.4 * s + 0.005 * 0.1 * s, 1e-12) << "fall";
}

TEST(TWFireworksTest, ResetRestartsThePeakHold)
{
    TWFireworks fw(kSampleRateHz);
    SampleBuffer l, r;
    Envelopes e;
    MakeSine(0.8, 1.0, l, r);
    fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    EXPECT_EQ(fw.GetPeakMemory().GetSize(), kBins);

    for (int variant = 0; variant < 2; ++variant)
    {
        if (variant == 0)
            fw.Reset();
        else
            fw.Reset(48000.0);
        EXPECT_EQ(fw.GetPeakMemory().GetSize(), 0) << "variant " << variant;
        MakeSine(0.3, 1.0, l, r);
        fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
        ExpectSamePoints(e.curX, e.peakX, "X after reset");
        ExpectSamePoints(e.curY, e.peakY, "Y after reset");
    }
    EXPECT_EQ(fw.GetSampleRate(), 48000.0);
}

TEST(TWFireworksTest, RepeatedCallsAllocateNothing)
{
    TWFireworks fw(kSampleRateHz);
    SampleBuffer l, r;
    Envelopes e;
    MakeSine(0.5, 1.0, l, r);
    fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    const double* before[] = {e.curX.Get(), e.curY.Get(), e.peakX.Get(), e.peakY.Get()};
    AllocationCounter::Start();
    for (int k = 0; k < 50; ++k)
        fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    fw.Reset();
    fw.ComputePoints(l, r, e.curX, e.curY, e.peakX, e.peakY);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
    const double* after[] = {e.curX.Get(), e.curY.Get(), e.peakX.Get(), e.peakY.Get()};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(before[i], after[i]) << "output " << i;
}
