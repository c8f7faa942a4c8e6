#pragma once
// Runs audio through the plug-in with the host transport rolling: a LoopSource played round and
// round, or a stream's live input (a live insert). On an audio stream when one is given,
// otherwise silently, clocked in real time by a thread of its own that renders one block every
// block duration, so the editor's scope and meters move as they would with sound.
//
// Threads: Start and Stop from one controlling thread. Rendering happens on the audio (or
// clock) thread between them; it allocates nothing, does no I/O and takes no lock but the
// plug-in's own mutex, which the unit's render call holds.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace app
{
class AudioStream;
class LoopSource;
class OfflineRenderer;

class AudioPlayer
{
public:
    // The renderer must be started at the rate the audio plays at, with as many input channels
    // as the source has (two for live input). source: null for live input.
    AudioPlayer(OfflineRenderer& renderer, LoopSource* source);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // Plays on the opened stream, or silently without one. False with a one-line reason when
    // the stream does not start.
    bool Start(AudioStream* stream, std::string& why);
    // Stops playback; nothing renders any more when it returns.
    void Stop();

    // Frames rendered since Start (any thread may ask).
    long long FramesRendered() const { return mFramesRendered.load(); }

    // Renders nFrames through the plug-in, in blocks of at most the renderer's block size:
    // the loop's next frames, or input[0 … 1] for live input. Real-time safe.
    void Render(const float* const* input, float* left, float* right, int nFrames);

private:
    void RunClock();

    OfflineRenderer& mRenderer;
    LoopSource* mSource;
    AudioStream* mStream = nullptr;
    std::vector<float> mInput[2];     // one block of the source
    std::vector<float> mDiscarded[2]; // the clock's output, which nobody hears
    std::atomic<long long> mFramesRendered{0};

    std::thread mClock;
    std::mutex mClockMutex; // only for the clock's stop signal, never on the render path
    std::condition_variable mClockWake;
    bool mClockStop = false;
};
} // namespace app
