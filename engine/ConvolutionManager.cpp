#include "engine/ConvolutionManager.h"

#include <algorithm>

ConvolutionManager::ConvolutionManager() : ConvolutionManager(nullptr, 0, kDefaultBlockSize) {}

ConvolutionManager::ConvolutionManager(const double* response, int length, int blockSize)
    : mBlockSize(std::max(blockSize, 1))
{
    SetResponse(response, length);
}

ConvolutionManager::~ConvolutionManager() = default;

void ConvolutionManager::SetResponse(const double* response, int length)
{
    if (response && length > 0)
    {
        mResponse.Set(response, length);
    }
    else
    {
        mResponse.Resize(kDefaultResponseLength);
        mResponse.Zero();
        mResponse[0] = 1.0;
    }
    Partition();
}

void ConvolutionManager::Partition()
{
    const int length = mResponse.GetSize();
    const int headLength = std::min(length, GetHeadLength());
    mHead = std::make_unique<UPConvolver>(mResponse.Get(), headLength, mBlockSize);
    mTail.reset();
    if (length - headLength >= 1)
        mTail = std::make_unique<TimeDistributedFFTConvolver>(mResponse.Get() + headLength,
                                                              length - headLength, mBlockSize);
    mOutputBlock.Resize(mBlockSize);
    mOutputBlock.Zero();
}

void ConvolutionManager::Reset()
{
    mHead->Reset();
    if (mTail)
        mTail->Reset();
}

void ConvolutionManager::ProcessBlock(const double* input, double* output)
{
    if (!mTail)
    {
        mHead->ProcessBlock(input, output);
        return;
    }
    // The tail reads the input before the head may overwrite it in place.
    double* tail = mOutputBlock.Get();
    mTail->ProcessBlock(input, tail);
    mHead->ProcessBlock(input, output);
    for (int k = 0; k < mBlockSize; ++k)
        output[k] += tail[k];
}
