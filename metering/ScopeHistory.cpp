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
      mCounts(std::max(numDirectionBins, 0) + 1), mNumBins(std::max(numDirectionBins, 0))
{
}

void ScopeHistory::Count(int from, int to, int step)
{
    int* counts = mCounts.data() + 1;
    for (int i = from; i < to; ++i)
        counts[mBins[i]] += step;
}

void ScopeHistory::Recount(int outFrom, int outTo, int inFrom, int inTo)
{
    // A pair leaving and a pair coming at a time: two chains of increments side by side, as the
    // same bin often comes again at once.
    int* counts = mCounts.data() + 1;
    const int both = std::min(std::max(outTo - outFrom, 0), std::max(inTo - inFrom, 0));
    for (int i = 0; i < both; ++i)
    {
        --counts[mBins[outFrom + i]];
        ++counts[mBins[inFrom + i]];
    }
    Count(outFrom + both, outTo, -1);
    Count(inFrom + both, inTo, 1);
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
    Recount(mCountStart, mStart, mCountEnd, mEnd);
    mCountStart = std::max(mCountStart, mStart);
    mCountEnd = mEnd;
}
