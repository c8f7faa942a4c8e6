#pragma once
// A control that shows one frame of a bitmap: the only frame of a plain image, else the frame
// its value selects (0 → first, 1 → last, rounded). The background and the meters are drawn
// this way.

#include "editor/BitmapResources.h"
#include "editor/controls/IControl.h"

class IBitmapControl : public IControl
{
public:
    IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapRef& bitmap,
                   IChannelBlend blend = IChannelBlend());
    // A bitmap without a parameter.
    IBitmapControl(IPlugBase* plug, int x, int y, const BitmapRef& bitmap,
                   IChannelBlend blend = IChannelBlend());

    bool Draw(IGraphics* graphics) override;
    const BitmapRef& GetBitmap() const { return mBitmap; }

    // The 1-based frame a value in 0..1 selects among n frames: int((n − 1) × value + 0.5) + 1,
    // kept within 1..n (1 when the computed index is negative).
    static int FrameForValue(double value, int frames);

protected:
    BitmapRef mBitmap;
};
