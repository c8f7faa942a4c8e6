#pragma once
// Zero-latency convolution of consecutive blocks of exactly B samples with a whole response. The
// first 8B samples go to a uniformly partitioned head (at most 8 partitions of B), the rest to a
// time-distributed tail (partitions of 4B) whose first sample acts 8B samples in, so the per-block
// cost stays bounded however long the response is. Built and re-partitioned on the control
// thread; ProcessBlock runs on the audio thread and never allocates.

#include "engine/TimeDistributedFFTConvolver.h"
#include "engine/UPConvolver.h"
#include "framework/SampleBuffer.h"

#include <memory>

class ConvolutionManager
{
public:
    static constexpr int kMaxHeadPartitions = 8;
    // Used when no response is given: a unit impulse of this length, at this block size.
    static constexpr int kDefaultResponseLength = 512;
    static constexpr int kDefaultBlockSize = 512;

    // Unit impulse of kDefaultResponseLength samples, B = kDefaultBlockSize.
    ConvolutionManager();
    // blockSize must be a power of two (at most TimeDistributedFFTConvolver::kMaxBlockSize for
    // responses longer than 8B); other sizes give silence. A null or empty response stands for
    // the default unit impulse.
    ConvolutionManager(const double* response, int length, int blockSize);
    ~ConvolutionManager();

    // Copies the response and re-partitions; the convolution state starts from zero.
    void SetResponse(const double* response, int length);
    // Clears the convolution state; the response stays.
    void Reset();

    int GetBlockSize() const { return mBlockSize; }
    int GetResponseLength() const { return mResponse.GetSize(); }
    int GetHeadPartitionCount() const { return mHead ? mHead->GetPartitionCount() : 0; }
    int GetTailPartitionCount() const { return mTail ? mTail->GetPartitionCount() : 0; }
    // Samples covered by the head; the tail starts here.
    int GetHeadLength() const { return kMaxHeadPartitions * mBlockSize; }

    // input and output hold B samples each (they may be the same array).
    void ProcessBlock(const double* input, double* output);

private:
    void Partition();

    int mBlockSize;
    std::unique_ptr<UPConvolver> mHead;
    std::unique_ptr<TimeDistributedFFTConvolver> mTail; // null when the head holds everything
    SampleBuffer mOutputBlock;                          // the tail's part of the block (B)
    SampleBuffer mResponse;
};
