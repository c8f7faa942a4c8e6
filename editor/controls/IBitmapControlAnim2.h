#pragma once
// A bitmap strip played as an animation (the logo): the frame follows the clock, sweeping the
// strip `speed` times per second, back and forth with ping-pong, and slowed at both ends when
// eased. The control is dirty only when the clock has moved it to another frame.
// Resting in silence, it swings only while sound passes (NoteSound, from any thread): about a
// second after the last sound it ends its swing at the first or last frame and stands still,
// so an editor with nothing to show draws nothing; the next sound carries on from there.

#include "editor/controls/IBitmapControl.h"

#include <atomic>

class IBitmapControlAnim2 : public IBitmapControl
{
public:
    IBitmapControlAnim2(IPlugBase* plug, int x, int y, const BitmapRef& bitmap,
                        double sweepsPerSecond, bool pingPong, bool eased);

    bool IsDirty() override;
    bool Draw(IGraphics* graphics) override;

    // The 0-based frame the strip shows at timeMs.
    int FrameAt(uint64_t timeMs) const;
    int GetLastDrawnFrame() const { return mLastDrawnFrame; }

    void SetRestsInSilence(bool rests) { mRestsInSilence = rests; }
    // Real-time safe: one relaxed store.
    void NoteSound() { mSoundNoted.store(true, std::memory_order_relaxed); }

    static constexpr uint64_t kRestAfterMs = 1000;

private:
    // The time the frame follows: the clock itself, or when resting in silence, the clock's
    // time spent swinging.
    uint64_t AnimationTimeMs();

    double mSpeed;
    bool mPingPong;
    bool mEased;
    int mCurrentFrame = 0;
    int mLastDrawnFrame = -1; // none yet, so the first look finds it dirty
    bool mRestsInSilence = false;
    std::atomic<bool> mSoundNoted{false};
    bool mLooked = false;
    bool mHeard = false;
    uint64_t mLastLookMs = 0;
    uint64_t mLastSoundMs = 0;
    uint64_t mSwingMs = 0;
};
