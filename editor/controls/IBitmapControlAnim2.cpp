#include "editor/controls/IBitmapControlAnim2.h"

#include "editor/IGraphics.h"
#include "framework/MathConstants.h"

#include <cmath>

IBitmapControlAnim2::IBitmapControlAnim2(IPlugBase* plug, int x, int y, const BitmapRef& bitmap,
                                         double sweepsPerSecond, bool pingPong, bool eased)
    : IBitmapControl(plug, x, y, -1, bitmap), mSpeed(sweepsPerSecond), mPingPong(pingPong),
      mEased(eased)
{
}

int IBitmapControlAnim2::FrameAt(uint64_t timeMs) const
{
    const int n = mBitmap.frames;
    // A single frame, or no motion, or a sweep shorter than a millisecond: nothing to animate
    // (and the formulas below would divide by zero).
    if (n <= 1 || !(mSpeed > 0.0) || mSpeed > 1000.0)
        return 0;
    const uint64_t periodMs = static_cast<uint64_t>(1000.0 / mSpeed);
    const uint64_t q = timeMs % (mPingPong ? periodMs * 2 : periodMs);
    const double sweep = static_cast<double>(q) / static_cast<double>(periodMs);
    int f = 0;
    if (mEased)
    {
        // A cosine from the first to the last frame; past the last (ping-pong) it runs back.
        const int k = static_cast<int>(sweep * n);
        f = static_cast<int>((std::cos(static_cast<double>(k) / (n - 1) * kPi + kPi) + 1.0) * 0.5 *
                             (n - 1));
    }
    else
    {
        f = static_cast<int>(sweep * n);
    }
    if (f >= n)
        f = 2 * n - f - 1;
    return f < 0 ? 0 : (f > n - 1 ? n - 1 : f);
}

uint64_t IBitmapControlAnim2::AnimationTimeMs()
{
    const uint64_t now = CurrentTimeMs();
    if (!mRestsInSilence)
        return now;
    // The time since the last look is swing time when it began within a second of a sound, or
    // while the swing is on its way to an end.
    const uint64_t elapsed = mLooked && now > mLastLookMs ? now - mLastLookMs : 0;
    const bool hearing = mHeard && mLastLookMs - mLastSoundMs < kRestAfterMs;
    const int frame = FrameAt(mSwingMs);
    if (hearing || (frame != 0 && frame != mBitmap.frames - 1))
        mSwingMs += elapsed;
    mLooked = true;
    mLastLookMs = now;
    if (mSoundNoted.exchange(false, std::memory_order_relaxed))
    {
        mHeard = true;
        mLastSoundMs = now;
    }
    return mSwingMs;
}

bool IBitmapControlAnim2::IsDirty()
{
    mCurrentFrame = FrameAt(AnimationTimeMs());
    mDirty = mCurrentFrame != mLastDrawnFrame;
    return mDirty;
}

bool IBitmapControlAnim2::Draw(IGraphics* graphics)
{
    mCurrentFrame = FrameAt(AnimationTimeMs());
    mLastDrawnFrame = mCurrentFrame;
    return graphics->DrawBitmap(&mBitmap, &mRECT, mCurrentFrame + 1, &mBlend);
}
