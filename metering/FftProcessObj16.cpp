#include "metering/FftProcessObj16.h"

#include "framework/Fft.h"

#include <algorithm>

FftProcessObj16::FftProcessObj16(const WDL_PtrList<ProcessObj>& processObjs, int numChannels,
                                 int numScChannels, int bufferSize, int overlap, double sampleRate,
                                 int oversampling)
    : mNumScChannels(std::max(numScChannels, 0)), mBufferSize(std::max(bufferSize, Fft::kMinSize)),
      mOverlap(std::max(overlap, 1)), mOversampling(std::max(oversampling, 1)),
      mSampleRate(sampleRate)
{
    Init();
    const int numMain = std::max(numChannels, 0);
    const int total = numMain + mNumScChannels;
    for (int i = 0; i < total; ++i)
        mChannels.Add(new ProcessObjChannel(processObjs.Get(i), mBufferSize, mOverlap,
                                            mOversampling, mSampleRate));
    for (int i = numMain; i < total; ++i)
        mChannels.Get(i)->SetOutputEnabled(false);
    if (mNumScChannels > 0)
        for (int i = 0; i < numMain; ++i)
        {
            const int sc = i < mNumScChannels ? i : 0;
            mChannels.Get(i)->SetPartner(mChannels.Get(numMain + sc));
        }

    for (int i = 0; i < total; ++i)
    {
        ProcessObjChannel* c = mChannels.Get(i);
        const bool main = i < numMain;
        (main ? mQueues : mScQueues).Add(&c->GetInputQueue());
        (main ? mSpectra : mScSpectra).Add(&c->GetSpectrum());
        (main ? mOutFrames : mScOutFrames).Add(&c->GetOutputFrame());
    }
    // Storage for the silence that stands in for an empty input list.
    for (int i = 0; i < numMain && i < ChannelList::kMaxChannels; ++i)
        mSilentInput.Add(nullptr, ProcessObjChannel::kReservedBlockSamples);
    mSilentInput.Clear();
}

FftProcessObj16::~FftProcessObj16()
{
    mChannels.Empty(true);
}

void FftProcessObj16::Init()
{
    Fft::Init();
}

void FftProcessObj16::Reset(int bufferSize, int overlap, int oversampling, double sampleRate)
{
    if (bufferSize > 0)
        mBufferSize = std::max(bufferSize, Fft::kMinSize);
    if (overlap > 0)
        mOverlap = overlap;
    if (oversampling > 0)
        mOversampling = oversampling;
    if (sampleRate > 0.0)
        mSampleRate = sampleRate;
    Reset();
}

void FftProcessObj16::Reset()
{
    for (int i = 0; i < mChannels.GetSize(); ++i)
        mChannels.Get(i)->Reset(mBufferSize, mOverlap, mOversampling, mSampleRate);
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->Reset(mBufferSize, mOverlap, mOversampling, mSampleRate);
}

namespace
{
template <typename F>
void ForChannels(const WDL_PtrList<ProcessObjChannel>& channels, int channel, F f)
{
    if (channel >= 0 && channel < channels.GetSize())
    {
        f(channels.Get(channel));
        return;
    }
    for (int i = 0; i < channels.GetSize(); ++i)
        f(channels.Get(i));
}
} // namespace

void FftProcessObj16::SetAnalysisWindow(int channel, WindowType type)
{
    ForChannels(mChannels, channel, [type](ProcessObjChannel* c) { c->SetAnalysisWindow(type); });
}

void FftProcessObj16::SetSynthesisWindow(int channel, WindowType type)
{
    ForChannels(mChannels, channel, [type](ProcessObjChannel* c) { c->SetSynthesisWindow(type); });
}

void FftProcessObj16::SetKeepEnergy(int channel, bool keep)
{
    ForChannels(mChannels, channel, [keep](ProcessObjChannel* c) { c->SetKeepEnergy(keep); });
}

void FftProcessObj16::SetSkipFft(int channel, bool skip)
{
    ForChannels(mChannels, channel, [skip](ProcessObjChannel* c) { c->SetSkipFft(skip); });
}

void FftProcessObj16::SetSpectraOnly(int channel, bool spectraOnly)
{
    ForChannels(mChannels, channel,
                [spectraOnly](ProcessObjChannel* c) { c->SetSpectraOnly(spectraOnly); });
}

void FftProcessObj16::SetSkipIFft(int channel, bool skip)
{
    ForChannels(mChannels, channel, [skip](ProcessObjChannel* c) { c->SetSkipIFft(skip); });
}

void FftProcessObj16::AddMultichannelProcess(MultichannelProcess* hook)
{
    if (hook)
        mMultichannelProcesses.Add(hook);
}

void FftProcessObj16::AddSamples(const ChannelList& in, const ChannelList& scIn)
{
    // Extra input channels must not spill into the side-chain channels.
    const int numMain = GetNumChannels();
    for (int j = 0; j < in.GetSize() && j < numMain; ++j)
        mChannels.Get(j)->AddSamples(in[j].Get(), in[j].GetSize());
    AddSamples(numMain, scIn);
}

void FftProcessObj16::AddSamples(int firstChannel, const ChannelList& channels)
{
    for (int j = 0; j < channels.GetSize(); ++j)
        if (ProcessObjChannel* c = mChannels.Get(firstChannel + j))
            c->AddSamples(channels[j].Get(), channels[j].GetSize());
}

bool FftProcessObj16::Process(const ChannelList& in, const ChannelList& scIn, ChannelList* out)
{
    const ChannelList* input = &in;
    if (in.IsEmpty())
    {
        mSilentInput.Clear();
        if (out)
            for (int i = 0; i < out->GetSize(); ++i)
                mSilentInput.Add(nullptr, (*out)[i].GetSize());
        input = &mSilentInput;
    }
    const ChannelList* sc = scIn.IsEmpty() ? nullptr : &scIn;

    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->ProcessInputSamples(*input, sc);
    const int numMain = GetNumChannels();
    for (int i = 0; i < numMain && i < input->GetSize(); ++i)
    {
        // The partner's side-chain input, when the list has it.
        const ProcessObjChannel* partner = mChannels.Get(i)->GetPartner();
        const int scIndex = partner ? mChannels.Find(partner) - numMain : -1;
        const SampleBuffer* scSamples =
            sc && scIndex >= 0 && scIndex < sc->GetSize() ? &(*sc)[scIndex] : nullptr;
        mChannels.Get(i)->CallInputHook((*input)[i], scSamples);
    }
    AddSamples(*input, scIn);
    RunQueuedFrames();

    if (!out)
        return true;
    const int n = input->GetSize() > 0 ? (*input)[0].GetSize() : 0;
    bool ok = true;
    for (int i = 0; i < numMain && i < out->GetSize(); ++i)
    {
        ProcessObjChannel* c = mChannels.Get(i);
        const bool got = c->GetOutput((*out)[i], n);
        // A channel that sat out the last frame is not holding the others back.
        ok = ok && (got || c->HadNotEnoughSamples());
    }
    if (!ok)
        for (int i = 0; i < out->GetSize(); ++i)
            (*out)[i].Zero();
    return ok;
}

void FftProcessObj16::RunQueuedFrames()
{
    if (mChannels.GetSize() == 0)
        return;
    ProcessObjChannel* first = mChannels.Get(0);
    while (first->QueuedSamples() >= first->GetBufferSize())
        RunFrame();
}

void FftProcessObj16::RunFrame()
{
    const int last = mChannels.GetSize() - 1;
    const bool transform = SpectraWanted();
    if (HooksLookAtQueues())
        for (int i = last; i >= 0; --i)
            mChannels.Get(i)->SettleQueue();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->MakeFrame(transform);
    DispatchFramed();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->ApplyAnalysisWindow(transform);
    DispatchWindowed();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->ForwardFft(transform);
    DispatchInputFft();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->CallSpectrumHook();
    DispatchSpectra();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->InverseFft();
    DispatchIFft();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->ApplySynthesisWindow();
    DispatchSynthesisWindowed();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->OverlapAdd();
    for (int i = last; i >= 0; --i)
        mChannels.Get(i)->Advance();
}

bool FftProcessObj16::HooksLookAtQueues() const
{
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        if (mMultichannelProcesses.Get(i)->LooksAtQueues())
            return true;
    return false;
}

bool FftProcessObj16::SpectraWanted() const
{
    for (int i = 0; i < mChannels.GetSize(); ++i)
        if (mChannels.Get(i)->UsesOwnSpectrum())
            return true;
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        if (mMultichannelProcesses.Get(i)->WantsNextSpectra())
            return true;
    return false;
}

void FftProcessObj16::DispatchFramed()
{
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->ProcessFramed(mQueues, ScList(mScQueues));
}

void FftProcessObj16::DispatchWindowed()
{
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->ProcessWindowed(mQueues, ScList(mScQueues));
}

void FftProcessObj16::DispatchInputFft()
{
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->ProcessInputFft(mSpectra, ScList(mScSpectra));
}

void FftProcessObj16::DispatchSpectra()
{
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->ProcessSpectra(mSpectra, ScList(mScSpectra));
}

void FftProcessObj16::DispatchIFft()
{
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->ProcessIFft(mOutFrames, ScList(mScOutFrames));
}

void FftProcessObj16::DispatchSynthesisWindowed()
{
    for (int i = 0; i < mMultichannelProcesses.GetSize(); ++i)
        mMultichannelProcesses.Get(i)->ProcessSynthesisWindowed(mOutFrames, ScList(mScOutFrames));
}
