#include "hosts/au/IPlugAU.h"

#include "editor/IGraphics.h"
#include "hosts/au/IPlugAUHelpers.h"

#include <cmath>
#include <cstring>

using namespace IPlugAUHelpers;

namespace
{
constexpr UInt32 kPointerSize = sizeof(void*);
constexpr UInt32 kFastDispatchGetParam = kAudioUnitGetParameterSelect;
constexpr UInt32 kFastDispatchSetParam = kAudioUnitSetParameterSelect;
constexpr UInt32 kFastDispatchRender = kAudioUnitRenderSelect;
constexpr SInt32 kMinCocoaSystemVersion = 0x1050;
constexpr int kMaxInputBusLabelIdx = 1;

template <typename T> ComponentResult Write(void* data, const T& value)
{
    std::memcpy(data, &value, sizeof(T));
    return noErr;
}

template <typename T> T Read(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof(T));
    return value;
}
} // namespace

// One row per property. Reading: where it is served, the size and writability reported, an
// optional describer for the cases the columns cannot say, and the getter (null for a property
// that can only be written). Writing: where it may be set, the bytes the setter reads (0: none)
// and the setter.
struct IPlugAU::PropertyHandler
{
    AudioUnitPropertyID id;
    Where getWhere;
    UInt32 size;
    bool writable;
    PropertyDescriber describe;
    PropertyGetter get;
    Where setWhere;
    UInt32 setSize;
    PropertySetter set;
};

// {property, read where, size, writable, describer, getter, write where, bytes read, setter}
const IPlugAU::PropertyHandler IPlugAU::kPropertyHandlers[] = {
    {kAudioUnitProperty_ClassInfo, Where::Anywhere, kPointerSize, true, nullptr,
     &IPlugAU::GetClassInfo, Where::Anywhere, sizeof(CFPropertyListRef), &IPlugAU::SetClassInfo},
    {kAudioUnitProperty_MakeConnection, Where::GlobalOrInput, sizeof(AudioUnitConnection), true,
     nullptr, nullptr, Where::GlobalOrInput, sizeof(AudioUnitConnection),
     &IPlugAU::SetMakeConnection},
    {kAudioUnitProperty_SampleRate, Where::Anywhere, sizeof(Float64), true, nullptr,
     &IPlugAU::GetSampleRateProperty, Where::Anywhere, sizeof(Float64),
     &IPlugAU::SetSampleRateProperty},
    {kAudioUnitProperty_ParameterList, Where::Anywhere, 0, false, &IPlugAU::DescribeParameterList,
     &IPlugAU::GetParameterList, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_ParameterInfo, Where::Global, sizeof(AudioUnitParameterInfo), false,
     &IPlugAU::DescribeParameterElement, &IPlugAU::GetParameterInfo, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_FastDispatch, Where::Anywhere, kPointerSize, false,
     &IPlugAU::DescribeFastDispatch, &IPlugAU::GetFastDispatch, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_StreamFormat, Where::Anywhere, sizeof(AudioStreamBasicDescription), true,
     &IPlugAU::DescribeStreamFormat, &IPlugAU::GetStreamFormat, Where::Anywhere,
     sizeof(AudioStreamBasicDescription), &IPlugAU::SetStreamFormatProperty},
    {kAudioUnitProperty_ElementCount, Where::Anywhere, sizeof(UInt32), false, nullptr,
     &IPlugAU::GetElementCount, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_Latency, Where::Global, sizeof(Float64), false, nullptr,
     &IPlugAU::GetLatencyProperty, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_SupportedNumChannels, Where::Global, 0, false,
     &IPlugAU::DescribeSupportedNumChannels, &IPlugAU::GetSupportedNumChannels, Where::Nowhere, 0,
     nullptr},
    {kAudioUnitProperty_MaximumFramesPerSlice, Where::Global, sizeof(UInt32), true, nullptr,
     &IPlugAU::GetMaxFramesPerSlice, Where::Anywhere, sizeof(UInt32),
     &IPlugAU::SetMaxFramesPerSlice},
    {kAudioUnitProperty_ParameterValueStrings, Where::Global, kPointerSize, false,
     &IPlugAU::DescribeValueStrings, &IPlugAU::GetValueStrings, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_GetUIComponentList, Where::Anywhere, sizeof(ComponentDescription), false,
     &IPlugAU::DescribeUIComponentList, &IPlugAU::GetUIComponentList, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_AudioChannelLayout, Where::Anywhere, 0, false,
     &IPlugAU::DescribeAudioChannelLayout, nullptr, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_TailTime, Where::Global, sizeof(Float64), false, &IPlugAU::DescribeTailTime,
     &IPlugAU::GetTailTime, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_BypassEffect, Where::Global, sizeof(UInt32), true, nullptr,
     &IPlugAU::GetBypass, Where::Anywhere, sizeof(UInt32), &IPlugAU::SetBypass},
    {kAudioUnitProperty_LastRenderError, Where::Global, sizeof(OSStatus), false, nullptr,
     &IPlugAU::GetLastRenderError, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_SetRenderCallback, Where::GlobalOrInputBus, sizeof(AURenderCallbackStruct),
     true, nullptr, nullptr, Where::InputBus, sizeof(AURenderCallbackStruct),
     &IPlugAU::SetRenderCallback},
    {kAudioUnitProperty_FactoryPresets, Where::Anywhere, kPointerSize, false, nullptr,
     &IPlugAU::GetFactoryPresets, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_HostCallbacks, Where::Global, sizeof(HostCallbackInfo), true, nullptr,
     &IPlugAU::GetHostCallbacks, Where::Global, sizeof(HostCallbackInfo),
     &IPlugAU::SetHostCallbacks},
    {kAudioUnitProperty_CurrentPreset, Where::Anywhere, sizeof(AUPreset), true, nullptr,
     &IPlugAU::GetCurrentPreset, Where::Anywhere, sizeof(AUPreset), &IPlugAU::SetCurrentPreset},
    {kAudioUnitProperty_PresentPreset, Where::Anywhere, sizeof(AUPreset), true, nullptr,
     &IPlugAU::GetCurrentPreset, Where::Anywhere, sizeof(AUPreset), &IPlugAU::SetCurrentPreset},
    {kAudioUnitProperty_ElementName, Where::Anywhere, kPointerSize, false,
     &IPlugAU::DescribeElementName, &IPlugAU::GetElementName, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_CocoaUI, Where::Anywhere, sizeof(AudioUnitCocoaViewInfo), false,
     &IPlugAU::DescribeCocoaUI, &IPlugAU::GetCocoaUI, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_SupportedChannelLayoutTags, Where::Anywhere, sizeof(AudioChannelLayoutTag),
     true, &IPlugAU::DescribeChannelLayoutTags, &IPlugAU::GetChannelLayoutTags, Where::Nowhere, 0,
     nullptr},
    {kAudioUnitProperty_ParameterStringFromValue, Where::Anywhere,
     sizeof(AudioUnitParameterStringFromValue), false, &IPlugAU::DescribeParameterRequest,
     &IPlugAU::GetStringFromValue, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_ParameterIDName, Where::Anywhere, sizeof(AudioUnitParameterIDName), false,
     &IPlugAU::DescribeParameterRequest, &IPlugAU::GetParameterIDName, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_ParameterClumpName, Where::Anywhere, sizeof(AudioUnitParameterNameInfo),
     false, &IPlugAU::DescribeParameterRequest, &IPlugAU::GetClumpName, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_OfflineRender, Where::Nowhere, 0, false, nullptr, nullptr, Where::Anywhere,
     0, &IPlugAU::SetOfflineRender},
    {kAudioUnitProperty_ParameterValueFromString, Where::Anywhere,
     sizeof(AudioUnitParameterValueFromString), false, &IPlugAU::DescribeParameterRequest,
     &IPlugAU::GetValueFromString, Where::Nowhere, 0, nullptr},
    {kAudioUnitProperty_AUHostIdentifier, Where::Nowhere, 0, false, nullptr, nullptr,
     Where::Anywhere, sizeof(AUHostIdentifier), &IPlugAU::SetHostIdentifier},
    {kMusicDeviceProperty_InstrumentCount, Where::Global, sizeof(UInt32), false,
     &IPlugAU::DescribeInstrumentCount, &IPlugAU::GetInstrumentCount, Where::Nowhere, 0, nullptr},
};

const IPlugAU::PropertyHandler* IPlugAU::FindPropertyHandler(AudioUnitPropertyID propID)
{
    for (const PropertyHandler& h : kPropertyHandlers)
        if (h.id == propID)
            return &h;
    return nullptr;
}

bool IPlugAU::IsAt(Where where, AudioUnitScope scope, int elementIdx) const
{
    const bool global = scope == kAudioUnitScope_Global;
    const bool input = scope == kAudioUnitScope_Input;
    const bool inputBus = elementIdx >= 0 && elementIdx < mInBuses.GetSize();
    switch (where)
    {
    case Where::Anywhere:
        return true;
    case Where::Global:
        return global;
    case Where::GlobalOrInput:
        return global || input;
    case Where::InputBus:
        return input && inputBus;
    case Where::GlobalOrInputBus:
        return (global || input) && inputBus;
    default:
        return false;
    }
}

// ---- Reading and writing ----

ComponentResult IPlugAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32* dataSize, Boolean* writable,
                                     void* data)
{
    const PropertyAddress a = {scope, element, ElementIndex(element), data != nullptr};
    const PropertyHandler* h = FindPropertyHandler(propID);
    if (!h || !IsAt(h->getWhere, scope, a.elementIdx))
        return kAudioUnitErr_InvalidProperty;
    PropertyInfo info = {h->size, h->writable, noErr};
    if (h->describe)
    {
        const ComponentResult r = (this->*h->describe)(a, &info);
        if (r != noErr)
            return r;
    }

    if (dataSize && !data)
        *dataSize = info.size;
    if (writable)
        *writable = info.writable;
    if (info.status != noErr || !data)
        return info.status;
    // A property that can only be written has nothing to read back.
    if (!h->get)
        return kAudioUnitErr_InvalidProperty;
    if (!dataSize || *dataSize < info.size)
        return kAudioUnitErr_InvalidPropertyValue;
    const ComponentResult r = (this->*h->get)(a, data);
    if (r == noErr)
        *dataSize = info.size;
    return r;
}

ComponentResult IPlugAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32 dataSize, const void* data)
{
    CallPropertyListeners(propID, scope);

    const PropertyAddress a = {scope, element, ElementIndex(element), false};
    const PropertyHandler* h = FindPropertyHandler(propID);
    if (!h || !h->set || !IsAt(h->setWhere, scope, a.elementIdx))
        return kAudioUnitErr_InvalidProperty;
    if (h->setSize > 0 && (!data || dataSize < h->setSize))
        return kAudioUnitErr_InvalidPropertyValue;
    return (this->*h->set)(a, data);
}

// ---- Handlers ----

ComponentResult IPlugAU::GetClassInfo(const PropertyAddress&, void* data)
{
    return GetState(static_cast<CFPropertyListRef*>(data));
}

ComponentResult IPlugAU::SetClassInfo(const PropertyAddress&, const void* data)
{
    return SetState(*static_cast<const CFPropertyListRef*>(data));
}

ComponentResult IPlugAU::SetMakeConnection(const PropertyAddress&, const void* data)
{
    return SetConnection(static_cast<const AudioUnitConnection*>(data));
}

ComponentResult IPlugAU::GetSampleRateProperty(const PropertyAddress&, void* data)
{
    return Write<Float64>(data, GetSampleRate());
}

ComponentResult IPlugAU::SetSampleRateProperty(const PropertyAddress&, const void* data)
{
    const auto rate = Read<Float64>(data);
    if (!(rate > 0.0) || !std::isfinite(rate))
        return kAudioUnitErr_InvalidPropertyValue;
    SetSampleRate(rate);
    Reset();
    return noErr;
}

ComponentResult IPlugAU::DescribeFastDispatch(const PropertyAddress& a, PropertyInfo*)
{
    const bool known = a.element == kFastDispatchGetParam || a.element == kFastDispatchSetParam ||
                       a.element == kFastDispatchRender;
    return known ? noErr : kAudioUnitErr_InvalidElement;
}

ComponentResult IPlugAU::GetFastDispatch(const PropertyAddress& a, void* data)
{
    void* proc = nullptr;
    if (a.element == kFastDispatchGetParam)
        proc = reinterpret_cast<void*>(&IPlugAU::GetParamProc);
    else if (a.element == kFastDispatchSetParam)
        proc = reinterpret_cast<void*>(&IPlugAU::SetParamProc);
    else
        proc = reinterpret_cast<void*>(&IPlugAU::RenderProc);
    return Write(data, proc);
}

ComponentResult IPlugAU::DescribeStreamFormat(const PropertyAddress& a, PropertyInfo*)
{
    return GetBus(a.scope, a.element) ? noErr : kAudioUnitErr_InvalidProperty;
}

ComponentResult IPlugAU::GetStreamFormat(const PropertyAddress& a, void* data)
{
    const BusInfo* bus = GetBus(a.scope, a.element);
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
    return Write(data, asbd);
}

ComponentResult IPlugAU::SetStreamFormatProperty(const PropertyAddress& a, const void* data)
{
    return SetStreamFormat(a.scope, a.element,
                           static_cast<const AudioStreamBasicDescription*>(data));
}

ComponentResult IPlugAU::GetElementCount(const PropertyAddress& a, void* data)
{
    UInt32 n = 0;
    if (a.scope == kAudioUnitScope_Global)
        n = 1;
    else if (a.scope == kAudioUnitScope_Input)
        n = static_cast<UInt32>(mInBuses.GetSize());
    else if (a.scope == kAudioUnitScope_Output)
        n = static_cast<UInt32>(mOutBuses.GetSize());
    return Write(data, n);
}

ComponentResult IPlugAU::GetLatencyProperty(const PropertyAddress&, void* data)
{
    return Write<Float64>(data, GetLatency() / GetSampleRate());
}

ComponentResult IPlugAU::DescribeSupportedNumChannels(const PropertyAddress&, PropertyInfo* info)
{
    info->size = static_cast<UInt32>(NChannelIO()) * sizeof(AUChannelInfo);
    return noErr;
}

ComponentResult IPlugAU::GetSupportedNumChannels(const PropertyAddress&, void* data)
{
    auto* infos = static_cast<AUChannelInfo*>(data);
    for (int i = 0; i < NChannelIO(); ++i)
    {
        int nIn = 0, nOut = 0;
        GetChannelIO(i, &nIn, &nOut);
        infos[i].inChannels = static_cast<SInt16>(nIn);
        infos[i].outChannels = static_cast<SInt16>(nOut);
    }
    return noErr;
}

ComponentResult IPlugAU::GetMaxFramesPerSlice(const PropertyAddress&, void* data)
{
    return Write(data, static_cast<UInt32>(GetBlockSize()));
}

ComponentResult IPlugAU::SetMaxFramesPerSlice(const PropertyAddress&, const void* data)
{
    const auto frames = Read<UInt32>(data);
    if (frames == 0 || frames > kMaxBlockSize)
        return kAudioUnitErr_InvalidPropertyValue;
    SetBlockSize(static_cast<int>(frames));
    Reset();
    return noErr;
}

ComponentResult IPlugAU::DescribeUIComponentList(const PropertyAddress&, PropertyInfo*)
{
    return GetGUI(*this) ? noErr : kAudioUnitErr_InvalidProperty;
}

ComponentResult IPlugAU::GetUIComponentList(const PropertyAddress&, void* data)
{
    ComponentDescription cd;
    std::memset(&cd, 0, sizeof(cd));
    cd.componentType = kAudioUnitCarbonViewComponentType;
    cd.componentSubType = static_cast<OSType>(GetUniqueID());
    cd.componentManufacturer = static_cast<OSType>(GetMfrID());
    return Write(data, cd);
}

ComponentResult IPlugAU::DescribeAudioChannelLayout(const PropertyAddress&, PropertyInfo*)
{
    return kAudioUnitErr_InvalidPropertyValue;
}

ComponentResult IPlugAU::DescribeTailTime(const PropertyAddress&, PropertyInfo* info)
{
    info->writable = GetTailSize() > 0;
    return noErr;
}

ComponentResult IPlugAU::GetTailTime(const PropertyAddress&, void* data)
{
    return Write<Float64>(data, GetTailSize() / GetSampleRate());
}

ComponentResult IPlugAU::GetBypass(const PropertyAddress&, void* data)
{
    return Write<UInt32>(data, IsBypassed() ? 1 : 0);
}

ComponentResult IPlugAU::SetBypass(const PropertyAddress&, const void* data)
{
    SetBypassed(Read<UInt32>(data) != 0);
    OnActivate(!IsBypassed());
    Reset();
    return noErr;
}

ComponentResult IPlugAU::GetLastRenderError(const PropertyAddress&, void* data)
{
    return Write<OSStatus>(data, noErr);
}

ComponentResult IPlugAU::SetRenderCallback(const PropertyAddress& a, const void* data)
{
    InputConnection* c = mInBusConnections.Get(a.elementIdx);
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

ComponentResult IPlugAU::GetFactoryPresets(const PropertyAddress&, void* data)
{
    CFArrayRef presets = MakeFactoryPresets();
    if (!presets)
        return coreFoundationUnknownErr;
    return Write(data, presets);
}

ComponentResult IPlugAU::GetHostCallbacks(const PropertyAddress&, void* data)
{
    return Write(data, mHostCallbacks);
}

ComponentResult IPlugAU::SetHostCallbacks(const PropertyAddress&, const void* data)
{
    mHostCallbacks = Read<HostCallbackInfo>(data);
    return noErr;
}

ComponentResult IPlugAU::GetCurrentPreset(const PropertyAddress&, void* data)
{
    auto* preset = static_cast<AUPreset*>(data);
    preset->presetNumber = GetCurrentPresetIdx();
    preset->presetName = MakeCFString(PresetName(GetCurrentPresetIdx()));
    return noErr;
}

// Any preset number is accepted; one that names no preset changes nothing.
ComponentResult IPlugAU::SetCurrentPreset(const PropertyAddress&, const void* data)
{
    RestorePreset(static_cast<const AUPreset*>(data)->presetNumber);
    return noErr;
}

ComponentResult IPlugAU::DescribeElementName(const PropertyAddress& a, PropertyInfo*)
{
    // Only a read names an element; there is no size to ask for.
    if (!a.reading)
        return kAudioUnitErr_InvalidProperty;
    const char* label = nullptr;
    if (a.scope == kAudioUnitScope_Output)
    {
        if (a.elementIdx < 0 || a.elementIdx >= mOutBuses.GetSize())
            return kAudioUnitErr_InvalidElement;
        label = GetOutputBusLabel(a.elementIdx);
    }
    else if (a.scope == kAudioUnitScope_Input)
    {
        if (a.elementIdx < 0 || a.elementIdx > kMaxInputBusLabelIdx)
            return kAudioUnitErr_InvalidElement;
        label = GetInputBusLabel(a.elementIdx);
    }
    else
    {
        return kAudioUnitErr_InvalidScope;
    }
    return label ? noErr : kAudioUnitErr_InvalidElement;
}

ComponentResult IPlugAU::GetElementName(const PropertyAddress& a, void* data)
{
    const char* label = a.scope == kAudioUnitScope_Output ? GetOutputBusLabel(a.elementIdx)
                                                          : GetInputBusLabel(a.elementIdx);
    *static_cast<CFStringRef*>(data) = MakeCFString(label);
    return noErr;
}

ComponentResult IPlugAU::DescribeCocoaUI(const PropertyAddress&, PropertyInfo*)
{
    SInt32 version = 0;
    if (!GetGUI(*this) || Gestalt(gestaltSystemVersion, &version) != noErr ||
        version < kMinCocoaSystemVersion)
        return kAudioUnitErr_InvalidProperty;
    return noErr;
}

ComponentResult IPlugAU::GetCocoaUI(const PropertyAddress&, void* data)
{
    CFStringRef bundleID = MakeCFString(GetBundleID());
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID);
    CFRelease(bundleID);
    // Without its bundle the host could not load the view.
    if (!bundle)
        return kAudioUnitErr_InvalidProperty;
    auto* view = static_cast<AudioUnitCocoaViewInfo*>(data);
    view->mCocoaAUViewBundleLocation = CFBundleCopyBundleURL(bundle);
    view->mCocoaAUViewClass[0] = MakeCFString(GetCocoaViewFactoryClassName());
    return noErr;
}

// Only an instrument with several output buses lists layouts, one per output bus.
ComponentResult IPlugAU::DescribeChannelLayoutTags(const PropertyAddress& a, PropertyInfo*)
{
    if (!IsInst() || mOutBuses.GetSize() < 2)
        return kAudioUnitErr_InvalidProperty;
    if (!GetBus(a.scope, a.element) || a.scope == kAudioUnitScope_Input)
        return kAudioUnitErr_InvalidProperty;
    return noErr;
}

ComponentResult IPlugAU::GetChannelLayoutTags(const PropertyAddress& a, void* data)
{
    const BusInfo* bus = GetBus(a.scope, a.element);
    AudioChannelLayoutTag tag = kAudioChannelLayoutTag_Unknown;
    if (bus->plugChannels == 1)
        tag = kAudioChannelLayoutTag_Mono;
    else if (bus->plugChannels == 2)
        tag = kAudioChannelLayoutTag_Stereo;
    return Write(data, tag);
}

ComponentResult IPlugAU::SetOfflineRender(const PropertyAddress&, const void*)
{
    return noErr;
}

// Version: major << 16, minor << 8, bug fix, from the packed major byte and minor-and-bug byte.
ComponentResult IPlugAU::SetHostIdentifier(const PropertyAddress&, const void* data)
{
    const auto* host = static_cast<const AUHostIdentifier*>(data);
    char name[kHostNameSize];
    const char* text = CFStringGetCStringPtr(host->hostName, kCFStringEncodingUTF8);
    if (!text)
        text = CFStringGetCString(host->hostName, name, sizeof(name), kCFStringEncodingUTF8) ? name
                                                                                             : "";
    const int version = (host->hostVersion.majorRev << 16) |
                        ((host->hostVersion.minorAndBugRev >> 4) << 8) |
                        (host->hostVersion.minorAndBugRev & 0x0F);
    SetHost(text, version);
    OnHostIdentified();
    return noErr;
}

ComponentResult IPlugAU::DescribeInstrumentCount(const PropertyAddress&, PropertyInfo*)
{
    return IsInst() ? noErr : kAudioUnitErr_InvalidProperty;
}

ComponentResult IPlugAU::GetInstrumentCount(const PropertyAddress&, void* data)
{
    return Write<UInt32>(data, 1);
}
