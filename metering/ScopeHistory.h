#pragma once
// The vectorscope's window: the last 4096 samples of each output channel, oldest first, kept
// contiguous without moving the whole window every block. Samples are appended after a free
// stretch; only when that runs out is the window moved back to the start, so each sample is
// copied about once on its way through (instead of once per block, as a shift would).
//
// Beside the samples it can keep each pair's stereo direction bin and amplitude, computed once
// per sample when first asked for, and the count of the window's pairs in each bin, kept by
// counting the pairs that enter and leave, so that a display that histograms the whole window
// every block does no trigonometry and no counting for samples it has seen before.
//
// All storage is sized by the constructor: Append never allocates.

#include <algorithm>
#include <vector>

class ScopeHistory
{
public:
    static constexpr int kWindow = 4096;

    // numDirectionBins: the bins (over half a turn) of UpdateDirections.
    explicit ScopeHistory(int numDirectionBins);

    // Appends n pairs; of a block longer than the window only its last kWindow pairs are kept.
    void Append(const double* left, const double* right, int n);
    // Pairs in the window (up to kWindow), and the window itself, oldest first.
    int Size() const { return mEnd - mStart; }
    const double* Left() const { return mLeft.data() + mStart; }
    const double* Right() const { return mRight.data() + mStart; }

    // Pairs appended since construction: the window holds pairs Appended() − Size() up to (not
    // including) Appended() of that count, wherever the storage has moved them.
    long long Appended() const { return mAppended; }
    // The first pair the window will hold after appending n pairs.
    long long StartAfterAppend(int n) const
    {
        return n <= 0 ? mAppended - Size()
                      : std::max(mAppended - Size(), mAppended + n - kWindow);
    }
    // Pair `pair` of the count above, which must be in the window.
    const double* LeftAt(long long pair) const { return Left() + (pair - (mAppended - Size())); }
    const double* RightAt(long long pair) const { return Right() + (pair - (mAppended - Size())); }

    // Brings the direction bins and amplitudes, and the count of pairs per bin, up to date for
    // the whole window. A pair holding a non-finite value gets bin −1 and is not counted.
    void UpdateDirections();
    const int* Bins() const { return mBins.data() + mStart; }
    const double* Radii() const { return mRadii.data() + mStart; }
    const int* BinCounts() const { return mCounts.data() + 1; }

private:
    // Moves the window to the start of the storage.
    void Compact();
    // Takes the pairs [from, to) out of or into the counts.
    void Count(int from, int to, int step);
    // Takes the pairs [outFrom, outTo) out of the counts and [inFrom, inTo) into them.
    void Recount(int outFrom, int outTo, int inFrom, int inTo);

    std::vector<double> mLeft, mRight, mRadii;
    std::vector<int> mBins;
    // Per bin, of the pairs [mCountStart, mCountEnd), after a first entry that counts the pairs
    // left out (bin −1), so that counting takes no branch.
    std::vector<int> mCounts;
    int mNumBins;
    int mStart = 0;
    int mEnd = 0;
    int mDirectionsEnd = 0; // directions are known for pairs before this index
    int mCountStart = 0;
    int mCountEnd = 0;
    long long mAppended = 0;
};
