#pragma once
// Partitioned convolution of the long part of a response whose first sample acts 8B samples after
// the input, without any latency of its own. Input is gathered in segments of 4B samples; the
// transform of a segment (8B points), its products with the Q partitions and the inverse transform
// are spread over the four blocks that follow, so every block does the same amount of work:
//
//   every block   gathers one quarter of the segment (one quarter of the first radix-2 stage of
//                 the 8B transform) and delivers B output samples (one quarter of its last stage);
//   phase 0       even-bin half transform (4B) of the previous segment, multiply-accumulate;
//   phase 1       odd-bin half transform (4B), multiply-accumulate;
//   phase 2       multiply-accumulate, inverse even half transform;
//   phase 3       multiply-accumulate, inverse odd half transform.
//
// The multiply-accumulate of all bins over all partitions is cut into four equal bin ranges.
// A segment gathered in blocks 4s … 4s + 3 is processed in blocks 4s + 4 … 4s + 7 and delivered in
// blocks 4s + 8 … 4s + 11, exactly when its first product (with the response 8B samples in) is
// due. Built on the control thread; ProcessBlock runs on the audio thread and never allocates.

#include <complex>
#include <vector>

class TimeDistributedFFTConvolver
{
public:
    static constexpr int kPhaseCount = 4;
    // Largest block whose 4B half transforms the FFT supports.
    static constexpr int kMaxBlockSize = 8192;

    // Partitions response[0 … length) into ⌈length / 4B⌉ partitions of 4B samples. blockSize must
    // be a power of two from 1 to kMaxBlockSize; otherwise the convolver holds no partitions and
    // outputs silence.
    TimeDistributedFFTConvolver(const double* response, int length, int blockSize);

    int GetBlockSize() const { return mBlockSize; }
    int GetPartitionCount() const { return mPartitionCount; }
    // Phase of the next block, 0 … 3.
    int GetPhase() const { return mPhase; }

    // Clears all convolution state and returns to phase 0; the response stays.
    void Reset();
    // input and output hold B samples each; output receives the tail's contribution to this block.
    void ProcessBlock(const double* input, double* output);

private:
    using Complex = std::complex<double>;

    int HalfSize() const { return 4 * mBlockSize; }     // half transform size = segment length
    int EvenBins() const { return 2 * mBlockSize + 1; } // even half: real input, bins 0 … 2B
    int OddBins() const { return 4 * mBlockSize; }      // odd half: all bins
    int TotalBins() const { return EvenBins() + OddBins(); }

    void Gather(const double* input);
    void RunPhase();
    void MultiplyAccumulate(int firstBin, int endBin);
    void Deliver(double* output);

    int mBlockSize;
    int mPartitionCount = 0;
    int mPhase = 0;

    // e^(−i 2π n / 8B) for n < 4B: the first stage's twiddles, reused (conjugated) by the last.
    std::vector<Complex> mTwiddles;
    // Per partition, the even and odd half spectra of its 8B transform, scaled by 1 / 8B.
    std::vector<Complex> mEvenResponse; // Q × EvenBins
    std::vector<Complex> mOddResponse;  // Q × OddBins
    // Ring of the Q most recent segments' half spectra.
    std::vector<Complex> mEvenInput;
    std::vector<Complex> mOddInput;
    int mRingIndex = 0; // slot of the segment being processed

    // Two gather buffers: one fills while the other's segment is processed. The even half of the
    // first stage is the segment itself (its upper half is zero padding), the odd half the segment
    // times the twiddles.
    std::vector<double> mGatherEven[2];
    std::vector<Complex> mGatherOdd[2];
    int mGatherIndex = 0; // buffer receiving input

    // Two result sets: one is computed while the other is delivered.
    std::vector<Complex> mEvenResult[2];
    std::vector<Complex> mOddResult[2];
    int mResultIndex = 0; // set being computed

    std::vector<double> mOverlap; // second half of the delivered segment's result (4B)
    std::vector<Complex> mWork;   // 4B
};
