#pragma once
// A stereo output stream on the system's audio device through RtAudio (JACK, PulseAudio or
// ALSA, whichever has a device first, as RtAudio itself prefers them). The stream pulls
// non-interleaved float blocks from a render function on RtAudio's audio thread.
//
// Threads: Start and Stop from one controlling thread; the render function runs on the audio
// thread between them and must be real-time safe.

#include <functional>
#include <memory>
#include <string>

class RtAudio;

namespace app
{
class AudioOutput
{
public:
    // Fills left and right with nFrames samples; called on the audio thread.
    using RenderFunction = std::function<void(float* left, float* right, int nFrames)>;

    AudioOutput();
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Opens and starts a stereo stream at sampleRate on the default output device, or, with a
    // device name, on the first output device whose name contains it. framesPerBuffer is a wish;
    // the device may call render with other counts. False with a one-line reason when no device
    // opens.
    bool Start(const std::string& deviceName, int sampleRate, int framesPerBuffer,
               RenderFunction render, std::string& why);
    // Stops and closes the stream; render is not called any more when it returns.
    void Stop();
    // "ALSA: default" and the like, while a stream is open.
    const std::string& DeviceName() const { return mDeviceName; }

private:
    static int Callback(void* output, void* input, unsigned int nFrames, double streamTime,
                        unsigned int status, void* userData);

    std::unique_ptr<RtAudio> mAudio;
    RenderFunction mRender;
    std::string mDeviceName;
};
} // namespace app
