#pragma once
// Two-state buttons with a 2-frame bitmap (off, on). A toggle switches between the clamp ends on
// each press; a one-way toggle only switches on, since the plug-in switches the others of its
// group off (the vectorscope mode buttons). Neither reacts until it is made clickable.

#include "editor/BitmapResources.h"
#include "editor/controls/IControl.h"

class IToggleButtonControl : public IControl
{
public:
    // The rectangle is one frame of the bitmap at (x, y).
    IToggleButtonControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapRef& bitmap,
                         IChannelBlend blend = IChannelBlend());

    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    bool OnMouseDoubleClick(int x, int y, const IMouseMod& mod) override;
    bool Draw(IGraphics* graphics) override;

    // Frame 2 (on) when the value is at the upper clamp, else frame 1.
    int FrameToDraw() const { return mValue == mClampHi ? 2 : 1; }
    void SetClickable(bool clickable) { mClickable = clickable; }
    bool IsClickable() const { return mClickable; }
    const BitmapRef& GetBitmap() const { return mBitmap; }

protected:
    // Runs after the base press behaviour: the new value for a press inside the rectangle.
    virtual double PressedValue() const { return mValue == mClampLo ? mClampHi : mClampLo; }

    BitmapRef mBitmap;
    bool mClickable = false;
};

class IOneWayToggleButtonControl : public IToggleButtonControl
{
public:
    using IToggleButtonControl::IToggleButtonControl;

    // Alt does nothing here: there is no default to go back to in a group of exclusive buttons.
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    // A second click is just another press.
    bool OnMouseDoubleClick(int x, int y, const IMouseMod& mod) override;

protected:
    double PressedValue() const override { return mValue == mClampLo ? mClampHi : mValue; }
};
