#include "app/OfflineRenderer.h"

#include "engine/Parandel.h"

#include <algorithm>

namespace app
{
OfflineRenderer::OfflineRenderer(double sampleRate, int inputChannels, int blockSize)
    : mPlugin(new Parandel(Parandel::DefaultInstanceInfo())), mInputChannels(inputChannels),
      mBlockSize(blockSize)
{
    mPlugin->SetSampleRate(sampleRate);
    mPlugin->SetBlockSize(blockSize);
    mPlugin->SetInputChannelConnections(0, inputChannels, true);
    mPlugin->SetInputChannelConnections(inputChannels, mPlugin->NInChannels() - inputChannels,
                                        false);
    mPlugin->SetOutputChannelConnections(0, kOutputChannels, true);
}

OfflineRenderer::~OfflineRenderer() = default;

void OfflineRenderer::SetParameter(int paramIdx, double value)
{
    IParam* p = mPlugin->Param(paramIdx);
    if (!p)
        return;
    WDL_MutexLock lock(mPlugin->GetMutex());
    p->SetValue(std::min(std::max(value, p->GetMin()), p->GetMax()));
    mPlugin->OnParamChange(paramIdx);
}

void OfflineRenderer::Start()
{
    mPlugin->OnParamReset();
    mPlugin->Reset();
    mSamplePosition = 0.0;
    mPlugin->SetHostTransport(true, mSamplePosition);
}

int OfflineRenderer::Latency() const { return mPlugin->GetLatency(); }

void OfflineRenderer::Process(float* const* inputs, float* const* outputs, int nFrames)
{
    WDL_MutexLock lock(mPlugin->GetMutex());
    mPlugin->SetHostTransport(true, mSamplePosition);
    mPlugin->AttachInputBuffers(0, mInputChannels, inputs, nFrames);
    mPlugin->AttachOutputBuffers(0, kOutputChannels, outputs);
    mPlugin->ProcessBuffers(nFrames);
    mSamplePosition += nFrames;
}
} // namespace app
