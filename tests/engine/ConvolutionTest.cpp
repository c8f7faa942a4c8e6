#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include "engine/ConvolutionManager.h"
#include "engine/FastRTConvolver2.h"
#include "engine/TimeDistributedFFTConvolver.h"
#include "engine/UPConvolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace
{
constexpr uint32_t kSeed = 20261207;
constexpr double kRelativeTolerance = 1e-6;
constexpr int kLongestResponse = 32768;
// Direct-convolution budget per case (multiply-adds): long responses get a short input burst
// followed by silence, which still crosses every partition of head and tail.
constexpr long kDirectBudget = 4000000;

// y[t] = Σ x[k] h[t − k] for t < outLength, summed only over the non-zero input prefix.
std::vector<double> DirectConvolution(const std::vector<double>& x, int nonZeroInput,
                                      const std::vector<double>& h, int outLength)
{
    std::vector<double> y(outLength, 0.0);
    const int n = static_cast<int>(h.size());
    for (int k = 0; k < nonZeroInput; ++k)
    {
        const double xk = x[k];
        const int end = std::min(outLength, k + n);
        for (int t = k; t < end; ++t)
            y[t] += xk * h[t - k];
    }
    return y;
}

double Peak(const std::vector<double>& v)
{
    double p = 0.0;
    for (double x : v)
        p = std::max(p, std::abs(x));
    return p;
}

// Largest |a[t] − b[t]| over t < n.
double MaxDifference(const std::vector<double>& a, const std::vector<double>& b, int n)
{
    double d = 0.0;
    for (int t = 0; t < n; ++t)
        d = std::max(d, std::abs(a[t] - b[t]));
    return d;
}

int RoundUp(int n, int multiple)
{
    return (n + multiple - 1) / multiple * multiple;
}

// Input for a response of length n at block size b: random over a prefix (all of it when the
// budget allows), zero after, long enough for the whole convolution to come out.
struct TestSignal
{
    std::vector<double> input;
    int nonZero;
};

TestSignal MakeSignal(int n, int b, uint32_t seed)
{
    const int wanted = 2 * n + 9 * b;
    const int nonZero = static_cast<int>(
        std::max<long>(std::min<long>(wanted, kDirectBudget / n), std::min(wanted, 3 * b + 7)));
    const int total = RoundUp(nonZero + n + b, b);
    TestSignal s{testsig::Noise(total, seed), nonZero};
    std::fill(s.input.begin() + nonZero, s.input.end(), 0.0);
    return s;
}

std::vector<int> LengthsFor(int b)
{
    std::set<int> lengths = {1,     b - 1,     b,          b + 1, 3 * b + 5,
                             8 * b, 8 * b + 1, 12 * b + 3, 2048,  kLongestResponse};
    std::vector<int> out;
    for (int n : lengths)
        if (n >= 1 && n <= kLongestResponse + 1)
            out.push_back(n);
    return out;
}

// Runs a manager over the whole input block by block.
std::vector<double> RunManager(ConvolutionManager& m, const std::vector<double>& input)
{
    const int b = m.GetBlockSize();
    std::vector<double> out(input.size());
    for (size_t i = 0; i + b <= input.size(); i += b)
        m.ProcessBlock(input.data() + i, out.data() + i);
    return out;
}

// Runs a real-time convolver with constant host blocks.
std::vector<double> RunConvolver(FastRTConvolver2& c, const std::vector<double>& input,
                                 int hostBlock)
{
    std::vector<double> out;
    SampleBuffer in, o;
    for (size_t i = 0; i < input.size(); i += hostBlock)
    {
        const int n = static_cast<int>(std::min<size_t>(hostBlock, input.size() - i));
        in.Set(input.data() + i, n);
        c.Process(in, o);
        EXPECT_EQ(o.GetSize(), n);
        out.insert(out.end(), o.Get(), o.Get() + n);
    }
    return out;
}
} // namespace

// Head plus tail against direct convolution, for every block size and response lengths around
// every partition boundary.
TEST(ConvolutionManager, MatchesDirectConvolutionForEveryBlockSize)
{
    for (int b = 2; b <= 4096; b *= 2)
    {
        for (int n : LengthsFor(b))
        {
            const uint32_t seed = kSeed + 7919u * b + n;
            const std::vector<double> h = testsig::Noise(n, seed);
            const TestSignal s = MakeSignal(n, b, seed + 1);
            ConvolutionManager m(h.data(), n, b);
            const std::vector<double> got = RunManager(m, s.input);
            const int total = static_cast<int>(s.input.size());
            const std::vector<double> ref = DirectConvolution(s.input, s.nonZero, h, total);
            EXPECT_LE(MaxDifference(got, ref, total), kRelativeTolerance * Peak(ref))
                << "B=" << b << " n=" << n << " seed=" << seed;
        }
    }
}

TEST(ConvolutionManager, PartitionsHeadAndTail)
{
    const std::vector<double> h = testsig::Noise(2048, kSeed);

    ConvolutionManager wide(h.data(), 2048, 512);
    EXPECT_EQ(wide.GetHeadPartitionCount(), 4);
    EXPECT_EQ(wide.GetTailPartitionCount(), 0);

    ConvolutionManager narrow(h.data(), 2048, 64);
    EXPECT_EQ(narrow.GetHeadPartitionCount(), 8);
    EXPECT_EQ(narrow.GetHeadLength(), 512);
    EXPECT_EQ(narrow.GetTailPartitionCount(), 6); // 1536 samples in partitions of 256

    ConvolutionManager justOver(h.data(), 8 * 64 + 1, 64);
    EXPECT_EQ(justOver.GetTailPartitionCount(), 1);
    ConvolutionManager exact(h.data(), 8 * 64, 64);
    EXPECT_EQ(exact.GetTailPartitionCount(), 0);
}

TEST(ConvolutionManager, DefaultIsUnitImpulse)
{
    ConvolutionManager m;
    EXPECT_EQ(m.GetBlockSize(), 512);
    EXPECT_EQ(m.GetResponseLength(), 512);
    const std::vector<double> x = testsig::Noise(4 * 512, kSeed);
    const std::vector<double> y = RunManager(m, x);
    EXPECT_LE(MaxDifference(x, y, 4 * 512), 1e-12);

    // An empty response at another block size also passes the input unchanged.
    ConvolutionManager empty(nullptr, 0, 64);
    EXPECT_EQ(empty.GetBlockSize(), 64);
    const std::vector<double> y2 = RunManager(empty, x);
    EXPECT_LE(MaxDifference(x, y2, 4 * 512), 1e-12);
}

TEST(ConvolutionManager, BlockSizeNotPowerOfTwoGivesSilence)
{
    const std::vector<double> h = testsig::Noise(1000, kSeed);
    ConvolutionManager m(h.data(), 1000, 48);
    EXPECT_EQ(m.GetHeadPartitionCount(), 0);
    EXPECT_EQ(m.GetTailPartitionCount(), 0);
    const std::vector<double> x = testsig::Noise(48 * 30, kSeed + 1);
    EXPECT_EQ(Peak(RunManager(m, x)), 0.0);
}

TEST(ConvolutionManager, SetResponseAndResetRestartFromSilence)
{
    const int b = 64;
    const std::vector<double> h1 = testsig::Noise(3000, kSeed);
    const std::vector<double> h2 = testsig::Noise(1500, kSeed + 1);
    const std::vector<double> loud = testsig::Noise(40 * b, kSeed + 2);
    std::vector<double> x = testsig::Noise(60 * b, kSeed + 3);

    ConvolutionManager fresh(h2.data(), 1500, b);
    const std::vector<double> expected = RunManager(fresh, x);

    ConvolutionManager reused(h1.data(), 3000, b);
    std::vector<double> big = loud;
    for (double& v : big)
        v *= 1e6;
    RunManager(reused, big);
    reused.SetResponse(h2.data(), 1500);
    EXPECT_EQ(RunManager(reused, x), expected) << "after SetResponse";

    RunManager(reused, big);
    reused.Reset();
    EXPECT_EQ(RunManager(reused, x), expected) << "after Reset";
}

TEST(TimeDistributedFFTConvolver, PhasesCycleFromZero)
{
    const std::vector<double> h = testsig::Noise(1000, kSeed);
    TimeDistributedFFTConvolver tail(h.data(), 1000, 32);
    EXPECT_EQ(tail.GetPartitionCount(), 8); // ⌈1000 / 128⌉
    std::vector<double> in(32, 0.0), out(32);
    for (int i = 0; i < 9; ++i)
    {
        EXPECT_EQ(tail.GetPhase(), i % 4) << "block " << i;
        tail.ProcessBlock(in.data(), out.data());
    }
}

// The tail alone is the response delayed by 8B: its first output appears 8 blocks after the
// input that caused it.
TEST(TimeDistributedFFTConvolver, DeliversExactlyEightBlocksLate)
{
    const int b = 16;
    const std::vector<double> h = testsig::Noise(300, kSeed);
    const std::vector<double> x = testsig::Noise(50 * b, kSeed + 1);
    TimeDistributedFFTConvolver tail(h.data(), 300, b);
    std::vector<double> got(x.size());
    for (size_t i = 0; i < x.size(); i += b)
        tail.ProcessBlock(x.data() + i, got.data() + i);

    std::vector<double> delayed(x.size(), 0.0);
    std::copy(x.begin(), x.end() - 8 * b, delayed.begin() + 8 * b);
    const std::vector<double> ref =
        DirectConvolution(delayed, static_cast<int>(x.size()), h, static_cast<int>(x.size()));
    EXPECT_LE(MaxDifference(got, ref, static_cast<int>(x.size())), 1e-12 * Peak(ref));
    for (int t = 0; t < 8 * b; ++t)
        ASSERT_EQ(got[t], 0.0) << "t=" << t;
}

TEST(UPConvolver, MatchesDirectConvolutionAndRejectsOddBlocks)
{
    const int b = 32;
    const std::vector<double> h = testsig::Noise(5 * b + 3, kSeed);
    UPConvolver head(h.data(), 5 * b + 3, b);
    EXPECT_EQ(head.GetPartitionCount(), 6);
    const std::vector<double> x = testsig::Noise(20 * b, kSeed + 1);
    std::vector<double> got(x.size());
    for (size_t i = 0; i < x.size(); i += b)
        head.ProcessBlock(x.data() + i, got.data() + i);
    const int total = static_cast<int>(x.size());
    const std::vector<double> ref = DirectConvolution(x, total, h, total);
    EXPECT_LE(MaxDifference(got, ref, total), 1e-12 * Peak(ref));

    UPConvolver odd(h.data(), 5 * b + 3, 24);
    EXPECT_EQ(odd.GetPartitionCount(), 0);
    std::vector<double> out(24, 1.0);
    odd.ProcessBlock(x.data(), out.data());
    EXPECT_EQ(Peak(out), 0.0);
}

// Constant host blocks: powers of two convolve with latency 0, other sizes one host block late.
TEST(FastRTConvolver2, MatchesDirectConvolutionWithHostBlocks)
{
    const int hostBlocks[] = {1, 64, 512, 4096, 500, 1000};
    const int lengths[] = {1, 777, 2048, kLongestResponse};
    for (int host : hostBlocks)
    {
        for (int n : lengths)
        {
            if (host == 1 && n > 2048)
                continue; // B = 1 with the longest response is only slow, not different
            const uint32_t seed = kSeed + 31u * host + n;
            const std::vector<double> h = testsig::Noise(n, seed);
            FastRTConvolver2 c(512, testsig::MakeBuffer(h), ConvolverMode::Convolve);
            c.Reset(host);
            const int latency = c.GetLatency();
            const bool powerOfTwo = (host & (host - 1)) == 0;
            EXPECT_EQ(latency, powerOfTwo ? 0 : host) << "host=" << host;

            const TestSignal s = MakeSignal(n, c.GetBlockSize(), seed + 1);
            std::vector<double> input = s.input;
            input.resize(RoundUp(static_cast<int>(input.size()) + latency, host), 0.0);
            const std::vector<double> got = RunConvolver(c, input, host);
            const int total = static_cast<int>(input.size());

            std::vector<double> delayed(total, 0.0);
            std::copy(input.begin(), input.end() - latency, delayed.begin() + latency);
            const std::vector<double> ref =
                DirectConvolution(delayed, s.nonZero + latency, h, total);
            EXPECT_LE(MaxDifference(got, ref, total), kRelativeTolerance * Peak(ref))
                << "host=" << host << " n=" << n << " seed=" << seed;
        }
    }
}

TEST(FastRTConvolver2, HostBlock500UsesB256AndOneBlockLatency)
{
    const std::vector<double> h = testsig::Noise(2048, kSeed);
    FastRTConvolver2 c(512, testsig::MakeBuffer(h), ConvolverMode::Convolve);
    EXPECT_EQ(c.GetBlockSize(), 512);
    EXPECT_EQ(c.GetLatency(), 0);
    c.Reset(500);
    EXPECT_EQ(c.GetBlockSize(), 256);
    EXPECT_EQ(c.GetHostBlockSize(), 500);
    EXPECT_EQ(c.GetLatency(), 500);

    const std::vector<double> x = testsig::Noise(500, kSeed + 1);
    SampleBuffer in = testsig::MakeBuffer(x), out;
    c.Process(in, out);
    ASSERT_EQ(out.GetSize(), 500);
    for (int k = 0; k < 500; ++k)
        ASSERT_EQ(out[k], 0.0) << "k=" << k;
    // The next block brings the convolution of the first one.
    SampleBuffer silence;
    silence.Resize(500);
    silence.Zero();
    c.Process(silence, out);
    const std::vector<double> ref = DirectConvolution(x, 500, h, 500);
    EXPECT_LE(MaxDifference(std::vector<double>(out.Get(), out.Get() + 500), ref, 500),
              1e-12 * Peak(ref));
}

TEST(FastRTConvolver2, UnitImpulsePassesInputWithoutLatency)
{
    SampleBuffer impulse;
    impulse.Resize(1);
    impulse[0] = 1.0;
    FastRTConvolver2 c(512, impulse, ConvolverMode::Convolve);
    const std::vector<double> x = testsig::Noise(512 * 6, kSeed);
    const std::vector<double> y = RunConvolver(c, x, 512);
    EXPECT_LE(MaxDifference(x, y, static_cast<int>(x.size())), 1e-12);
}

// A pass-through instance delays by exactly the latency of a convolving one; with a unit impulse
// the two give the same output.
TEST(FastRTConvolver2, PassThroughDelaysByTheConvolvingLatency)
{
    SampleBuffer impulse;
    impulse.Resize(1);
    impulse[0] = 1.0;
    for (int host : {64, 500, 512, 1000, 37})
    {
        FastRTConvolver2 wet(512, impulse, ConvolverMode::Convolve);
        FastRTConvolver2 dry(512, impulse, ConvolverMode::PassThrough);
        wet.Reset(host);
        dry.Reset(host);
        EXPECT_TRUE(dry.IsPassThrough());
        EXPECT_EQ(dry.GetLatency(), wet.GetLatency()) << "host=" << host;
        const int latency = wet.GetLatency();

        const std::vector<double> x = testsig::Noise(host * 12, kSeed + host);
        const std::vector<double> yDry = RunConvolver(dry, x, host);
        const std::vector<double> yWet = RunConvolver(wet, x, host);
        for (size_t t = 0; t < x.size(); ++t)
        {
            const double expected = t < static_cast<size_t>(latency) ? 0.0 : x[t - latency];
            ASSERT_EQ(yDry[t], expected) << "host=" << host << " t=" << t;
            ASSERT_NEAR(yWet[t], expected, 1e-12) << "host=" << host << " t=" << t;
        }
    }
}

TEST(FastRTConvolver2, ShortCallWithEmptyQueueReturnsSilence)
{
    const std::vector<double> h = testsig::Noise(100, kSeed);
    FastRTConvolver2 c(512, testsig::MakeBuffer(h), ConvolverMode::Convolve);
    SampleBuffer in = testsig::MakeBuffer(testsig::Noise(100, kSeed + 1)), out;
    c.Process(in, out);
    ASSERT_EQ(out.GetSize(), 100);
    for (int k = 0; k < 100; ++k)
        ASSERT_EQ(out[k], 0.0) << "k=" << k;

    // An empty call returns an empty output.
    SampleBuffer none;
    c.Process(none, out);
    EXPECT_EQ(out.GetSize(), 0);
}

TEST(FastRTConvolver2, ProcessesInPlace)
{
    const std::vector<double> h = testsig::Noise(3000, kSeed);
    FastRTConvolver2 a(500, testsig::MakeBuffer(h), ConvolverMode::Convolve);
    FastRTConvolver2 b(500, testsig::MakeBuffer(h), ConvolverMode::Convolve);
    for (int i = 0; i < 10; ++i)
    {
        SampleBuffer x = testsig::MakeBuffer(testsig::Noise(500, kSeed + i)), y;
        a.Process(x, y);
        b.Process(x, x);
        ASSERT_EQ(std::vector<double>(x.Get(), x.Get() + 500),
                  std::vector<double>(y.Get(), y.Get() + 500))
            << "block " << i;
    }
}

TEST(FastRTConvolver2, ResetAfterLoudInputBehavesLikeFresh)
{
    const std::vector<double> h = testsig::Noise(5000, kSeed);
    const std::vector<double> x = testsig::Noise(512 * 20, kSeed + 1);
    std::vector<double> loud = testsig::Noise(512 * 9 + 17, kSeed + 2);
    for (double& v : loud)
        v *= 1e6;
    // A new host block size re-partitions; the same one keeps the partitions and must still
    // forget everything.
    for (int host : {500, 512})
    {
        FastRTConvolver2 fresh(512, testsig::MakeBuffer(h), ConvolverMode::Convolve);
        fresh.Reset(host);
        const std::vector<double> expected = RunConvolver(fresh, x, host);

        FastRTConvolver2 used(512, testsig::MakeBuffer(h), ConvolverMode::Convolve);
        RunConvolver(used, loud, 512);
        used.Reset(host);
        EXPECT_EQ(RunConvolver(used, x, host), expected) << "host=" << host;
    }
}

TEST(FastRTConvolver2, ResetAtTheSameHostBlockSizeAllocatesNothing)
{
    const std::vector<double> h = testsig::Noise(kLongestResponse, kSeed);
    for (int host : {64, 500, 512})
    {
        FastRTConvolver2 c(host, testsig::MakeBuffer(h), ConvolverMode::Convolve);
        AllocationCounter::Start();
        c.Reset(host);
        AllocationCounter::Stop();
        EXPECT_EQ(AllocationCounter::Count(), 0) << "host=" << host;
    }
}

TEST(AllocationCounter, SeesHeapGrowth)
{
    SampleBuffer b;
    AllocationCounter::Start();
    b.Resize(100000);
    std::vector<int> v(10);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 2); // the buffer's realloc and the vector's new
    EXPECT_EQ(AllocationCounter::CountOperatorNew(), 1);
    b.Resize(200000);
    EXPECT_EQ(AllocationCounter::Count(), 2) << "counted after Stop";
}

TEST(FastRTConvolver2, ProcessAllocatesNothingAfterWarmUp)
{
    const std::vector<double> h = testsig::Noise(kLongestResponse, kSeed);
    for (int host : {64, 500, 512, 1000})
    {
        for (ConvolverMode mode : {ConvolverMode::Convolve, ConvolverMode::PassThrough})
        {
            FastRTConvolver2 c(512, testsig::MakeBuffer(h), mode);
            c.Reset(host);
            SampleBuffer in = testsig::MakeBuffer(testsig::Noise(host, kSeed + host)), out;
            c.Process(in, out); // the caller's output buffer grows here
            AllocationCounter::Start();
            for (int i = 0; i < 40; ++i)
                c.Process(in, out);
            AllocationCounter::Stop();
            EXPECT_EQ(AllocationCounter::Count(), 0)
                << "host=" << host << " passThrough=" << (mode == ConvolverMode::PassThrough);
        }
    }
}

TEST(ConvolutionManager, ProcessBlockAllocatesNothing)
{
    const std::vector<double> h = testsig::Noise(kLongestResponse, kSeed);
    ConvolutionManager m(h.data(), kLongestResponse, 64);
    std::vector<double> x = testsig::Noise(64, kSeed + 1), y(64);
    AllocationCounter::Start();
    for (int i = 0; i < 100; ++i)
        m.ProcessBlock(x.data(), y.data());
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
}
