#include "AUTestHost.h"

#include "engine/ParandelEntry.h"

#include <algorithm>
#include <cstring>

AUTestHost::AUTestHost() : AUTestHost(ParandelRegisterComponent()) {}

AUTestHost::AUTestHost(Component component)
{
    openStatus = OpenAComponent(component, &unit);
}

AUTestHost::~AUTestHost()
{
    if (unit)
        CloseComponent(unit);
}

OSStatus AUTestHost::SetFormat(AudioUnitScope scope, AudioUnitElement element, int channels,
                               double sampleRate, UInt32 flags, AudioFormatID format)
{
    AudioStreamBasicDescription f{};
    f.mSampleRate = sampleRate;
    f.mFormatID = format;
    f.mFormatFlags = flags;
    f.mBytesPerPacket = 4;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 4;
    f.mChannelsPerFrame = static_cast<UInt32>(channels);
    f.mBitsPerChannel = 32;
    return Set(kAudioUnitProperty_StreamFormat, scope, element, f);
}

int AUTestHost::FormatChannels(AudioUnitScope scope, AudioUnitElement element)
{
    AudioStreamBasicDescription f{};
    if (Get(kAudioUnitProperty_StreamFormat, scope, element, f) != noErr)
        return -1;
    return static_cast<int>(f.mChannelsPerFrame);
}

OSStatus AUTestHost::SetMaxFrames(UInt32 frames)
{
    return Set(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, frames);
}

OSStatus AUTestHost::SetSampleRate(double rate)
{
    const Float64 r = rate;
    return Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, r);
}

OSStatus AUTestHost::InstallInputCallback()
{
    const AURenderCallbackStruct cb = {FeedInput, this};
    return Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, cb);
}

OSStatus AUTestHost::InstallHostCallbacks()
{
    HostCallbackInfo info{};
    info.hostUserData = this;
    info.beatAndTempoProc = BeatAndTempo;
    info.musicalTimeLocationProc = MusicalTime;
    info.transportStateProc = Transport;
    return Set(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, info);
}

OSStatus AUTestHost::Prepare(int inputChannels, UInt32 maxFrames, double sampleRate)
{
    OSStatus s = noErr;
    auto step = [&](OSStatus r)
    {
        if (s == noErr)
            s = r;
    };
    step(SetMaxFrames(maxFrames));
    step(SetSampleRate(sampleRate));
    step(SetFormat(kAudioUnitScope_Input, 0, inputChannels, sampleRate));
    step(SetFormat(kAudioUnitScope_Output, 0, 2, sampleRate));
    step(InstallInputCallback());
    step(InstallHostCallbacks());
    step(AudioUnitInitialize(unit));
    step(AudioUnitReset(unit, kAudioUnitScope_Global, 0));
    return s;
}

OSStatus AUTestHost::Render(UInt32 nFrames, double sampleTime, bool nullData, UInt32 outputBus)
{
    output.assign(2, std::vector<float>(nFrames, -99.0f));
    struct
    {
        UInt32 mNumberBuffers;
        AudioBuffer mBuffers[2];
    } list;
    list.mNumberBuffers = 2;
    for (int c = 0; c < 2; ++c)
    {
        list.mBuffers[c].mNumberChannels = 1;
        list.mBuffers[c].mDataByteSize = nFrames * sizeof(float);
        list.mBuffers[c].mData = nullData ? nullptr : output[c].data();
    }
    AudioTimeStamp ts{};
    ts.mSampleTime = sampleTime;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    samplePosition = sampleTime;
    const OSStatus r = AudioUnitRender(unit, &flags, &ts, outputBus, nFrames,
                                       reinterpret_cast<AudioBufferList*>(&list));
    if (r == noErr && nullData)
        for (int c = 0; c < 2; ++c)
            if (list.mBuffers[c].mData)
                std::memcpy(output[c].data(), list.mBuffers[c].mData, nFrames * sizeof(float));
    return r;
}

OSStatus AUTestHost::SetParam(int idx, float value)
{
    return AudioUnitSetParameter(unit, static_cast<AudioUnitParameterID>(idx),
                                 kAudioUnitScope_Global, 0, value, 0);
}

float AUTestHost::GetParam(int idx)
{
    AudioUnitParameterValue v = -12345.0f;
    AudioUnitGetParameter(unit, static_cast<AudioUnitParameterID>(idx), kAudioUnitScope_Global, 0,
                          &v);
    return v;
}

OSStatus AUTestHost::Info(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                          UInt32& size, bool& writable)
{
    Boolean w = false;
    size = 0xDEAD;
    const OSStatus r = AudioUnitGetPropertyInfo(unit, id, scope, element, &size, &w);
    writable = w != 0;
    return r;
}

CFPropertyListRef AUTestHost::CopyClassInfo()
{
    CFPropertyListRef p = nullptr;
    if (Get(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, p) != noErr)
        return nullptr;
    return p;
}

OSStatus AUTestHost::SetClassInfo(CFPropertyListRef classInfo)
{
    return Set(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, classInfo);
}

OSStatus AUTestHost::FeedInput(void* refCon, AudioUnitRenderActionFlags*,
                               const AudioTimeStamp* timeStamp, UInt32, UInt32 nFrames,
                               AudioBufferList* data)
{
    auto* self = static_cast<AUTestHost*>(refCon);
    ++self->inputPulls;
    if (self->inputStatus != noErr)
        return self->inputStatus;
    const long start = static_cast<long>(timeStamp->mSampleTime);
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
    {
        auto* out = static_cast<float*>(data->mBuffers[c].mData);
        for (UInt32 k = 0; k < nFrames; ++k)
        {
            const size_t s = static_cast<size_t>(start + k);
            out[k] = c < self->input.size() && s < self->input[c].size() ? self->input[c][s] : 0.0f;
        }
    }
    return noErr;
}

OSStatus AUTestHost::BeatAndTempo(void* user, Float64* beat, Float64* tempo)
{
    auto* self = static_cast<AUTestHost*>(user);
    *beat = self->beat;
    *tempo = self->tempo;
    return noErr;
}

OSStatus AUTestHost::MusicalTime(void* user, UInt32* deltaToNextBeat, Float32* numerator,
                                 UInt32* denominator, Float64* barStart)
{
    auto* self = static_cast<AUTestHost*>(user);
    *deltaToNextBeat = 0;
    *numerator = self->numerator;
    *denominator = self->denominator;
    *barStart = self->barStart;
    return noErr;
}

OSStatus AUTestHost::Transport(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                               Boolean* cycling, Float64* cycleStart, Float64* cycleEnd)
{
    auto* self = static_cast<AUTestHost*>(user);
    *playing = self->playing;
    *changed = false;
    *sample = self->samplePosition;
    *cycling = self->cycling;
    *cycleStart = self->cycleStart;
    *cycleEnd = self->cycleEnd;
    return noErr;
}

std::string CFText(CFTypeRef string)
{
    if (!string || CFGetTypeID(string) != CFStringGetTypeID())
        return "<not a string>";
    const char* t = CFStringGetCStringPtr(static_cast<CFStringRef>(string), kCFStringEncodingUTF8);
    return t ? t : "";
}

CFStringRef CFStr(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

// ---- Source unit ----

namespace
{
constexpr int kSourceMaxFrames = 4096;

struct SourceUnit
{
    float buffers[2][kSourceMaxFrames];
};

ComponentResult SourceRender(void* storage, AudioUnitRenderActionFlags*,
                             const AudioTimeStamp* timeStamp, UInt32, UInt32 nFrames,
                             AudioBufferList* data)
{
    auto* self = static_cast<SourceUnit*>(storage);
    ++SourceStats().renders;
    if (SourceStats().renderStatus != noErr)
        return SourceStats().renderStatus;
    if (nFrames > kSourceMaxFrames)
        return kAudioUnitErr_TooManyFramesToProcess;
    for (UInt32 c = 0; c < data->mNumberBuffers && c < 2; ++c)
    {
        if (!data->mBuffers[c].mData)
            data->mBuffers[c].mData = self->buffers[c];
        auto* out = static_cast<float*>(data->mBuffers[c].mData);
        for (UInt32 k = 0; k < nFrames; ++k)
            out[k] = static_cast<float>(c + (timeStamp->mSampleTime + k) / 1000.0);
    }
    return noErr;
}

ComponentResult SourceEntry(ComponentParameters* params, void* storage, bool fast)
{
    switch (params->what)
    {
    case kComponentOpenSelect:
        SetComponentInstanceStorage(GetComponentParam<ComponentInstance>(params, 0, 1),
                                    reinterpret_cast<Handle>(new SourceUnit()));
        return noErr;
    case kComponentCloseSelect:
        delete static_cast<SourceUnit*>(storage);
        return noErr;
    case kAudioUnitGetPropertySelect:
    {
        const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 5);
        const auto scope = GetComponentParam<AudioUnitScope>(params, 1, 5);
        const auto element = GetComponentParam<AudioUnitElement>(params, 2, 5);
        void* data = GetComponentParam<void*>(params, 3, 5);
        if (id == kAudioUnitProperty_StreamFormat && scope == kAudioUnitScope_Output &&
            element == 0)
        {
            AudioStreamBasicDescription f{};
            f.mSampleRate = 44100.0;
            f.mFormatID = kAudioFormatLinearPCM;
            f.mFormatFlags = AUTestHost::kDefaultFlags;
            f.mBytesPerPacket = f.mBytesPerFrame = 4;
            f.mFramesPerPacket = 1;
            f.mChannelsPerFrame = static_cast<UInt32>(SourceStats().channels);
            f.mBitsPerChannel = 32;
            std::memcpy(data, &f, sizeof(f));
            return noErr;
        }
        if (id == kAudioUnitProperty_FastDispatch && fast && element == kAudioUnitRenderSelect)
        {
            AudioUnitRenderProc proc = SourceRender;
            std::memcpy(data, &proc, sizeof(proc));
            return noErr;
        }
        return kAudioUnitErr_InvalidProperty;
    }
    case kAudioUnitRenderSelect:
        return SourceRender(storage, GetComponentParam<AudioUnitRenderActionFlags*>(params, 0, 5),
                            GetComponentParam<const AudioTimeStamp*>(params, 1, 5),
                            GetComponentParam<UInt32>(params, 2, 5),
                            GetComponentParam<UInt32>(params, 3, 5),
                            GetComponentParam<AudioBufferList*>(params, 4, 5));
    default:
        return badComponentSelector;
    }
}

ComponentResult FastSourceEntry(ComponentParameters* p, void* s)
{
    return SourceEntry(p, s, true);
}
ComponentResult PlainSourceEntry(ComponentParameters* p, void* s)
{
    return SourceEntry(p, s, false);
}
} // namespace

SourceUnitStats& SourceStats()
{
    static SourceUnitStats stats;
    return stats;
}

Component RegisterSourceUnit(bool withFastDispatch)
{
    ComponentDescription cd{};
    cd.componentType = FourCC("augn");
    cd.componentSubType = withFastDispatch ? FourCC("srcF") : FourCC("srcN");
    cd.componentManufacturer = FourCC("Test");
    return RegisterComponent(&cd, withFastDispatch ? FastSourceEntry : PlainSourceEntry, 0, nullptr,
                             nullptr, nullptr);
}
