#include "app/playback/AudioPlayer.h"

#include "app/playback/AudioStream.h"
#include "app/playback/LoopSource.h"
#include "app/render/OfflineRenderer.h"

#include <algorithm>
#include <chrono>

namespace app
{
AudioPlayer::AudioPlayer(OfflineRenderer& renderer, LoopSource* source)
    : mRenderer(renderer), mSource(source)
{
    const size_t block = static_cast<size_t>(renderer.BlockSize());
    for (int c = 0; c < 2; ++c)
    {
        mInput[c].assign(block, 0.0f);
        mDiscarded[c].assign(block, 0.0f);
    }
}

AudioPlayer::~AudioPlayer()
{
    Stop();
}

bool AudioPlayer::Start(AudioStream* stream, std::string& why)
{
    Stop();
    mFramesRendered = 0;
    if (stream)
    {
        mStream = stream;
        if (stream->Start([this](const float* const* input, float* left, float* right, int nFrames)
                          { Render(input, left, right, nFrames); },
                          why))
            return true;
        mStream = nullptr;
        return false;
    }
    mClockStop = false;
    mClock = std::thread(&AudioPlayer::RunClock, this);
    return true;
}

void AudioPlayer::Stop()
{
    if (mStream)
        mStream->Stop();
    mStream = nullptr;
    if (mClock.joinable())
    {
        {
            std::lock_guard<std::mutex> lock(mClockMutex);
            mClockStop = true;
        }
        mClockWake.notify_all();
        mClock.join();
    }
}

void AudioPlayer::Render(const float* const* input, float* left, float* right, int nFrames)
{
    const int block = mRenderer.BlockSize();
    for (int done = 0; done < nFrames;)
    {
        const int n = std::min(block, nFrames - done);
        float* inputs[2] = {mInput[0].data(), mInput[1].data()};
        if (mSource)
            mSource->Read(inputs, n);
        else if (input) // live input
            for (int c = 0; c < 2; ++c)
                std::copy_n(input[c] + done, n, inputs[c]);
        else
            for (int c = 0; c < 2; ++c)
                std::fill_n(inputs[c], n, 0.0f);
        float* outputs[2] = {left + done, right + done};
        mRenderer.Process(inputs, outputs, n);
        done += n;
    }
    mFramesRendered.fetch_add(nFrames);
}

void AudioPlayer::RunClock()
{
    using Clock = std::chrono::steady_clock;
    const int block = mRenderer.BlockSize();
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(block) / mRenderer.SampleRate()));
    auto next = Clock::now();
    std::unique_lock<std::mutex> lock(mClockMutex);
    while (!mClockStop)
    {
        lock.unlock();
        Render(nullptr, mDiscarded[0].data(), mDiscarded[1].data(), block);
        lock.lock();
        next += period;
        // After a stall (a suspended process, an overloaded machine) carry on from now rather
        // than rendering the missed blocks in a burst.
        const auto now = Clock::now();
        if (next < now - period)
            next = now;
        mClockWake.wait_until(lock, next, [this] { return mClockStop; });
    }
}
} // namespace app
