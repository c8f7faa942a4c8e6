#pragma once
// A stereo stream on the system's audio device through RtAudio (JACK, PulseAudio or ALSA,
// whichever has a device first, as RtAudio itself prefers them): output only, or duplex with a
// stereo input. The stream opens at the rate asked for or, when the device does not take it,
// at the device's own rate, which the caller then plays at. On JACK the input can be connected
// to named ports instead of the system's capture ports.
//
// Threads: Open, Start and Stop from one controlling thread; the render function runs on the
// audio thread between Start and Stop and must be real-time safe.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class RtAudio;

namespace app
{
struct StreamRequest
{
    // Empty: the default devices; otherwise the first whose name contains this text.
    std::string deviceName;
    // The rate wished for; 0: the device's own.
    int sampleRate = 0;
    // A wish; the device may call render with other counts.
    int framesPerBuffer = 512;
    // Duplex: a stereo input besides the output.
    bool input = false;
    // JACK ports (client:port) the input's channels are connected to, in order; empty: the
    // system's capture ports as RtAudio connects them.
    std::vector<std::string> inputPorts;
};

class AudioStream
{
public:
    // input[0 … 1] hold nFrames input samples (null for an output-only stream); left and right
    // are to be filled. Called on the audio thread.
    using RenderFunction =
        std::function<void(const float* const* input, float* left, float* right, int nFrames)>;

    AudioStream();
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // Opens the stream without starting it. False with a one-line reason when no device opens.
    bool Open(const StreamRequest& request, std::string& why);
    // Starts the opened stream (and makes the JACK connections asked for). False with a
    // one-line reason; the stream is closed then.
    bool Start(RenderFunction render, std::string& why);
    // Stops and closes the stream; render is not called any more when it returns.
    void Stop();
    // "ALSA: default" and the like, while a stream is open.
    const std::string& DeviceName() const { return mDeviceName; }
    // The rate the stream runs at, while open.
    int SampleRate() const { return mSampleRate; }

private:
    static int Callback(void* output, void* input, unsigned int nFrames, double streamTime,
                        unsigned int status, void* userData);
    bool ConnectJackPorts(std::string& why) const;

    std::unique_ptr<RtAudio> mAudio;
    StreamRequest mRequest;
    RenderFunction mRender;
    std::string mDeviceName;
    int mSampleRate = 0;
};
} // namespace app
