#include "engine/CrossoverSplitterNBands3.h"

namespace
{
constexpr int kSectionsPerFilter = 2; // 24 dB per octave on both sides of each cutoff
constexpr double kCrossoverQ = 0.707;
} // namespace

CrossoverSplitterNBands3::CrossoverSplitterNBands3(int bandCount, const double* cutoffsHz,
                                                   double sampleRate)
    : mSampleRate(sampleRate), mBandCount(bandCount < 1 ? 1 : bandCount)
{
    const int nCutoffs = mBandCount - 1;
    mCutoffs.Set(cutoffsHz, nCutoffs);
    auto makeFilter = [&](int type, int cutoff)
    {
        RBJFilter* f = new NRBJFilter(kSectionsPerFilter, type, mSampleRate, mCutoffs.Get()[cutoff],
                                      kCrossoverQ);
        mOwnedFilters.Add(f);
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
