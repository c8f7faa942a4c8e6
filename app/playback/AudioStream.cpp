#include "app/playback/AudioStream.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <algorithm>
#include <cerrno>

namespace app
{
namespace
{
constexpr unsigned int kChannels = 2;
constexpr const char* kStreamName = "TW Parandel";
// The JACK ports RtAudio gives the stream's client ("TW Parandel", or "TW Parandel-01" when the
// name is taken).
constexpr const char* kOwnInputPorts = "^TW Parandel(-[0-9]+)?:inport [01]$";
constexpr const char* kOwnOutputPorts = "^TW Parandel(-[0-9]+)?:outport [01]$";

// ALSA prints its own diagnostics while RtAudio probes cards that are absent or busy; the player
// reports the outcome in one line instead.
extern "C" void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// A stream error on the audio thread would otherwise be thrown there and end the program;
// RtAudio stops the stream itself, and the editor keeps running.
void IgnoreStreamError(RtAudioError::Type, const std::string&) {}

struct Device
{
    RtAudio::Api api;
    unsigned int output;
    unsigned int input;
    std::string name;
    unsigned int preferredRate;
};

// Every device with two channels or more each way asked for, API by API in RtAudio's order of
// preference.
std::vector<Device> StereoDevices(const std::vector<RtAudio::Api>& apis, bool input)
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
                if (info.probed && info.outputChannels >= kChannels &&
                    (!input || info.inputChannels >= kChannels))
                    devices.push_back({api, id, id, info.name, info.preferredSampleRate});
            }
        }
        catch (const RtAudioError&)
        {
            // An API that cannot even be asked has no device to offer.
        }
    }
    return devices;
}

// The default devices of each API that has them, in order of preference.
std::vector<Device> DefaultDevices(const std::vector<RtAudio::Api>& apis, bool input)
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
            const unsigned int out = audio.getDefaultOutputDevice();
            const unsigned int in = input ? audio.getDefaultInputDevice() : out;
            const RtAudio::DeviceInfo info = audio.getDeviceInfo(out);
            if (input && audio.getDeviceInfo(in).inputChannels < kChannels)
                continue;
            devices.push_back({api, out, in, info.name, info.preferredSampleRate});
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

std::vector<Device> Candidates(const StreamRequest& request, std::string& why)
{
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    // Named input ports are JACK's: no other API can connect them.
    if (!request.inputPorts.empty())
        apis = {RtAudio::UNIX_JACK};
    const char* kind = request.input ? "audio input and output" : "audio output";
    std::vector<Device> candidates;
    if (request.deviceName.empty())
    {
        candidates = DefaultDevices(apis, request.input);
        if (candidates.empty())
            why = std::string("no ") + kind + " device found" +
                  (request.inputPorts.empty() ? "" : " on JACK (named ports need a JACK server)");
        return candidates;
    }
    const std::vector<Device> all = StereoDevices(apis, request.input);
    for (const Device& d : all)
        if (d.name.find(request.deviceName) != std::string::npos)
            candidates.push_back(d);
    if (candidates.empty())
        why = std::string("no ") + kind + " device named '" + request.deviceName + "' (" +
              (all.empty() ? "none found" : "found: " + NameList(all)) + ")";
    return candidates;
}

// The rates to try on a device: the one asked for, then the device's own.
std::vector<unsigned int> Rates(int wished, unsigned int preferred)
{
    std::vector<unsigned int> rates;
    if (wished > 0)
        rates.push_back(static_cast<unsigned int>(wished));
    const unsigned int own = preferred > 0 ? preferred : 48000;
    if (rates.empty() || rates[0] != own)
        rates.push_back(own);
    return rates;
}

// The ports matching pattern with the given flags; the last count of them (the newest client's).
std::vector<std::string> Ports(jack_client_t* client, const char* pattern, unsigned long flags,
                               size_t count)
{
    std::vector<std::string> names;
    if (const char** ports = jack_get_ports(client, pattern, JACK_DEFAULT_AUDIO_TYPE, flags))
    {
        for (int i = 0; ports[i]; ++i)
            names.push_back(ports[i]);
        jack_free(ports);
    }
    if (names.size() > count)
        names.erase(names.begin(), names.end() - static_cast<long>(count));
    return names;
}
} // namespace

AudioStream::AudioStream() = default;

AudioStream::~AudioStream()
{
    Stop();
}

bool AudioStream::Open(const StreamRequest& request, std::string& why)
{
    Stop();
    snd_lib_error_set_handler(QuietAlsa);
    for (const Device& d : Candidates(request, why))
    {
        for (unsigned int rate : Rates(request.sampleRate, d.preferredRate))
        {
            auto audio = std::make_unique<RtAudio>(d.api);
            audio->showWarnings(false);
            RtAudio::StreamParameters out, in;
            out.deviceId = d.output;
            out.nChannels = kChannels;
            in.deviceId = d.input;
            in.nChannels = kChannels;
            RtAudio::StreamOptions options;
            options.flags = RTAUDIO_NONINTERLEAVED;
            if (!request.inputPorts.empty())
                options.flags |= RTAUDIO_JACK_DONT_CONNECT;
            options.streamName = kStreamName;
            unsigned int frames = static_cast<unsigned int>(request.framesPerBuffer);
            try
            {
                audio->openStream(&out, request.input ? &in : nullptr, RTAUDIO_FLOAT32, rate,
                                  &frames, &AudioStream::Callback, this, &options,
                                  &IgnoreStreamError);
            }
            catch (const RtAudioError& e)
            {
                why = RtAudio::getApiDisplayName(d.api) + " device '" + d.name +
                      "' does not open at " + std::to_string(rate) + " Hz: " + e.getMessage();
                continue;
            }
            mAudio = std::move(audio);
            mRequest = request;
            mDeviceName = RtAudio::getApiDisplayName(d.api) + ": " + d.name;
            mSampleRate = static_cast<int>(mAudio->getStreamSampleRate());
            return true;
        }
    }
    return false;
}

bool AudioStream::Start(RenderFunction render, std::string& why)
{
    if (!mAudio)
    {
        why = "no audio stream is open";
        return false;
    }
    mRender = std::move(render);
    try
    {
        mAudio->startStream();
    }
    catch (const RtAudioError& e)
    {
        why = "the audio stream on " + mDeviceName + " does not start: " + e.getMessage();
        Stop();
        return false;
    }
    if (!mRequest.inputPorts.empty() && !ConnectJackPorts(why))
    {
        Stop();
        return false;
    }
    return true;
}

// The input from the named ports, the output to the system's first two playback ports, as
// RtAudio would have connected it.
bool AudioStream::ConnectJackPorts(std::string& why) const
{
    jack_client_t* client = jack_client_open("parandel-connect", JackNoStartServer, nullptr);
    if (!client)
    {
        why = "cannot reach the JACK server to connect the input ports";
        return false;
    }
    const std::vector<std::string> inputs = Ports(client, kOwnInputPorts, JackPortIsInput, 2);
    const std::vector<std::string> outputs = Ports(client, kOwnOutputPorts, JackPortIsOutput, 2);
    const std::vector<std::string> playback =
        Ports(client, nullptr, JackPortIsPhysical | JackPortIsInput, 2);
    bool ok = inputs.size() == kChannels;
    why = ok ? "" : "the stream's JACK input ports are missing";
    for (size_t c = 0; ok && c < kChannels; ++c)
    {
        const std::string& from = mRequest.inputPorts[std::min(c, mRequest.inputPorts.size() - 1)];
        const int rc = jack_connect(client, from.c_str(), inputs[c].c_str());
        if (rc != 0 && rc != EEXIST)
        {
            why = "cannot connect JACK port '" + from + "' to '" + inputs[c] +
                  "' (jack_lsp lists the ports)";
            ok = false;
        }
    }
    for (size_t c = 0; ok && c < outputs.size() && c < playback.size(); ++c)
        jack_connect(client, outputs[c].c_str(), playback[c].c_str());
    jack_client_close(client);
    return ok;
}

void AudioStream::Stop()
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
    mSampleRate = 0;
}

int AudioStream::Callback(void* output, void* input, unsigned int nFrames, double, unsigned int,
                          void* userData)
{
    auto* self = static_cast<AudioStream*>(userData);
    // Non-interleaved: the right channel follows the whole left one.
    float* left = static_cast<float*>(output);
    const float* in = static_cast<const float*>(input);
    const float* inputs[kChannels] = {in, in ? in + nFrames : nullptr};
    self->mRender(in ? inputs : nullptr, left, left + nFrames, static_cast<int>(nFrames));
    return 0;
}
} // namespace app
