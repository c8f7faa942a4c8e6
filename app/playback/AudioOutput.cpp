#include "app/playback/AudioOutput.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>

#include <vector>

namespace app
{
namespace
{
constexpr unsigned int kChannels = 2;

// ALSA prints its own diagnostics while RtAudio probes cards that are absent or busy; the player
// reports the outcome in one line instead.
extern "C" void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// A stream error on the audio thread would otherwise be thrown there and end the program;
// RtAudio stops the stream itself, and the editor keeps running.
void IgnoreStreamError(RtAudioError::Type, const std::string&) {}

struct Device
{
    RtAudio::Api api;
    unsigned int id;
    std::string name;
};

// Every output device with two channels or more, API by API in RtAudio's order of preference.
std::vector<Device> StereoOutputs(const std::vector<RtAudio::Api>& apis)
{
    std::vector<Device> devices;
    for (RtAudio::Api api : apis)
    {
        try
        {
            RtAudio audio(api);
            audio.showWarnings(false);
            for (unsigned int id = 0; id < audio.getDeviceCount(); ++id)
            {
                const RtAudio::DeviceInfo info = audio.getDeviceInfo(id);
                if (info.probed && info.outputChannels >= kChannels)
                    devices.push_back({api, id, info.name});
            }
        }
        catch (const RtAudioError&)
        {
            // An API that cannot even be asked has no device to offer.
        }
    }
    return devices;
}

// The default output device of each API that has one, in order of preference.
std::vector<Device> DefaultOutputs(const std::vector<RtAudio::Api>& apis)
{
    std::vector<Device> devices;
    for (RtAudio::Api api : apis)
    {
        try
        {
            RtAudio audio(api);
            audio.showWarnings(false);
            if (audio.getDeviceCount() == 0)
                continue;
            const unsigned int id = audio.getDefaultOutputDevice();
            devices.push_back({api, id, audio.getDeviceInfo(id).name});
        }
        catch (const RtAudioError&)
        {
        }
    }
    return devices;
}

std::string NameList(const std::vector<Device>& devices)
{
    std::string names;
    for (const Device& d : devices)
        names += (names.empty() ? "" : ", ") + RtAudio::getApiDisplayName(d.api) + ": " + d.name;
    return names;
}
} // namespace

AudioOutput::AudioOutput() = default;

AudioOutput::~AudioOutput()
{
    Stop();
}

bool AudioOutput::Start(const std::string& deviceName, int sampleRate, int framesPerBuffer,
                        RenderFunction render, std::string& why)
{
    Stop();
    snd_lib_error_set_handler(QuietAlsa);
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);

    std::vector<Device> candidates;
    if (deviceName.empty())
    {
        candidates = DefaultOutputs(apis);
        if (candidates.empty())
            why = "no audio output device found";
    }
    else
    {
        const std::vector<Device> all = StereoOutputs(apis);
        for (const Device& d : all)
            if (d.name.find(deviceName) != std::string::npos)
                candidates.push_back(d);
        if (candidates.empty())
            why = "no audio output device named '" + deviceName + "' (" +
                  (all.empty() ? "none found" : "found: " + NameList(all)) + ")";
    }

    mRender = std::move(render);
    for (const Device& d : candidates)
    {
        auto audio = std::make_unique<RtAudio>(d.api);
        audio->showWarnings(false);
        RtAudio::StreamParameters out;
        out.deviceId = d.id;
        out.nChannels = kChannels;
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_NONINTERLEAVED;
        options.streamName = "TW Parandel";
        unsigned int frames = static_cast<unsigned int>(framesPerBuffer);
        try
        {
            audio->openStream(&out, nullptr, RTAUDIO_FLOAT32, static_cast<unsigned int>(sampleRate),
                              &frames, &AudioOutput::Callback, this, &options, &IgnoreStreamError);
            audio->startStream();
        }
        catch (const RtAudioError& e)
        {
            why = RtAudio::getApiDisplayName(d.api) + " device '" + d.name + "' does not open at " +
                  std::to_string(sampleRate) + " Hz: " + e.getMessage();
            continue;
        }
        mAudio = std::move(audio);
        mDeviceName = RtAudio::getApiDisplayName(d.api) + ": " + d.name;
        return true;
    }
    mRender = nullptr;
    return false;
}

void AudioOutput::Stop()
{
    if (!mAudio)
        return;
    try
    {
        if (mAudio->isStreamRunning())
            mAudio->stopStream();
        mAudio->closeStream();
    }
    catch (const RtAudioError&)
    {
        // Closing a stream the device already lost: nothing left to release.
    }
    mAudio.reset();
    mRender = nullptr;
    mDeviceName.clear();
}

int AudioOutput::Callback(void* output, void*, unsigned int nFrames, double, unsigned int,
                          void* userData)
{
    auto* self = static_cast<AudioOutput*>(userData);
    // Non-interleaved: the right channel follows the whole left one.
    float* left = static_cast<float*>(output);
    self->mRender(left, left + nFrames, static_cast<int>(nFrames));
    return 0;
}
} // namespace app
