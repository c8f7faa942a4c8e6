#pragma once
// Phase correlation of a stereo pair in −1 … +1, smoothed by a one-pole low-pass.
// Every sample counts equally, whatever its level: the per-sample value depends only on the
// angle of (L, R) against the line L = R (+1 in phase, 0 on a single channel or in silence,
// −1 in opposite phase); a pair whose samples are both within the silence threshold counts as
// silence. The angle comes from a polynomial arctangent, two samples at a time, within 1e-15 of
// the exact value. Reset on the control thread (under the plug-in mutex); Process and
// GetCorrelation on the audio thread. Process allocates nothing.

#include "framework/SampleBuffer.h"

class CParamSmooth;

class TWCorrelationComputer
{
public:
    // mode 0: signed measure; mode 1: negative-only (positive per-sample values count as 0).
    TWCorrelationComputer(int mode, double sampleRate, double smoothingTimeMs);
    virtual ~TWCorrelationComputer();
    TWCorrelationComputer(const TWCorrelationComputer&) = delete;
    TWCorrelationComputer& operator=(const TWCorrelationComputer&) = delete;

    // Clears the measure; the next sample sets the smoothed value directly.
    void Reset(double sampleRate);
    // Consumes one block. Only as many samples as both channels hold are used.
    void Process(const SampleBuffer& left, const SampleBuffer& right, bool weightByMagnitude);
    // The same on n samples of each channel.
    void Process(const double* left, const double* right, int n, bool weightByMagnitude);
    double GetCorrelation() const { return mCorrelation; }

    int GetMode() const { return mMode; }

    // Readings within this distance of 0 are rounding, not opposite phase: the per-sample value
    // is within 1e-15 of exact, a one-sided signal whose silent side carries the chain's rounding
    // (a relative 1e-16) reads about 1e-16, and the smoother's own rounding stays below
    // 2.2e-16 / (1 − a), 1.4e-11 at 768 kHz. A real tendency to cancel is many orders above.
    static constexpr double kRoundingMargin = 1e-9;
    // A reading that is meaningfully negative, below −kRoundingMargin.
    static bool IsBelowZero(double reading) { return reading < -kRoundingMargin; }

private:
    int mMode;
    double mSampleRate;
    CParamSmooth* mSmoother;
    double mCorrelation = 0.0;
    bool mFirstSamplePending = true;
    double mSmoothingTimeMs;
    // The smoother takes values four at a time from the first sample after Reset on, whatever
    // the blocks, so that block boundaries change nothing; the up to three values of an
    // unfinished four wait here (the correlation already includes them).
    double mWaiting[4] = {};
    int mWaitingCount = 0;

    // Smooths m per-sample values.
    void Smooth(const double* d, int m);
};
