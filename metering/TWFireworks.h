#pragma once
// FLAME display computation. From the vectorscope's window it makes two envelopes over 128
// stereo directions: the current one (mean amplitude per direction) and a peak hold that falls
// towards the current one by the factor 0.995 per call, i.e. per audio block. Bin i is drawn at
// the angle i / 127 × π, so bin 0 (opposite phase) lies on the positive X axis.
// Reset and construction on the control thread; ComputePoints and Update on the audio thread,
// allocation free once the outputs have reached 128 points.

#include "framework/SampleBuffer.h"
#include "framework/WDL_TypedBuf.h"

class TWFireworks
{
public:
    static constexpr int kNumBins = 128;
    // Share of the held peak kept per call; the rest follows the current value.
    static constexpr double kPeakHold = 0.995;

    explicit TWFireworks(double sampleRateHz);
    virtual ~TWFireworks() = default;

    // Forgets the peak envelope; the next call shows peak = current.
    void Reset();
    void Reset(double sampleRateHz);

    // Current envelope points go to (curX, curY), peak envelope points to (peakX, peakY),
    // kNumBins each.
    void ComputePoints(const SampleBuffer& left, const SampleBuffer& right, SampleBuffer& curX,
                       SampleBuffer& curY, SampleBuffer& peakX, SampleBuffer& peakY);

    // ComputePoints in two steps, for a display that reads the points less often than blocks
    // come: the envelopes now, from the window's pairs already reduced to direction bins (of
    // kNumBins, −1 for a pair left out) and amplitudes, with the count of pairs in each bin; the
    // points of the last update when they are looked at (a reset since changes them not).
    void Update(const int* pairBins, const double* radii, int n, const int* binCounts);
    void GetPoints(SampleBuffer& curX, SampleBuffer& curY, SampleBuffer& peakX,
                   SampleBuffer& peakY) const;

    double GetSampleRate() const { return mSampleRateHz; }
    // The held peak values (kNumBins, or empty after a reset).
    const SampleBuffer& GetPeakMemory() const { return mPeakMemory; }

private:
    // Peak hold from mHistogram into mPeak and the peak memory.
    void UpdatePeaks();
    void EnvelopeToPoints(const double* values, SampleBuffer& x, SampleBuffer& y) const;

    double mSampleRateHz;
    SampleBuffer mPeakMemory;

    // Scratch and tables, sized once by the constructor.
    SampleBuffer mHistogram; // current envelope of the last update
    WDL_TypedBuf<int> mCounts;
    SampleBuffer mPeak; // peak envelope of the last update
    double mCos[kNumBins];
    double mSin[kNumBins];
};
