#include "metering/TWFireworks.h"

#include "framework/MathConstants.h"
#include "metering/DirectionHistogram.h"

#include <algorithm>
#include <cmath>

TWFireworks::TWFireworks(double sampleRateHz) : mSampleRateHz(sampleRateHz)
{
    mHistogram.Reserve(kNumBins);
    mCounts.Reserve(kNumBins);
    mPeak.Reserve(kNumBins);
    mPeakMemory.Reserve(kNumBins);
    for (int i = 0; i < kNumBins; ++i)
    {
        const double a = static_cast<double>(i) / (kNumBins - 1) * kPi;
        mCos[i] = std::cos(a);
        mSin[i] = std::sin(a);
    }
}

void TWFireworks::Reset()
{
    mPeakMemory.Resize(0, false);
}

void TWFireworks::Reset(double sampleRateHz)
{
    mSampleRateHz = sampleRateHz;
    Reset();
}

void TWFireworks::ComputePoints(const SampleBuffer& left, const SampleBuffer& right,
                                SampleBuffer& curX, SampleBuffer& curY, SampleBuffer& peakX,
                                SampleBuffer& peakY)
{
    DirectionHistogram(left, right, kNumBins, true, mHistogram, mCounts);
    UpdatePeaks();
    GetPoints(curX, curY, peakX, peakY);
}

void TWFireworks::Update(const int* pairBins, const double* radii, int n, const int* binCounts)
{
    DirectionMeansOfPairs(pairBins, radii, n, binCounts, kNumBins, mHistogram);
    UpdatePeaks();
}

void TWFireworks::UpdatePeaks()
{
    const double* h = mHistogram.Get();
    if (!h || mHistogram.GetSize() != kNumBins)
        return;

    double* peak = mPeak.Resize(kNumBins, false);
    if (!peak)
        return;
    if (mPeakMemory.GetSize() == kNumBins)
    {
        const double* memory = mPeakMemory.Get();
        for (int i = 0; i < kNumBins; ++i)
            peak[i] = kPeakHold * std::max(h[i], memory[i]) + (1.0 - kPeakHold) * h[i];
    }
    else
    {
        std::copy(h, h + kNumBins, peak);
    }
    mPeakMemory.Set(peak, kNumBins, false);
}

void TWFireworks::GetPoints(SampleBuffer& curX, SampleBuffer& curY, SampleBuffer& peakX,
                            SampleBuffer& peakY) const
{
    if (mHistogram.GetSize() != kNumBins || mPeak.GetSize() != kNumBins)
        return;
    EnvelopeToPoints(mHistogram.Get(), curX, curY);
    EnvelopeToPoints(mPeak.Get(), peakX, peakY);
}

void TWFireworks::EnvelopeToPoints(const double* values, SampleBuffer& x, SampleBuffer& y) const
{
    double* xs = x.Resize(kNumBins, false);
    double* ys = y.Resize(kNumBins, false);
    if (!xs || !ys)
        return;
    for (int i = 0; i < kNumBins; ++i)
    {
        xs[i] = values[i] * mCos[i];
        ys[i] = values[i] * mSin[i];
    }
}
