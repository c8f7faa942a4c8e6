#include "metering/ScopeHistory.h"

#include "metering/DirectionHistogram.h"

#include <algorithm>
#include <cstring>

namespace
{
// Room for eight windows: the window plus seven windows' worth of appends between moves, so that
// at 512-sample blocks a move (of the samples, amplitudes and bins: 112 KiB) comes once in 56
// blocks, which makes it cheaper than appending; 900 KiB in all.
constexpr int kCapacity = 8 * ScopeHistory::kWindow;
} // namespace

ScopeHistory::ScopeHistory(int numDirectionBins)
    : mLeft(kCapacity), mRight(kCapacity), mRadii(kCapacity), mBins(kCapacity),
      mCounts(std::max(numDirectionBins, 0)), mNumBins(std::max(numDirectionBins, 0))
{
}

void ScopeHistory::Count(int from, int to, int step)
{
    for (int i = from; i < to; ++i)
        if (mBins[i] >= 0)
            mCounts[mBins[i]] += step;
}

void ScopeHistory::Compact()
{
    const int n = mEnd - mStart;
    if (mStart == 0)
        return;
    // Counted pairs before the window are about to be overwritten: they leave the counts now.
    const int countedBefore = std::min(mCountEnd, mStart);
    if (mCountStart < countedBefore)
        Count(mCountStart, countedBefore, -1);
    mCountStart = std::max(mCountStart, mStart) - mStart;
    mCountEnd = std::max(mCountEnd, mStart) - mStart;
    std::memmove(mLeft.data(), mLeft.data() + mStart, sizeof(double) * n);
    std::memmove(mRight.data(), mRight.data() + mStart, sizeof(double) * n);
    // Known directions move with their samples (unknown entries move along unread).
    std::memmove(mRadii.data(), mRadii.data() + mStart, sizeof(double) * n);
    std::memmove(mBins.data(), mBins.data() + mStart, sizeof(int) * n);
    mDirectionsEnd = std::max(mDirectionsEnd - mStart, 0);
    mEnd = n;
    mStart = 0;
}

void ScopeHistory::Append(const double* left, const double* right, int n)
{
    if (n <= 0)
        return;
    mAppended += n;
    if (n >= kWindow)
    {
        left += n - kWindow;
        right += n - kWindow;
        n = kWindow;
        mStart = mEnd = mDirectionsEnd = mCountStart = mCountEnd = 0;
        std::fill(mCounts.begin(), mCounts.end(), 0);
    }
    if (mEnd + n > kCapacity)
        Compact();
    std::memcpy(mLeft.data() + mEnd, left, sizeof(double) * n);
    std::memcpy(mRight.data() + mEnd, right, sizeof(double) * n);
    mEnd += n;
    mStart = std::max(mStart, mEnd - kWindow);
}

void ScopeHistory::UpdateDirections()
{
    const int from = std::max(mDirectionsEnd, mStart);
    DirectionBinsAndRadii(mLeft.data() + from, mRight.data() + from, mEnd - from, mNumBins,
                          mBins.data() + from, mRadii.data() + from);
    mDirectionsEnd = mEnd;

    // The pairs that left the window leave the counts, those that came join them.
    if (mCountEnd < mStart)
    {
        Count(mCountStart, mCountEnd, -1);
        mCountStart = mCountEnd = mStart;
    }
    Count(mCountStart, mStart, -1);
    mCountStart = std::max(mCountStart, mStart);
    Count(mCountEnd, mEnd, 1);
    mCountEnd = mEnd;
}
