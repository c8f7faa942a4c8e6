#pragma once
// Real-time convolution of a channel delivered in host blocks of any length. Input is regrouped
// into blocks of B samples (B the largest power of two not above the host block size) for a
// ConvolutionManager, and every call returns as many samples as it was given.
//
// Latency: 0 when the host block size is itself a power of two (and every call brings exactly
// one such block), otherwise one host block: the first host block after Reset is silence.
// Output that depends only on exact zeros is exactly zero: the samples before the first non-zero
// input since Reset are not left with the transform's rounding residue (which has an arbitrary
// stereo direction and would set a correlation meter's first reading).
//
// In pass-through mode blocks are copied instead of convolved, which delays a dry path by the
// same latency as a convolving instance with the same host block size.
//
// Threads: construction, Reset and SetResponse on the control thread; Process on the audio
// thread, where it allocates nothing once the caller's output buffer has reached the block size.

#include "engine/ConvolutionManager.h"
#include "framework/SampleBuffer.h"

#include <cstdint>
#include <memory>

enum class ConvolverMode
{
    Convolve,
    PassThrough,
};

class FastRTConvolver2
{
public:
    // Largest manager block: the tail's half transforms of 4B must fit the FFT.
    static constexpr int kMaxBlockSize = TimeDistributedFFTConvolver::kMaxBlockSize;

    // blockSize is both the host block size and, rounded down to a power of two, B.
    FastRTConvolver2(int blockSize, const SampleBuffer& response, ConvolverMode mode);
    ~FastRTConvolver2();

    // New partitioning for the host block size; drops queued audio and clears the convolution
    // state.
    void Reset(int hostBlockSize);
    // Copies the response and re-partitions; the convolution state starts from zero, queued
    // audio is kept.
    void SetResponse(const SampleBuffer& response);

    // 0 if the host block size equals B, otherwise the host block size.
    int GetLatency() const;
    int GetBlockSize() const { return mBlockSize; }
    int GetHostBlockSize() const { return mHostBlockSize; }
    bool IsPassThrough() const { return mMode == ConvolverMode::PassThrough; }

    // output receives input.GetSize() samples; input and output may be the same buffer.
    void Process(const SampleBuffer& input, SampleBuffer& output);

private:
    static int BlockSizeFor(int hostBlockSize);
    void ReserveQueues();

    int mBlockSize;
    SampleBuffer mResponse;
    std::unique_ptr<ConvolutionManager> mManager;
    SampleBuffer mInputQueue;  // received, not yet processed (fewer than B after each call)
    SampleBuffer mOutputQueue; // processed, not yet returned
    int mHostBlockSize;
    int64_t mSamplesSeen = 0; // input samples since construction or Reset
    int64_t mLeadingZeros = 0; // of those, the exact zeros before the first other value
    bool mHeardSound = false;  // a non-zero input sample has come since construction or Reset
    int64_t mProcessed = 0;    // samples through the manager since construction or Reset
    ConvolverMode mMode;
};
