#include "editor/controls/IToggleButtonControl.h"

#include "editor/IGraphics.h"

IToggleButtonControl::IToggleButtonControl(IPlugBase* plug, int x, int y, int paramIdx,
                                           const BitmapRef& bitmap, IChannelBlend blend)
    : IControl(plug, IRECT(x, y, x + bitmap.width, y + bitmap.FrameHeight()), paramIdx, blend),
      mBitmap(bitmap)
{
}

void IToggleButtonControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    IControl::OnMouseDown(x, y, mod);
    if (mod.A || !mClickable || mod.R)
        return;
    if (mRECT.Contains(x, y))
        mValue = PressedValue();
    // A press outside the drawn rectangle (the hit area may differ) reports the unchanged value.
    SetDirty(true);
}

bool IToggleButtonControl::OnMouseDoubleClick(int x, int y, const IMouseMod& mod)
{
    return mClickable ? IControl::OnMouseDoubleClick(x, y, mod) : false;
}

bool IToggleButtonControl::Draw(IGraphics* graphics)
{
    return graphics->DrawBitmap(&mBitmap, &mRECT, FrameToDraw(), &mBlend);
}

void IOneWayToggleButtonControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    if (mod.A)
        return;
    IToggleButtonControl::OnMouseDown(x, y, mod);
}

bool IOneWayToggleButtonControl::OnMouseDoubleClick(int x, int y, const IMouseMod& mod)
{
    OnMouseDown(x, y, mod);
    return false;
}
