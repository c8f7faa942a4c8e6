#pragma once
// The level of a stereo output over time, for reading a correlation dip against the music: the
// RMS of mid ((L + R) / 2) and side ((L − R) / 2) per slice of a fixed number of samples, fed
// block by block. Only complete slices are kept, as the correlation series keeps only complete
// 100 ms steps, so that both line up slice for slice.

#include <vector>

namespace app
{
// A stretch of a file in samples, start inclusive, end exclusive.
struct SampleRange
{
    long long start = 0;
    long long end = 0;
};

class LevelTrack
{
public:
    explicit LevelTrack(long long sliceFrames);

    void Add(const float* left, const float* right, int n);

    long long SliceFrames() const { return mSliceFrames; }
    // Samples fed so far.
    long long Frames() const { return mFrames; }
    const std::vector<double>& MidRms() const { return mMid; }
    const std::vector<double>& SideRms() const { return mSide; }

    // The run of `slices` consecutive complete slices with the most energy (mid² + side², that
    // is (L² + R²) / 2), the earliest of equals. With fewer complete slices than that, the
    // whole of totalFrames.
    SampleRange Loudest(int slices, long long totalFrames) const;

private:
    long long mSliceFrames;
    long long mFrames = 0;
    long long mInSlice = 0;
    double mMidSum = 0.0, mSideSum = 0.0; // squares in the current slice
    std::vector<double> mMid, mSide;
};

// 20 × log10(rms), never below floorDb (silence included).
double RmsToDb(double rms, double floorDb);
} // namespace app
