#include "editor/controls/IBitmapControl.h"

#include "editor/IGraphics.h"

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx,
                               const BitmapRef& bitmap, IChannelBlend blend)
    : IControl(plug, IRECT(x, y, x + bitmap.width, y + bitmap.FrameHeight()), paramIdx, blend),
      mBitmap(bitmap)
{
}

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, const BitmapRef& bitmap,
                               IChannelBlend blend)
    : IBitmapControl(plug, x, y, -1, bitmap, blend)
{
}

int IBitmapControl::FrameForValue(double value, int frames)
{
    if (frames <= 1)
        return 1;
    const int idx = static_cast<int>((frames - 1) * value + 0.5);
    if (idx < 0)
        return 1;
    return idx + 1 > frames ? frames : idx + 1;
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
    const int frame = mBitmap.frames <= 1 ? 1 : FrameForValue(mValue, mBitmap.frames);
    return graphics->DrawBitmap(&mBitmap, &mRECT, frame, &mBlend);
}
