// Knobs driven through the editor: drags with and without fine adjustment, both directions,
// wheel steps, and the frame a value selects.

#include "editor/controls/IKnobControl.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace controltest;

namespace
{
class KnobTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plug.Param(1)->DefineDouble("Width", 0.0, -100.0, 100.0, 0.01, "%");
        // 60 px wide, frames 100 px high.
        knob = new IKnobMultiControl(&plug, 0, 0, 1,
                                     TestBitmap(kFirstTestBitmapId + 1, 60, 18000, 180));
        graphics.AttachControl(knob);
        knob->SetValueFromPlugin(0.5);
    }

    void Drag(int dx, int dy, IMouseMod mod = IMouseMod(true))
    {
        graphics.HandleMouseDown(10, 10, mod);
        graphics.HandleMouseDrag(10 + dx, 10 + dy, mod);
        graphics.HandleMouseUp(10 + dx, 10 + dy, mod);
    }

    ControlTestPlug plug;
    ControlTestGraphics graphics{&plug};
    IKnobMultiControl* knob = nullptr;
};

TEST_F(KnobTest, VerticalDragMovesAQuarterOfAPercentPerPixelATenthWithShiftOrControl)
{
    Drag(0, -10); // 10 px up: 10 / (100 × 4)
    EXPECT_NEAR(knob->GetValue(), 0.525, 1e-12);
    Drag(3, 4); // sideways movement does not count
    EXPECT_NEAR(knob->GetValue(), 0.515, 1e-12);
    Drag(0, -10, IMouseMod(true, false, true));
    EXPECT_NEAR(knob->GetValue(), 0.5175, 1e-12);
    Drag(0, -10, IMouseMod(true, false, false, true));
    EXPECT_NEAR(knob->GetValue(), 0.52, 1e-12);
    Drag(0, -1000);
    EXPECT_EQ(knob->GetValue(), 1.0);
    // Each drag is one gesture; the plug-in holds the value.
    EXPECT_EQ(plug.log[0], Event("begin", 1));
    EXPECT_EQ(plug.log[1], Event("inform", 1, 0.525));
    EXPECT_EQ(plug.log[2], Event("end", 1));
    EXPECT_EQ(plug.Param(1)->Value(), 100.0);
}

TEST_F(KnobTest, HorizontalDragFollowsTheLargerMovementAndWheelStepsAreSmall)
{
    IKnobMultiControl horizontal(&plug, 0, 0, 1, knob->GetBitmap(), IKnobControl::kHorizontal);
    horizontal.SetValueFromPlugin(0.5);
    horizontal.OnMouseDrag(0, 0, 12, 3, IMouseMod(true)); // 12 of 60 px at gearing 4
    EXPECT_NEAR(horizontal.GetValue(), 0.55, 1e-12);
    horizontal.OnMouseDrag(0, 0, 2, -6, IMouseMod(true)); // mostly up: 6 / (60 × 4)
    EXPECT_NEAR(horizontal.GetValue(), 0.575, 1e-12);
    // Wheel steps: a hundredth, a thousandth with shift or control.
    graphics.HandleMouseWheel(1, 1, IMouseMod(), 1.0);
    graphics.HandleMouseWheel(1, 1, IMouseMod(false, false, true), -2.0);
    graphics.HandleMouseWheel(1, 1, IMouseMod(false, false, false, true), 1.0);
    EXPECT_NEAR(knob->GetValue(), 0.509, 1e-12);
}

TEST_F(KnobTest, FramesOf180StepFromFirstToLastAndAKnobWithoutBitmapStays)
{
    const double values[] = {0.0, 0.5, 1.0, 0.0028, 0.0027};
    const int frames[] = {1, 91, 180, 2, 1}; // int(179 v + 0.5) + 1
    for (int i = 0; i < 5; ++i)
    {
        knob->SetValueFromPlugin(values[i]);
        EXPECT_EQ(knob->FrameToDraw(), frames[i]) << "value " << values[i];
    }
    // A failed bitmap load leaves no height to divide a drag by: the knob stays put.
    IKnobMultiControl flat(&plug, 0, 0, 1, BitmapRef());
    flat.SetValueFromPlugin(0.3);
    flat.OnMouseDrag(0, 0, 4, -5, IMouseMod(true));
    EXPECT_EQ(flat.GetValue(), 0.3);
}
} // namespace
