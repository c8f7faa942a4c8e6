#pragma once
// N-band crossover: fourth-order low- and high-pass pairs (two cascaded RBJ sections, Q 0.707)
// at each cutoff. Bands sum back to a signal of nearly flat magnitude whose phase turns around
// each cutoff. Cutoff and sample-rate changes keep the filter memories. Split allocates nothing
// once the band buffers have reached the block length.

#include "engine/RBJFilter.h"
#include "framework/SampleBuffer.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_TypedBuf.h"

class CrossoverSplitterNBands3
{
public:
    // cutoffsHz holds bandCount − 1 ascending frequencies.
    CrossoverSplitterNBands3(int bandCount, const double* cutoffsHz, double sampleRate);
    virtual ~CrossoverSplitterNBands3();
    CrossoverSplitterNBands3(const CrossoverSplitterNBands3&) = delete;
    CrossoverSplitterNBands3& operator=(const CrossoverSplitterNBands3&) = delete;

    // Stores the rate and recomputes every filter's coefficients; memories stay.
    void Reset(double sampleRate);
    // Zeroes every filter's memories, as after construction; cutoffs and rate stay.
    void ClearMemories();
    // Moves one cutoff (nothing for an index past the last cutoff).
    void SetCutoffFreq(int index, double cutoffHz);
    // Splits input into bandCount outputs of the input's length.
    void Split(const SampleBuffer& input, SampleBuffer* const* bands);
    // Split of a stereo pair, one crossover per channel: the same bands, bit for bit, as Split on
    // each. Two two-band crossovers on channels of one length run both channels side by side in
    // one pass, each biquad on the two channels at once.
    static void SplitPair(CrossoverSplitterNBands3& left, CrossoverSplitterNBands3& right,
                          const SampleBuffer& inLeft, const SampleBuffer& inRight,
                          SampleBuffer* const* bandsLeft, SampleBuffer* const* bandsRight);
    // For a caller that runs SplitPair's four-lane loop itself (QuadCrossover, SectionLanes.h):
    // the lanes of two distinct two-band crossovers, linked as SplitPair links them, or null
    // where SplitPair would not run in four lanes (no AVX2, other band or section counts).
    static double (*LinkLanes(CrossoverSplitterNBands3& left,
                              CrossoverSplitterNBands3& right))[9][4];

    double GetCutoffFreq(int index) const { return mCutoffs.Get()[index]; }
    double GetSampleRate() const { return mSampleRate; }

private:
    struct Stage
    {
        RBJFilter* filter;
        int cutoffIndex;
    };
    void UpdateCoefficients();
    // SplitPair's four-lane loop keeps the two-band sections of both crossovers in lanes from
    // block to block, instead of loading and storing them every block. While a pair is linked
    // the left one's mLanes hold the memories of both, newer than the sections'; anything else
    // that uses the sections unlinks first, which writes the memories back.
    void Unlink();
    // The four sections at position `section` of the lanes: left and right low-pass, left and
    // right high-pass.
    static bool HasTwoSectionsEach(const CrossoverSplitterNBands3& left,
                                   const CrossoverSplitterNBands3& right);
    static void LaneSections(CrossoverSplitterNBands3& left, CrossoverSplitterNBands3& right,
                             int section, RBJSection* out[4]);
    // The sections' coefficients and memories into left.mLanes, and their memories back.
    static void LoadLanes(CrossoverSplitterNBands3& left, CrossoverSplitterNBands3& right);
    static void StoreLanes(CrossoverSplitterNBands3& left, CrossoverSplitterNBands3& right);

    double mSampleRate;
    int mBandCount;
    WDL_TypedBuf<double> mCutoffs;
    WDL_PtrList<WDL_TypedBuf<Stage>> mChains; // per band, the filters in signal order
    // Per band, the first filter's output, which feeds the next band (middle bands only).
    WDL_PtrList<SampleBuffer> mSaved;
    WDL_PtrList<RBJFilter> mOwnedFilters;
    // A two-band crossover's low-pass (band 0) and high-pass (band 1); null otherwise.
    NRBJFilter* mLowPass = nullptr;
    NRBJFilter* mHighPass = nullptr;
    // Per section, per field (b0, b1, b2, a1, a2, y1, y2, x1, x2), the four lanes.
    alignas(32) double mLanes[2][9][4] = {};
    CrossoverSplitterNBands3* mLanePartner = nullptr; // the other crossover of a linked pair
    bool mHoldsLanes = false;                         // the left one of a linked pair
};
