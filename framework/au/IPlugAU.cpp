#include "framework/au/IPlugAU.h"

#include "editor/IGraphics.h"
#include "framework/DenormalGuard.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
// Bytes each property reports.
constexpr UInt32 kPointerSize = sizeof(void*);
constexpr UInt32 kFastDispatchGetParam = kAudioUnitGetParameterSelect;
constexpr UInt32 kFastDispatchSetParam = kAudioUnitSetParameterSelect;
constexpr UInt32 kFastDispatchRender = kAudioUnitRenderSelect;
constexpr SInt32 kMinCocoaSystemVersion = 0x1050;
constexpr int kStateNameSize = 64; // "name" of the state dictionary, terminator included
constexpr int kHostNameSize = 264; // host names longer than this are cut
constexpr int kBytesPerSample = sizeof(float);
constexpr int kMaxInputBusLabelIdx = 1;

// State dictionary keys.
constexpr const char* kStateVersionKey = "version";
constexpr const char* kStateTypeKey = "type";
constexpr const char* kStateSubtypeKey = "subtype";
constexpr const char* kStateManufacturerKey = "manufacturer";
constexpr const char* kStateNameKey = "name";
constexpr const char* kStateDataKey = "data";

CFStringRef MakeCFString(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text ? text : "", kCFStringEncodingUTF8);
}

void PutNumber(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
    CFStringRef k = MakeCFString(key);
    CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(dict, k, n);
    CFRelease(n);
    CFRelease(k);
}

void PutString(CFMutableDictionaryRef dict, const char* key, const char* value)
{
    CFStringRef k = MakeCFString(key);
    CFStringRef s = MakeCFString(value);
    CFDictionarySetValue(dict, k, s);
    CFRelease(s);
    CFRelease(k);
}

void PutData(CFMutableDictionaryRef dict, const char* key, const UInt8* bytes, CFIndex n)
{
    CFStringRef k = MakeCFString(key);
    CFDataRef d = CFDataCreate(kCFAllocatorDefault, bytes, n);
    CFDictionarySetValue(dict, k, d);
    CFRelease(d);
    CFRelease(k);
}

// The dictionary's value for key when it is of the type wanted, else null.
CFTypeRef GetTyped(CFDictionaryRef dict, const char* key, CFTypeID type)
{
    CFStringRef k = MakeCFString(key);
    CFTypeRef v = CFDictionaryGetValue(dict, k);
    CFRelease(k);
    return v && CFGetTypeID(v) == type ? v : nullptr;
}

bool GetNumber(CFDictionaryRef dict, const char* key, SInt32* value)
{
    CFTypeRef n = GetTyped(dict, key, CFNumberGetTypeID());
    return n && CFNumberGetValue(static_cast<CFNumberRef>(n), kCFNumberSInt32Type, value);
}

// ---- Factory preset records: reference counted, each reference holding one on the name ----
struct SharedPreset
{
    AUPreset preset;
    int refCount;
};

const void* PresetRetain(CFAllocatorRef, const void* value)
{
    auto* p = static_cast<SharedPreset*>(const_cast<void*>(value));
    ++p->refCount;
    CFRetain(p->preset.presetName);
    return value;
}

void PresetRelease(CFAllocatorRef, const void* value)
{
    auto* p = static_cast<SharedPreset*>(const_cast<void*>(value));
    CFRelease(p->preset.presetName);
    if (--p->refCount == 0)
        delete p;
}

Boolean PresetEqual(const void* a, const void* b)
{
    const auto* x = static_cast<const SharedPreset*>(a);
    const auto* y = static_cast<const SharedPreset*>(b);
    return x->preset.presetNumber == y->preset.presetNumber &&
           CFStringCompare(x->preset.presetName, y->preset.presetName, 0) == kCFCompareEqualTo;
}

CFStringRef PresetDescription(const void* value)
{
    const auto* p = static_cast<const SharedPreset*>(value);
    const char* name = CFStringGetCStringPtr(p->preset.presetName, kCFStringEncodingUTF8);
    char text[IPreset::kNameSize + 64];
    std::snprintf(text, sizeof(text), "AUPreset:\npreset number = %d\npreset name = %s",
                  static_cast<int>(p->preset.presetNumber), name ? name : "");
    return MakeCFString(text);
}

const CFArrayCallBacks kPresetArrayCallBacks = {0, PresetRetain, PresetRelease, PresetDescription,
                                                PresetEqual};

// The number a host types for a parameter without display texts (decimal, like atof).
double ParseNumber(const char* text)
{
    return std::atof(text);
}
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
    if (mHostCallbacks.transportStateProc)
    {
        Boolean playing = false, changed = false, cycling = false;
        Float64 samplePos = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
        if (mHostCallbacks.transportStateProc(user, &playing, &changed, &samplePos, &cycling,
                                              &cycleStart, &cycleEnd) == noErr)
        {
            if (samplePos > 0.0)
                timeInfo->samplePos = samplePos;
            if (cycleStart > 0.0)
                timeInfo->cycleStartPos = cycleStart;
            if (cycleEnd > 0.0)
                timeInfo->cycleEndPos = cycleEnd;
            timeInfo->transportIsRunning = playing != 0;
            timeInfo->transportLoopEnabled = cycling != 0;
        }
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
    if (GetGUI())
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
    const int idx =
        element > static_cast<AudioUnitElement>(INT32_MAX) ? -1 : static_cast<int>(element);
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
    const int dest = connection->destInputNumber > static_cast<UInt32>(INT32_MAX)
                         ? -1
                         : static_cast<int>(connection->destInputNumber);
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

// ---- State ----

ComponentResult IPlugAU::GetState(CFPropertyListRef* plist)
{
    ComponentDescription cd;
    const OSErr err =
        GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
    if (err != noErr)
        return err;

    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    PutNumber(dict, kStateVersionKey, GetEffectVersion(false));
    PutNumber(dict, kStateTypeKey, static_cast<SInt32>(cd.componentType));
    PutNumber(dict, kStateSubtypeKey, static_cast<SInt32>(cd.componentSubType));
    PutNumber(dict, kStateManufacturerKey, static_cast<SInt32>(cd.componentManufacturer));
    PutString(dict, kStateNameKey, PresetName(GetCurrentPresetIdx()));
    StateChunk chunk;
    if (SerializeState(chunk))
        PutData(dict, kStateDataKey, chunk.GetData(), chunk.Size());
    *plist = dict;
    return noErr;
}

ComponentResult IPlugAU::SetState(CFPropertyListRef plist)
{
    ComponentDescription cd;
    const OSErr err =
        GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
    if (err != noErr)
        return err;
    if (!plist || CFGetTypeID(plist) != CFDictionaryGetTypeID())
        return kAudioUnitErr_InvalidPropertyValue;
    CFDictionaryRef dict = static_cast<CFDictionaryRef>(plist);

    SInt32 version = 0, type = 0, subtype = 0, mfr = 0;
    CFTypeRef name = GetTyped(dict, kStateNameKey, CFStringGetTypeID());
    if (!GetNumber(dict, kStateVersionKey, &version) || !GetNumber(dict, kStateTypeKey, &type) ||
        !GetNumber(dict, kStateSubtypeKey, &subtype) ||
        !GetNumber(dict, kStateManufacturerKey, &mfr) || !name ||
        static_cast<OSType>(type) != cd.componentType ||
        static_cast<OSType>(subtype) != cd.componentSubType ||
        static_cast<OSType>(mfr) != cd.componentManufacturer)
        return kAudioUnitErr_InvalidPropertyValue;

    // The data is checked before anything changes, the named preset included, so that a state
    // without usable data leaves the plug-in as it was. Without state chunks the state is one
    // finite value per parameter.
    CFTypeRef data = GetTyped(dict, kStateDataKey, CFDataGetTypeID());
    if (!data)
        return kAudioUnitErr_InvalidPropertyValue;
    const CFIndex nBytes = CFDataGetLength(static_cast<CFDataRef>(data));
    StateChunk chunk;
    if (nBytes > INT32_MAX ||
        (nBytes > 0 && chunk.PutBytes(CFDataGetBytePtr(static_cast<CFDataRef>(data)),
                                      static_cast<int>(nBytes)) == 0))
        return kAudioUnitErr_InvalidPropertyValue;
    if (!DoesStateChunks() && !IsValidParamsChunk(chunk, 0))
        return kAudioUnitErr_InvalidPropertyValue;

    // A name that does not fit the field matches no preset.
    char presetName[kStateNameSize];
    if (!CFStringGetCString(static_cast<CFStringRef>(name), presetName, sizeof(presetName),
                            kCFStringEncodingUTF8))
        presetName[0] = '\0';
    RestorePresetByName(presetName);

    const int pos = UnserializeState(chunk, 0);
    if (pos <= 0)
        return kAudioUnitErr_InvalidPropertyValue;
    RedrawParamControls();
    return noErr;
}

CFArrayRef IPlugAU::MakeFactoryPresets()
{
    CFMutableArrayRef presets =
        CFArrayCreateMutable(kCFAllocatorDefault, NPresets(), &kPresetArrayCallBacks);
    if (!presets)
        return nullptr;
    for (int i = 0; i < NPresets(); ++i)
    {
        auto* record = new SharedPreset();
        record->preset.presetNumber = i;
        record->preset.presetName = MakeCFString(PresetName(i));
        record->refCount = 1;
        CFArrayAppendValue(presets, record);
        PresetRelease(kCFAllocatorDefault, record); // the array now holds the only reference
    }
    return presets;
}

void IPlugAU::FillParameterInfo(int paramIdx, AudioUnitParameterInfo* info)
{
    IParam* p = Param(paramIdx);
    std::memset(info, 0, sizeof(AudioUnitParameterInfo));
    info->flags = kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_HasCFNameString |
                  kAudioUnitParameterFlag_IsReadable;
    if (p->canAutomate)
        info->flags |= kAudioUnitParameterFlag_IsWritable;
    if (p->isMeta)
        info->flags |= kAudioUnitParameterFlag_IsElementMeta;

    info->cfNameString = MakeCFString(p->GetName());
    std::snprintf(info->name, sizeof(info->name), "%s", p->GetName());

    switch (p->Type())
    {
    case IParam::ParamType::Int:
    case IParam::ParamType::Enum:
        info->unit = kAudioUnitParameterUnit_Indexed;
        break;
    case IParam::ParamType::Bool:
        info->unit = kAudioUnitParameterUnit_Boolean;
        break;
    default:
    {
        const char* label = p->LabelForHost();
        if (label && label[0])
        {
            info->unit = kAudioUnitParameterUnit_CustomUnit;
            info->unitName = MakeCFString(label);
        }
        else
        {
            info->unit = kAudioUnitParameterUnit_Generic;
        }
    }
    }

    double minValue, maxValue;
    p->Bounds(minValue, maxValue);
    info->minValue = static_cast<AudioUnitParameterValue>(minValue);
    info->maxValue = static_cast<AudioUnitParameterValue>(maxValue);
    info->defaultValue = static_cast<AudioUnitParameterValue>(p->Value());

    const char* group = p->GetGroup();
    if (group && group[0])
    {
        int clump = 0;
        for (int i = 0; i < NParamGroups(); ++i)
            if (std::strcmp(group, GetParamGroupName(i)) == 0)
                clump = i + 1;
        if (clump == 0)
            clump = AddParamGroup(group);
        info->flags |= kAudioUnitParameterFlag_HasClump;
        info->clumpID = static_cast<UInt32>(clump);
    }
}

// ---- Properties ----

ComponentResult IPlugAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32* dataSize, Boolean* writable,
                                     void* data)
{
    UInt32 size = 0;
    // Reports size and writability; true when data is to be written (capacity checked next).
    auto answer = [&](UInt32 n, bool w) -> bool
    {
        size = n;
        if (dataSize && !data)
            *dataSize = n;
        if (writable)
            *writable = w;
        return data != nullptr;
    };
    auto fits = [&]() { return dataSize && *dataSize >= size; };
    const bool global = scope == kAudioUnitScope_Global;
    const int nParams = ParamCount();
    const int elementIdx =
        element > static_cast<AudioUnitElement>(INT32_MAX) ? -1 : static_cast<int>(element);
    ComponentResult result = noErr;

    switch (propID)
    {
    case kAudioUnitProperty_ClassInfo:
    {
        if (!answer(kPointerSize, true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        result = GetState(static_cast<CFPropertyListRef*>(data));
        break;
    }
    case kAudioUnitProperty_MakeConnection:
        if (!global && scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidProperty;
        // Write-only: there is nothing to read back.
        if (answer(sizeof(AudioUnitConnection), true))
            return kAudioUnitErr_InvalidProperty;
        break;
    case kAudioUnitProperty_SampleRate:
    {
        if (!answer(sizeof(Float64), true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        const Float64 rate = GetSampleRate();
        std::memcpy(data, &rate, sizeof(rate));
        break;
    }
    case kAudioUnitProperty_ParameterList:
    {
        const UInt32 n = global ? static_cast<UInt32>(nParams) * sizeof(AudioUnitParameterID) : 0;
        if (!answer(n, false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        auto* ids = static_cast<AudioUnitParameterID*>(data);
        for (UInt32 i = 0; global && i < static_cast<UInt32>(nParams); ++i)
            ids[i] = i;
        break;
    }
    case kAudioUnitProperty_ParameterInfo:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (elementIdx < 0 || elementIdx >= nParams)
            return kAudioUnitErr_InvalidElement;
        if (!answer(sizeof(AudioUnitParameterInfo), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        FillParameterInfo(elementIdx, static_cast<AudioUnitParameterInfo*>(data));
        break;
    }
    case kAudioUnitProperty_FastDispatch:
    {
        void* proc = nullptr;
        if (element == kFastDispatchGetParam)
            proc = reinterpret_cast<void*>(&IPlugAU::GetParamProc);
        else if (element == kFastDispatchSetParam)
            proc = reinterpret_cast<void*>(&IPlugAU::SetParamProc);
        else if (element == kFastDispatchRender)
            proc = reinterpret_cast<void*>(&IPlugAU::RenderProc);
        else
            return kAudioUnitErr_InvalidElement;
        if (!answer(kPointerSize, false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        std::memcpy(data, &proc, sizeof(proc));
        break;
    }
    case kAudioUnitProperty_StreamFormat:
    {
        BusInfo* bus = GetBus(scope, element);
        if (!bus)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(AudioStreamBasicDescription), true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        AudioStreamBasicDescription asbd;
        std::memset(&asbd, 0, sizeof(asbd));
        asbd.mSampleRate = GetSampleRate();
        asbd.mFormatID = kAudioFormatLinearPCM;
        asbd.mFormatFlags =
            kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
        asbd.mBytesPerPacket = kBytesPerSample;
        asbd.mFramesPerPacket = 1;
        asbd.mBytesPerFrame = kBytesPerSample;
        asbd.mChannelsPerFrame =
            static_cast<UInt32>(bus->hostChannels >= 0 ? bus->hostChannels : bus->plugChannels);
        asbd.mBitsPerChannel = 8 * kBytesPerSample;
        std::memcpy(data, &asbd, sizeof(asbd));
        break;
    }
    case kAudioUnitProperty_ElementCount:
    {
        if (!answer(sizeof(UInt32), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        UInt32 n = 0;
        if (global)
            n = 1;
        else if (scope == kAudioUnitScope_Input)
            n = static_cast<UInt32>(mInBuses.GetSize());
        else if (scope == kAudioUnitScope_Output)
            n = static_cast<UInt32>(mOutBuses.GetSize());
        std::memcpy(data, &n, sizeof(n));
        break;
    }
    case kAudioUnitProperty_Latency:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(Float64), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        const Float64 seconds = GetLatency() / GetSampleRate();
        std::memcpy(data, &seconds, sizeof(seconds));
        break;
    }
    case kAudioUnitProperty_SupportedNumChannels:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        const int n = NChannelIO();
        if (!answer(static_cast<UInt32>(n) * sizeof(AUChannelInfo), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        auto* infos = static_cast<AUChannelInfo*>(data);
        for (int i = 0; i < n; ++i)
        {
            int nIn = 0, nOut = 0;
            GetChannelIO(i, &nIn, &nOut);
            infos[i].inChannels = static_cast<SInt16>(nIn);
            infos[i].outChannels = static_cast<SInt16>(nOut);
        }
        break;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(UInt32), true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        const UInt32 frames = static_cast<UInt32>(GetBlockSize());
        std::memcpy(data, &frames, sizeof(frames));
        break;
    }
    case kAudioUnitProperty_ParameterValueStrings:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (elementIdx < 0 || elementIdx >= nParams)
            return kAudioUnitErr_InvalidElement;
        const IParam* p = Param(elementIdx);
        const int n = p->DisplayTextCount();
        if (n == 0)
        {
            answer(0, false);
            return kAudioUnitErr_InvalidProperty;
        }
        if (!answer(kPointerSize, false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        CFMutableArrayRef texts =
            CFArrayCreateMutable(kCFAllocatorDefault, n, &kCFTypeArrayCallBacks);
        for (int i = 0; i < n; ++i)
        {
            CFStringRef s = MakeCFString(p->DisplayTextForValue(i));
            CFArrayAppendValue(texts, s);
            CFRelease(s);
        }
        *static_cast<CFArrayRef*>(data) = texts;
        break;
    }
    case kAudioUnitProperty_GetUIComponentList:
    {
        if (!GetGUI())
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(ComponentDescription), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        ComponentDescription cd;
        std::memset(&cd, 0, sizeof(cd));
        cd.componentType = kAudioUnitCarbonViewComponentType;
        cd.componentSubType = static_cast<OSType>(GetUniqueID());
        cd.componentManufacturer = static_cast<OSType>(GetMfrID());
        std::memcpy(data, &cd, sizeof(cd));
        break;
    }
    case kAudioUnitProperty_AudioChannelLayout:
        return kAudioUnitErr_InvalidPropertyValue;
    case kAudioUnitProperty_TailTime:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(Float64), GetTailSize() > 0))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        const Float64 seconds = GetTailSize() / GetSampleRate();
        std::memcpy(data, &seconds, sizeof(seconds));
        break;
    }
    case kAudioUnitProperty_BypassEffect:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(UInt32), true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        const UInt32 bypassed = IsBypassed() ? 1 : 0;
        std::memcpy(data, &bypassed, sizeof(bypassed));
        break;
    }
    case kAudioUnitProperty_LastRenderError:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(OSStatus), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        const OSStatus none = noErr;
        std::memcpy(data, &none, sizeof(none));
        break;
    }
    case kAudioUnitProperty_SetRenderCallback:
        if ((!global && scope != kAudioUnitScope_Input) || elementIdx < 0 ||
            elementIdx >= mInBuses.GetSize())
            return kAudioUnitErr_InvalidProperty;
        // Write-only: there is nothing to read back.
        if (answer(sizeof(AURenderCallbackStruct), true))
            return kAudioUnitErr_InvalidProperty;
        break;
    case kAudioUnitProperty_FactoryPresets:
    {
        if (!answer(kPointerSize, false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        CFArrayRef presets = MakeFactoryPresets();
        if (!presets)
            return coreFoundationUnknownErr;
        *static_cast<CFArrayRef*>(data) = presets;
        break;
    }
    case kAudioUnitProperty_HostCallbacks:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(HostCallbackInfo), true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        std::memcpy(data, &mHostCallbacks, sizeof(HostCallbackInfo));
        break;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
        if (!answer(sizeof(AUPreset), true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        auto* preset = static_cast<AUPreset*>(data);
        preset->presetNumber = GetCurrentPresetIdx();
        preset->presetName = MakeCFString(PresetName(GetCurrentPresetIdx()));
        break;
    }
    case kAudioUnitProperty_ElementName:
    {
        if (!data)
            return kAudioUnitErr_InvalidProperty;
        const char* label = nullptr;
        if (scope == kAudioUnitScope_Output)
        {
            if (elementIdx < 0 || elementIdx >= mOutBuses.GetSize())
                return kAudioUnitErr_InvalidElement;
            label = GetOutputBusLabel(elementIdx);
        }
        else if (scope == kAudioUnitScope_Input)
        {
            if (elementIdx < 0 || elementIdx > kMaxInputBusLabelIdx)
                return kAudioUnitErr_InvalidElement;
            label = GetInputBusLabel(elementIdx);
        }
        else
        {
            return kAudioUnitErr_InvalidScope;
        }
        if (!label)
            return kAudioUnitErr_InvalidElement;
        answer(kPointerSize, false);
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        *static_cast<CFStringRef*>(data) = MakeCFString(label);
        break;
    }
    case kAudioUnitProperty_CocoaUI:
    {
        SInt32 version = 0;
        if (!GetGUI() || Gestalt(gestaltSystemVersion, &version) != noErr ||
            version < kMinCocoaSystemVersion)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(AudioUnitCocoaViewInfo), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        CFStringRef bundleID = MakeCFString(GetBundleID());
        CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID);
        CFRelease(bundleID);
        // Without its bundle the host could not load the view.
        if (!bundle)
            return kAudioUnitErr_InvalidProperty;
        auto* view = static_cast<AudioUnitCocoaViewInfo*>(data);
        view->mCocoaAUViewBundleLocation = CFBundleCopyBundleURL(bundle);
        view->mCocoaAUViewClass[0] = MakeCFString(GetCocoaViewFactoryClassName());
        break;
    }
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    {
        if (!IsInst() || mOutBuses.GetSize() < 2)
            return kAudioUnitErr_InvalidProperty;
        const BusInfo* bus = GetBus(scope, element);
        if (!bus || scope == kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(AudioChannelLayoutTag), true))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        AudioChannelLayoutTag tag = kAudioChannelLayoutTag_Unknown;
        if (bus->plugChannels == 1)
            tag = kAudioChannelLayoutTag_Mono;
        else if (bus->plugChannels == 2)
            tag = kAudioChannelLayoutTag_Stereo;
        std::memcpy(data, &tag, sizeof(tag));
        break;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
    {
        if (!answer(sizeof(AudioUnitParameterStringFromValue), false))
            return noErr;
        if (!global)
            return kAudioUnitErr_InvalidScope;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        auto* req = static_cast<AudioUnitParameterStringFromValue*>(data);
        IParam* p = ParamFromID(req->inParamID);
        if (!p)
            return kAudioUnitErr_InvalidParameter;
        if (!req->inValue)
            return kAudioUnitErr_InvalidPropertyValue;
        p->FormatValue(static_cast<double>(*req->inValue), false, mParamValueString, true);
        req->outString = MakeCFString(mParamValueString);
        break;
    }
    case kAudioUnitProperty_ParameterIDName:
    {
        if (!answer(sizeof(AudioUnitParameterIDName), false))
            return noErr;
        if (!global)
            return kAudioUnitErr_InvalidScope;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        auto* req = static_cast<AudioUnitParameterIDName*>(data);
        IParam* p = ParamFromID(req->inID);
        if (!p)
            return kAudioUnitErr_InvalidParameter;
        char name[IParam::kTextSize];
        std::snprintf(name, sizeof(name), "%s", p->GetName());
        if (req->inDesiredLength != kAudioUnitParameterName_Full)
        {
            const int cut =
                std::max(0, std::min<int>(req->inDesiredLength, IParam::kMaxTextLength));
            name[std::min<size_t>(static_cast<size_t>(cut), std::strlen(name))] = '\0';
        }
        req->outName = MakeCFString(name);
        break;
    }
    case kAudioUnitProperty_ParameterClumpName:
    {
        if (!answer(sizeof(AudioUnitParameterNameInfo), false))
            return noErr;
        if (!global)
            return kAudioUnitErr_InvalidScope;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        auto* req = static_cast<AudioUnitParameterNameInfo*>(data);
        const char* group = req->inID >= 1 && req->inID <= static_cast<UInt32>(NParamGroups())
                                ? GetParamGroupName(static_cast<int>(req->inID) - 1)
                                : nullptr;
        if (!group)
            return kAudioUnitErr_PropertyNotInUse;
        req->outName = MakeCFString(group);
        break;
    }
    case kAudioUnitProperty_ParameterValueFromString:
    {
        if (!answer(sizeof(AudioUnitParameterValueFromString), false))
            return noErr;
        if (!global)
            return kAudioUnitErr_InvalidScope;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        auto* req = static_cast<AudioUnitParameterValueFromString*>(data);
        IParam* p = ParamFromID(req->inParamID);
        if (!p)
            return kAudioUnitErr_InvalidParameter;
        const char* text = CFStringGetCStringPtr(req->inString, kCFStringEncodingUTF8);
        char buffer[IParam::kTextSize * 4];
        if (!text && req->inString &&
            CFStringGetCString(req->inString, buffer, sizeof(buffer), kCFStringEncodingUTF8))
            text = buffer;
        if (!text)
            return kAudioUnitErr_InvalidPropertyValue;
        // A text that names no value (no matching display text, no finite number within the
        // range of a float) answers an error rather than an unset value.
        double v = 0.0;
        if (p->DisplayTextCount() == 0)
            v = p->negateDisplay ? -ParseNumber(text) : ParseNumber(text);
        else if (!p->ValueForDisplayText(text, &v))
            return kAudioUnitErr_InvalidPropertyValue;
        if (!(std::fabs(v) <= FLT_MAX))
            return kAudioUnitErr_InvalidPropertyValue;
        req->outValue = static_cast<AudioUnitParameterValue>(v);
        break;
    }
    case kMusicDeviceProperty_InstrumentCount:
    {
        if (!global || !IsInst())
            return kAudioUnitErr_InvalidProperty;
        if (!answer(sizeof(UInt32), false))
            return noErr;
        if (!fits())
            return kAudioUnitErr_InvalidPropertyValue;
        const UInt32 one = 1;
        std::memcpy(data, &one, sizeof(one));
        break;
    }
    default:
        return kAudioUnitErr_InvalidProperty;
    }

    if (result == noErr && data && dataSize)
        *dataSize = size;
    return result;
}

ComponentResult IPlugAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32 dataSize, const void* data)
{
    CallPropertyListeners(propID, scope);

    // Every property below reads at least this many bytes.
    auto has = [&](size_t n) { return data && dataSize >= n; };
    const bool global = scope == kAudioUnitScope_Global;

    switch (propID)
    {
    case kAudioUnitProperty_ClassInfo:
        if (!has(sizeof(CFPropertyListRef)))
            return kAudioUnitErr_InvalidPropertyValue;
        return SetState(*static_cast<const CFPropertyListRef*>(data));
    case kAudioUnitProperty_MakeConnection:
        if (!global && scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidProperty;
        if (!has(sizeof(AudioUnitConnection)))
            return kAudioUnitErr_InvalidPropertyValue;
        return SetConnection(static_cast<const AudioUnitConnection*>(data));
    case kAudioUnitProperty_SampleRate:
    {
        if (!has(sizeof(Float64)))
            return kAudioUnitErr_InvalidPropertyValue;
        Float64 rate;
        std::memcpy(&rate, data, sizeof(rate));
        if (!(rate > 0.0) || !std::isfinite(rate))
            return kAudioUnitErr_InvalidPropertyValue;
        SetSampleRate(rate);
        Reset();
        return noErr;
    }
    case kAudioUnitProperty_StreamFormat:
        if (!has(sizeof(AudioStreamBasicDescription)))
            return kAudioUnitErr_InvalidPropertyValue;
        return SetStreamFormat(scope, element,
                               static_cast<const AudioStreamBasicDescription*>(data));
    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
        if (!has(sizeof(UInt32)))
            return kAudioUnitErr_InvalidPropertyValue;
        UInt32 frames;
        std::memcpy(&frames, data, sizeof(frames));
        if (frames == 0 || frames > kMaxBlockSize)
            return kAudioUnitErr_InvalidPropertyValue;
        SetBlockSize(static_cast<int>(frames));
        Reset();
        return noErr;
    }
    case kAudioUnitProperty_BypassEffect:
    {
        if (!has(sizeof(UInt32)))
            return kAudioUnitErr_InvalidPropertyValue;
        UInt32 value;
        std::memcpy(&value, data, sizeof(value));
        SetBypassed(value != 0);
        OnActivate(!IsBypassed());
        Reset();
        return noErr;
    }
    case kAudioUnitProperty_SetRenderCallback:
    {
        const int idx =
            element > static_cast<AudioUnitElement>(INT32_MAX) ? -1 : static_cast<int>(element);
        InputConnection* c = mInBusConnections.Get(idx);
        if (scope != kAudioUnitScope_Input || !c)
            return kAudioUnitErr_InvalidProperty;
        if (!has(sizeof(AURenderCallbackStruct)))
            return kAudioUnitErr_InvalidPropertyValue;
        const auto* cb = static_cast<const AURenderCallbackStruct*>(data);
        std::memset(c, 0, sizeof(InputConnection));
        if (cb->inputProc)
        {
            c->callbackFuncPtr = cb->inputProc;
            c->callbackRefCon = cb->inputProcRefCon;
        }
        AssessInputConnections();
        return noErr;
    }
    case kAudioUnitProperty_HostCallbacks:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (!has(sizeof(HostCallbackInfo)))
            return kAudioUnitErr_InvalidPropertyValue;
        std::memcpy(&mHostCallbacks, data, sizeof(HostCallbackInfo));
        return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        if (!has(sizeof(AUPreset)))
            return kAudioUnitErr_InvalidPropertyValue;
        RestorePreset(static_cast<const AUPreset*>(data)->presetNumber);
        return noErr;
    case kAudioUnitProperty_OfflineRender:
        return noErr;
    case kAudioUnitProperty_AUHostIdentifier:
    {
        if (!has(sizeof(AUHostIdentifier)))
            return kAudioUnitErr_InvalidPropertyValue;
        const auto* host = static_cast<const AUHostIdentifier*>(data);
        char name[kHostNameSize];
        const char* text = CFStringGetCStringPtr(host->hostName, kCFStringEncodingUTF8);
        if (!text)
            text = CFStringGetCString(host->hostName, name, sizeof(name), kCFStringEncodingUTF8)
                       ? name
                       : "";
        const int version = (host->hostVersion.majorRev << 16) |
                            ((host->hostVersion.minorAndBugRev >> 4) << 8) |
                            (host->hostVersion.minorAndBugRev & 0x0F);
        SetHost(text, version);
        OnHostIdentified();
        return noErr;
    }
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

// ---- Parameters ----

IParam* IPlugAU::ParamFromID(AudioUnitParameterID paramID) const
{
    return paramID < static_cast<UInt32>(ParamCount()) ? Param(static_cast<int>(paramID)) : nullptr;
}

ComponentResult IPlugAU::GetParamProc(void* storage, AudioUnitParameterID paramID,
                                      AudioUnitScope scope, AudioUnitElement /*element*/,
                                      AudioUnitParameterValue* value)
{
    IPlugAU* plug = FromStorage(storage);
    if (!plug)
        return badComponentSelector;
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidProperty;
    const IParam* p = plug->ParamFromID(paramID);
    if (!p)
        return kAudioUnitErr_InvalidParameter;
    if (!value)
        return kAudioUnitErr_InvalidPropertyValue;
    WDL_MutexLock lock(plug->GetMutex());
    *value = static_cast<AudioUnitParameterValue>(p->Value());
    return noErr;
}

ComponentResult IPlugAU::SetParamProc(void* storage, AudioUnitParameterID paramID,
                                      AudioUnitScope scope, AudioUnitElement /*element*/,
                                      AudioUnitParameterValue value, UInt32 /*bufferOffset*/)
{
    IPlugAU* plug = FromStorage(storage);
    if (!plug)
        return badComponentSelector;
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidProperty;
    IParam* p = plug->ParamFromID(paramID);
    if (!p)
        return kAudioUnitErr_InvalidParameter;
    if (!std::isfinite(value))
        return kAudioUnitErr_InvalidPropertyValue;
    WDL_MutexLock lock(plug->GetMutex());
    const int idx = static_cast<int>(paramID);
    p->SetValue(p->Clamp(value));
    if (IGraphics* gui = plug->GetGUI())
        gui->SetParameterFromPlug(idx, value, false);
    plug->OnParamChange(idx);
    return noErr;
}

// ---- Render ----

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

ComponentResult IPlugAU::PullInputs(AudioUnitRenderActionFlags* flags,
                                    const AudioTimeStamp* timeStamp, UInt32 nFrames)
{
    auto* list = reinterpret_cast<AudioBufferList*>(mPullBufferStorage.Get());
    for (int i = 0; i < mInBuses.GetSize(); ++i)
    {
        BusInfo* bus = mInBuses.Get(i);
        InputConnection* c = mInBusConnections.Get(i);
        if (!bus->connected)
            continue;
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
            r = c->callbackFuncPtr(c->callbackRefCon, &pullFlags, timeStamp, static_cast<UInt32>(i),
                                   nFrames, list);
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
    }
    mRenderTimestamp = timeStamp->mSampleTime;
    return noErr;
}

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

    if (timeStamp->mSampleTime != plug->mRenderTimestamp)
    {
        const ComponentResult r = plug->PullInputs(ioActionFlags, timeStamp, nFrames);
        if (r != noErr)
            return r;
    }

    BusInfo* bus = plug->mOutBuses.Get(static_cast<int>(outputBusIdx));
    const int nGiven = static_cast<int>(std::min<UInt32>(bufferList->mNumberBuffers, INT32_MAX));
    // A host that never set the output format gets the format the bus reports.
    if (bus->hostChannels < 0)
        bus->hostChannels = bus->plugChannels;
    if (!bus->connected || bus->hostChannels != nGiven)
    {
        const int n = std::max(std::min(bus->hostChannels, nGiven), 0);
        plug->SetOutputChannelConnections(bus->firstChannel, n, true);
        plug->SetOutputChannelConnections(bus->firstChannel + n, std::max(bus->plugChannels - n, 0),
                                          false);
        bus->connected = true;
    }

    // Buffers past the bus's channels have no plug-in channel (and no scratch) behind them.
    const int nUsed = std::min(nGiven, bus->plugChannels);
    for (int j = 0; j < nUsed; ++j)
    {
        AudioBuffer& b = bufferList->mBuffers[j];
        if (!b.mData)
            b.mData = plug->mOutScratchBuf.Get() + (bus->firstChannel + j) * nFrames;
        float* data = static_cast<float*>(b.mData);
        plug->AttachOutputBuffers(bus->firstChannel + j, 1, &data);
    }

    int lastConnected = -1;
    for (int i = 0; i < plug->mOutBuses.GetSize() && plug->mOutBuses.Get(i)->connected; ++i)
        lastConnected = i;
    if (static_cast<int>(outputBusIdx) == lastConnected)
    {
        const int nBuses = plug->mOutBuses.GetSize();
        if (lastConnected + 1 < nBuses)
        {
            const int first = 2 * (lastConnected + 1);
            plug->SetOutputChannelConnections(first, 2 * nBuses - first, false);
        }
        // Denormals off for the plug-in's own processing only; upstream units and the host's
        // notifications run with the host's settings, which the guard restores.
        DenormalGuard noDenormals;
        if (plug->IsBypassed())
            plug->PassThroughBuffers(static_cast<int>(nFrames));
        else
            plug->ProcessBuffers(static_cast<int>(nFrames));
    }

    plug->CallRenderNotifications(kAudioUnitRenderAction_PostRender, ioActionFlags, timeStamp,
                                  outputBusIdx, nFrames, bufferList);
    return noErr;
}

// ---- Entry ----

ComponentResult IPlugAU::Dispatch(ComponentParameters* params)
{
    WDL_MutexLock lock(GetMutex());
    switch (params->what)
    {
    case kComponentCanDoSelect:
    {
        const SInt16 select = GetComponentParam<SInt16>(params, 0, 1);
        return (select >= kAudioUnitInitializeSelect && select <= kAudioUnitSetParameterSelect) ||
               (select >= kAudioUnitResetSelect &&
                select <= kAudioUnitRemovePropertyListenerSelect) ||
               (select >= kAudioUnitRenderSelect && select <= kAudioUnitScheduleParametersSelect);
    }
    case kComponentVersionSelect:
        return GetEffectVersion(false);
    case kAudioUnitInitializeSelect:
        if (!CheckLegalIO())
            return badComponentSelector;
        mActive = true;
        OnParamReset();
        OnActivate(true);
        return noErr;
    case kAudioUnitUninitializeSelect:
        mActive = false;
        OnActivate(false);
        return noErr;
    case kAudioUnitGetPropertyInfoSelect:
    {
        const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 5);
        const auto scope = GetComponentParam<AudioUnitScope>(params, 1, 5);
        const auto element = GetComponentParam<AudioUnitElement>(params, 2, 5);
        auto* size = GetComponentParam<UInt32*>(params, 3, 5);
        auto* writable = GetComponentParam<Boolean*>(params, 4, 5);
        return GetProperty(id, scope, element, size, writable, nullptr);
    }
    case kAudioUnitGetPropertySelect:
    {
        const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 5);
        const auto scope = GetComponentParam<AudioUnitScope>(params, 1, 5);
        const auto element = GetComponentParam<AudioUnitElement>(params, 2, 5);
        void* data = GetComponentParam<void*>(params, 3, 5);
        auto* size = GetComponentParam<UInt32*>(params, 4, 5);
        if (data && !size)
            return kAudioUnitErr_InvalidPropertyValue;
        return GetProperty(id, scope, element, size, nullptr, data);
    }
    case kAudioUnitSetPropertySelect:
    {
        const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 5);
        const auto scope = GetComponentParam<AudioUnitScope>(params, 1, 5);
        const auto element = GetComponentParam<AudioUnitElement>(params, 2, 5);
        const void* data = GetComponentParam<const void*>(params, 3, 5);
        const auto size = GetComponentParam<UInt32>(params, 4, 5);
        return SetProperty(id, scope, element, size, data);
    }
    case kAudioUnitGetParameterSelect:
        return GetParamProc(this, GetComponentParam<AudioUnitParameterID>(params, 0, 4),
                            GetComponentParam<AudioUnitScope>(params, 1, 4),
                            GetComponentParam<AudioUnitElement>(params, 2, 4),
                            GetComponentParam<AudioUnitParameterValue*>(params, 3, 4));
    case kAudioUnitSetParameterSelect:
        return SetParamProc(this, GetComponentParam<AudioUnitParameterID>(params, 0, 5),
                            GetComponentParam<AudioUnitScope>(params, 1, 5),
                            GetComponentParam<AudioUnitElement>(params, 2, 5),
                            GetComponentParam<AudioUnitParameterValue>(params, 3, 5),
                            GetComponentParam<UInt32>(params, 4, 5));
    case kAudioUnitResetSelect:
        Reset();
        return noErr;
    case kAudioUnitAddPropertyListenerSelect:
    {
        const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 3);
        const auto proc = GetComponentParam<AudioUnitPropertyListenerProc>(params, 1, 3);
        void* ref = GetComponentParam<void*>(params, 2, 3);
        if (!proc)
            return kAudioUnitErr_InvalidPropertyValue;
        for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
        {
            const PropertyListener* l = mPropertyListeners.Get(i);
            if (l->propID == id && l->listenerProc == proc)
                return noErr;
        }
        mPropertyListeners.Add(new PropertyListener{id, proc, ref});
        return noErr;
    }
    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
    {
        const bool withRef = params->what == kAudioUnitRemovePropertyListenerWithUserDataSelect;
        const int n = withRef ? 3 : 2;
        const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, n);
        const auto proc = GetComponentParam<AudioUnitPropertyListenerProc>(params, 1, n);
        void* ref = withRef ? GetComponentParam<void*>(params, 2, n) : nullptr;
        for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
        {
            const PropertyListener* l = mPropertyListeners.Get(i);
            if (l->propID == id && l->listenerProc == proc &&
                (!withRef || l->listenerRefCon == ref))
            {
                mPropertyListeners.Delete(i, true);
                break;
            }
        }
        return noErr;
    }
    case kAudioUnitRenderSelect:
        return RenderProc(this, GetComponentParam<AudioUnitRenderActionFlags*>(params, 0, 5),
                          GetComponentParam<const AudioTimeStamp*>(params, 1, 5),
                          GetComponentParam<UInt32>(params, 2, 5),
                          GetComponentParam<UInt32>(params, 3, 5),
                          GetComponentParam<AudioBufferList*>(params, 4, 5));
    case kAudioUnitAddRenderNotifySelect:
    {
        const auto proc = GetComponentParam<AURenderCallback>(params, 0, 2);
        void* ref = GetComponentParam<void*>(params, 1, 2);
        if (!proc)
            return kAudioUnitErr_InvalidPropertyValue;
        mRenderNotify.Add(new RenderNotify{proc, ref});
        return noErr;
    }
    case kAudioUnitRemoveRenderNotifySelect:
    {
        const auto proc = GetComponentParam<AURenderCallback>(params, 0, 2);
        for (int i = 0; i < mRenderNotify.GetSize(); ++i)
            if (mRenderNotify.Get(i)->func == proc)
            {
                mRenderNotify.Delete(i, true);
                break;
            }
        return noErr;
    }
    case kAudioUnitScheduleParametersSelect:
    {
        const auto* events = GetComponentParam<const AudioUnitParameterEvent*>(params, 0, 2);
        const auto n = GetComponentParam<UInt32>(params, 1, 2);
        if (!events && n > 0)
            return kAudioUnitErr_InvalidPropertyValue;
        for (UInt32 i = 0; i < n; ++i)
        {
            const AudioUnitParameterEvent& e = events[i];
            if (e.eventType != kParameterEvent_Immediate)
                continue;
            const ComponentResult r =
                SetParamProc(this, e.parameter, e.scope, e.element, e.eventValues.immediate.value,
                             e.eventValues.immediate.bufferOffset);
            if (r != noErr)
                return r;
        }
        return noErr;
    }
    case kMusicDeviceMIDIEventSelect:
    {
        IMidiMsg msg;
        msg.status = static_cast<uint8_t>(GetComponentParam<UInt32>(params, 0, 4));
        msg.data1 = static_cast<uint8_t>(GetComponentParam<UInt32>(params, 1, 4));
        msg.data2 = static_cast<uint8_t>(GetComponentParam<UInt32>(params, 2, 4));
        msg.offset = static_cast<int>(GetComponentParam<UInt32>(params, 3, 4));
        ProcessMidiMessage(&msg);
        return noErr;
    }
    case kMusicDeviceSysExSelect:
    {
        ISysEx sysex;
        sysex.offset = 0;
        sysex.data = GetComponentParam<const UInt8*>(params, 0, 2);
        sysex.size = static_cast<int>(GetComponentParam<UInt32>(params, 1, 2));
        ProcessSysEx(&sysex);
        return noErr;
    }
    case kMusicDevicePrepareInstrumentSelect:
    case kMusicDeviceReleaseInstrumentSelect:
    case kMusicDeviceStopNoteSelect:
        return noErr;
    case kMusicDeviceStartNoteSelect:
    {
        auto* noteID = GetComponentParam<NoteInstanceID*>(params, 2, 5);
        const auto* note = GetComponentParam<const MusicDeviceNoteParams*>(params, 4, 5);
        if (noteID && note)
            *noteID = static_cast<NoteInstanceID>(note->mPitch);
        return noErr;
    }
    default:
        return badComponentSelector;
    }
}

ComponentResult IPlugAUEntry(ComponentParameters* params, void* storage,
                             const IPlugAUFactory& factory)
{
    if (!params)
        return badComponentSelector;
    // No exception crosses the host boundary; the only one possible is running out of memory.
    try
    {
        if (params->what == kComponentOpenSelect)
        {
            const auto ci = GetComponentParam<ComponentInstance>(params, 0, 1);
            IPlugAU* plug = nullptr;
            {
                WDL_MutexLock lock(&IPlugAUCreationMutex());
                IPlugInstanceInfo info;
                info.mOSXBundleID.Set(factory.bundleID);
                info.mCocoaViewFactoryClassName.Set(factory.viewFactoryClassName);
                plug = factory.make(info);
            }
            if (!plug)
                return memFullErr;
            plug->HostSpecificInit();
            plug->PruneUninitializedPresets();
            plug->mCI = ci;
            SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(plug));
            return noErr;
        }

        IPlugAU* plug = IPlugAU::FromStorage(storage);
        if (!plug)
            return badComponentSelector;
        if (params->what == kComponentCloseSelect)
        {
            plug->ClearConnections();
            delete plug;
            return noErr;
        }
        return plug->Dispatch(params);
    }
    catch (const std::bad_alloc&)
    {
        return memFullErr;
    }
}

// ---- Carbon view ----

namespace
{
struct CarbonViewRecord
{
    ComponentInstance instance;
    IPlugAU* plug;
};
} // namespace

ComponentResult IPlugAUCarbonViewEntry(ComponentParameters* params, void* storage)
{
    if (!params)
        return badComponentSelector;
    switch (params->what)
    {
    case kComponentOpenSelect:
    {
        const auto ci = GetComponentParam<ComponentInstance>(params, 0, 1);
        CarbonViewRecord* record = nullptr;
        try
        {
            record = new CarbonViewRecord{ci, nullptr};
        }
        catch (const std::bad_alloc&)
        {
            return memFullErr;
        }
        SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(record));
        return noErr;
    }
    case kComponentCloseSelect:
    {
        auto* record = static_cast<CarbonViewRecord*>(storage);
        // The editor has no Carbon window of its own, so there is nothing to close here.
        delete record;
        return noErr;
    }
    case kAudioUnitCarbonViewCreateSelect:
    {
        auto* record = static_cast<CarbonViewRecord*>(storage);
        const auto editUnit = GetComponentParam<AudioUnit>(params, 0, 6);
        auto* outControl = GetComponentParam<ControlRef*>(params, 5, 6);
        if (!record)
            return badComponentSelector;
        record->plug = IPlugAU::FromStorage(GetComponentInstanceStorage(editUnit));
        if (!record->plug || !record->plug->GetGUI())
            return badComponentSelector;
        // The editor makes no Carbon control on this platform: the host gets none.
        if (outControl)
            *outControl = nullptr;
        return noErr;
    }
    default:
        return badComponentSelector;
    }
}
