#pragma once
// A small Audio Unit host for tests: it opens a unit through the Component Manager, negotiates
// formats, feeds the input through a render callback, reports the transport through host
// callbacks, renders, and reads and writes parameters and properties — all through the entry,
// the way a host application does.

#include "hosts/au/AUPlatform.h"

#include <string>
#include <vector>

class AUTestHost
{
public:
    // Opens the registered TW Parandel component.
    AUTestHost();
    // Opens any registered component.
    explicit AUTestHost(Component component);
    ~AUTestHost();
    AUTestHost(const AUTestHost&) = delete;
    AUTestHost& operator=(const AUTestHost&) = delete;

    AudioUnit unit = nullptr;
    OSErr openStatus = noErr;

    // ---- Set-up ----
    OSStatus SetFormat(AudioUnitScope scope, AudioUnitElement element, int channels,
                       double sampleRate = 44100.0, UInt32 flags = kDefaultFlags,
                       AudioFormatID format = kAudioFormatLinearPCM);
    // Channels of the format the unit reports for a bus (−1 on an error).
    int FormatChannels(AudioUnitScope scope, AudioUnitElement element);
    OSStatus SetMaxFrames(UInt32 frames);
    OSStatus SetSampleRate(double rate);
    // Installs the render callback that feeds `input` (one vector per channel) to bus 0.
    OSStatus InstallInputCallback();
    // Reports the transport through host callbacks.
    OSStatus InstallHostCallbacks();
    // Formats, maximum frames, input callback, host callbacks, then Initialize and Reset.
    OSStatus Prepare(int inputChannels, UInt32 maxFrames, double sampleRate = 44100.0);

    // ---- Audio ----
    // Renders nFrames at sampleTime into `output` (two channels, resized); the host's buffers
    // unless nullData, in which case the unit's own are used and copied out.
    OSStatus Render(UInt32 nFrames, double sampleTime, bool nullData = false, UInt32 outputBus = 0);
    std::vector<std::vector<float>> input;  // what the callback feeds, from sample 0
    std::vector<std::vector<float>> output; // the last render
    int inputPulls = 0;                     // callback calls so far
    OSStatus inputStatus = noErr;           // what the callback answers

    // Transport the host callbacks report.
    bool playing = false;
    bool cycling = false;
    double samplePosition = 0.0;
    double tempo = 0.0;
    double beat = 0.0;
    double cycleStart = 0.0, cycleEnd = 0.0;
    float numerator = 0.0f;
    UInt32 denominator = 0;
    double barStart = 0.0;

    // ---- Parameters and properties ----
    OSStatus SetParam(int idx, float value);
    float GetParam(int idx);
    template <typename T>
    OSStatus Get(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, T& value)
    {
        UInt32 size = sizeof(T);
        return AudioUnitGetProperty(unit, id, scope, element, &value, &size);
    }
    template <typename T>
    OSStatus Set(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                 const T& value)
    {
        return AudioUnitSetProperty(unit, id, scope, element, &value, sizeof(T));
    }
    // Size and writability of a property; the status.
    OSStatus Info(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                  UInt32& size, bool& writable);
    // The class-info dictionary (caller releases), or null.
    CFPropertyListRef CopyClassInfo();
    OSStatus SetClassInfo(CFPropertyListRef classInfo);

    static constexpr UInt32 kDefaultFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;

private:
    static OSStatus FeedInput(void* refCon, AudioUnitRenderActionFlags* flags,
                              const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 nFrames,
                              AudioBufferList* data);
    static OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo);
    static OSStatus MusicalTime(void* user, UInt32* deltaToNextBeat, Float32* numerator,
                                UInt32* denominator, Float64* barStart);
    static OSStatus Transport(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                              Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);
};

// CF helpers.
std::string CFText(CFTypeRef string);
CFStringRef CFStr(const char* text);

// A source unit for connection tests: stereo output whose channel c at sample s is
// c + s / 1000 (exact in float for the sizes used). Registered with fast dispatch or without.
struct SourceUnitStats
{
    int renders = 0;
    OSStatus renderStatus = noErr; // what its render answers
    int channels = 2;              // channels of its output format
};
Component RegisterSourceUnit(bool withFastDispatch);
SourceUnitStats& SourceStats();
