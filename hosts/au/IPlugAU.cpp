#include "hosts/au/IPlugAU.h"

#include "editor/IGraphics.h"
#include "hosts/au/IPlugAUHelpers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace IPlugAUHelpers;

namespace
{
constexpr UInt32 kFastDispatchRender = kAudioUnitRenderSelect;
} // namespace

WDL_Mutex& IPlugAUCreationMutex()
{
    static WDL_Mutex creationMutex;
    return creationMutex;
}

// ---- Construction ----

IPlugAU::IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr,
                 int nPresets, const char* effectName, const char* productName, const char* mfrName,
                 int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                 bool plugDoesChunks, bool plugIsInst)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
                uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIAU),
      mOSXBundleID(instanceInfo.mOSXBundleID),
      mCocoaViewFactoryClassName(instanceInfo.mCocoaViewFactoryClassName)
{
    const int nInputs = NInChannels();
    const int nOutputs = NOutChannels();
    const int nSidechain = NSidechainChannels();

    if (nSidechain > 0)
    {
        auto* main = new BusInfo();
        main->plugChannels = nInputs - nSidechain;
        main->firstChannel = 0;
        mInBuses.Add(main);
        auto* side = new BusInfo();
        side->plugChannels = nSidechain;
        side->firstChannel = nInputs - nSidechain;
        mInBuses.Add(side);
        SetInputBusLabel(0, "main input");
        SetInputBusLabel(1, "aux input");
    }
    else if (nInputs > 0)
    {
        auto* bus = new BusInfo();
        bus->plugChannels = nInputs;
        mInBuses.Add(bus);
        SetInputBusLabel(0, "input");
        SetInputBusLabel(1, "aux input");
    }

    if (plugIsInst)
    {
        const int nBuses = (nOutputs + 1) / 2;
        for (int i = 0; i < nBuses; ++i)
        {
            auto* bus = new BusInfo();
            bus->firstChannel = 2 * i;
            bus->plugChannels = std::min(nOutputs - 2 * i, 2);
            mOutBuses.Add(bus);
            char label[32];
            std::snprintf(label, sizeof(label), "output %i", i + 1);
            SetOutputBusLabel(i, label);
        }
    }
    else
    {
        auto* bus = new BusInfo();
        bus->plugChannels = nOutputs;
        mOutBuses.Add(bus);
        SetOutputBusLabel(0, "output");
    }

    for (int i = 0; i < mInBuses.GetSize(); ++i)
    {
        auto* c = new InputConnection;
        std::memset(c, 0, sizeof(InputConnection));
        mInBusConnections.Add(c);
    }

    // One bus's pull never has more buffers than there are input channels.
    mPullBufferStorage.Resize(std::max(nInputs, 1) + 1);

    AssessInputConnections();
    SetBlockSize(kDefaultBlockSize);
}

IPlugAU::~IPlugAU()
{
    mRenderNotify.Empty(true);
    mInBuses.Empty(true);
    mOutBuses.Empty(true);
    mInBusConnections.Empty(true);
    mPropertyListeners.Empty(true);
}

// ---- Hooks ----

void IPlugAU::SendGesture(AudioUnitEventType type, int paramIdx)
{
    AudioUnitEvent event;
    std::memset(&event, 0, sizeof(event));
    event.mEventType = type;
    event.mArgument.mParameter.mAudioUnit = mCI;
    event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(paramIdx);
    event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
    event.mArgument.mParameter.mElement = 0;
    AUEventListenerNotify(nullptr, nullptr, &event);
}

void IPlugAU::BeginInformHostOfParamChange(int paramIdx)
{
    SendGesture(kAudioUnitEvent_BeginParameterChangeGesture, paramIdx);
}

void IPlugAU::InformHostOfParamChange(int paramIdx, double /*normalizedValue*/)
{
    SendGesture(kAudioUnitEvent_ParameterValueChange, paramIdx);
}

void IPlugAU::EndInformHostOfParamChange(int paramIdx)
{
    SendGesture(kAudioUnitEvent_EndParameterChangeGesture, paramIdx);
}

bool IPlugAU::GetTime(TimeInfo* timeInfo)
{
    if (!timeInfo)
        return false;
    *timeInfo = TimeInfo();
    if (mHostTransportKnown)
    {
        if (mHostSamplePos > 0.0)
            timeInfo->samplePos = mHostSamplePos;
        timeInfo->transportIsRunning = mHostTransportRunning;
    }

    void* user = mHostCallbacks.hostUserData;
    if (mHostCallbacks.beatAndTempoProc)
    {
        Float64 beat = 0.0, tempo = 0.0;
        if (mHostCallbacks.beatAndTempoProc(user, &beat, &tempo) == noErr)
        {
            if (tempo > 0.0)
                timeInfo->tempo = tempo;
            if (beat > 0.0)
                timeInfo->ppqPos = beat;
        }
    }
    HostTransport t;
    if (AskHostTransport(t))
    {
        if (t.samplePos > 0.0)
            timeInfo->samplePos = t.samplePos;
        if (t.cycleStart > 0.0)
            timeInfo->cycleStartPos = t.cycleStart;
        if (t.cycleEnd > 0.0)
            timeInfo->cycleEndPos = t.cycleEnd;
        timeInfo->transportIsRunning = t.playing != 0;
        timeInfo->transportLoopEnabled = t.cycling != 0;
    }
    if (mHostCallbacks.musicalTimeLocationProc)
    {
        UInt32 deltaToNextBeat = 0, denominator = 0;
        Float32 numerator = 0.0f;
        Float64 barStart = 0.0;
        if (mHostCallbacks.musicalTimeLocationProc(user, &deltaToNextBeat, &numerator, &denominator,
                                                   &barStart) == noErr)
        {
            timeInfo->numerator = static_cast<int32_t>(numerator);
            timeInfo->denominator = static_cast<int32_t>(denominator);
            if (barStart > 0.0)
                timeInfo->lastBarPos = barStart;
        }
    }
    return true;
}

bool IPlugAU::AskHostTransport(HostTransport& t) const
{
    return mHostCallbacks.transportStateProc &&
           mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &t.playing, &t.changed,
                                             &t.samplePos, &t.cycling, &t.cycleStart,
                                             &t.cycleEnd) == noErr;
}

bool IPlugAU::IsTransportRunning()
{
    HostTransport t;
    if (AskHostTransport(t))
        return t.playing != 0;
    return mHostTransportKnown && mHostTransportRunning;
}

int IPlugAU::GetHost()
{
    if (StoredHost() != kHostUndetected)
        return StoredHost();
    const char* id = nullptr;
    char buffer[kHostNameSize];
    if (CFBundleRef main = CFBundleGetMainBundle())
        if (CFStringRef ident = CFBundleGetIdentifier(main))
            if (CFStringGetCString(ident, buffer, sizeof(buffer), kCFStringEncodingUTF8))
                id = buffer;
    SetHost(id ? id : "", 0);
    return StoredHost();
}

void IPlugAU::ResizeGraphics(int /*width*/, int /*height*/)
{
    if (GetGUI(*this))
        OnWindowResize();
}

void IPlugAU::HostSpecificInit()
{
    GetHost();
    OnHostIdentified();
}

bool IPlugAU::SendMidiMessage(IMidiMsg* /*msg*/)
{
    return false;
}

void IPlugAU::SetLatency(int latencySamples)
{
    CallPropertyListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
    IPlugBase::SetLatency(latencySamples);
}

void IPlugAU::SetBlockSize(int blockSize)
{
    const int n = std::max(blockSize, 0);
    mInScratchBuf.Resize(n * NInChannels());
    mOutScratchBuf.Resize(n * NOutChannels());
    mInScratchBuf.Zero();
    mOutScratchBuf.Zero();
    IPlugBase::SetBlockSize(blockSize);
}

void IPlugAU::SetHostTransport(bool running, double samplePos)
{
    mHostTransportKnown = true;
    mHostTransportRunning = running;
    mHostSamplePos = samplePos;
}

// ---- Buses and connections ----

IPlugAU::BusInfo* IPlugAU::GetBus(AudioUnitScope scope, AudioUnitElement element)
{
    const int idx = ElementIndex(element);
    if (scope == kAudioUnitScope_Input)
        return mInBuses.Get(idx);
    if (scope == kAudioUnitScope_Output || scope == kAudioUnitScope_Global)
        return mOutBuses.Get(idx);
    return nullptr;
}

int IPlugAU::NHostChannelsConnected(WDL_PtrList<BusInfo>& buses, BusInfo* excludeBus)
{
    bool any = false;
    int n = 0;
    for (int i = 0; i < buses.GetSize(); ++i)
    {
        const BusInfo* bus = buses.Get(i);
        if (bus == excludeBus || bus->hostChannels < 0)
            continue;
        any = true;
        n += bus->hostChannels;
    }
    return any ? n : -1;
}

bool IPlugAU::CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels)
{
    if (scope == kAudioUnitScope_Input)
    {
        const int others = NHostChannelsConnected(mInBuses, mInBuses.Get(busIdx));
        const int nIn = others < 0 ? nChannels : others + nChannels;
        const int nOut = mActive ? NHostChannelsConnected(mOutBuses) : -1;
        return LegalIO(nIn, nOut);
    }
    const int others = NHostChannelsConnected(mOutBuses, mOutBuses.Get(busIdx));
    const int nOut = others < 0 ? nChannels : others + nChannels;
    const int nIn = mActive ? NHostChannelsConnected(mInBuses) : -1;
    return LegalIO(nIn, nOut);
}

bool IPlugAU::CheckLegalIO()
{
    const int nIn = NHostChannelsConnected(mInBuses);
    const int nOut = NHostChannelsConnected(mOutBuses);
    return (nIn == 0 && nOut == 0) || LegalIO(nIn, nOut);
}

void IPlugAU::AssessInputConnections()
{
    WDL_MutexLock lock(GetMutex());
    SetInputChannelConnections(0, NInChannels(), false);
    for (int i = 0; i < mInBuses.GetSize(); ++i)
    {
        BusInfo* bus = mInBuses.Get(i);
        InputConnection* c = mInBusConnections.Get(i);
        if (c->upstreamRenderProc && c->upstreamObj)
            c->connectionType = eDirectFastProc;
        else if (c->upstreamUnit)
            c->connectionType = eDirectNoFastProc;
        else if (c->callbackFuncPtr)
            c->connectionType = eRenderCallback;
        else
            c->connectionType = eNotConnected;

        bus->connected = c->connectionType != eNotConnected;
        if (!bus->connected)
            continue;
        if (bus->hostChannels < 0)
            bus->hostChannels = bus->plugChannels;
        SetInputChannelConnections(bus->firstChannel, bus->hostChannels, true);
        SetInputChannelConnections(bus->firstChannel + bus->hostChannels,
                                   std::max(bus->plugChannels - bus->hostChannels, 0), false);
    }
}

void IPlugAU::ClearConnections()
{
    for (int i = 0; i < mInBuses.GetSize(); ++i)
    {
        mInBuses.Get(i)->connected = false;
        mInBuses.Get(i)->hostChannels = -1;
        std::memset(mInBusConnections.Get(i), 0, sizeof(InputConnection));
    }
    for (int i = 0; i < mOutBuses.GetSize(); ++i)
    {
        mOutBuses.Get(i)->connected = false;
        mOutBuses.Get(i)->hostChannels = -1;
    }
}

void IPlugAU::CallPropertyListeners(AudioUnitPropertyID propID, AudioUnitScope scope)
{
    for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
    {
        const PropertyListener* l = mPropertyListeners.Get(i);
        if (l->propID == propID)
            l->listenerProc(l->listenerRefCon, mCI, propID, scope, 0);
    }
}

ComponentResult IPlugAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                         const AudioStreamBasicDescription* asbd)
{
    BusInfo* bus = GetBus(scope, element);
    if (!bus)
        return kAudioUnitErr_InvalidProperty;
    bus->hostChannels = 0;
    const int nChannels = asbd->mChannelsPerFrame > static_cast<UInt32>(INT32_MAX)
                              ? -1
                              : static_cast<int>(asbd->mChannelsPerFrame);
    const bool ok = nChannels > 0 && CheckLegalIO(scope, static_cast<int>(element), nChannels) &&
                    asbd->mFormatID == kAudioFormatLinearPCM &&
                    (asbd->mFormatFlags & (kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked));
    if (ok)
    {
        bus->hostChannels = nChannels;
        if (asbd->mSampleRate > 0.0)
            SetSampleRate(asbd->mSampleRate);
    }
    AssessInputConnections();
    return ok ? noErr : kAudioUnitErr_InvalidProperty;
}

ComponentResult IPlugAU::SetConnection(const AudioUnitConnection* connection)
{
    const int dest = ElementIndex(connection->destInputNumber);
    InputConnection* c = mInBusConnections.Get(dest);
    if (!c)
        return kAudioUnitErr_InvalidProperty;
    std::memset(c, 0, sizeof(InputConnection));
    bool ok = true;
    if (AudioUnit src = connection->sourceAudioUnit)
    {
        AudioStreamBasicDescription asbd;
        UInt32 size = sizeof(asbd);
        ok = AudioUnitGetProperty(src, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                  connection->sourceOutputNumber, &asbd, &size) == noErr &&
             size == sizeof(asbd) &&
             SetStreamFormat(kAudioUnitScope_Input, connection->destInputNumber, &asbd) == noErr;
        if (ok)
        {
            c->upstreamUnit = src;
            c->upstreamBusIdx = static_cast<int>(connection->sourceOutputNumber);
            AudioUnitRenderProc srcRender = nullptr;
            UInt32 procSize = sizeof(srcRender);
            if (AudioUnitGetProperty(src, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                     kFastDispatchRender, &srcRender, &procSize) == noErr &&
                srcRender)
            {
                c->upstreamRenderProc = srcRender;
                c->upstreamObj = GetComponentInstanceStorage(src);
            }
        }
    }
    AssessInputConnections();
    return ok ? noErr : kAudioUnitErr_InvalidProperty;
}
