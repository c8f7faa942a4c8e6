// The short-time Fourier framework: frame counts, the spectrum against a direct DFT, the window
// normalisation against an overlap-add sum worked out here, latency and the analysis → synthesis
// round trip against the input delayed by one frame, the hooks, and allocation-free processing.

#include "metering/FftProcessObj16.h"
#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

namespace
{
constexpr double kPi = 3.141592653589793;
constexpr double kRate = 44100.0;
constexpr int kN = 2048;
constexpr int kOverlap = 4;
constexpr int kHop = kN / kOverlap;
constexpr unsigned kSeed = 4711;

using Complex = std::complex<double>;

// Counts the frames (one forward-transform stage per frame) and keeps the last spectra.
struct SpectrumRecorder : MultichannelProcess
{
    void ProcessInputFft(BufferPtrList& spectra, BufferPtrList* sc) override
    {
        ++frames;
        sawSideChain = sc != nullptr;
        last.clear();
        for (int c = 0; c < spectra.GetSize(); ++c)
        {
            const SampleBuffer& s = *spectra.Get(c);
            std::vector<Complex> v(s.GetSize() / 2);
            for (size_t k = 0; k < v.size(); ++k)
                v[k] = Complex(s.Get()[2 * k], s.Get()[2 * k + 1]);
            last.push_back(v);
        }
    }
    void Reset(int bufferSize, int, int, double) override { resetSize = bufferSize; }

    int frames = 0;
    int resetSize = 0;
    bool sawSideChain = false;
    std::vector<std::vector<Complex>> last;
};

// Direct DFT with the framework's scaling: X[k] = (ov / M) Σ x[n] e^(−2πikn/M), x zero-padded to M,
// accumulated in long double over a table of the M-th roots of unity.
std::vector<Complex> NaiveDft(const std::vector<double>& x, int m, int oversampling)
{
    std::vector<long double> c(m), s(m);
    for (int j = 0; j < m; ++j)
    {
        c[j] = std::cos(2.0L * kPi * j / m);
        s[j] = -std::sin(2.0L * kPi * j / m);
    }
    std::vector<Complex> out(m);
    for (int k = 0; k < m; ++k)
    {
        long double re = 0, im = 0;
        for (size_t n = 0; n < x.size(); ++n)
        {
            const size_t r = (static_cast<size_t>(k) * n) % m;
            re += x[n] * c[r];
            im += x[n] * s[r];
        }
        out[k] = Complex(static_cast<double>(re), static_cast<double>(im)) *
                 (static_cast<double>(oversampling) / m);
    }
    return out;
}

// The symmetric Hann window written out here.
std::vector<double> Hann(int n)
{
    std::vector<double> w(n);
    for (int i = 0; i < n; ++i)
        w[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (n - 1));
    return w;
}

ChannelList Channels(const std::vector<std::vector<double>>& chans, int start, int count)
{
    ChannelList list;
    for (const auto& c : chans)
        list.Add(c.data() + start, count);
    return list;
}

struct Framework
{
    explicit Framework(int channels, int scChannels = 0, int n = kN, int overlap = kOverlap,
                       int oversampling = 1)
        : fft(noHooks, channels, scChannels, n, overlap, kRate, oversampling)
    {
        fft.AddMultichannelProcess(&recorder);
    }
    WDL_PtrList<ProcessObj> noHooks;
    FftProcessObj16 fft;
    SpectrumRecorder recorder;
};

// Runs one channel through the framework in blocks and returns the whole output.
std::vector<double> RunStream(FftProcessObj16& fft, const std::vector<double>& in, int block,
                              std::vector<bool>* results = nullptr)
{
    std::vector<double> out;
    ChannelList sc;
    for (size_t start = 0; start < in.size(); start += block)
    {
        const int len = static_cast<int>(std::min<size_t>(block, in.size() - start));
        ChannelList input;
        input.Add(in.data() + start, len);
        ChannelList output;
        output.Add(nullptr, len);
        const bool ok = fft.Process(input, sc, &output);
        if (results)
            results->push_back(ok);
        out.insert(out.end(), output[0].Get(), output[0].Get() + output[0].GetSize());
    }
    return out;
}
} // namespace

TEST(FftProcessObj16Test, FramesRunEveryHopOnceAFrameIsQueued)
{
    Framework f(2);
    const std::vector<std::vector<double>> in = {testsig::Noise(8192, kSeed),
                                                 testsig::Noise(8192, kSeed + 1)};
    ChannelList sc;
    f.fft.Process(Channels(in, 0, 4096), sc, nullptr);
    EXPECT_EQ(f.recorder.frames, 5);
    EXPECT_EQ(f.fft.GetChannel(0)->GetInputQueue().GetSize(), 1536);
    EXPECT_EQ(f.fft.GetChannel(1)->GetInputQueue().GetSize(), 1536);
    f.fft.Process(Channels(in, 4096, 4096), sc, nullptr);
    EXPECT_EQ(f.recorder.frames, 13);
    EXPECT_EQ(f.fft.GetChannel(0)->GetInputQueue().GetSize(), 1536);

    // Fewer than N samples after a reset run nothing; the reset drops what was queued.
    f.fft.Reset();
    EXPECT_EQ(f.fft.GetChannel(0)->GetInputQueue().GetSize(), 0);
    f.fft.Process(Channels(in, 0, kN - 1), sc, nullptr);
    EXPECT_EQ(f.recorder.frames, 13);
    f.fft.Process(Channels(in, 0, 1), sc, nullptr);
    EXPECT_EQ(f.recorder.frames, 14);

    // AddSamples only queues.
    f.fft.AddSamples(Channels(in, 0, 4096), sc);
    EXPECT_EQ(f.recorder.frames, 14);
    EXPECT_EQ(f.fft.GetChannel(0)->GetInputQueue().GetSize(), 1536 + 4096);
}

TEST(FftProcessObj16Test, SpectrumMatchesADirectDft)
{
    for (int n : {2, 4, 8, 64, 2048})
        for (int oversampling : {1, 2, 4})
        {
            Framework f(1, 0, n, kOverlap, oversampling);
            const std::vector<double> x = testsig::Noise(n, kSeed + n);
            ChannelList sc;
            f.fft.Process(Channels({x}, 0, n), sc, nullptr);
            ASSERT_EQ(f.recorder.frames, 1) << "n " << n << " oversampling " << oversampling;
            const std::vector<Complex> expected = NaiveDft(x, n * oversampling, oversampling);
            const std::vector<Complex>& got = f.recorder.last[0];
            ASSERT_EQ(got.size(), expected.size()) << "n " << n << " oversampling " << oversampling;
            for (size_t k = 0; k < got.size(); ++k)
                ASSERT_NEAR(std::abs(got[k] - expected[k]), 0.0, 1e-12)
                    << "n " << n << " oversampling " << oversampling << " bin " << k;
        }
}

TEST(FftProcessObj16Test, CosineAtBinKGivesHalfAtKAndMMinusK)
{
    const int bins[] = {1, 7, 100, 1023};
    for (int k : bins)
    {
        Framework f(1);
        std::vector<double> x(kN);
        for (int i = 0; i < kN; ++i)
            x[i] = std::cos(2.0 * kPi * k * i / kN);
        ChannelList sc;
        f.fft.Process(Channels({x}, 0, kN), sc, nullptr);
        const std::vector<Complex>& s = f.recorder.last[0];
        for (int b = 0; b < kN; ++b)
        {
            const double expected = b == k || b == kN - k ? 0.5 : 0.0;
            EXPECT_NEAR(std::abs(s[b]), expected, 1e-12) << "cosine at bin " << k << ", bin " << b;
        }
    }
}

TEST(FftProcessObj16Test, SilentFramesGiveAnExactlyZeroSpectrum)
{
    for (double level : {0.0, 1e-17, -1e-16})
    {
        Framework f(1);
        // A previous loud frame must not leave anything behind.
        const std::vector<double> loud = testsig::Noise(kN, kSeed);
        const std::vector<double> quiet(kN, level);
        ChannelList sc;
        f.fft.Process(Channels({loud}, 0, kN), sc, nullptr);
        f.fft.Reset();
        f.fft.Process(Channels({quiet}, 0, kN), sc, nullptr);
        for (const Complex& v : f.recorder.last[0])
            ASSERT_EQ(std::abs(v), 0.0) << "level " << level;
    }
}

TEST(FftProcessObj16Test, HannPairDivisorIsTheOverlapAddSumOfTheSquaredWindow)
{
    // The squared symmetric Hann summed at hop N / 4 is almost constant; its mean is the divisor.
    const std::vector<double> hann = Hann(kN);
    double total = 0.0, lo = 1e9, hi = -1e9;
    for (int i = 0; i < kHop; ++i)
    {
        double s = 0.0;
        for (int j = i; j < kN; j += kHop)
            s += hann[j] * hann[j];
        total += s;
        lo = std::min(lo, s);
        hi = std::max(hi, s);
    }
    const double divisor = total / kHop;
    EXPECT_NEAR(divisor, 1.49927, 1e-5);
    EXPECT_LT(hi - lo, 7e-5);

    // The hooks see the input through the Hann window: a constant input's spectrum is the
    // window's own.
    Framework f(2);
    f.fft.SetAnalysisWindow(-1, WindowType::Hann);
    f.fft.SetSynthesisWindow(-1, WindowType::Hann);
    RunStream(f.fft, std::vector<double>(2 * kN, 1.0), 512);
    const std::vector<Complex> expected = NaiveDft(hann, kN, 1);
    ASSERT_FALSE(f.recorder.last.empty());
    for (int k : {0, 1, 2, 3, 100})
        EXPECT_LT(std::abs(f.recorder.last[0][k] - expected[k]), 1e-12) << "bin " << k;
    EXPECT_NEAR(ProcessObjChannel::OverlapAddSum(hann.data(), hann.data(), kN, kOverlap), divisor,
                1e-12);
}

// Analysis × synthesis overlap-adds to unity gain for every pair: the round trip gives the input
// back, delayed by N, within the symmetric Hann's small ripple.
TEST(FftProcessObj16Test, OtherWindowPairsAreNormalisedToUnityGain)
{
    const std::vector<double> x = testsig::Noise(8 * kN, kSeed + 7);
    struct Case
    {
        int analysis, synthesis, overlap;
        double tolerance; // the symmetric Hann's ripple grows as the overlap shrinks
    };
    for (const Case& c : {Case{0, 0, 4, 1e-12}, Case{0, 1, 4, 2e-4}, Case{1, 0, 4, 2e-4},
                          Case{2, 2, 8, 2e-4}, Case{2, 1, 2, 1e-3}, Case{0, 0, 1, 1e-12}})
    {
        Framework f(1, 0, kN, c.overlap);
        f.fft.SetAnalysisWindow(0, static_cast<WindowType>(c.analysis));
        f.fft.SetSynthesisWindow(0, static_cast<WindowType>(c.synthesis));
        const std::vector<double> y = RunStream(f.fft, x, 512);
        double worst = 0.0;
        for (size_t i = 2 * kN; i < y.size(); ++i)
            worst = std::max(worst, std::fabs(y[i] - x[i - kN]));
        EXPECT_LT(worst, c.tolerance) << "windows " << c.analysis << "/" << c.synthesis
                                      << " overlap " << c.overlap;
    }
}

TEST(FftProcessObj16Test, UnevenOverlapAddLeavesTheWindowUnscaledRatherThanInverted)
{
    // At overlap 3 the hop (682) does not divide 2048: the rectangular sum is 4 at two positions
    // and 3 elsewhere, so no divisor is accepted and each sample comes back as the sum of the
    // 3 or 4 frames that hold it.
    const std::vector<double> ones(kN, 1.0);
    EXPECT_EQ(ProcessObjChannel::OverlapAddSum(ones.data(), nullptr, kN, 3), -1.0);
    const std::vector<double> x = testsig::Noise(8 * kN, kSeed + 8);
    Framework f(1, 0, kN, 3);
    const std::vector<double> y = RunStream(f.fft, x, 512);
    int fours = 0;
    for (size_t i = 3 * kN; i < y.size(); ++i)
    {
        const double gain = y[i] / x[i - kN];
        ASSERT_TRUE(std::fabs(gain - 3.0) < 1e-9 || std::fabs(gain - 4.0) < 1e-9)
            << "i " << i << " gain " << gain;
        fours += gain > 3.5;
    }
    EXPECT_GT(fours, 0);
}

TEST(FftProcessObj16Test, WindowSettersReachTheChosenChannelOrAll)
{
    Framework f(2, 1);
    f.fft.SetAnalysisWindow(1, WindowType::Hann);
    EXPECT_EQ(f.fft.GetChannel(0)->GetAnalysisWindowType(), WindowType::Rectangular);
    EXPECT_EQ(f.fft.GetChannel(1)->GetAnalysisWindowType(), WindowType::Hann);
    EXPECT_EQ(f.fft.GetChannel(2)->GetAnalysisWindowType(), WindowType::Rectangular);
    f.fft.SetAnalysisWindow(-1, WindowType::Hann);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(f.fft.GetChannel(c)->GetAnalysisWindowType(), WindowType::Hann) << "channel " << c;
    f.fft.SetSynthesisWindow(7, WindowType::HannPower); // outside the list: every channel
    f.fft.SetKeepEnergy(-1, true);
    f.fft.SetSkipFft(99, true);
    f.fft.SetSkipIFft(-1, true);
    for (int c = 0; c < 3; ++c)
    {
        EXPECT_EQ(f.fft.GetChannel(c)->GetSynthesisWindowType(), WindowType::HannPower) << c;
        EXPECT_TRUE(f.fft.GetChannel(c)->GetKeepEnergy()) << c;
        EXPECT_TRUE(f.fft.GetChannel(c)->GetSkipFft()) << c;
        EXPECT_TRUE(f.fft.GetChannel(c)->GetSkipIFft()) << c;
    }
}

TEST(FftProcessObj16Test, SideChainChannelsPairWithTheMainChannels)
{
    Framework three(3, 2);
    EXPECT_EQ(three.fft.GetNumChannels(), 3);
    EXPECT_EQ(three.fft.GetNumScChannels(), 2);
    EXPECT_EQ(three.fft.GetChannel(0)->GetPartner(), three.fft.GetChannel(3));
    EXPECT_EQ(three.fft.GetChannel(1)->GetPartner(), three.fft.GetChannel(4));
    EXPECT_EQ(three.fft.GetChannel(2)->GetPartner(), three.fft.GetChannel(3));
    Framework none(2);
    EXPECT_EQ(none.fft.GetChannel(0)->GetPartner(), nullptr);
    EXPECT_EQ(none.fft.GetChannel(1)->GetPartner(), nullptr);

    // The side-chain input goes to the side-chain channels only, and the hooks see it.
    const std::vector<double> x = testsig::Noise(kN, kSeed);
    ChannelList in = Channels({x, x, x, x}, 0, kN); // one channel too many
    ChannelList sc = Channels({x}, 0, 100);
    three.fft.Process(in, sc, nullptr);
    EXPECT_EQ(three.fft.GetChannel(3)->GetInputQueue().GetSize(), 100);
    EXPECT_EQ(three.fft.GetChannel(4)->GetInputQueue().GetSize(), 0);
    EXPECT_TRUE(three.recorder.sawSideChain);
    EXPECT_EQ(three.recorder.last.size(), 3u) << "the hook gets the main channels' spectra";
}

TEST(FftProcessObj16Test, FirstNOutputsAreZeroThenTheInputComesBackDelayedByN)
{
    const std::vector<double> x = testsig::Noise(6 * kN, kSeed);
    for (int block : {512, 1000, 4096})
    {
        Framework f(1); // rectangular windows: exact reconstruction once frames overlap fully
        std::vector<bool> ok;
        const std::vector<double> y = RunStream(f.fft, x, block, &ok);
        ASSERT_EQ(y.size(), x.size());
        for (int i = 0; i < kN; ++i)
            ASSERT_EQ(y[i], 0.0) << "block " << block << " i " << i;
        // A block no longer than the latency gets only zeros and reports failure; a longer one
        // reaches into the first processed samples.
        EXPECT_EQ(ok.front(), block > kN) << "block " << block;
        EXPECT_TRUE(ok.back()) << "block " << block;
        for (size_t i = 2 * kN; i < y.size(); ++i)
            ASSERT_NEAR(y[i], x[i - kN], 1e-12) << "block " << block << " i " << i;
    }
}

TEST(FftProcessObj16Test, HannRoundTripReconstructsTheInputDelayedByN)
{
    const std::vector<double> x = testsig::Noise(8 * kN, kSeed + 3);
    struct Case
    {
        const char* name;
        int analysis, synthesis, overlap;
        bool skipIFft;
        double tolerance;
    };
    for (const Case& c : {Case{"hann/hann", 1, 1, 4, false, 1e-4},
                          Case{"hann/hann without inverse FFT", 1, 1, 4, true, 1e-4},
                          Case{"hann^2 pair at overlap 8", 2, 2, 8, false, 1e-4},
                          Case{"rect/hann", 0, 1, 4, false, 1e-3}})
    {
        Framework f(1, 0, kN, c.overlap);
        f.fft.SetAnalysisWindow(-1, static_cast<WindowType>(c.analysis));
        f.fft.SetSynthesisWindow(-1, static_cast<WindowType>(c.synthesis));
        f.fft.SetSkipIFft(-1, c.skipIFft);
        const std::vector<double> y = RunStream(f.fft, x, 512);
        double worst = 0.0;
        for (size_t i = 2 * kN; i < y.size(); ++i)
            worst = std::max(worst, std::fabs(y[i] - x[i - kN]));
        EXPECT_LT(worst, c.tolerance) << c.name;
    }
}

TEST(FftProcessObj16Test, EmptyInputStandsForSilenceAsLongAsTheOutput)
{
    Framework f(2);
    ChannelList in, sc, out;
    out.Add(nullptr, 4096);
    out.Add(nullptr, 4096);
    out[0][5] = 1.0;
    // 4096 requested: 2048 zeros of latency, then 2048 of the 2560 that five frames produced.
    EXPECT_TRUE(f.fft.Process(in, sc, &out));
    EXPECT_EQ(f.recorder.frames, 5);
    ASSERT_EQ(out[0].GetSize(), 4096);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(out[0][i], 0.0) << i;
    EXPECT_EQ(f.fft.GetChannel(0)->GetOutputQueue().GetSize(), 512);
}

namespace
{
// Doubles every spectrum and logs the order of its calls.
struct DoublingHook : ProcessObj
{
    void Reset(int, int, int, double) override { log += "R"; }
    void ProcessInputSamples(const SampleBuffer&, const SampleBuffer*) override { log += "i"; }
    void ProcessFramedSamples(SampleBuffer&, const SampleBuffer*) override { log += "f"; }
    void ProcessWindowedSamples(SampleBuffer&, const SampleBuffer*) override { log += "w"; }
    void ProcessFftSpectrum(SampleBuffer& s, const SampleBuffer*) override
    {
        log += "s";
        for (int i = 0; i < s.GetSize(); ++i)
            s[i] *= 2.0;
    }
    void ProcessIFftSamples(SampleBuffer&, const SampleBuffer*) override { log += "t"; }
    void ProcessBeforeSynthesisWindow(SampleBuffer&, const SampleBuffer*) override { log += "y"; }
    void ProcessBeforeOverlapAdd(SampleBuffer&, const SampleBuffer*) override { log += "o"; }
    void ProcessHopSamples(SampleBuffer&) override { log += "h"; }
    std::string log;
};
} // namespace

TEST(FftProcessObj16Test, ChannelHooksRunInStageOrderAndKeepEnergyUndoesAGain)
{
    const std::vector<double> x = testsig::Noise(6 * kN, kSeed + 5);
    for (bool keepEnergy : {false, true})
    {
        DoublingHook hook;
        WDL_PtrList<ProcessObj> hooks;
        hooks.Add(&hook);
        FftProcessObj16 fft(hooks, 1, 0, kN, kOverlap, kRate, 1);
        EXPECT_EQ(hook.log, "R");
        fft.SetKeepEnergy(-1, keepEnergy);
        hook.log.clear();
        const std::vector<double> y = RunStream(fft, x, kN);
        EXPECT_EQ(hook.log.substr(0, 9), "ifwstyohi") << "keep energy " << keepEnergy;
        const double gain = keepEnergy ? 1.0 : 2.0;
        for (size_t i = 2 * kN; i < y.size(); ++i)
            ASSERT_NEAR(y[i], gain * x[i - kN], 1e-9) << "keep energy " << keepEnergy << " i " << i;
    }
}

TEST(FftProcessObj16Test, ResetStoresOnlyPositiveSettingsAndResetsTheHooks)
{
    Framework f(1);
    f.fft.Reset(1024, 0, -1, 0.0);
    EXPECT_EQ(f.fft.GetBufferSize(), 1024);
    EXPECT_EQ(f.fft.GetOverlap(), kOverlap);
    EXPECT_EQ(f.fft.GetOversampling(), 1);
    EXPECT_EQ(f.fft.GetSampleRate(), kRate);
    EXPECT_EQ(f.recorder.resetSize, 1024);
    EXPECT_EQ(f.fft.GetChannel(0)->GetHop(), 256);
    EXPECT_EQ(f.fft.GetChannel(0)->GetLatencyRemaining(), 1024);
    f.fft.Reset(0, 2, 0, 48000.0);
    EXPECT_EQ(f.fft.GetBufferSize(), 1024);
    EXPECT_EQ(f.fft.GetOverlap(), 2);
    EXPECT_EQ(f.fft.GetSampleRate(), 48000.0);
    EXPECT_EQ(f.fft.GetChannel(0)->GetHop(), 512);
    // An overlap above the frame length still moves one sample per frame.
    f.fft.Reset(8, 64, 1, 0.0);
    EXPECT_EQ(f.fft.GetChannel(0)->GetHop(), 1);
    const std::vector<double> x(16, 0.5);
    ChannelList sc;
    f.fft.Process(Channels({x}, 0, 16), sc, nullptr);
    EXPECT_EQ(f.fft.GetChannel(0)->GetInputQueue().GetSize(), 7);
}

TEST(FftProcessObj16Test, OutputNobodyTakesDoesNotPileUp)
{
    Framework f(1, 1);
    const std::vector<double> x = testsig::Noise(4096, kSeed);
    ChannelList in = Channels({x}, 0, 4096), sc = Channels({x}, 0, 4096);
    for (int i = 0; i < 50; ++i)
        f.fft.Process(in, sc, nullptr);
    EXPECT_LE(f.fft.GetChannel(0)->GetOutputQueue().GetSize(),
              kN + ProcessObjChannel::kReservedBlockSamples);
    EXPECT_EQ(f.fft.GetChannel(1)->GetOutputQueue().GetSize(), 0) << "side-chain channel";
}

TEST(FftProcessObj16Test, SteadyProcessingAllocatesNothing)
{
    // Hooks that do nothing: a recording hook would allocate itself.
    ProcessObj channelHook;
    MultichannelProcess multichannelHook;
    WDL_PtrList<ProcessObj> hooks;
    hooks.Add(&channelHook);
    FftProcessObj16 fft(hooks, 2, 1, kN, kOverlap, kRate, 1);
    fft.AddMultichannelProcess(&multichannelHook);
    fft.SetAnalysisWindow(-1, WindowType::Hann);
    fft.SetSynthesisWindow(-1, WindowType::Hann);
    const std::vector<std::vector<double>> x = {testsig::Noise(4096, kSeed),
                                                testsig::Noise(4096, kSeed + 1)};
    ChannelList in = Channels(x, 0, 4096), sc = Channels({x[0]}, 0, 4096);
    ChannelList out = Channels(x, 0, 4096);
    for (int i = 0; i < 2; ++i)
        fft.Process(in, sc, &out);
    AllocationCounter::Start();
    for (int i = 0; i < 8; ++i)
        fft.Process(in, sc, &out);
    fft.SetAnalysisWindow(-1, WindowType::HannPower); // window rebuilds keep their storage
    fft.Process(in, sc, &out);
    fft.Reset();
    fft.Process(in, sc, &out);
    ChannelList empty;
    fft.Process(empty, empty, &out);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
}
