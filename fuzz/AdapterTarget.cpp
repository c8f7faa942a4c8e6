#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzTargets.h"

#include "engine/Parandel.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace fuzz
{
namespace
{
constexpr int kMaxCalls = 64;
constexpr uint32_t kMaxDataBytes = 256;
constexpr uint32_t kMaxRenderFrames = 2048;
constexpr uint32_t kMaxBuffers = 4;

// Every property the adapter knows, and some it does not.
constexpr AudioUnitPropertyID kPropertyIDs[] = {0,  1,  2,  3,  4,  5,  8,  11,   12, 13, 14, 16,
                                                18, 19, 20, 21, 22, 23, 24, 27,   28, 30, 31, 32,
                                                33, 34, 35, 36, 37, 38, 46, 1000, 9,  999};
constexpr AudioUnitScope kScopes[] = {kAudioUnitScope_Global, kAudioUnitScope_Input,
                                      kAudioUnitScope_Output, 3, 4};
constexpr AudioUnitElement kElements[] = {0, 1, 2, 6, 7, 14, 18, 19, 20};

enum Call : uint32_t
{
    kGetPropertyInfo,
    kGetProperty,
    kSetProperty,
    kGetParameter,
    kSetParameter,
    kScheduleParameters,
    kLifecycle,
    kRender,
    kListeners,
    kCallCount
};

template <typename T, size_t N> T Pick(FuzzInput& in, const T (&table)[N])
{
    // One time in eight anything at all.
    return in.Below(8) == 0 ? static_cast<T>(in.U32()) : table[in.Below(N)];
}

OSStatus FeedInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                   UInt32 nFrames, AudioBufferList* data)
{
    for (UInt32 b = 0; data && b < data->mNumberBuffers; ++b)
    {
        auto* samples = static_cast<float*>(data->mBuffers[b].mData);
        const UInt32 n = std::min<UInt32>(nFrames, data->mBuffers[b].mDataByteSize / 4);
        for (UInt32 k = 0; samples && k < n; ++k)
            samples[k] = 0.25f * static_cast<float>((k * 7 + b) % 13) - 1.5f;
    }
    return noErr;
}

OSStatus TransportState(void*, Boolean* playing, Boolean* changed, Float64* position,
                        Boolean* cycling, Float64* start, Float64* end)
{
    *playing = true;
    *changed = false;
    *position = 0;
    *cycling = false;
    *start = *end = 0;
    return noErr;
}

OSStatus BeatAndTempo(void*, Float64* beat, Float64* tempo)
{
    *beat = 1.5;
    *tempo = 0.0; // not above 0: ignored
    return noErr;
}

void Listener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}

OSStatus Notify(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                AudioBufferList*)
{
    return noErr;
}

// A data buffer of a random capacity, 8-byte aligned for the pointers it may hold.
struct DataBuffer
{
    explicit DataBuffer(FuzzInput& in)
        : capacity(in.Below(kMaxDataBytes + 1)), words((capacity + 7) / 8 + 1)
    {
        const std::string bytes = in.Bytes(capacity);
        std::memcpy(words.data(), bytes.data(), bytes.size());
    }
    void* Data() { return words.data(); }
    template <typename T> T* As()
    {
        return capacity >= sizeof(T) ? reinterpret_cast<T*>(Data()) : nullptr;
    }

    UInt32 capacity;
    std::vector<uint64_t> words;
};

class AdapterSession
{
public:
    explicit AdapterSession(FuzzInput& in) : mIn(in) {}
    ~AdapterSession()
    {
        for (CFTypeRef o : mOwned)
            CFRelease(o);
    }

    void Run()
    {
        for (int i = 0; i < kMaxCalls && !mIn.Empty(); ++i)
        {
            switch (mIn.Below(kCallCount))
            {
            case kGetPropertyInfo:
                GetPropertyInfo();
                break;
            case kGetProperty:
                GetProperty();
                break;
            case kSetProperty:
                SetProperty();
                break;
            case kGetParameter:
                GetParameter();
                break;
            case kSetParameter:
                SetParameter();
                break;
            case kScheduleParameters:
                ScheduleParameters();
                break;
            case kLifecycle:
                Lifecycle();
                break;
            case kRender:
                Render();
                break;
            default:
                Listeners();
                break;
            }
            RequireParamsInRange(mUnit.Plugin(), "parameters stay finite and within range");
        }
    }

private:
    AudioUnit Unit() const { return mUnit.Unit(); }

    // A string for the calls that take one, kept until the end of the session.
    CFStringRef String()
    {
        const std::string text = mIn.Bytes(mIn.Below(40));
        CFStringRef s = CFStringCreateWithBytes(
            kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
            static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false);
        if (s)
            mOwned.push_back(s);
        return s;
    }

    void GetPropertyInfo()
    {
        const AudioUnitPropertyID id = Pick(mIn, kPropertyIDs);
        const AudioUnitScope scope = Pick(mIn, kScopes);
        const AudioUnitElement element = Pick(mIn, kElements);
        UInt32 size = 0;
        Boolean writable = false;
        const bool withSize = mIn.Flag(), withWritable = mIn.Flag();
        AudioUnitGetPropertyInfo(Unit(), id, scope, element, withSize ? &size : nullptr,
                                 withWritable ? &writable : nullptr);
    }

    void GetProperty()
    {
        const AudioUnitPropertyID id = Pick(mIn, kPropertyIDs);
        const AudioUnitScope scope = Pick(mIn, kScopes);
        const AudioUnitElement element = Pick(mIn, kElements);
        DataBuffer buffer(mIn);
        const bool withData = mIn.Below(8) != 0, withSize = mIn.Below(8) != 0;
        // The input fields that hold pointers get real ones (or null), as from a host.
        float value = mIn.RawFloat();
        if (auto* req = buffer.As<AudioUnitParameterStringFromValue>(); req && id == 33)
            req->inValue = mIn.Flag() ? &value : nullptr;
        if (auto* req = buffer.As<AudioUnitParameterValueFromString>(); req && id == 38)
            req->inString = mIn.Flag() ? String() : nullptr;
        ClearOutputs(id, buffer);
        UInt32 size = buffer.capacity;
        const OSStatus status =
            AudioUnitGetProperty(Unit(), id, scope, element, withData ? buffer.Data() : nullptr,
                                 withSize ? &size : nullptr);
        if (status != noErr || !withData || !withSize)
            return;
        FuzzRequire(size <= buffer.capacity, "a property never reports more than it was given");
        TakeOutputs(id, buffer);
    }

    // Output pointers start null, so that an answer can be checked and released.
    static void ClearOutputs(AudioUnitPropertyID id, DataBuffer& buffer)
    {
        if (id == 33)
            if (auto* req = buffer.As<AudioUnitParameterStringFromValue>())
                req->outString = nullptr;
        if (id == 34 || id == 35)
            if (auto* req = buffer.As<AudioUnitParameterNameInfo>())
                req->outName = nullptr;
    }

    // Checks what a successful get wrote and releases the objects it made.
    void TakeOutputs(AudioUnitPropertyID id, DataBuffer& buffer)
    {
        switch (id)
        {
        case kAudioUnitProperty_ClassInfo:
        case kAudioUnitProperty_ParameterValueStrings:
        case kAudioUnitProperty_FactoryPresets:
        case kAudioUnitProperty_ElementName:
            Own(*buffer.As<CFTypeRef>());
            break;
        case kAudioUnitProperty_ParameterInfo:
        {
            auto* info = buffer.As<AudioUnitParameterInfo>();
            if (info->flags & kAudioUnitParameterFlag_CFNameRelease)
            {
                Own(info->cfNameString);
                Own(info->unitName);
            }
            break;
        }
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset:
            Own(buffer.As<AUPreset>()->presetName);
            break;
        case kAudioUnitProperty_CocoaUI:
            Own(buffer.As<AudioUnitCocoaViewInfo>()->mCocoaAUViewBundleLocation);
            Own(buffer.As<AudioUnitCocoaViewInfo>()->mCocoaAUViewClass[0]);
            break;
        case kAudioUnitProperty_ParameterStringFromValue:
            FuzzRequire(buffer.As<AudioUnitParameterStringFromValue>()->outString,
                        "a text answered with success is there");
            Own(buffer.As<AudioUnitParameterStringFromValue>()->outString);
            break;
        case kAudioUnitProperty_ParameterIDName:
        case kAudioUnitProperty_ParameterClumpName:
            FuzzRequire(buffer.As<AudioUnitParameterNameInfo>()->outName,
                        "a name answered with success is there");
            Own(buffer.As<AudioUnitParameterNameInfo>()->outName);
            break;
        default:
            break;
        }
    }

    void Own(CFTypeRef object)
    {
        if (object)
            mOwned.push_back(object);
    }

    void SetProperty()
    {
        const AudioUnitPropertyID id = Pick(mIn, kPropertyIDs);
        const AudioUnitScope scope = Pick(mIn, kScopes);
        const AudioUnitElement element = Pick(mIn, kElements);
        DataBuffer buffer(mIn);
        FillPointers(id, buffer);
        const bool withData = mIn.Below(8) != 0;
        AudioUnitSetProperty(Unit(), id, scope, element, withData ? buffer.Data() : nullptr,
                             buffer.capacity);
    }

    // Pointer fields hold real objects and procedures (or null), as from a host.
    void FillPointers(AudioUnitPropertyID id, DataBuffer& buffer)
    {
        switch (id)
        {
        case kAudioUnitProperty_ClassInfo:
            if (auto* state = buffer.As<CFPropertyListRef>())
                *state = mIn.Flag() ? StateToRestore() : (mIn.Flag() ? String() : nullptr);
            break;
        case kAudioUnitProperty_MakeConnection:
            if (auto* c = buffer.As<AudioUnitConnection>())
                c->sourceAudioUnit = mIn.Flag() ? Upstream() : nullptr;
            break;
        case kAudioUnitProperty_SetRenderCallback:
            if (auto* cb = buffer.As<AURenderCallbackStruct>())
                *cb = {mIn.Flag() ? FeedInput : nullptr, nullptr};
            break;
        case kAudioUnitProperty_HostCallbacks:
            if (auto* cb = buffer.As<HostCallbackInfo>())
                *cb = {nullptr, mIn.Flag() ? BeatAndTempo : nullptr, nullptr,
                       mIn.Flag() ? TransportState : nullptr};
            break;
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset:
            if (auto* preset = buffer.As<AUPreset>())
                preset->presetName = nullptr;
            break;
        case kAudioUnitProperty_AUHostIdentifier:
            if (auto* host = buffer.As<AUHostIdentifier>())
                host->hostName = mIn.Flag() ? String() : nullptr;
            break;
        default:
            break;
        }
    }

    // The unit's own state with its data replaced by input bytes.
    CFPropertyListRef StateToRestore()
    {
        CFPropertyListRef state = nullptr;
        UInt32 size = sizeof(state);
        if (AudioUnitGetProperty(Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                 &state, &size) != noErr)
            return nullptr;
        Own(state);
        const std::string bytes = mIn.Bytes(mIn.Below(200));
        CFDataRef data =
            CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                         static_cast<CFIndex>(bytes.size()));
        CFStringRef key =
            CFStringCreateWithCString(kCFAllocatorDefault, "data", kCFStringEncodingUTF8);
        CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(const_cast<void*>(state)), key,
                             data);
        CFRelease(key);
        CFRelease(data);
        return state;
    }

    AudioUnit Upstream()
    {
        if (!mUpstream)
            mUpstream = std::make_unique<FuzzUnit>();
        return mUpstream->Unit();
    }

    void GetParameter()
    {
        const AudioUnitParameterID id = mIn.Flag() ? mIn.Below(24) : mIn.U32();
        AudioUnitParameterValue value = 0;
        AudioUnitGetParameter(Unit(), id, Pick(mIn, kScopes), Pick(mIn, kElements),
                              mIn.Below(8) ? &value : nullptr);
    }

    void SetParameter()
    {
        const AudioUnitParameterID id = mIn.Flag() ? mIn.Below(24) : mIn.U32();
        const AudioUnitScope scope = Pick(mIn, kScopes);
        const AudioUnitElement element = Pick(mIn, kElements);
        const AudioUnitParameterValue value = mIn.RawFloat();
        const std::vector<double> before = ParamValues(mUnit.Plugin());
        const OSStatus status = AudioUnitSetParameter(Unit(), id, scope, element, value, 0);
        if (status != noErr)
            RequireSameValues(before, ParamValues(mUnit.Plugin()),
                              "a refused parameter changes nothing");
    }

    void ScheduleParameters()
    {
        const UInt32 n = mIn.Below(5);
        std::vector<AudioUnitParameterEvent> events(n);
        for (AudioUnitParameterEvent& e : events)
        {
            std::memset(&e, 0, sizeof(e));
            e.scope = Pick(mIn, kScopes);
            e.element = Pick(mIn, kElements);
            e.parameter = mIn.Below(24);
            e.eventType = mIn.Flag() ? kParameterEvent_Immediate : kParameterEvent_Ramped;
            e.eventValues.immediate.bufferOffset = mIn.U32();
            e.eventValues.immediate.value = mIn.RawFloat();
        }
        AudioUnitScheduleParameters(Unit(), n && mIn.Below(8) ? events.data() : nullptr, n);
    }

    void Lifecycle()
    {
        switch (mIn.Below(3))
        {
        case 0:
            AudioUnitInitialize(Unit());
            break;
        case 1:
            AudioUnitUninitialize(Unit());
            break;
        default:
            AudioUnitReset(Unit(), Pick(mIn, kScopes), 0);
            break;
        }
    }

    void Render()
    {
        const UInt32 nFrames = mIn.Below(kMaxRenderFrames + 1);
        const UInt32 nBuffers = mIn.Below(kMaxBuffers + 1);
        std::vector<uint8_t> listBytes(AudioBufferListSize(static_cast<int>(nBuffers)));
        auto* list = reinterpret_cast<AudioBufferList*>(listBytes.data());
        list->mNumberBuffers = nBuffers;
        std::vector<std::vector<float>> buffers(nBuffers, std::vector<float>(nFrames));
        for (UInt32 b = 0; b < nBuffers; ++b)
        {
            list->mBuffers[b].mNumberChannels = 1;
            list->mBuffers[b].mDataByteSize = nFrames * 4;
            list->mBuffers[b].mData = mIn.Below(4) ? buffers[b].data() : nullptr;
        }
        AudioTimeStamp ts;
        std::memset(&ts, 0, sizeof(ts));
        ts.mSampleTime = mIn.Flag() ? mSampleTime : mIn.RawDouble();
        ts.mFlags = mIn.Below(8) ? UInt32{kAudioTimeStampSampleTimeValid} : 0u;
        mSampleTime += nFrames;
        AudioUnitRenderActionFlags flags = 0;
        AudioUnitRender(Unit(), mIn.Below(8) ? &flags : nullptr, &ts, mIn.Below(3), nFrames, list);
    }

    void Listeners()
    {
        const AudioUnitPropertyID id = Pick(mIn, kPropertyIDs);
        switch (mIn.Below(4))
        {
        case 0:
            AudioUnitAddPropertyListener(Unit(), id, mIn.Flag() ? Listener : nullptr, nullptr);
            break;
        case 1:
            AudioUnitRemovePropertyListenerWithUserData(Unit(), id, Listener, nullptr);
            break;
        case 2:
            AudioUnitAddRenderNotify(Unit(), mIn.Flag() ? Notify : nullptr, nullptr);
            break;
        default:
            AudioUnitRemoveRenderNotify(Unit(), Notify, nullptr);
            break;
        }
    }

    FuzzInput& mIn;
    // Declared first, so that it is closed after the unit that may be connected to it.
    std::unique_ptr<FuzzUnit> mUpstream;
    FuzzUnit mUnit;
    std::vector<CFTypeRef> mOwned;
    double mSampleTime = 0.0;
};
} // namespace

int FuzzAdapterCalls(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    AdapterSession session(in);
    session.Run();
    return 0;
}
} // namespace fuzz
