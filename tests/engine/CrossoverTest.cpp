#include "engine/CrossoverSplitterNBands3.h"
#include "engine/RBJFilter.h"
#include "framework/Fft.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kFftSize = 32768;

// Magnitude of a bilinear-transformed analog second-order section at f, with the cutoff
// prewarped: Ω = tan(πf/fs) / tan(πfc/fs).
double AnalogSectionMagnitude(bool lowPass, double f, double fc, double q)
{
    const double w = std::tan(M_PI * f / kRate) / std::tan(M_PI * fc / kRate);
    const double den = std::sqrt((1 - w * w) * (1 - w * w) + (w / q) * (w / q));
    return (lowPass ? 1.0 : w * w) / den;
}

// Complex spectrum of the impulse response of whatever process() computes per sample.
template <typename F> std::vector<std::complex<double>> ImpulseSpectrum(F process)
{
    std::vector<std::complex<double>> h(kFftSize);
    for (int i = 0; i < kFftSize; ++i)
        h[i] = process(i == 0 ? 1.0 : 0.0);
    Fft::Forward(h.data(), kFftSize);
    return h;
}

double BinFrequency(int bin)
{
    return bin * kRate / kFftSize;
}
} // namespace

TEST(NRBJFilter, CascadeMatchesTheAnalogPrototype)
{
    for (int type : {rbj::kLowPass, rbj::kHighPass})
    {
        for (double fc : {60.0, 100.0, 500.0, 5000.0})
        {
            NRBJFilter f(2, type, kRate, fc, 0.707);
            const auto h = ImpulseSpectrum([&](double x) { return f.Process(x); });
            for (int bin = 8; bin < kFftSize / 2 - 200; bin += 211)
            {
                const double fr = BinFrequency(bin);
                const double expected =
                    std::pow(AnalogSectionMagnitude(type == rbj::kLowPass, fr, fc, 0.707), 2);
                if (expected < 1e-6)
                    continue;
                EXPECT_NEAR(testsig::ToDb(std::abs(h[bin])), testsig::ToDb(expected), 0.01)
                    << "type=" << type << " fc=" << fc << " f=" << fr;
            }
        }
    }
}

TEST(NRBJFilter, SteadySineGainAtCutoffIsMinusSixDb)
{
    // Two sections of −3.01 dB each at the cutoff.
    const double fc = 1000.0;
    NRBJFilter f(2, rbj::kLowPass, kRate, fc, 0.707);
    const auto x = testsig::Sine(44100, fc, kRate);
    std::vector<double> y(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        y[i] = f.Process(x[i]);
    const double gain = testsig::ToneAmplitude(y.data() + 22050, 22050, fc, kRate);
    EXPECT_NEAR(testsig::ToDb(gain), 2 * testsig::ToDb(AnalogSectionMagnitude(true, fc, fc, 0.707)),
                0.01);
    EXPECT_NEAR(testsig::ToDb(gain), -6.02, 0.02);
}

TEST(NRBJFilter, OtherCookbookResponsesBehave)
{
    // Peaking +6 dB at 1 kHz: +6 dB at the centre, 0 dB far away.
    NRBJFilter peak(1, rbj::kPeaking, kRate, 1000.0, 1.0, 6.0);
    const auto hp = ImpulseSpectrum([&](double x) { return peak.Process(x); });
    const int centre = static_cast<int>(std::lround(1000.0 * kFftSize / kRate));
    EXPECT_NEAR(testsig::ToDb(std::abs(hp[centre])), 6.0, 0.05);
    EXPECT_NEAR(testsig::ToDb(std::abs(hp[5])), 0.0, 0.05);
    // All-pass: unit magnitude everywhere.
    NRBJFilter ap(1, rbj::kAllPass, kRate, 1000.0, 0.707);
    const auto ha = ImpulseSpectrum([&](double x) { return ap.Process(x); });
    for (int bin = 1; bin < kFftSize / 2; bin += 501)
        EXPECT_NEAR(std::abs(ha[bin]), 1.0, 1e-9) << "bin=" << bin;
    // Notch: deep at the centre.
    NRBJFilter notch(1, rbj::kNotch, kRate, 1000.0, 2.0);
    const auto hn = ImpulseSpectrum([&](double x) { return notch.Process(x); });
    EXPECT_LT(testsig::ToDb(std::abs(hn[centre])), -30.0);
    // Shelves: ±gain at the extremes.
    NRBJFilter low(1, rbj::kLowShelf, kRate, 1000.0, 0.707, 6.0);
    const auto hl = ImpulseSpectrum([&](double x) { return low.Process(x); });
    EXPECT_NEAR(testsig::ToDb(std::abs(hl[1])), 6.0, 0.05);
    EXPECT_NEAR(testsig::ToDb(std::abs(hl[kFftSize / 2 - 1])), 0.0, 0.05);
    NRBJFilter high(1, rbj::kHighShelf, kRate, 1000.0, 0.707, -6.0);
    const auto hh = ImpulseSpectrum([&](double x) { return high.Process(x); });
    EXPECT_NEAR(testsig::ToDb(std::abs(hh[1])), 0.0, 0.05);
    EXPECT_NEAR(testsig::ToDb(std::abs(hh[kFftSize / 2 - 1])), -6.0, 0.05);
}

TEST(CrossoverSplitterNBands3, TwoBandsSumFlatAndSplitAtTheCutoff)
{
    for (double fc : {21.0, 100.0, 500.0})
    {
        const double cut[] = {fc};
        CrossoverSplitterNBands3 x(2, cut, kRate);
        SampleBuffer in, low, high;
        in.Resize(kFftSize);
        in.Zero();
        in[0] = 1.0;
        SampleBuffer* bands[] = {&low, &high};
        x.Split(in, bands);
        ASSERT_EQ(low.GetSize(), kFftSize);
        std::vector<std::complex<double>> hl(kFftSize), hh(kFftSize), hs(kFftSize);
        for (int i = 0; i < kFftSize; ++i)
        {
            hl[i] = low[i];
            hh[i] = high[i];
            hs[i] = low[i] + high[i];
        }
        Fft::Forward(hl.data(), kFftSize);
        Fft::Forward(hh.data(), kFftSize);
        Fft::Forward(hs.data(), kFftSize);
        for (int bin = 2; bin < kFftSize / 2; bin += 97)
            ASSERT_NEAR(testsig::ToDb(std::abs(hs[bin])), 0.0, 0.01)
                << "fc=" << fc << " f=" << BinFrequency(bin);
        // Both bands are −6 dB at the cutoff (fourth-order Linkwitz–Riley point).
        const int bin = static_cast<int>(std::lround(fc * kFftSize / kRate));
        const double f = BinFrequency(bin);
        EXPECT_NEAR(testsig::ToDb(std::abs(hl[bin])),
                    2 * testsig::ToDb(AnalogSectionMagnitude(true, f, fc, 0.707)), 0.01)
            << "fc=" << fc;
        EXPECT_NEAR(testsig::ToDb(std::abs(hh[bin])),
                    2 * testsig::ToDb(AnalogSectionMagnitude(false, f, fc, 0.707)), 0.01)
            << "fc=" << fc;
        // Two octaves away, 24 dB per octave slopes.
        const int above = static_cast<int>(std::lround(4 * fc * kFftSize / kRate));
        EXPECT_LT(testsig::ToDb(std::abs(hl[above])), -45.0) << "fc=" << fc;
    }
}

TEST(CrossoverSplitterNBands3, ThreeBandsSumFlatThroughTheTransparentFilter)
{
    const double cuts[] = {200.0, 2000.0};
    CrossoverSplitterNBands3 x(3, cuts, kRate);
    SampleBuffer in, b0, b1, b2;
    in.Resize(kFftSize);
    in.Zero();
    in[0] = 1.0;
    SampleBuffer* bands[] = {&b0, &b1, &b2};
    x.Split(in, bands);
    std::vector<std::complex<double>> hs(kFftSize);
    for (int i = 0; i < kFftSize; ++i)
        hs[i] = b0[i] + b1[i] + b2[i];
    Fft::Forward(hs.data(), kFftSize);
    for (int bin = 2; bin < kFftSize / 2; bin += 89)
        ASSERT_NEAR(std::abs(hs[bin]), 1.0, 0.01) << "f=" << BinFrequency(bin);
}

TEST(CrossoverSplitterNBands3, CutoffAndRateChangesKeepTheMemories)
{
    const double cut[] = {100.0};
    CrossoverSplitterNBands3 a(2, cut, kRate), b(2, cut, kRate);
    const auto noise = testsig::MakeBuffer(testsig::Noise(1000, 5));
    SampleBuffer la, ha, lb, hb;
    SampleBuffer* ba[] = {&la, &ha};
    SampleBuffer* bb[] = {&lb, &hb};
    a.Split(noise, ba);
    b.Split(noise, bb);

    // An out-of-range cutoff index changes nothing.
    b.SetCutoffFreq(1, 3000.0);
    EXPECT_EQ(b.GetCutoffFreq(0), 100.0);
    // A reset to the same rate recomputes identical coefficients and keeps the state.
    b.Reset(kRate);
    SampleBuffer zeros;
    zeros.Resize(64);
    zeros.Zero();
    a.Split(zeros, ba);
    b.Split(zeros, bb);
    for (int i = 0; i < 64; ++i)
    {
        ASSERT_EQ(la[i], lb[i]) << i;
        ASSERT_EQ(ha[i], hb[i]) << i;
    }
    EXPECT_NE(la[0], 0.0); // the filters ring on: memories were kept

    // A new rate also keeps them: a fresh crossover at that rate outputs silence instead.
    b.Reset(48000.0);
    b.Split(zeros, bb);
    EXPECT_NE(lb[0], 0.0);
    EXPECT_EQ(b.GetSampleRate(), 48000.0);
}

TEST(NRBJFilter, NonFiniteMemoriesStartAgainFromSilence)
{
    const SampleBuffer x = testsig::MakeBuffer(testsig::Noise(256, 9));
    for (double bad : {NAN, INFINITY})
    {
        NRBJFilter used(2, rbj::kLowPass, kRate, 100.0, 0.707);
        NRBJFilter fresh(2, rbj::kLowPass, kRate, 100.0, 0.707);
        // Block path: the block holding the bad sample may carry it, the next one is clean.
        SampleBuffer poisoned = x, y, want;
        poisoned.Get()[10] = bad;
        used.ProcessBuffer(y, poisoned);
        used.ProcessBuffer(y, x);
        fresh.ProcessBuffer(want, x);
        for (int k = 0; k < x.GetSize(); ++k)
            ASSERT_EQ(y.Get()[k], want.Get()[k]) << "bad=" << bad << " k=" << k;
        // Sample path: the very next sample is clean.
        NRBJFilter single(2, rbj::kHighPass, kRate, 100.0, 0.707);
        NRBJFilter reference(2, rbj::kHighPass, kRate, 100.0, 0.707);
        single.Process(bad);
        for (int k = 0; k < 16; ++k)
            ASSERT_EQ(single.Process(x.Get()[k]), reference.Process(x.Get()[k]))
                << "bad=" << bad << " k=" << k;
    }
}

TEST(CrossoverSplitterNBands3, SplitResizesBandsToTheInput)
{
    const double cut[] = {100.0};
    CrossoverSplitterNBands3 x(2, cut, kRate);
    SampleBuffer in = testsig::MakeBuffer({1, 2, 3}), lo, hi;
    lo.Resize(10);
    SampleBuffer* bands[] = {&lo, &hi};
    x.Split(in, bands);
    EXPECT_EQ(lo.GetSize(), 3);
    EXPECT_EQ(hi.GetSize(), 3);
    SampleBuffer empty;
    x.Split(empty, bands);
    EXPECT_EQ(lo.GetSize(), 0);
}

TEST(CrossoverSplitterNBands3, SplitPairOfOtherBandCountsIsSplitPerChannel)
{
    const double cuts[] = {100.0, 1000.0};
    CrossoverSplitterNBands3 pairL(3, cuts, kRate), pairR(3, cuts, kRate);
    CrossoverSplitterNBands3 oneL(3, cuts, kRate), oneR(3, cuts, kRate);
    const SampleBuffer inL = testsig::MakeBuffer(testsig::Noise(300, 1));
    const SampleBuffer inR = testsig::MakeBuffer(testsig::Noise(300, 2));
    SampleBuffer got[6], want[6];
    SampleBuffer* gotL[] = {&got[0], &got[1], &got[2]};
    SampleBuffer* gotR[] = {&got[3], &got[4], &got[5]};
    SampleBuffer* wantL[] = {&want[0], &want[1], &want[2]};
    SampleBuffer* wantR[] = {&want[3], &want[4], &want[5]};
    CrossoverSplitterNBands3::SplitPair(pairL, pairR, inL, inR, gotL, gotR);
    oneL.Split(inL, wantL);
    oneR.Split(inR, wantR);
    for (int b = 0; b < 6; ++b)
    {
        ASSERT_EQ(got[b].GetSize(), 300) << "band " << b;
        for (int k = 0; k < 300; ++k)
            ASSERT_EQ(got[b].Get()[k], want[b].Get()[k]) << "band " << b << " k " << k;
    }
}

// A two-band pair split side by side keeps step, bit for bit, with crossovers split per channel
// through cutoff and rate changes, cleared memories and blocks split per channel in between.
TEST(CrossoverSplitterNBands3, SplitPairKeepsStepWithSplitThroughChanges)
{
    const double cutL[] = {100.0}, cutR[] = {230.0};
    CrossoverSplitterNBands3 pairL(2, cutL, kRate), pairR(2, cutR, kRate);
    CrossoverSplitterNBands3 oneL(2, cutL, kRate), oneR(2, cutR, kRate);
    SampleBuffer got[4], want[4];
    SampleBuffer* gotL[] = {&got[0], &got[1]};
    SampleBuffer* gotR[] = {&got[2], &got[3]};
    SampleBuffer* wantL[] = {&want[0], &want[1]};
    SampleBuffer* wantR[] = {&want[2], &want[3]};
    for (int block = 0; block < 12; ++block)
    {
        // Between blocks, on both sides alike: 3 moves the right cutoff, 5 changes the rate, 7
        // clears the left memories, 9 splits the pair per channel.
        for (auto* x : {&pairR, &oneR})
            if (block == 3)
                x->SetCutoffFreq(0, 180.0);
        for (auto* x : {&pairL, &pairR, &oneL, &oneR})
            if (block == 5)
                x->Reset(48000.0);
        for (auto* x : {&pairL, &oneL})
            if (block == 7)
                x->ClearMemories();
        const SampleBuffer inL = testsig::MakeBuffer(testsig::Noise(37, 10 + block));
        const SampleBuffer inR = testsig::MakeBuffer(testsig::Noise(37, 40 + block));
        if (block == 9)
        {
            pairL.Split(inL, gotL);
            pairR.Split(inR, gotR);
        }
        else
            CrossoverSplitterNBands3::SplitPair(pairL, pairR, inL, inR, gotL, gotR);
        oneL.Split(inL, wantL);
        oneR.Split(inR, wantR);
        for (int b = 0; b < 4; ++b)
            for (int k = 0; k < 37; ++k)
                ASSERT_EQ(got[b].Get()[k], want[b].Get()[k])
                    << "block " << block << " band " << b << " k " << k;
    }
}
