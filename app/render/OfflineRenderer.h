#pragma once
// Drives the plug-in the way a host does when it bounces a file, entirely through the Audio
// Unit entry: it opens the component, sets the maximum frames per slice, the sample rate and
// the stream formats (1 or 2 input channels, 2 output channels), installs a render callback that
// feeds the input and host callbacks that report the transport running, sets parameters, and
// after Initialize and Reset renders whole blocks of float audio with AudioUnitRender.
//
// One thread at a time; Process allocates nothing.

#include "hosts/au/AUPlatform.h"

class Parandel;

namespace app
{
class OfflineRenderer
{
public:
    // inputChannels is 1 (mono in, stereo out) or 2 (stereo in, stereo out). A unit that
    // cannot be opened or refuses the set-up leaves Status() non-zero.
    OfflineRenderer(double sampleRate, int inputChannels, int blockSize);
    ~OfflineRenderer();

    OfflineRenderer(const OfflineRenderer&) = delete;
    OfflineRenderer& operator=(const OfflineRenderer&) = delete;

    // The first error the unit answered during set-up, or noErr.
    OSStatus Status() const { return mStatus; }
    // The plug-in object behind the unit (its instance storage), for analysis of the running
    // plug-in; read it between Process calls only.
    Parandel& Plugin();
    AudioUnit Unit() const { return mUnit; }
    // Sets a parameter's real value through the unit (the unit clamps it to its range). Values
    // set before Start reach the chain through initialisation.
    void SetParameter(int paramIdx, double value);
    // Restores a saved state (class-info dictionary); the unit's answer.
    OSStatus RestoreState(CFPropertyListRef classInfo);
    // The current state as a class-info dictionary the caller releases; null on an error.
    CFPropertyListRef CopyState();
    // Initialises the unit, resets it and starts the transport at sample 0.
    void Start();
    // The latency the unit reports, in samples (valid after Start).
    int Latency() const;
    int BlockSize() const { return mBlockSize; }
    double SampleRate() const { return mSampleRate; }
    int InputChannels() const { return mInputChannels; }
    static constexpr int kOutputChannels = 2;

    // One block of nFrames ≤ block size: inputs[c] for each input channel, outputs[0 … 1].
    void Process(float* const* inputs, float* const* outputs, int nFrames);

private:
    static OSStatus FeedInput(void* refCon, AudioUnitRenderActionFlags* flags,
                              const AudioTimeStamp* timeStamp, UInt32 busNumber, UInt32 nFrames,
                              AudioBufferList* data);
    static OSStatus TransportState(void* userData, Boolean* isPlaying, Boolean* stateChanged,
                                   Float64* samplePosition, Boolean* isCycling,
                                   Float64* cycleStartBeat, Float64* cycleEndBeat);
    void Check(OSStatus status);

    AudioUnit mUnit = nullptr;
    OSStatus mStatus = noErr;
    double mSampleRate;
    int mInputChannels;
    int mBlockSize;
    double mSamplePosition = 0.0;
    bool mTransportRunning = false;
    float* const* mCurrentInputs = nullptr; // the block being rendered
};
} // namespace app
