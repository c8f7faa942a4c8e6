#pragma once
// Plays a LoopSource through the plug-in, round and round, with the host transport running: to
// the audio device when one opens, otherwise silently, clocked in real time by a thread of its
// own that renders one block every block duration, so the editor's scope and meters move as
// they would with sound.
//
// Threads: Start and Stop from one controlling thread. Rendering happens on the audio (or
// clock) thread between them; it allocates nothing, does no I/O and takes no lock but the
// plug-in's own mutex, which the unit's render call holds.

#include "app/playback/AudioOutput.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace app
{
class LoopSource;
class OfflineRenderer;

struct PlaybackOptions
{
    // Empty: the default output.
    std::string deviceName;
    // Never opens a device: plays silently.
    bool noAudio = false;
};

class AudioPlayer
{
public:
    // The renderer must be started, with as many input channels as the source has.
    AudioPlayer(OfflineRenderer& renderer, LoopSource& source);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // Starts playback on the device, or silently when none opens (or with noAudio); then
    // PlaysSilently() is true and SilentReason() says why in a few words.
    void Start(const PlaybackOptions& options);
    // Stops playback; nothing renders any more when it returns.
    void Stop();

    bool PlaysSilently() const { return mSilent; }
    const std::string& SilentReason() const { return mSilentReason; }
    // The device played on, empty while silent.
    const std::string& DeviceName() const { return mOutput.DeviceName(); }
    // Frames rendered since Start (any thread may ask).
    long long FramesRendered() const { return mFramesRendered.load(); }

    // Renders the next nFrames of the loop through the plug-in, in blocks of at most the
    // renderer's block size. Real-time safe.
    void Render(float* left, float* right, int nFrames);

private:
    void RunClock();

    OfflineRenderer& mRenderer;
    LoopSource& mSource;
    AudioOutput mOutput;
    std::vector<float> mInput[2];     // one block of the source
    std::vector<float> mDiscarded[2]; // the clock's output, which nobody hears
    std::atomic<long long> mFramesRendered{0};
    std::string mSilentReason;
    bool mSilent = false;

    std::thread mClock;
    std::mutex mClockMutex; // only for the clock's stop signal, never on the render path
    std::condition_variable mClockWake;
    bool mClockStop = false;
};
} // namespace app
