#include "engine/FastRTConvolver2.h"

#include <algorithm>
#include <cstring>

FastRTConvolver2::FastRTConvolver2(int blockSize, const SampleBuffer& response, ConvolverMode mode)
    : mBlockSize(BlockSizeFor(blockSize)), mResponse(response),
      mHostBlockSize(std::max(blockSize, 1)), mMode(mode)
{
    mManager =
        std::make_unique<ConvolutionManager>(mResponse.Get(), mResponse.GetSize(), mBlockSize);
    ReserveQueues();
}

FastRTConvolver2::~FastRTConvolver2() = default;

// Largest power of two not above the host block size, within what the manager supports.
int FastRTConvolver2::BlockSizeFor(int hostBlockSize)
{
    int b = 1;
    while (b * 2 <= hostBlockSize && b * 2 <= kMaxBlockSize)
        b *= 2;
    return b;
}

// The queues hold less than B + one host block in steady state; room for twice that keeps
// Process free of reallocation even with a jittery first call.
void FastRTConvolver2::ReserveQueues()
{
    const int capacity = 2 * (mHostBlockSize + mBlockSize);
    mInputQueue.Reserve(capacity);
    mOutputQueue.Reserve(capacity);
}

void FastRTConvolver2::Reset(int hostBlockSize)
{
    mHostBlockSize = std::max(hostBlockSize, 1);
    const int blockSize = BlockSizeFor(mHostBlockSize);
    // The same partitioning only needs its state cleared: a transport restart resets on the
    // audio thread, where building a manager would allocate.
    if (blockSize == mBlockSize)
        mManager->Reset();
    else
        mManager =
            std::make_unique<ConvolutionManager>(mResponse.Get(), mResponse.GetSize(), blockSize);
    mBlockSize = blockSize;
    mInputQueue.Resize(0, false);
    mOutputQueue.Resize(0, false);
    ReserveQueues();
    mSamplesSeen = 0;
    mLeadingZeros = 0;
    mHeardSound = false;
    mProcessed = 0;
}

void FastRTConvolver2::SetResponse(const SampleBuffer& response)
{
    mResponse = response;
    mManager->SetResponse(mResponse.Get(), mResponse.GetSize());
}

int FastRTConvolver2::GetLatency() const
{
    return mHostBlockSize == mBlockSize ? 0 : mHostBlockSize;
}

void FastRTConvolver2::Process(const SampleBuffer& input, SampleBuffer& output)
{
    const int n = input.GetSize();
    const int b = mBlockSize;

    // 1. Queue the input (before output is touched, so both may be the same buffer).
    const double* x = input.Get();
    for (int k = 0; k < n && !mHeardSound; ++k)
    {
        mHeardSound = x[k] != 0.0;
        mLeadingZeros += !mHeardSound;
    }
    mInputQueue.Add(x, n);

    // 2. Whole blocks go through the manager (or are copied) onto the output queue.
    const int blocks = mInputQueue.GetSize() / b;
    if (blocks > 0)
    {
        const int queued = mOutputQueue.GetSize();
        double* out = mOutputQueue.Resize(queued + blocks * b, false) + queued;
        const double* in = mInputQueue.Get();
        if (mMode == ConvolverMode::PassThrough)
            std::memcpy(out, in, sizeof(double) * blocks * b);
        else
            for (int i = 0; i < blocks; ++i)
                mManager->ProcessBlock(in + i * b, out + i * b);
        // What came of the leading zeros is zero (the transforms leave rounding residue there).
        const int64_t exact = std::clamp<int64_t>(mLeadingZeros - mProcessed, 0, blocks * b);
        std::fill(out, out + exact, 0.0);
        mProcessed += blocks * b;
        mInputQueue.Delete(0, blocks * b);
    }

    // 3.–4. Leading zeros while the first host block is being collected, then queued output.
    int zeros = 0;
    if (mHostBlockSize != b)
        zeros = static_cast<int>(std::clamp<int64_t>(mHostBlockSize - mSamplesSeen, 0, n));
    const int taken = std::min(n - zeros, mOutputQueue.GetSize());

    double* o = output.Resize(n, false);
    if (n > 0)
    {
        std::fill(o, o + zeros, 0.0);
        if (taken > 0)
            std::memcpy(o + zeros, mOutputQueue.Get(), sizeof(double) * taken);
        std::fill(o + zeros + taken, o + n, 0.0);
        mOutputQueue.Delete(0, taken);
    }

    // 5.
    mSamplesSeen += n;
}
