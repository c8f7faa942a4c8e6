#include "metering/SourceComputer.h"

#include "metering/FftProcessObj16.h"
#include "metering/ParandelProcessDisp.h"
#include "metering/ProcessObjChannel.h"
#include "metering/ScopeHistory.h"

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
    // Fewer than a frame's samples are ever carried from one call to the next.
    for (SampleBuffer& c : mCarried)
        c.Reserve(kBufferSize);
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
    for (SampleBuffer& c : mCarried)
        c.Resize(0, false);
    mCarriedCount = 0;
    mCarriedFrom = mFrameFrom = -1;
}

void SourceComputer::Reset(double sampleRate)
{
    mFrameProcessor->Reset(kBufferSize, kOverlap, kOversampling, sampleRate);
    mDisplayProcessor->Reset(kBufferSize, kOverlap, kOversampling, sampleRate);
    for (SampleBuffer& c : mCarried)
        c.Resize(0, false);
    mCarriedCount = 0;
    mCarriedFrom = mFrameFrom = -1;
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
    Add(left, right, n, nullptr, 0);
}

void SourceComputer::AddWindow(const ScopeHistory& window)
{
    mWindow = &window;
    Add(window.Left(), window.Right(), window.Size(), &window, window.Appended() - window.Size());
}

void SourceComputer::BeforeAppend(const ScopeHistory& window, int n)
{
    if (&window == mWindow)
        KeepBefore(window.StartAfterAppend(n));
}

const double* SourceComputer::Carried(int channel) const
{
    if (mCarriedFrom < 0)
        return mCarried[channel].Get();
    return channel == 0 ? mWindow->LeftAt(mCarriedFrom) : mWindow->RightAt(mCarriedFrom);
}

void SourceComputer::KeepBefore(long long start)
{
    if (mCarriedFrom >= 0 && mCarriedFrom < start)
    {
        for (int c = 0; c < kNumChannels; ++c)
            mCarried[c].Set(Carried(c), mCarriedCount, false);
        mCarriedFrom = -1;
    }
    if (mFrameFrom >= 0 && mFrameFrom < start)
        KeepWindowFrame();
}

void SourceComputer::KeepWindowFrame()
{
    const double* frame[kNumChannels] = {mWindow->LeftAt(mFrameFrom), mWindow->RightAt(mFrameFrom)};
    mDisplayProcessor->KeepFrame(frame, kBufferSize, frame, 0);
    mFrameFrom = -1;
}

void SourceComputer::Add(const double* left, const double* right, int n,
                         const ScopeHistory* window, long long first)
{
    // The frames run over the samples carried from the last call followed by these, a hop apart;
    // only the last analysed one can still be shown, so its samples are all that is kept of
    // them, with the samples the next call's frames start on. Nothing else is copied or queued,
    // and from a window not even those, while they stay in it.
    n = std::max(n, 0);
    const int size = kBufferSize;
    const int hop = kBufferSize / kOverlap;
    const int carried = mCarriedCount;
    const long total = static_cast<long>(carried) + n;
    const long frames = total >= size ? (total - size) / hop + 1 : 0;
    const long counted = mDisplayProcessor->GetFrameCounter();
    const long period = mDisplayProcessor->GetPeriod();
    const long lastAnalysed = (counted + frames) / period * period;
    const double* inputs[kNumChannels] = {left, right};
    if (lastAnalysed > counted)
    {
        const long start = (lastAnalysed - counted - 1) * hop;
        if (window && start >= carried)
        {
            mFrameFrom = first + (start - carried);
        }
        else
        {
            const int fromCarried = static_cast<int>(std::max(carried - start, 0L));
            const int fromInput = size - fromCarried;
            const int inputStart = static_cast<int>(std::max(start - carried, 0L));
            const double* carriedStart[kNumChannels];
            const double* inputStarts[kNumChannels];
            for (int c = 0; c < kNumChannels; ++c)
            {
                carriedStart[c] = Carried(c) + (carried - fromCarried);
                inputStarts[c] = inputs[c] + inputStart;
            }
            mDisplayProcessor->KeepFrame(carriedStart, fromCarried, inputStarts, fromInput);
            mFrameFrom = -1;
        }
    }
    mDisplayProcessor->CountFrames(frames);

    const long consumed = frames * hop;
    if (consumed >= carried)
    {
        const int skip = static_cast<int>(consumed - carried);
        if (window)
        {
            mCarriedFrom = first + skip;
        }
        else
        {
            for (int c = 0; c < kNumChannels; ++c)
                mCarried[c].Set(inputs[c] + skip, n - skip, false);
            mCarriedFrom = -1;
        }
    }
    else
    {
        for (int c = 0; c < kNumChannels; ++c)
        {
            if (mCarriedFrom >= 0)
                mCarried[c].Set(Carried(c) + consumed, static_cast<int>(carried - consumed), false);
            else
                mCarried[c].Delete(0, static_cast<int>(consumed));
            mCarried[c].Add(inputs[c], n);
        }
        mCarriedFrom = -1;
    }
    mCarriedCount = static_cast<int>(total - consumed);
}

void SourceComputer::GetPoints(SampleBuffer& x, SampleBuffer& y)
{
    if (mFrameFrom >= 0)
        KeepWindowFrame();
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
