#include "engine/CrossoverSplitterNBands3.h"

#include "framework/Lanes.h"

namespace
{
constexpr int kSectionsPerFilter = 2; // 24 dB per octave on both sides of each cutoff
constexpr double kCrossoverQ = 0.707;

// A left and a right sample side by side: one instruction does the same arithmetic on both.
typedef double Lanes __attribute__((vector_size(2 * sizeof(double))));

// One biquad section of the left channel's filter and the same section of the right one's,
// with coefficients and memories in lanes: RBJSection::Process on each lane, same operations in
// the same order.
struct SectionPair
{
    Lanes b0, b1, b2, a1, a2, y1, y2, x1, x2;

    SectionPair(const RBJSection& l, const RBJSection& r)
        : b0{l.b0, r.b0}, b1{l.b1, r.b1}, b2{l.b2, r.b2}, a1{l.a1, r.a1}, a2{l.a2, r.a2},
          y1{l.y1, r.y1}, y2{l.y2, r.y2}, x1{l.x1, r.x1}, x2{l.x2, r.x2}
    {
    }
    Lanes Process(Lanes x)
    {
        const Lanes y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    // Memories back into the sections, each checked as NRBJFilter::ProcessBuffer does at the end
    // of a block.
    void Store(RBJSection& l, RBJSection& r) const
    {
        l.y1 = y1[0], l.y2 = y2[0], l.x1 = x1[0], l.x2 = x2[0];
        r.y1 = y1[1], r.y2 = y2[1], r.x1 = x1[1], r.x2 = x2[1];
        l.ClearMemoriesIfNonFinite();
        r.ClearMemoriesIfNonFinite();
    }
};

#if defined(PARANDEL_LANES_AVX2)
// One biquad section of four filters in lanes (left low-pass, right low-pass, left high-pass,
// right high-pass): RBJSection::Process on each lane, same operations in the same order.
struct SectionQuad
{
    Quad b0, b1, b2, a1, a2, y1, y2, x1, x2;

    PARANDEL_LANES_INLINE Quad Process(Quad x)
    {
        const Quad y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

PARANDEL_LANES_INLINE SectionQuad LoadQuad(RBJSection* const* s)
{
    SectionQuad q;
    q.b0 = Quad{s[0]->b0, s[1]->b0, s[2]->b0, s[3]->b0};
    q.b1 = Quad{s[0]->b1, s[1]->b1, s[2]->b1, s[3]->b1};
    q.b2 = Quad{s[0]->b2, s[1]->b2, s[2]->b2, s[3]->b2};
    q.a1 = Quad{s[0]->a1, s[1]->a1, s[2]->a1, s[3]->a1};
    q.a2 = Quad{s[0]->a2, s[1]->a2, s[2]->a2, s[3]->a2};
    q.y1 = Quad{s[0]->y1, s[1]->y1, s[2]->y1, s[3]->y1};
    q.y2 = Quad{s[0]->y2, s[1]->y2, s[2]->y2, s[3]->y2};
    q.x1 = Quad{s[0]->x1, s[1]->x1, s[2]->x1, s[3]->x1};
    q.x2 = Quad{s[0]->x2, s[1]->x2, s[2]->x2, s[3]->x2};
    return q;
}

// Memories back into the sections, each checked as NRBJFilter::ProcessBuffer does at the end of
// a block.
PARANDEL_LANES_INLINE void StoreQuad(const SectionQuad& q, RBJSection* const* s)
{
    for (int i = 0; i < 4; ++i)
    {
        s[i]->y1 = q.y1[i], s[i]->y2 = q.y2[i], s[i]->x1 = q.x1[i], s[i]->x2 = q.x2[i];
        s[i]->ClearMemoriesIfNonFinite();
    }
}

// SplitPair's loop with the low- and high-pass of both channels in one four-lane vector.
PARANDEL_TARGET_AVX2 void SplitPairAvx2(RBJSection* const first[4], RBJSection* const second[4],
                                        const double* xl, const double* xr, double* lowL,
                                        double* lowR, double* highL, double* highR, int n)
{
    SectionQuad s1 = LoadQuad(first), s2 = LoadQuad(second);
    for (int k = 0; k < n; ++k)
    {
        const Quad y = s2.Process(s1.Process(Quad{xl[k], xr[k], xl[k], xr[k]}));
        lowL[k] = y[0];
        lowR[k] = y[1];
        highL[k] = y[2];
        highR[k] = y[3];
    }
    StoreQuad(s1, first);
    StoreQuad(s2, second);
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
    mChains.Empty(true);
    mOwnedFilters.Empty(true);
    mSaved.Empty(true);
}

void CrossoverSplitterNBands3::UpdateCoefficients()
{
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
    if (n != inRight.GetSize() || !HasTwoSections(left.mLowPass) ||
        !HasTwoSections(left.mHighPass) || !HasTwoSections(right.mLowPass) ||
        !HasTwoSections(right.mHighPass))
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
    NRBJFilter& lpL = *left.mLowPass;
    NRBJFilter& lpR = *right.mLowPass;
    NRBJFilter& hpL = *left.mHighPass;
    NRBJFilter& hpR = *right.mHighPass;
#if defined(PARANDEL_LANES_AVX2)
    if (CpuHasAvx2())
    {
        RBJSection* const first[4] = {&lpL.Section(0), &lpR.Section(0), &hpL.Section(0),
                                      &hpR.Section(0)};
        RBJSection* const second[4] = {&lpL.Section(1), &lpR.Section(1), &hpL.Section(1),
                                       &hpR.Section(1)};
        SplitPairAvx2(first, second, xl, xr, lowL, lowR, highL, highR, n);
        return;
    }
#endif
    SectionPair lp1(lpL.Section(0), lpR.Section(0)), lp2(lpL.Section(1), lpR.Section(1));
    SectionPair hp1(hpL.Section(0), hpR.Section(0)), hp2(hpL.Section(1), hpR.Section(1));
    // The four recursions are independent of one another, so their latencies overlap.
    for (int k = 0; k < n; ++k)
    {
        const Lanes x = {xl[k], xr[k]};
        const Lanes low = lp2.Process(lp1.Process(x));
        const Lanes high = hp2.Process(hp1.Process(x));
        lowL[k] = low[0];
        lowR[k] = low[1];
        highL[k] = high[0];
        highR[k] = high[1];
    }
    lp1.Store(lpL.Section(0), lpR.Section(0));
    lp2.Store(lpL.Section(1), lpR.Section(1));
    hp1.Store(hpL.Section(0), hpR.Section(0));
    hp2.Store(hpL.Section(1), hpR.Section(1));
}
