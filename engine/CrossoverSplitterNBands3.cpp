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
    auto makeFilter = [&](int type, int cutoff) {
        RBJFilter* f = new NRBJFilter(kSectionsPerFilter, type, mSampleRate,
                                      mCutoffs.Get()[cutoff], kCrossoverQ);
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
    mSavedInputs.Resize(mBandCount);
    mSavedInputs.Zero();
    mBandOutputs.Resize(mBandCount);
    mBandOutputs.Zero();
}

CrossoverSplitterNBands3::~CrossoverSplitterNBands3()
{
    mChains.Empty(true);
    mOwnedFilters.Empty(true);
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

void CrossoverSplitterNBands3::SetCutoffFreq(int index, double cutoffHz)
{
    if (index < 0 || index >= mBandCount - 1)
        return;
    mCutoffs.Get()[index] = cutoffHz;
    UpdateCoefficients();
}

void CrossoverSplitterNBands3::ProcessSample(double x)
{
    double* saved = mSavedInputs.Get();
    double* out = mBandOutputs.Get();
    for (int k = 0; k < mBandCount; ++k)
    {
        const WDL_TypedBuf<Stage>* chain = mChains.Get(k);
        const Stage* stages = chain->Get();
        const int n = chain->GetSize();
        double v;
        if (k == 0)
        {
            saved[0] = x;
            v = n > 0 ? stages[0].filter->Process(x) : x;
        }
        else
        {
            // The high-pass output of band k feeds band k + 1.
            v = n > 0 ? stages[0].filter->Process(saved[k - 1]) : saved[k - 1];
            saved[k] = v;
        }
        for (int i = 1; i < n; ++i)
            v = stages[i].filter->Process(v);
        out[k] = v;
    }
}

void CrossoverSplitterNBands3::Split(const SampleBuffer& input, SampleBuffer* const* bands)
{
    const int n = input.GetSize();
    for (int k = 0; k < mBandCount; ++k)
        bands[k]->Resize(n, false);
    const double* x = input.Get();
    const double* out = mBandOutputs.Get();
    for (int i = 0; i < n; ++i)
    {
        ProcessSample(x[i]);
        for (int k = 0; k < mBandCount; ++k)
            bands[k]->Get()[i] = out[k];
    }
}
