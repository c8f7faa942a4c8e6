#include "hosts/au/IPlugAU.h"

#include "framework/DenormalGuard.h"
#include "hosts/au/IPlugAUHelpers.h"

#include <algorithm>

using namespace IPlugAUHelpers;

void IPlugAU::CallRenderNotifications(AudioUnitRenderActionFlags flag,
                                      AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* timeStamp, UInt32 outputBusIdx,
                                      UInt32 nFrames, AudioBufferList* bufferList)
{
    for (int i = 0; i < mRenderNotify.GetSize(); ++i)
    {
        const RenderNotify* r = mRenderNotify.Get(i);
        AudioUnitRenderActionFlags flags = (ioActionFlags ? *ioActionFlags : 0) | flag;
        r->func(r->refCon, &flags, timeStamp, outputBusIdx, nFrames, bufferList);
    }
}

// ---- Inputs ----

ComponentResult IPlugAU::PullInputs(AudioUnitRenderActionFlags* flags,
                                    const AudioTimeStamp* timeStamp, UInt32 nFrames)
{
    for (int i = 0; i < mInBuses.GetSize(); ++i)
    {
        if (!mInBuses.Get(i)->connected)
            continue;
        const ComponentResult r = PullInput(i, flags, timeStamp, nFrames);
        if (r != noErr)
            return r;
    }
    mRenderTimestamp = timeStamp->mSampleTime;
    return noErr;
}

// Asks the bus's source for nFrames (a render callback fills the input scratch, an upstream
// unit hands back buffers of its own) and attaches what arrives to the bus's channels.
ComponentResult IPlugAU::PullInput(int busIdx, AudioUnitRenderActionFlags* flags,
                                   const AudioTimeStamp* timeStamp, UInt32 nFrames)
{
    const BusInfo* bus = mInBuses.Get(busIdx);
    const InputConnection* c = mInBusConnections.Get(busIdx);
    auto* list = reinterpret_cast<AudioBufferList*>(mPullBufferStorage.Get());
    // A legal format never exceeds the bus; the storage holds that many buffers.
    const int nBuffers = std::min(bus->hostChannels, bus->plugChannels);
    list->mNumberBuffers = static_cast<UInt32>(nBuffers);
    for (int j = 0; j < nBuffers; ++j)
    {
        AudioBuffer& b = list->mBuffers[j];
        b.mNumberChannels = 1;
        b.mDataByteSize = nFrames * kBytesPerSample;
        b.mData = c->connectionType == eRenderCallback
                      ? mInScratchBuf.Get() + (bus->firstChannel + j) * nFrames
                      : nullptr;
    }

    ComponentResult r = noErr;
    AudioUnitRenderActionFlags pullFlags = 0;
    switch (c->connectionType)
    {
    case eRenderCallback:
        r = c->callbackFuncPtr(c->callbackRefCon, &pullFlags, timeStamp,
                               static_cast<UInt32>(busIdx), nFrames, list);
        break;
    case eDirectNoFastProc:
        pullFlags = flags ? *flags : 0;
        r = AudioUnitRender(c->upstreamUnit, &pullFlags, timeStamp,
                            static_cast<UInt32>(c->upstreamBusIdx), nFrames, list);
        break;
    case eDirectFastProc:
        pullFlags = flags ? *flags : 0;
        r = c->upstreamRenderProc(c->upstreamObj, &pullFlags, timeStamp,
                                  static_cast<UInt32>(c->upstreamBusIdx), nFrames, list);
        break;
    default:
        break;
    }
    if (r != noErr)
        return r;

    // An upstream that handed back fewer buffers, or none of its own, delivered no audio.
    if (static_cast<int>(list->mNumberBuffers) < nBuffers)
        return kAudioUnitErr_NoConnection;
    for (int j = 0; j < nBuffers; ++j)
    {
        AudioBuffer& b = list->mBuffers[j];
        if (!b.mData || b.mDataByteSize < nFrames * kBytesPerSample)
            return kAudioUnitErr_NoConnection;
        float* data = static_cast<float*>(b.mData);
        AttachInputBuffers(bus->firstChannel + j, 1, &data, static_cast<int>(nFrames));
    }
    return noErr;
}

// ---- Outputs ----

// Connects the bus's channels to the host's buffers; a buffer without data gets the output
// scratch.
void IPlugAU::AttachOutputs(BusInfo* bus, UInt32 nFrames, AudioBufferList* bufferList)
{
    const int nGiven = static_cast<int>(std::min<UInt32>(bufferList->mNumberBuffers, INT32_MAX));
    // A host that never set the output format gets the format the bus reports.
    if (bus->hostChannels < 0)
        bus->hostChannels = bus->plugChannels;
    if (!bus->connected || bus->hostChannels != nGiven)
    {
        const int n = std::max(std::min(bus->hostChannels, nGiven), 0);
        SetOutputChannelConnections(bus->firstChannel, n, true);
        SetOutputChannelConnections(bus->firstChannel + n, std::max(bus->plugChannels - n, 0),
                                    false);
        bus->connected = true;
    }

    // Buffers past the bus's channels have no plug-in channel (and no scratch) behind them.
    const int nUsed = std::min(nGiven, bus->plugChannels);
    for (int j = 0; j < nUsed; ++j)
    {
        AudioBuffer& b = bufferList->mBuffers[j];
        if (!b.mData)
            b.mData = mOutScratchBuf.Get() + (bus->firstChannel + j) * nFrames;
        float* data = static_cast<float*>(b.mData);
        AttachOutputBuffers(bus->firstChannel + j, 1, &data);
    }
}

// The plug-in processes once per render cycle: on the call for the last connected output bus.
void IPlugAU::ProcessIfLastBus(UInt32 outputBusIdx, UInt32 nFrames)
{
    int lastConnected = -1;
    for (int i = 0; i < mOutBuses.GetSize() && mOutBuses.Get(i)->connected; ++i)
        lastConnected = i;
    if (static_cast<int>(outputBusIdx) != lastConnected)
        return;
    const int nBuses = mOutBuses.GetSize();
    if (lastConnected + 1 < nBuses)
    {
        const int first = 2 * (lastConnected + 1);
        SetOutputChannelConnections(first, 2 * nBuses - first, false);
    }
    // Denormals off for the plug-in's own processing only; upstream units and the host's
    // notifications run with the host's settings, which the guard restores.
    DenormalGuard noDenormals;
    if (IsBypassed())
        PassThroughBuffers(static_cast<int>(nFrames));
    else
        ProcessBuffers(static_cast<int>(nFrames));
}

// ---- Render ----

ComponentResult IPlugAU::RenderProc(void* storage, AudioUnitRenderActionFlags* ioActionFlags,
                                    const AudioTimeStamp* timeStamp, UInt32 outputBusIdx,
                                    UInt32 nFrames, AudioBufferList* bufferList)
{
    IPlugAU* plug = FromStorage(storage);
    if (!plug)
        return badComponentSelector;
    WDL_MutexLock lock(plug->GetMutex());

    if (!timeStamp || !(timeStamp->mFlags & kAudioTimeStampSampleTimeValid) ||
        outputBusIdx >= static_cast<UInt32>(plug->mOutBuses.GetSize()) ||
        nFrames > static_cast<UInt32>(plug->GetBlockSize()) || !bufferList)
        return kAudioUnitErr_InvalidPropertyValue;

    plug->CallRenderNotifications(kAudioUnitRenderAction_PreRender, ioActionFlags, timeStamp,
                                  outputBusIdx, nFrames, bufferList);

    // Another output bus of the same render cycle does not pull again.
    if (timeStamp->mSampleTime != plug->mRenderTimestamp)
    {
        const ComponentResult r = plug->PullInputs(ioActionFlags, timeStamp, nFrames);
        if (r != noErr)
            return r;
    }

    plug->AttachOutputs(plug->mOutBuses.Get(static_cast<int>(outputBusIdx)), nFrames, bufferList);
    plug->ProcessIfLastBus(outputBusIdx, nFrames);

    plug->CallRenderNotifications(kAudioUnitRenderAction_PostRender, ioActionFlags, timeStamp,
                                  outputBusIdx, nFrames, bufferList);
    return noErr;
}
