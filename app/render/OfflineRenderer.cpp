#include "app/render/OfflineRenderer.h"

#include "engine/Parandel.h"
#include "engine/ParandelEntry.h"
#include "hosts/au/IPlugAU.h"

#include <cstring>

namespace app
{
namespace
{
AudioStreamBasicDescription FloatFormat(double sampleRate, int channels)
{
    AudioStreamBasicDescription f{};
    f.mSampleRate = sampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    f.mBytesPerPacket = sizeof(float);
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = sizeof(float);
    f.mChannelsPerFrame = static_cast<UInt32>(channels);
    f.mBitsPerChannel = 8 * sizeof(float);
    return f;
}

// A buffer list of the two output channels, on the stack.
struct StereoBufferList
{
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[OfflineRenderer::kOutputChannels];
};
} // namespace

OfflineRenderer::OfflineRenderer(double sampleRate, int inputChannels, int blockSize)
    : mSampleRate(sampleRate), mInputChannels(inputChannels), mBlockSize(blockSize)
{
    Component component = ParandelRegisterComponent();
    Check(OpenAComponent(component, &mUnit));
    if (!mUnit)
        return;

    const UInt32 frames = static_cast<UInt32>(blockSize);
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                               kAudioUnitScope_Global, 0, &frames, sizeof(frames)));
    const Float64 rate = sampleRate;
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0,
                               &rate, sizeof(rate)));
    const AudioStreamBasicDescription in = FloatFormat(sampleRate, inputChannels);
    const AudioStreamBasicDescription out = FloatFormat(sampleRate, kOutputChannels);
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                               &in, sizeof(in)));
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                               &out, sizeof(out)));
    const AURenderCallbackStruct feed = {FeedInput, this};
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                               0, &feed, sizeof(feed)));
    HostCallbackInfo callbacks{};
    callbacks.hostUserData = this;
    callbacks.transportStateProc = TransportState;
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0,
                               &callbacks, sizeof(callbacks)));
}

OfflineRenderer::~OfflineRenderer()
{
    if (mUnit)
    {
        AudioUnitUninitialize(mUnit);
        CloseComponent(mUnit);
    }
}

void OfflineRenderer::Check(OSStatus status)
{
    if (mStatus == noErr)
        mStatus = status;
}

Parandel& OfflineRenderer::Plugin()
{
    return *static_cast<Parandel*>(IPlugAU::FromStorage(GetComponentInstanceStorage(mUnit)));
}

void OfflineRenderer::SetParameter(int paramIdx, double value)
{
    AudioUnitSetParameter(mUnit, static_cast<AudioUnitParameterID>(paramIdx),
                          kAudioUnitScope_Global, 0, static_cast<AudioUnitParameterValue>(value),
                          0);
}

OSStatus OfflineRenderer::RestoreState(CFPropertyListRef classInfo)
{
    return AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                &classInfo, sizeof(classInfo));
}

CFPropertyListRef OfflineRenderer::CopyState()
{
    CFPropertyListRef classInfo = nullptr;
    UInt32 size = sizeof(classInfo);
    if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                             &classInfo, &size) != noErr)
        return nullptr;
    return classInfo;
}

void OfflineRenderer::Start()
{
    Check(AudioUnitInitialize(mUnit));
    Check(AudioUnitReset(mUnit, kAudioUnitScope_Global, 0));
    mSamplePosition = 0.0;
    mTransportRunning = true;
}

int OfflineRenderer::Latency() const
{
    Float64 seconds = 0.0;
    UInt32 size = sizeof(seconds);
    if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &seconds,
                             &size) != noErr)
        return 0;
    // The unit reports samples / rate; round back to whole samples.
    return static_cast<int>(seconds * mSampleRate + 0.5);
}

void OfflineRenderer::Process(float* const* inputs, float* const* outputs, int nFrames)
{
    mCurrentInputs = inputs;
    StereoBufferList list;
    list.mNumberBuffers = kOutputChannels;
    for (int c = 0; c < kOutputChannels; ++c)
    {
        list.mBuffers[c].mNumberChannels = 1;
        list.mBuffers[c].mDataByteSize = static_cast<UInt32>(nFrames * sizeof(float));
        list.mBuffers[c].mData = outputs[c];
    }
    AudioTimeStamp ts;
    std::memset(&ts, 0, sizeof(ts));
    ts.mSampleTime = mSamplePosition;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    AudioUnitRender(mUnit, &flags, &ts, 0, static_cast<UInt32>(nFrames),
                    reinterpret_cast<AudioBufferList*>(&list));
    mSamplePosition += nFrames;
    mCurrentInputs = nullptr;
}

OSStatus OfflineRenderer::FeedInput(void* refCon, AudioUnitRenderActionFlags*,
                                    const AudioTimeStamp*, UInt32, UInt32 nFrames,
                                    AudioBufferList* data)
{
    auto* self = static_cast<OfflineRenderer*>(refCon);
    if (!self->mCurrentInputs)
        return kAudioUnitErr_NoConnection;
    const UInt32 n = data->mNumberBuffers < static_cast<UInt32>(self->mInputChannels)
                         ? data->mNumberBuffers
                         : static_cast<UInt32>(self->mInputChannels);
    for (UInt32 c = 0; c < n; ++c)
        std::memcpy(data->mBuffers[c].mData, self->mCurrentInputs[c], nFrames * sizeof(float));
    return noErr;
}

OSStatus OfflineRenderer::TransportState(void* userData, Boolean* isPlaying, Boolean* stateChanged,
                                         Float64* samplePosition, Boolean* isCycling,
                                         Float64* cycleStartBeat, Float64* cycleEndBeat)
{
    const auto* self = static_cast<const OfflineRenderer*>(userData);
    *isPlaying = self->mTransportRunning;
    *stateChanged = false;
    *samplePosition = self->mSamplePosition;
    *isCycling = false;
    *cycleStartBeat = 0.0;
    *cycleEndBeat = 0.0;
    return noErr;
}
} // namespace app
