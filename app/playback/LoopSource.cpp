#include "app/playback/LoopSource.h"

#include "app/files/AudioFile.h"
#include "app/render/DemoMix.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace app
{
namespace
{
// About 50 minutes at 44.1 kHz, 1 GiB of stereo floats: a player holds its whole file.
constexpr long long kMaxFrames = 1LL << 27;
// Input frames from each end of a loop that the resampler sees around the other end.
constexpr size_t kWrapMargin = 8192;
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

bool LoopSource::ResampleTo(int rate, std::string& error)
{
    if (rate == mSampleRate || mChannels.empty() || rate <= 0)
        return true;
    const size_t frames = mChannels[0].size();
    const size_t outFrames = std::max<size_t>(
        1, static_cast<size_t>(std::llround(static_cast<double>(frames) * rate / mSampleRate)));
    // The loop plays round and round, so the filter sees its end before its start and its start
    // after its end: a margin of whole rate periods (so the cut falls on an output sample) taken
    // from the other end, as long as the loop holds it.
    const size_t common = static_cast<size_t>(std::gcd(mSampleRate, rate));
    const size_t inUnit = static_cast<size_t>(mSampleRate) / common;
    const size_t outUnit = static_cast<size_t>(rate) / common;
    const size_t units = inUnit <= kWrapMargin ? std::min(kWrapMargin, frames) / inUnit : 0;
    const size_t margin = units * inUnit, outMargin = units * outUnit;

    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    std::vector<std::vector<float>> padded(mChannels.size());
    std::vector<std::vector<float>> resampled(mChannels.size(),
                                              std::vector<float>(outFrames + 2 * outMargin));
    std::vector<const float*> in;
    std::vector<float*> out;
    for (size_t c = 0; c < mChannels.size(); ++c)
    {
        const std::vector<float>& x = mChannels[c];
        padded[c].assign(x.end() - static_cast<long>(margin), x.end());
        padded[c].insert(padded[c].end(), x.begin(), x.end());
        padded[c].insert(padded[c].end(), x.begin(), x.begin() + static_cast<long>(margin));
        in.push_back(padded[c].data());
        out.push_back(resampled[c].data());
    }
    size_t done = 0;
    const soxr_error_t failure = soxr_oneshot(
        mSampleRate, rate, static_cast<unsigned>(mChannels.size()), in.data(), padded[0].size(),
        nullptr, out.data(), resampled[0].size(), &done, &io, &quality, nullptr);
    if (failure)
    {
        error = "cannot resample from " + std::to_string(mSampleRate) + " Hz to " +
                std::to_string(rate) + " Hz: " + failure;
        return false;
    }
    for (auto& channel : resampled)
    {
        channel.resize(std::max(done, outMargin + outFrames));
        channel.erase(channel.begin(), channel.begin() + static_cast<long>(outMargin));
        channel.resize(outFrames);
    }
    mChannels = std::move(resampled);
    mSampleRate = rate;
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
