#pragma once
// Audio decoded into memory and read round and round, for a player whose audio thread must not
// touch the disk or allocate: the whole file is read before playback starts.
//
// One reader at a time: Read belongs to the audio thread once playback runs.

#include <string>
#include <vector>

namespace app
{
class LoopSource
{
public:
    // The built-in demo mix (stereo).
    static LoopSource DemoMix();

    // Reads the whole file. False with a one-line reason when it cannot be read, holds no
    // samples or has more than two channels.
    bool Load(const std::string& path, std::string& error);

    int Channels() const { return static_cast<int>(mChannels.size()); }
    int SampleRate() const { return mSampleRate; }
    long long Frames() const;

    // Converts the whole loop to rate (libsoxr, high quality, as sox's rate effect does). False
    // with a one-line reason when the library refuses.
    bool ResampleTo(int rate, std::string& error);

    // The next nFrames of every channel into dest[0 … Channels() − 1], going back to the start
    // at the end. Allocates nothing.
    void Read(float* const* dest, int nFrames);

private:
    std::vector<std::vector<float>> mChannels;
    int mSampleRate = 44100;
    size_t mPosition = 0;
};
} // namespace app
