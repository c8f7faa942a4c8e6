#include "editor/controls/IKnobControl.h"

#include "editor/IGraphics.h"
#include "editor/controls/IBitmapControl.h"

#include <cstdlib>

IKnobControl::IKnobControl(IPlugBase* plug, const IRECT& rect, int paramIdx, int direction,
                           double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int /*x*/, int /*y*/, int dX, int dY, const IMouseMod& mod)
{
    double gearing = mGearing;
    if (mod.S || mod.C)
        gearing *= kFineFactor;
    // Up and right raise the value; with a horizontal knob the larger movement decides.
    int delta = dY;
    int extent = mRECT.T - mRECT.B;
    if (mDirection != kVertical)
    {
        if (std::abs(dY) < std::abs(dX))
        {
            delta = dX;
            extent = mRECT.R - mRECT.L;
        }
        else
        {
            extent = mRECT.L - mRECT.R;
        }
    }
    // A knob without extent (its bitmap did not load) has no scale: the drag would divide by
    // zero and throw the value to an end.
    if (extent == 0 || gearing == 0.0)
        return;
    mValue += static_cast<double>(delta) / extent / gearing;
    SetDirty(true);
}

void IKnobControl::OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& mod, double delta)
{
    const double step = (mod.S || mod.C) ? kWheelStep / kFineFactor : kWheelStep;
    mValue += delta * step;
    SetDirty(true);
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx,
                                     const BitmapRef& bitmap, int direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, x + bitmap.width, y + bitmap.FrameHeight()), paramIdx,
                   direction, gearing),
      mBitmap(bitmap)
{
}

int IKnobMultiControl::FrameToDraw() const
{
    return IBitmapControl::FrameForValue(mValue, mBitmap.frames);
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
    return graphics->DrawBitmap(&mBitmap, &mRECT, FrameToDraw(), &mBlend);
}
