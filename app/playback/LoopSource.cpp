#include "app/playback/LoopSource.h"

#include "app/files/AudioFile.h"
#include "app/render/DemoMix.h"

#include <algorithm>

namespace app
{
namespace
{
// About 50 minutes at 44.1 kHz, 1 GiB of stereo floats: a player holds its whole file.
constexpr long long kMaxFrames = 1LL << 27;
} // namespace

LoopSource LoopSource::DemoMix()
{
    StereoSignal mix = MakeDemoMix();
    LoopSource source;
    source.mSampleRate = mix.sampleRate;
    source.mChannels.push_back(std::move(mix.left));
    source.mChannels.push_back(std::move(mix.right));
    return source;
}

bool LoopSource::Load(const std::string& path, std::string& error)
{
    AudioFileReader reader;
    if (!reader.Open(path))
    {
        error = reader.error();
        return false;
    }
    const int channels = reader.Channels();
    if (channels < 1 || channels > 2)
    {
        error = "'" + path + "' has " + std::to_string(channels) +
                " channels; supported configurations: 1 in / 2 out (mono) and 2 in / 2 out "
                "(stereo)";
        return false;
    }
    std::vector<float> interleaved;
    if (!ReadToEnd(reader, path, kMaxFrames, interleaved, error))
        return false;
    const long long frames = static_cast<long long>(interleaved.size()) / channels;
    if (frames == 0)
    {
        error = "'" + path + "' holds no audio to play";
        return false;
    }
    mSampleRate = reader.SampleRate();
    mChannels.assign(channels, std::vector<float>(static_cast<size_t>(frames)));
    for (long long k = 0; k < frames; ++k)
        for (int c = 0; c < channels; ++c)
            mChannels[c][k] = interleaved[k * channels + c];
    mPosition = 0;
    return true;
}

long long LoopSource::Frames() const
{
    return mChannels.empty() ? 0 : static_cast<long long>(mChannels[0].size());
}

void LoopSource::Read(float* const* dest, int nFrames)
{
    const size_t length = mChannels.empty() ? 0 : mChannels[0].size();
    if (length == 0)
        return;
    size_t done = 0;
    while (done < static_cast<size_t>(nFrames))
    {
        const size_t n = std::min(static_cast<size_t>(nFrames) - done, length - mPosition);
        for (size_t c = 0; c < mChannels.size(); ++c)
            std::copy_n(mChannels[c].data() + mPosition, n, dest[c] + done);
        done += n;
        mPosition = (mPosition + n) % length;
    }
}
} // namespace app
