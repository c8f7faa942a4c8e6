#pragma once
// Knobs: a drag or the wheel moves the value. Dragging by the rectangle's height (or width, for
// a horizontal knob) times the gearing moves it across the whole range; shift or control/command
// make it ten times finer. IKnobMultiControl shows the bitmap frame the value selects.

#include "editor/BitmapResources.h"
#include "editor/controls/IControl.h"

class IKnobControl : public IControl
{
public:
    enum EDirection
    {
        kVertical = 0,
        kHorizontal = 1
    };
    static constexpr double kDefaultGearing = 4.0;
    // Fine adjustment divides drags by this and scales wheel steps by its inverse.
    static constexpr double kFineFactor = 10.0;
    static constexpr double kWheelStep = 0.01;

    IKnobControl(IPlugBase* plug, const IRECT& rect, int paramIdx, int direction = kVertical,
                 double gearing = kDefaultGearing);

    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
    void OnMouseWheel(int x, int y, const IMouseMod& mod, double delta) override;

    double GetGearing() const { return mGearing; }

protected:
    int mDirection;
    double mGearing;
};

class IKnobMultiControl : public IKnobControl
{
public:
    // The rectangle is one frame of the bitmap at (x, y).
    IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapRef& bitmap,
                      int direction = kVertical, double gearing = kDefaultGearing);

    bool Draw(IGraphics* graphics) override;
    // The 1-based frame Draw shows for the current value.
    int FrameToDraw() const;
    const BitmapRef& GetBitmap() const { return mBitmap; }

private:
    BitmapRef mBitmap;
};
