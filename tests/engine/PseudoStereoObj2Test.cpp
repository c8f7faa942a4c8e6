#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include "engine/PseudoRandom.h"
#include "engine/PseudoStereoObj2.h"
#include "framework/ChannelList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr uint32_t kSeed = 4711;
// +6 dB by the decibel law 10^(6/20), computed independently of the generator's constant.
const double kGain = std::pow(10.0, 6.0 / 20.0);
constexpr double kPi = 3.14159265358979323846;

// The sequence re-derived with 64-bit arithmetic: x² mod p through 2^32 ≡ 5 (mod p), and the
// sign test written as 2x < p.
class ReferenceSequence
{
public:
    ReferenceSequence(uint64_t base, uint64_t offset)
    {
        mIndex = Permute((Permute(base) + 0x682F0161ull) & kMask);
        mIntermediate = Permute((Permute(offset) + 0x46790905ull) & kMask);
    }
    uint64_t Next()
    {
        const uint64_t r = Permute(((Permute(mIndex) + mIntermediate) & kMask) ^ 0x5BF03635ull);
        mIndex = (mIndex + 1) & kMask;
        return r;
    }

private:
    static constexpr uint64_t kMask = 0xFFFFFFFFull;
    static constexpr uint64_t kP = 4294967291ull;

    static uint64_t SquareModP(uint64_t x)
    {
        const uint64_t sq = x * x; // x < 2^32 so this is exact
        uint64_t r = (sq >> 32) * 5 + (sq & kMask);
        r = (r >> 32) * 5 + (r & kMask);
        while (r >= kP)
            r -= kP;
        return r;
    }
    static uint64_t Permute(uint64_t x)
    {
        if (x >= kP)
            return x;
        const uint64_t r = SquareModP(x);
        return 2 * x < kP ? r : kP - r;
    }

    uint64_t mIndex;
    uint64_t mIntermediate;
};

// Direct convolution of x with h, first n outputs.
std::vector<double> Convolve(const std::vector<double>& x, const SampleBuffer& h, int n)
{
    std::vector<double> y(n, 0.0);
    for (int t = 0; t < n; ++t)
        for (int k = 0; k <= t && k < h.GetSize(); ++k)
            y[t] += h[k] * x[t - k];
    return y;
}

struct StereoRun
{
    std::vector<double> left, right;
};

// Feeds (left, right) through the generator in blocks of blockSize.
StereoRun RunGenerator(PseudoStereoObj2& g, const std::vector<double>& left,
                       const std::vector<double>& right, int blockSize)
{
    StereoRun out;
    ChannelList list;
    for (size_t i = 0; i < left.size(); i += blockSize)
    {
        const int n = static_cast<int>(std::min<size_t>(blockSize, left.size() - i));
        list.Clear();
        list.Add(left.data() + i, n);
        list.Add(right.data() + i, n);
        g.Process(list);
        EXPECT_EQ(list.GetSize(), 2);
        out.left.insert(out.left.end(), list[0].Get(), list[0].Get() + n);
        out.right.insert(out.right.end(), list[1].Get(), list[1].Get() + n);
    }
    return out;
}
} // namespace

TEST(PseudoRandom, MatchesIndependentDerivation)
{
    for (uint32_t base : {625755291u, 0u, 4294967290u})
    {
        PseudoRandom random(base, base + 1);
        ReferenceSequence reference(base, static_cast<uint32_t>(base + 1));
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(random.Next(), reference.Next()) << "base=" << base << " draw " << i;
    }
    // Values at or above the prime are fixed points; just below it the map is p − x².
    EXPECT_EQ(PseudoRandom::Permute(4294967295u), 4294967295u);
    EXPECT_EQ(PseudoRandom::Permute(4294967291u), 4294967291u);
    EXPECT_EQ(PseudoRandom::Permute(3u), 9u);
    EXPECT_EQ(PseudoRandom::Permute(4294967290u), 4294967290u); // (−1)² = 1, p − 1
}

TEST(PseudoRandom, ReseedingRestartsTheSequence)
{
    PseudoRandom random(625755291u, 625755292u);
    std::vector<uint32_t> first;
    for (int i = 0; i < 10; ++i)
        first.push_back(random.Next());
    random.Seed(625755291u, 625755292u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(random.Next(), first[i]) << "draw " << i;
}

TEST(PseudoStereoObj2, ResponseLengthFollowsTheRate)
{
    const struct
    {
        double rate;
        int length;
    } cases[] = {{22050, 1024}, {44100, 2048},  {48000, 4096},  {88200, 4096},
                 {96000, 8192}, {176400, 8192}, {192000, 16384}};
    for (const auto& c : cases)
    {
        EXPECT_EQ(PseudoStereoObj2::ResponseLengthForRate(c.rate), c.length) << "rate=" << c.rate;
        PseudoStereoObj2 g(c.rate, 1.0);
        EXPECT_EQ(g.GetResponseLength(), c.length) << "rate=" << c.rate;
        EXPECT_EQ(g.GetResponse().GetSize(), c.length) << "rate=" << c.rate;
    }
    // Nonsense rates stay within the FFT's sizes.
    EXPECT_EQ(PseudoStereoObj2::ResponseLengthForRate(0.0), 2);
    EXPECT_EQ(PseudoStereoObj2::ResponseLengthForRate(-5.0), 2);
    EXPECT_EQ(PseudoStereoObj2::ResponseLengthForRate(std::nan("")), 2);
    EXPECT_EQ(PseudoStereoObj2::ResponseLengthForRate(1e9), 32768);
}

// The response against a naive inverse DFT of the spectrum drawn from the reference sequence.
TEST(PseudoStereoObj2, ResponseMatchesNaiveInverseDft)
{
    const int n = 1024;
    PseudoStereoObj2 g(22050.0, 1.0);
    ASSERT_EQ(g.GetResponseLength(), n);

    ReferenceSequence reference(625755291u, 625755292u);
    std::vector<double> spectrum(n);
    for (double& x : spectrum)
    {
        const double u = (static_cast<double>(reference.Next()) / 4294967295.0 - 0.5) * 2.0;
        x = std::atan(u) / kPi + 0.5;
    }
    const SampleBuffer& h = g.GetResponse();
    for (int t = 0; t < n; ++t)
    {
        double sum = 0.0;
        for (int k = 0; k < n; ++k)
            sum += spectrum[k] * std::cos(2.0 * kPi * static_cast<double>((k * t) % n) / n);
        ASSERT_NEAR(h[t], sum / n, 1e-12) << "n=" << t;
    }
}

TEST(PseudoStereoObj2, ResponseIsReproducibleSymmetricAndHalfAtZero)
{
    for (double rate : {44100.0, 48000.0, 96000.0})
    {
        PseudoStereoObj2 a(rate, 1.0), b(rate, 1.0);
        const SampleBuffer& h = a.GetResponse();
        const int n = h.GetSize();
        ASSERT_EQ(n, b.GetResponse().GetSize());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(h[i], b.GetResponse()[i]) << "rate=" << rate << " n=" << i;

        EXPECT_NEAR(h[0], 0.5, 0.02) << "rate=" << rate;
        double remainder = 0.0;
        for (int i = 1; i < n; ++i)
        {
            ASSERT_NEAR(h[i], h[n - i], 1e-12) << "rate=" << rate << " n=" << i;
            remainder = std::max(remainder, std::abs(h[i]));
        }
        EXPECT_LT(remainder, 0.05) << "rate=" << rate;
        EXPECT_GT(remainder, 0.0) << "rate=" << rate;
    }
}

TEST(PseudoStereoObj2, ResetRebuildsTheResponseOfTheNewRate)
{
    PseudoStereoObj2 g(44100.0, 1.0);
    g.Reset(kBlock, 96000.0);
    EXPECT_EQ(g.GetSampleRate(), 96000.0);
    PseudoStereoObj2 fresh(96000.0, 1.0);
    ASSERT_EQ(g.GetResponse().GetSize(), 8192);
    for (int i = 0; i < 8192; ++i)
        ASSERT_EQ(g.GetResponse()[i], fresh.GetResponse()[i]) << "n=" << i;
}

// With no spread every spectrum value is 0.5, so the response is exactly half a unit impulse.
TEST(PseudoStereoObj2, ZeroSpreadGivesHalfImpulse)
{
    PseudoStereoObj2 g(kRate, 0.0);
    const SampleBuffer& h = g.GetResponse();
    EXPECT_NEAR(h[0], 0.5, 1e-15);
    for (int i = 1; i < h.GetSize(); ++i)
        ASSERT_NEAR(h[i], 0.0, 1e-15) << "n=" << i;
}

// Host blocks of 512: no latency, the sum is the scaled mono input and the left channel is the
// scaled convolution of the mono input with the response.
TEST(PseudoStereoObj2, SumIsScaledMonoAndLeftIsTheConvolution)
{
    PseudoStereoObj2 g(kRate, 1.0);
    g.Reset(kBlock, kRate);
    EXPECT_EQ(g.GetLatency(), 0);
    const int total = 6 * kBlock;
    const std::vector<double> l = testsig::Noise(total, kSeed),
                              r = testsig::Noise(total, kSeed + 1);
    const StereoRun out = RunGenerator(g, l, r, kBlock);

    std::vector<double> mono(total);
    for (int t = 0; t < total; ++t)
        mono[t] = (l[t] + r[t]) * 0.5;
    const std::vector<double> wet = Convolve(mono, g.GetResponse(), total);
    for (int t = 0; t < total; ++t)
    {
        ASSERT_NEAR(out.left[t] + out.right[t], kGain * mono[t], 1e-12)
            << "seed=" << kSeed << " t=" << t;
        ASSERT_NEAR(out.left[t], kGain * wet[t], 1e-9) << "seed=" << kSeed << " t=" << t;
    }
}

TEST(PseudoStereoObj2, HostBlock500IsOneBlockLate)
{
    const int host = 500;
    PseudoStereoObj2 g(kRate, 1.0);
    // Some audio before the reset must not leak through it.
    RunGenerator(g, testsig::Noise(3 * kBlock, kSeed), testsig::Noise(3 * kBlock, kSeed + 1),
                 kBlock);
    g.Reset(host, kRate);
    EXPECT_EQ(g.GetLatency(), host);

    const int total = 8 * host;
    const std::vector<double> l = testsig::Noise(total, kSeed + 2),
                              r = testsig::Noise(total, kSeed + 3);
    const StereoRun out = RunGenerator(g, l, r, host);
    for (int t = 0; t < host; ++t)
    {
        ASSERT_EQ(out.left[t], 0.0) << "t=" << t;
        ASSERT_EQ(out.right[t], 0.0) << "t=" << t;
    }
    std::vector<double> mono(total, 0.0);
    for (int t = host; t < total; ++t)
        mono[t] = (l[t - host] + r[t - host]) * 0.5;
    const std::vector<double> wet = Convolve(mono, g.GetResponse(), total);
    for (int t = host; t < total; ++t)
    {
        ASSERT_NEAR(out.left[t] + out.right[t], kGain * mono[t], 1e-12) << "t=" << t;
        ASSERT_NEAR(out.left[t], kGain * wet[t], 1e-9) << "t=" << t;
    }
}

TEST(PseudoStereoObj2, OppositePhaseGivesSilence)
{
    PseudoStereoObj2 g(kRate, 1.0);
    std::vector<double> l = testsig::Noise(4 * kBlock, kSeed), r(l.size());
    for (size_t t = 0; t < l.size(); ++t)
        r[t] = -l[t];
    const StereoRun out = RunGenerator(g, l, r, kBlock);
    for (size_t t = 0; t < l.size(); ++t)
    {
        ASSERT_EQ(out.left[t], 0.0) << "t=" << t;
        ASSERT_EQ(out.right[t], 0.0) << "t=" << t;
    }
}

TEST(PseudoStereoObj2, OtherChannelCountsPassUnchanged)
{
    PseudoStereoObj2 g(kRate, 1.0);
    for (int channels : {0, 1, 3})
    {
        ChannelList list;
        std::vector<std::vector<double>> in;
        for (int c = 0; c < channels; ++c)
        {
            in.push_back(testsig::Noise(kBlock, kSeed + c));
            list.Add(in.back().data(), kBlock);
        }
        g.Process(list);
        ASSERT_EQ(list.GetSize(), channels);
        for (int c = 0; c < channels; ++c)
            EXPECT_EQ(std::vector<double>(list[c].Get(), list[c].Get() + kBlock), in[c])
                << "channels=" << channels << " channel " << c;
    }
}

// A right channel shorter than the left one counts as silent beyond its end.
TEST(PseudoStereoObj2, ShortRightChannelIsPaddedWithSilence)
{
    PseudoStereoObj2 g(kRate, 1.0);
    const std::vector<double> l = testsig::Noise(kBlock, kSeed), r = testsig::Noise(100, kSeed + 1);
    ChannelList list;
    list.Add(l.data(), kBlock);
    list.Add(r.data(), 100);
    g.Process(list);
    ASSERT_EQ(list[0].GetSize(), kBlock);
    ASSERT_EQ(list[1].GetSize(), kBlock);
    for (int t = 0; t < kBlock; ++t)
    {
        const double mono = (l[t] + (t < 100 ? r[t] : 0.0)) * 0.5;
        ASSERT_NEAR(list[0][t] + list[1][t], kGain * mono, 1e-12) << "t=" << t;
    }
}

TEST(PseudoStereoObj2, ResetAtTheSameRateAndBlockSizeForgetsTheAudioWithoutAllocating)
{
    for (int host : {500, 512})
    {
        const std::vector<double> l = testsig::Noise(8 * host, kSeed),
                                  r = testsig::Noise(8 * host, kSeed + 1);
        PseudoStereoObj2 fresh(kRate, 1.0);
        fresh.Reset(host, kRate);
        const StereoRun want = RunGenerator(fresh, l, r, host);

        PseudoStereoObj2 used(kRate, 1.0);
        used.Reset(host, kRate);
        RunGenerator(used, r, l, host);
        AllocationCounter::Start();
        used.Reset(host, kRate);
        AllocationCounter::Stop();
        EXPECT_EQ(AllocationCounter::Count(), 0) << "host=" << host;
        const StereoRun got = RunGenerator(used, l, r, host);
        EXPECT_TRUE(got.left == want.left && got.right == want.right) << "host=" << host;
    }
}

TEST(PseudoStereoObj2, ProcessAllocatesNothingAfterReset)
{
    for (int host : {500, 512})
    {
        for (double rate : {44100.0, 96000.0})
        {
            PseudoStereoObj2 g(44100.0, 1.0);
            g.Reset(host, rate);
            const std::vector<double> l = testsig::Noise(host, kSeed),
                                      r = testsig::Noise(host, kSeed + 1);
            ChannelList list;
            list.Reserve(host);
            AllocationCounter::Start();
            for (int i = 0; i < 30; ++i)
            {
                list.Clear();
                list.Add(l.data(), host);
                list.Add(r.data(), host);
                g.Process(list);
            }
            AllocationCounter::Stop();
            EXPECT_EQ(AllocationCounter::Count(), 0) << "host=" << host << " rate=" << rate;
        }
    }
}
