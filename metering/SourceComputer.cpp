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
    mFrameProcessor->SetSpectraOnly(kAllChannels, true);
    mFrameProcessor->SetAnalysisWindow(kAllChannels, WindowType::Hann);
    mFrameProcessor->SetSynthesisWindow(kAllChannels, WindowType::Hann);
    mFrameProcessor->SetKeepEnergy(kAllChannels, false);
    mDisplayProcessor = new ParandelProcessDisp(kBufferSize, kOverlap, kOversampling, sampleRate);
    mFrameProcessor->AddMultichannelProcess(mDisplayProcessor);
    // Only the last analysed frame is ever shown: it is transformed when the points are asked for.
    mDisplayProcessor->DeferTransforms(mFrameProcessor->GetChannel(0),
                                       mFrameProcessor->GetChannel(1));
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
    AddSamples(left, right, n);
    GetPoints(x, y);
}

void SourceComputer::AddSamples(const double* left, const double* right, int n)
{
    // The frames this run makes, counted as the display counts them: only the last analysed one
    // can still be shown.
    ProcessObjChannel* first = mFrameProcessor->GetChannel(0);
    const long queued = first->QueuedSamples() + std::max(n, 0);
    const long frames =
        queued >= kBufferSize ? (queued - kBufferSize) / first->GetHop() + 1 : 0;
    const long counted = mDisplayProcessor->GetFrameCounter();
    const long period = mDisplayProcessor->GetPeriod();
    const long lastAnalysed = (counted + frames) / period * period;
    mDisplayProcessor->AnalyseOnlyFrame(lastAnalysed > counted ? lastAnalysed : -1);

    // Only the spectra are looked at: no output is taken.
    const double* channels[kNumChannels] = {left, right};
    mFrameProcessor->ProcessFrames(channels, n);
}

void SourceComputer::GetPoints(SampleBuffer& x, SampleBuffer& y)
{
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
