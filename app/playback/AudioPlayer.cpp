#include "app/playback/AudioPlayer.h"

#include "app/playback/LoopSource.h"
#include "app/render/OfflineRenderer.h"

#include <algorithm>
#include <chrono>

namespace app
{
AudioPlayer::AudioPlayer(OfflineRenderer& renderer, LoopSource& source)
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

void AudioPlayer::Start(const PlaybackOptions& options)
{
    Stop();
    mFramesRendered = 0;
    mSilentReason.clear();
    mSilent = false;
    if (options.noAudio)
        mSilentReason = "audio output is off (--no-audio)";
    else if (mOutput.Start(
                 options.deviceName, mSource.SampleRate(), mRenderer.BlockSize(),
                 [this](float* left, float* right, int nFrames) { Render(left, right, nFrames); },
                 mSilentReason))
        return;
    mSilent = true;
    mClockStop = false;
    mClock = std::thread(&AudioPlayer::RunClock, this);
}

void AudioPlayer::Stop()
{
    mOutput.Stop();
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

void AudioPlayer::Render(float* left, float* right, int nFrames)
{
    const int block = mRenderer.BlockSize();
    float* inputs[2] = {mInput[0].data(), mInput[1].data()};
    for (int done = 0; done < nFrames;)
    {
        const int n = std::min(block, nFrames - done);
        mSource.Read(inputs, n);
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
        std::chrono::duration<double>(static_cast<double>(block) / mSource.SampleRate()));
    auto next = Clock::now();
    std::unique_lock<std::mutex> lock(mClockMutex);
    while (!mClockStop)
    {
        lock.unlock();
        Render(mDiscarded[0].data(), mDiscarded[1].data(), block);
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
