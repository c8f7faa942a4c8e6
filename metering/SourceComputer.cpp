#include "metering/SourceComputer.h"

#include "metering/FftProcessObj16.h"
#include "metering/ParandelProcessDisp.h"
#include "metering/ProcessObjChannel.h"

#include <algorithm>

namespace
{
constexpr int kNumChannels = 2;
constexpr int kAllChannels = -1;
} // namespace

SourceComputer::SourceComputer(double sampleRate)
{
    FftProcessObj16::Init();
    const WDL_PtrList<ProcessObj> noProcessObjs;
    mFrameProcessor = new FftProcessObj16(noProcessObjs, kNumChannels, 0, kBufferSize, kOverlap,
                                          sampleRate, kOversampling);
    // Only the spectra are looked at: the way back to the time domain is not needed.
    mFrameProcessor->SetSkipIFft(kAllChannels, true);
    mFrameProcessor->SetAnalysisWindow(kAllChannels, kWindowHann);
    mFrameProcessor->SetSynthesisWindow(kAllChannels, kWindowHann);
    mFrameProcessor->SetKeepEnergy(kAllChannels, false);
    mDisplayProcessor = new ParandelProcessDisp(kBufferSize, kOverlap, kOversampling, sampleRate);
    mFrameProcessor->AddMultichannelProcess(mDisplayProcessor);
    // The per-block copies get their room now, as the frame processor's queues do, rather than
    // growing on the audio thread while the window fills.
    for (ChannelList* list : {&mInput, &mOutput})
    {
        for (int c = 0; c < kNumChannels; ++c)
            list->Add(nullptr, ProcessObjChannel::kReservedBlockSamples);
        list->Clear();
    }
}

SourceComputer::~SourceComputer()
{
    delete mFrameProcessor;
    delete mDisplayProcessor;
}

void SourceComputer::Reset()
{
    mFrameProcessor->Reset();
    mDisplayProcessor->Reset();
}

void SourceComputer::Reset(double sampleRate)
{
    mFrameProcessor->Reset(kBufferSize, kOverlap, kOversampling, sampleRate);
    mDisplayProcessor->Reset(kBufferSize, kOverlap, kOversampling, sampleRate);
}

void SourceComputer::ComputePoints(const SampleBuffer& left, const SampleBuffer& right,
                                   SampleBuffer& x, SampleBuffer& y)
{
    // Both channels must advance together; a longer one would leave the other behind for good.
    ComputePoints(left.Get(), right.Get(), std::min(left.GetSize(), right.GetSize()), x, y);
}

void SourceComputer::ComputePoints(const double* left, const double* right, int n,
                                   SampleBuffer& x, SampleBuffer& y)
{
    mInput.Clear();
    mInput.Add(left, n);
    mInput.Add(right, n);
    mSideChain.Clear();
    // The delayed output is not shown; the list only gives the frame processor somewhere to
    // put it.
    mOutput.CopyFrom(mInput);
    mFrameProcessor->Process(mInput, mSideChain, &mOutput);
    mDisplayProcessor->GetPoints(x, y);
}

void SourceComputer::ComputePoints(const ChannelList& channels, SampleBuffer& x, SampleBuffer& y)
{
    if (channels.GetSize() != kNumChannels)
    {
        x.Resize(0, false);
        y.Resize(0, false);
        return;
    }
    ComputePoints(channels[0], channels[1], x, y);
}
