#include "engine/StereoChain.h"

#include "engine/CrossoverSplitterNBands3.h"
#include "framework/ParamSmoother.h"
#include "engine/PseudoStereoObj2.h"
#include "engine/SectionLanes.h"
#include "engine/StereoOps.h"

#include <algorithm>
#include <cmath>

using namespace stereo;

namespace
{
// Samples whose smoothed factors are worked out ahead of the mixing pass while a smoother glides.
constexpr int kChunk = 64;

// The factors of one sample: side gain, left and right pan gains, output gain.
struct ConstantGains
{
    double side, panL, panR, out;
    double Side(int) const { return side; }
    double PanL(int) const { return panL; }
    double PanR(int) const { return panR; }
    double Out(int) const { return out; }
};

struct GainRun
{
    double side[kChunk], panL[kChunk], panR[kChunk], out[kChunk];
    double Side(int k) const { return side[k]; }
    double PanL(int k) const { return panL[k]; }
    double PanR(int k) const { return panR[k]; }
    double Out(int k) const { return out[k]; }
};

// Each line is the arithmetic of one stage, as that stage's own function does it.
template <bool kBands, bool kMonoOut, class Gains>
PARANDEL_LANES_INLINE void MixLoop(const double* lowL, const double* lowR, const double* highL,
                                   const double* highR, double* outL, double* outR, int n,
                                   const Gains& g)
{
    // Outputs overlap no input but the one they replace, sample for sample: no dependence runs
    // from one sample to the next, so the vectorised loop needs no run-time overlap checks.
#pragma GCC ivdep
    for (int k = 0; k < n; ++k)
    {
        const double L = highL[k], R = highR[k];
        const double m = L * kC1 + R * kC2;
        const double s = g.Side(k) * (R * kC1 - L * kC2);
        double l = g.PanL(k) * (m * kC1 - s * kC2);
        double r = g.PanR(k) * (s * kC1 + m * kC2);
        if (kBands)
        {
            const double low = (lowL[k] + lowR[k]) * 0.5;
            l = low + l;
            r = low + r;
        }
        l *= g.Out(k);
        r *= g.Out(k);
        if (kMonoOut)
            l = r = (l + r) * 0.5;
        outL[k] = BoundedOutput(l);
        outR[k] = BoundedOutput(r);
    }
}

template <class Gains>
void MixWith(bool monoOut, const double* lowL, const double* lowR, const double* highL,
             const double* highR, double* outL, double* outR, int n, const Gains& g)
{
    if (lowL)
    {
        if (monoOut)
            MixLoop<true, true>(lowL, lowR, highL, highR, outL, outR, n, g);
        else
            MixLoop<true, false>(lowL, lowR, highL, highR, outL, outR, n, g);
    }
    else
    {
        if (monoOut)
            MixLoop<false, true>(lowL, lowR, highL, highR, outL, outR, n, g);
        else
            MixLoop<false, false>(lowL, lowR, highL, highR, outL, outR, n, g);
    }
}

bool Settled(const StereoChain::Parts& parts)
{
    return parts.width->IsSettled() && parts.pan->IsSettled() && parts.outGain->IsSettled();
}

// The factors of settled smoothers, which hold for the rest of the block.
ConstantGains SettledGains(const StereoChain::Parts& parts, PanGains& panGains,
                           SideGains& sideGains)
{
    panGains.MoveTo(parts.pan->Current());
    return ConstantGains{sideGains.At(parts.width->Current()), panGains.left, panGains.right,
                         parts.outGain->Current()};
}

#if defined(PARANDEL_LANES_AVX2)
// The crossover and the mix of settled factors in one pass: the crossover runs a few samples
// ahead into arrays that stay in registers and the first cache, and the mix of those samples
// overlaps the next samples' recursion, whose latency would otherwise leave the processor idle.
// Every input sample of a run is read before the run's outputs are written, so an output may be
// its own input or the other channel's. With kFiniteInputs NaN and infinite inputs count as
// silence, as in the plug-in's input copy.
template <bool kMonoOut, bool kFiniteInputs>
PARANDEL_TARGET_AVX2 void SplitAndMixAvx2(QuadCrossover::Lanes* lanes, const double* xl,
                                          const double* xr, double* outL, double* outR, int n,
                                          const ConstantGains& g)
{
    constexpr int kRun = 16;
    QuadCrossover crossover(lanes);
    double lowL[kRun], lowR[kRun], highL[kRun], highR[kRun];
    for (int start = 0; start < n; start += kRun)
    {
        const int m = std::min(kRun, n - start);
        crossover.Run<kFiniteInputs>(xl + start, xr + start, lowL, lowR, highL, highR, m);
        MixLoop<true, kMonoOut>(lowL, lowR, highL, highR, outL + start, outR + start, m, g);
    }
    crossover.Save(lanes);
}
#endif

// Two channels whose storage is kept from block to block.
void MakePair(ChannelList& list, int n)
{
    if (list.GetSize() != 2)
    {
        list.Clear();
        list.Add(nullptr, 0);
        list.Add(nullptr, 0);
    }
    list[0].Resize(n, false);
    list[1].Resize(n, false);
}
} // namespace

void StereoChain::Reserve(int frames)
{
    for (ChannelList* list : {&mLow, &mHigh})
        list->Reserve(frames);
}

void StereoChain::Process(ChannelList& stereo, const Settings& settings, double* outL,
                          double* outR)
{
    const int n = stereo[0].GetSize();
    if (!settings.bassFocus)
    {
        if (settings.monoToStereo)
            mParts.monoToStereo->Process(stereo);
        Mix(nullptr, nullptr, stereo[0].Get(), stereo[1].Get(), outL, outR, n, settings.monoOut);
        return;
    }
    if (MixSettled<false>(stereo[0].Get(), stereo[1].Get(), n, settings, outL, outR))
        return;
    MakePair(mLow, n);
    MakePair(mHigh, n);
    SampleBuffer* bandsL[] = {&mLow[0], &mHigh[0]};
    SampleBuffer* bandsR[] = {&mLow[1], &mHigh[1]};
    CrossoverSplitterNBands3::SplitPair(*mParts.crossovers[0], *mParts.crossovers[1], stereo[0],
                                        stereo[1], bandsL, bandsR);
    if (settings.monoToStereo)
        mParts.monoToStereo->Process(mHigh);
    Mix(mLow[0].Get(), mLow[1].Get(), mHigh[0].Get(), mHigh[1].Get(), outL, outR, n,
        settings.monoOut);
}

template <bool kFiniteInputs>
bool StereoChain::MixSettled(const double* inL, const double* inR, int n, const Settings& settings,
                             double* outL, double* outR)
{
#if defined(PARANDEL_LANES_AVX2)
    if (settings.bassFocus && !settings.monoToStereo && Settled(mParts))
        if (auto* lanes =
                CrossoverSplitterNBands3::LinkLanes(*mParts.crossovers[0], *mParts.crossovers[1]))
        {
            const ConstantGains g = SettledGains(mParts, mPanGains, mSideGains);
            (settings.monoOut
                 ? SplitAndMixAvx2<true, kFiniteInputs>
                 : SplitAndMixAvx2<false, kFiniteInputs>)(lanes, inL, inR, outL, outR, n, g);
            return true;
        }
#else
    (void)inL, (void)inR, (void)n, (void)settings, (void)outL, (void)outR;
#endif
    return false;
}

bool StereoChain::ProcessSettled(const double* inL, const double* inR, int n,
                                 const Settings& settings, double* outL, double* outR)
{
    return MixSettled<true>(inL, inR, n, settings, outL, outR);
}

void StereoChain::Mix(const double* lowL, const double* lowR, const double* highL,
                      const double* highR, double* outL, double* outR, int n, bool monoOut)
{
    ParamSmoother& width = *mParts.width;
    ParamSmoother& pan = *mParts.pan;
    ParamSmoother& gain = *mParts.outGain;
    PanGains& panGains = mPanGains;
    for (int start = 0; start < n;)
    {
        const auto at = [start](auto* p) { return p ? p + start : p; };
        if (Settled(mParts))
        {
            // Steps would change nothing: the factors hold for the rest of the block.
            const ConstantGains g = SettledGains(mParts, panGains, mSideGains);
            MixWith(monoOut, at(lowL), at(lowR), at(highL), at(highR), at(outL), at(outR),
                    n - start, g);
            return;
        }
        // Gliding: each smoother steps once per sample, as in the stages' own loops.
        const int m = std::min(kChunk, n - start);
        GainRun g;
        for (int k = 0; k < m; ++k)
        {
            width.Step();
            g.side[k] = SideGain(width.Current());
            pan.Step();
            panGains.MoveTo(pan.Current());
            g.panL[k] = panGains.left;
            g.panR[k] = panGains.right;
            gain.Step();
            g.out[k] = gain.Current();
        }
        MixWith(monoOut, at(lowL), at(lowR), at(highL), at(highR), at(outL), at(outR), m, g);
        start += m;
    }
}
