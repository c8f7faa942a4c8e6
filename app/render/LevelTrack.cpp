#include "app/render/LevelTrack.h"

#include <algorithm>
#include <cmath>

namespace app
{
LevelTrack::LevelTrack(long long sliceFrames) : mSliceFrames(std::max(1LL, sliceFrames)) {}

void LevelTrack::Add(const float* left, const float* right, int n)
{
    for (int k = 0; k < n; ++k)
    {
        const double mid = 0.5 * (static_cast<double>(left[k]) + right[k]);
        const double side = 0.5 * (static_cast<double>(left[k]) - right[k]);
        mMidSum += mid * mid;
        mSideSum += side * side;
        if (++mInSlice == mSliceFrames)
        {
            mMid.push_back(std::sqrt(mMidSum / mSliceFrames));
            mSide.push_back(std::sqrt(mSideSum / mSliceFrames));
            mMidSum = mSideSum = 0.0;
            mInSlice = 0;
        }
    }
    mFrames += n;
}

SampleRange LevelTrack::Loudest(int slices, long long totalFrames) const
{
    const int count = static_cast<int>(mMid.size());
    if (slices < 1 || count < slices)
        return {0, totalFrames};
    // Each window summed afresh (a few thousand slices at most): no drift of a running sum can
    // reorder equal stretches, and the earliest of equals wins.
    double best = -1.0;
    int bestStart = 0;
    for (int first = 0; first + slices <= count; ++first)
    {
        double sum = 0.0;
        for (int k = first; k < first + slices; ++k)
            sum += mMid[k] * mMid[k] + mSide[k] * mSide[k];
        if (sum > best)
        {
            best = sum;
            bestStart = first;
        }
    }
    return {bestStart * mSliceFrames, (bestStart + slices) * mSliceFrames};
}

double RmsToDb(double rms, double floorDb)
{
    return rms > 0.0 ? std::max(floorDb, 20.0 * std::log10(rms)) : floorDb;
}
} // namespace app
