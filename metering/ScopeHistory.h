#pragma once
// The vectorscope's window: the last 4096 samples of each output channel, oldest first, kept
// contiguous without moving the whole window every block. Samples are appended after a free
// stretch; only when that runs out is the window moved back to the start, so each sample is
// copied about once on its way through (instead of once per block, as a shift would).
//
// Beside the samples it can keep each pair's stereo direction bin and amplitude, computed once
// per sample when first asked for, so that a display that histograms the whole window every
// block does no trigonometry for samples it has seen before.
//
// All storage is sized by the constructor: Append never allocates.

#include <vector>

class ScopeHistory
{
public:
    static constexpr int kWindow = 4096;

    ScopeHistory();

    // Appends n pairs; of a block longer than the window only its last kWindow pairs are kept.
    void Append(const double* left, const double* right, int n);
    // Pairs in the window (up to kWindow), and the window itself, oldest first.
    int Size() const { return mEnd - mStart; }
    const double* Left() const { return mLeft.data() + mStart; }
    const double* Right() const { return mRight.data() + mStart; }

    // Brings the direction bins (of numBins over half a turn) and amplitudes up to date for the
    // whole window. A pair holding a non-finite value gets bin −1. numBins must stay the same
    // from call to call.
    void UpdateDirections(int numBins);
    const int* Bins() const { return mBins.data() + mStart; }
    const double* Radii() const { return mRadii.data() + mStart; }

private:
    // Moves the window to the start of the storage.
    void Compact();

    std::vector<double> mLeft, mRight, mRadii;
    std::vector<int> mBins;
    int mStart = 0;
    int mEnd = 0;
    int mDirectionsEnd = 0; // directions are known for pairs before this index
};
