#pragma once
// Level and image figures of a stereo file: peak, RMS and the L/R correlation coefficient.

#include <string>

namespace app
{
struct StereoStats
{
    double peak = 0.0; // largest magnitude over both channels
    double rms = 0.0;  // over both channels
    // Pearson coefficient of left and right over the whole file (0 when either is silent).
    double correlation = 0.0;
};

// Reads a file (a mono file counts as two equal channels). False with error set on failure.
bool MeasureFile(const std::string& path, StereoStats& stats, std::string& error);

// Accumulates the figures block by block.
class StereoStatsAccumulator
{
public:
    void Add(const float* left, const float* right, long long n);
    StereoStats Result() const;

private:
    double mPeak = 0, mSumL = 0, mSumR = 0, mSumLL = 0, mSumRR = 0, mSumLR = 0;
    long long mCount = 0;
};
} // namespace app
