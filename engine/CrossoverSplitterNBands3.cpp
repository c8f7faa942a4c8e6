#include "engine/CrossoverSplitterNBands3.h"

#include "engine/SectionLanes.h"

#include <cstring>

namespace
{
constexpr int kSectionsPerFilter = 2; // 24 dB per octave on both sides of each cutoff
constexpr double kCrossoverQ = 0.707;

#if defined(PARANDEL_LANES_AVX2)
PARANDEL_TARGET_AVX2 void SplitPairAvx2(QuadCrossover::Lanes* lanes, const double* xl,
                                        const double* xr, double* lowL, double* lowR,
                                        double* highL, double* highR, int n)
{
    QuadCrossover crossover(lanes);
    crossover.Run(xl, xr, lowL, lowR, highL, highR, n);
    crossover.Save(lanes);
}
#endif

bool HasTwoSections(const NRBJFilter* f)
{
    return f && f->GetSectionCount() == 2;
}
} // namespace

CrossoverSplitterNBands3::CrossoverSplitterNBands3(int bandCount, const double* cutoffsHz,
                                                   double sampleRate)
    : mSampleRate(sampleRate), mBandCount(bandCount < 1 ? 1 : bandCount)
{
    const int nCutoffs = mBandCount - 1;
    mCutoffs.Set(cutoffsHz, nCutoffs);
    auto makeFilter = [&](int type, int cutoff)
    {
        auto* f = new NRBJFilter(kSectionsPerFilter, type, mSampleRate, mCutoffs.Get()[cutoff],
                                 kCrossoverQ);
        mOwnedFilters.Add(f);
        if (mBandCount == 2)
            (type == rbj::kLowPass ? mLowPass : mHighPass) = f;
        return Stage{f, cutoff};
    };
    for (int k = 0; k < mBandCount; ++k)
    {
        auto* chain = new WDL_TypedBuf<Stage>();
        if (mBandCount > 1)
        {
            if (k > 0)
                chain->Add(makeFilter(rbj::kHighPass, k - 1));
            if (k < mBandCount - 1)
                chain->Add(makeFilter(rbj::kLowPass, k));
            // Bands below a cutoff they do not cross get its phase turn all the same.
            for (int c = k + 1; c <= mBandCount - 2; ++c)
            {
                RBJFilter* f = new TransparentRBJFilter(mSampleRate, mCutoffs.Get()[c]);
                mOwnedFilters.Add(f);
                chain->Add(Stage{f, c});
            }
        }
        mChains.Add(chain);
    }
    for (int k = 0; k < mBandCount; ++k)
        mSaved.Add(new SampleBuffer());
}

CrossoverSplitterNBands3::~CrossoverSplitterNBands3()
{
    Unlink();
    mChains.Empty(true);
    mOwnedFilters.Empty(true);
    mSaved.Empty(true);
}

void CrossoverSplitterNBands3::UpdateCoefficients()
{
    Unlink();
    for (int k = 0; k < mBandCount; ++k)
    {
        WDL_TypedBuf<Stage>* chain = mChains.Get(k);
        for (int i = 0; i < chain->GetSize(); ++i)
        {
            Stage& s = chain->Get()[i];
            // The sample rate first, then the cutoff: both only recompute coefficients.
            s.filter->SetSampleRate(mSampleRate);
            s.filter->SetCutoffFreq(mCutoffs.Get()[s.cutoffIndex]);
        }
    }
}

void CrossoverSplitterNBands3::Reset(double sampleRate)
{
    mSampleRate = sampleRate;
    UpdateCoefficients();
}

void CrossoverSplitterNBands3::ClearMemories()
{
    Unlink();
    for (int i = 0; i < mOwnedFilters.GetSize(); ++i)
        mOwnedFilters.Get(i)->ClearMemories();
}

void CrossoverSplitterNBands3::SetCutoffFreq(int index, double cutoffHz)
{
    if (index < 0 || index >= mBandCount - 1)
        return;
    mCutoffs.Get()[index] = cutoffHz;
    UpdateCoefficients();
}

void CrossoverSplitterNBands3::Split(const SampleBuffer& input, SampleBuffer* const* bands)
{
    // Band by band over the whole block. Band 0's first filter takes the input, band k's first
    // filter takes what fed band k − 1's first filter through it (the input for band 1, the
    // high-pass output of band k − 1 further up), and each band's remaining filters run on its
    // own signal in chain order.
    Unlink();
    const int n = input.GetSize();
    const SampleBuffer* feed = &input;
    for (int k = 0; k < mBandCount; ++k)
    {
        SampleBuffer& out = *bands[k];
        const WDL_TypedBuf<Stage>* chain = mChains.Get(k);
        const Stage* stages = chain->Get();
        const int nStages = chain->GetSize();
        if (nStages == 0)
        {
            out.Set(feed->Get(), n, false);
            continue;
        }
        const bool feedsNext = k > 0 && k < mBandCount - 1;
        SampleBuffer& first = feedsNext ? *mSaved.Get(k) : out;
        stages[0].filter->ProcessBuffer(first, *feed);
        if (feedsNext)
            out.Set(first.Get(), n, false);
        for (int i = 1; i < nStages; ++i)
            stages[i].filter->ProcessBuffer(out, out);
        if (k > 0)
            feed = &first;
    }
}

void CrossoverSplitterNBands3::SplitPair(CrossoverSplitterNBands3& left,
                                         CrossoverSplitterNBands3& right,
                                         const SampleBuffer& inLeft, const SampleBuffer& inRight,
                                         SampleBuffer* const* bandsLeft,
                                         SampleBuffer* const* bandsRight)
{
    const int n = inLeft.GetSize();
    if (n != inRight.GetSize() || !HasTwoSectionsEach(left, right))
    {
        left.Split(inLeft, bandsLeft);
        right.Split(inRight, bandsRight);
        return;
    }
    double* lowL = bandsLeft[0]->Resize(n, false);
    double* highL = bandsLeft[1]->Resize(n, false);
    double* lowR = bandsRight[0]->Resize(n, false);
    double* highR = bandsRight[1]->Resize(n, false);
    // A band may be its channel's input: each sample is read before its slot is written.
    const double* xl = inLeft.Get();
    const double* xr = inRight.Get();
#if defined(PARANDEL_LANES_AVX2)
    if (CpuHasAvx2())
    {
        if (&left == &right) // one crossover for both channels: nothing to keep apart
        {
            left.Unlink();
            LoadLanes(left, right);
            SplitPairAvx2(left.mLanes, xl, xr, lowL, lowR, highL, highR, n);
            StoreLanes(left, right);
            return;
        }
        SplitPairAvx2(LinkLanes(left, right), xl, xr, lowL, lowR, highL, highR, n);
        return;
    }
#endif
    RBJSection* first[4];
    RBJSection* second[4];
    LaneSections(left, right, 0, first);
    LaneSections(left, right, 1, second);
    SectionLanes<Pair> lp1(first), lp2(second), hp1(first + 2), hp2(second + 2);
    // The four recursions are independent of one another, so their latencies overlap.
    for (int k = 0; k < n; ++k)
    {
        const Pair x = {xl[k], xr[k]};
        const Pair low = lp2.Process(lp1.Process(x));
        const Pair high = hp2.Process(hp1.Process(x));
        lowL[k] = low[0];
        lowR[k] = low[1];
        highL[k] = high[0];
        highR[k] = high[1];
    }
    lp1.Store(first);
    lp2.Store(second);
    hp1.Store(first + 2);
    hp2.Store(second + 2);
}

bool CrossoverSplitterNBands3::HasTwoSectionsEach(const CrossoverSplitterNBands3& left,
                                                  const CrossoverSplitterNBands3& right)
{
    return HasTwoSections(left.mLowPass) && HasTwoSections(left.mHighPass) &&
           HasTwoSections(right.mLowPass) && HasTwoSections(right.mHighPass);
}

double (*CrossoverSplitterNBands3::LinkLanes(CrossoverSplitterNBands3& left,
                                             CrossoverSplitterNBands3& right))[9][4]
{
#if defined(PARANDEL_LANES_AVX2)
    // A linked pair passed every test below when it was linked, and nothing they test changes.
    if (left.mLanePartner == &right && left.mHoldsLanes)
        return left.mLanes;
    if (!CpuHasAvx2() || &left == &right || !HasTwoSectionsEach(left, right))
        return nullptr;
    left.Unlink();
    right.Unlink();
    LoadLanes(left, right);
    left.mLanePartner = &right;
    right.mLanePartner = &left;
    left.mHoldsLanes = true;
    return left.mLanes;
#else
    (void)left;
    (void)right;
    return nullptr;
#endif
}

void CrossoverSplitterNBands3::LaneSections(CrossoverSplitterNBands3& left,
                                            CrossoverSplitterNBands3& right, int section,
                                            RBJSection* out[4])
{
    out[0] = &left.mLowPass->Section(section);
    out[1] = &right.mLowPass->Section(section);
    out[2] = &left.mHighPass->Section(section);
    out[3] = &right.mHighPass->Section(section);
}

void CrossoverSplitterNBands3::LoadLanes(CrossoverSplitterNBands3& left,
                                         CrossoverSplitterNBands3& right)
{
    for (int j = 0; j < 2; ++j)
    {
        RBJSection* s[4];
        LaneSections(left, right, j, s);
        double(*v)[4] = left.mLanes[j];
        for (int i = 0; i < 4; ++i)
        {
            v[0][i] = s[i]->b0, v[1][i] = s[i]->b1, v[2][i] = s[i]->b2, v[3][i] = s[i]->a1;
            v[4][i] = s[i]->a2, v[5][i] = s[i]->y1, v[6][i] = s[i]->y2, v[7][i] = s[i]->x1;
            v[8][i] = s[i]->x2;
        }
    }
}

void CrossoverSplitterNBands3::StoreLanes(CrossoverSplitterNBands3& left,
                                          CrossoverSplitterNBands3& right)
{
    for (int j = 0; j < 2; ++j)
    {
        RBJSection* s[4];
        LaneSections(left, right, j, s);
        const double(*v)[4] = left.mLanes[j];
        for (int i = 0; i < 4; ++i)
            s[i]->y1 = v[5][i], s[i]->y2 = v[6][i], s[i]->x1 = v[7][i], s[i]->x2 = v[8][i];
    }
}

void CrossoverSplitterNBands3::Unlink()
{
    CrossoverSplitterNBands3* partner = mLanePartner;
    if (!partner)
        return;
    if (mHoldsLanes)
        StoreLanes(*this, *partner);
    else
        StoreLanes(*partner, *this);
    mLanePartner = partner->mLanePartner = nullptr;
    mHoldsLanes = partner->mHoldsLanes = false;
}
