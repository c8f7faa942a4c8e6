#pragma once
// A bitmap strip played as an animation (the logo): the frame follows the clock, sweeping the
// strip `speed` times per second, back and forth with ping-pong, and slowed at both ends when
// eased. The control is dirty only when the clock has moved it to another frame.

#include "editor/controls/IBitmapControl.h"

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

private:
    double mSpeed;
    bool mPingPong;
    bool mEased;
    int mCurrentFrame = 0;
    int mLastDrawnFrame = -1; // none yet, so the first look finds it dirty
};
