// The one-pass stereo chain against its stages run one after another (crossover Split per
// channel, mean of the low bands, ApplyWidth, ApplyPan, AddChannels, ApplyGain, MakeMono,
// BoundOutput): the same samples bit for bit and the same smoother states, through glides that
// start and stop inside blocks of every length, settled stretches, per-channel cutoffs and
// overflowing input.

#include "engine/StereoChain.h"
#include "engine/CrossoverSplitterNBands3.h"
#include "framework/ParamSmoother.h"
#include "engine/PseudoStereoObj2.h"
#include "engine/StereoOps.h"
#include "support/StereoOracle.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace
{
constexpr double kRate = 44100.0;

// One set of chain objects; the cutoffs differ per channel so that each channel's lane of the
// paired crossover must use its own coefficients.
struct Rig
{
    const double cutL[1] = {100.0};
    const double cutR[1] = {230.0};
    CrossoverSplitterNBands3 left{2, cutL, kRate};
    CrossoverSplitterNBands3 right{2, cutR, kRate};
    ParamSmoother width{10, 0.0, 0.999};
    ParamSmoother pan{10, 0.0, 0.999};
    ParamSmoother gain{10, 1.0, 0.999};
    PseudoStereoObj2 monoToStereo{kRate, 1.0};

    void SetTargets(double w, double p, double g)
    {
        width.SetTarget(w);
        pan.SetTarget(p);
        gain.SetTarget(g);
    }
};

// The stages one after another, as separate passes over the block.
ChannelList* ReferenceChain(Rig& rig, ChannelList& in, const StereoChain::Settings& s,
                            ChannelList& low, ChannelList& high, ChannelList& sum)
{
    ChannelList* stage = &in;
    if (s.bassFocus)
    {
        low.Clear();
        high.Clear();
        for (int i = 0; i < 2; ++i)
        {
            SampleBuffer* bands[] = {low.Add(nullptr, 0), high.Add(nullptr, 0)};
            (i == 0 ? rig.left : rig.right).Split(in[i], bands);
        }
        double* l = low[0].Get();
        double* r = low[1].Get();
        for (int k = 0; k < low[0].GetSize(); ++k)
            l[k] = r[k] = (l[k] + r[k]) * 0.5;
        stage = &high;
    }
    if (s.monoToStereo)
        rig.monoToStereo.Process(*stage);
    oracle::ApplyWidth((*stage)[0], (*stage)[1], rig.width);
    oracle::ApplyPan((*stage)[0], (*stage)[1], rig.pan);
    ChannelList* out = &in;
    if (s.bassFocus)
    {
        sum.Clear();
        for (int i = 0; i < 2; ++i)
            oracle::AddChannels(low[i], high[i], *sum.Add(nullptr, 0));
        out = &sum;
    }
    oracle::ApplyGain((*out)[0], &(*out)[1], rig.gain);
    if (s.monoOut)
        MakeMono(*out);
    for (int c = 0; c < 2; ++c)
        oracle::BoundOutput((*out)[c].Get(), (*out)[c].GetSize());
    return out;
}

bool SameBits(const SampleBuffer& a, const SampleBuffer& b)
{
    return a.GetSize() == b.GetSize() &&
           std::memcmp(a.Get(), b.Get(), sizeof(double) * a.GetSize()) == 0;
}
} // namespace

TEST(StereoChain, MatchesTheStagesRunOneAfterAnotherBitForBit)
{
    const int blockSizes[] = {512, 1, 7, 64, 65, 333, 128, 2};
    // Target moves: a glide interrupted by another, a settled stretch (about 110 blocks), a move
    // of the gain alone and a last glide. Blocks 50 and 180 hold 1.5e308, which overflows the
    // filters and the stereo stage.
    const struct
    {
        int block;
        double width, pan, gain;
    } moves[] = {
        {1, 0.75, 0.6, 0.5}, {30, -0.3, -1.0, 2.5}, {250, -0.3, -1.0, 3.98}, {320, 1.0, 0.25, 1.0}};
    for (int config = 0; config < 8; ++config)
    {
        StereoChain::Settings settings;
        settings.bassFocus = config & 1;
        settings.monoOut = config & 2;
        settings.monoToStereo = config & 4;
        auto fast = std::make_unique<Rig>();
        auto reference = std::make_unique<Rig>();
        StereoChain chain;
        StereoChain::Parts parts;
        parts.width = &fast->width;
        parts.pan = &fast->pan;
        parts.outGain = &fast->gain;
        parts.crossovers[0] = &fast->left;
        parts.crossovers[1] = &fast->right;
        parts.monoToStereo = &fast->monoToStereo;
        chain.Attach(parts);
        chain.Reserve(512);
        ChannelList low, high, sum, in, refIn, got;
        bool sawGlide = false, sawSettled = false;
        for (int block = 0; block < 360; ++block)
        {
            for (const auto& m : moves)
                if (m.block == block)
                {
                    fast->SetTargets(m.width, m.pan, m.gain);
                    reference->SetTargets(m.width, m.pan, m.gain);
                }
            const int n = blockSizes[block % 8];
            const double amplitude = block == 50 || block == 180 ? 1.5e308 : 0.5;
            in.Clear();
            in.Add(testsig::MakeBuffer(testsig::Noise(n, 100 + block, amplitude)));
            in.Add(testsig::MakeBuffer(testsig::Noise(n, 900 + block, amplitude)));
            refIn.CopyFrom(in);
            const bool settled =
                fast->width.IsSettled() && fast->pan.IsSettled() && fast->gain.IsSettled();
            (settled ? sawSettled : sawGlide) = true;

            got.Clear();
            got.AddSized(n);
            got.AddSized(n);
            chain.Process(in, settings, got[0].Get(), got[1].Get());
            ChannelList* want = ReferenceChain(*reference, refIn, settings, low, high, sum);
            for (int c = 0; c < 2; ++c)
                ASSERT_TRUE(SameBits(got[c], (*want)[c]))
                    << "config " << config << " block " << block << " channel " << c;
            ASSERT_EQ(fast->width.Current(), reference->width.Current());
            ASSERT_EQ(fast->pan.Current(), reference->pan.Current());
            ASSERT_EQ(fast->gain.Current(), reference->gain.Current());
            ASSERT_EQ(fast->gain.IsConverged(), reference->gain.IsConverged());
        }
        EXPECT_TRUE(sawGlide && sawSettled) << "config " << config;
    }
}
