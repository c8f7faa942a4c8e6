// Toggle and one-way toggle buttons pressed through the editor, with modifiers, clickability and
// double clicks on a controlled clock.

#include "editor/controls/IToggleButtonControl.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace controltest;

namespace
{
template <class Button> class Clocked : public Button
{
public:
    using Button::Button;
    uint64_t nowMs = 50000;

protected:
    uint64_t CurrentTimeMs() const override { return nowMs; }
};

class ToggleTest : public ::testing::Test
{
protected:
    template <class Button> Clocked<Button>* Make()
    {
        plug.Param(2)->DefineInt("MonoOut", 0, 0, 1);
        auto* b =
            new Clocked<Button>(&plug, 0, 0, 2, TestBitmap(kFirstTestBitmapId + 2, 16, 32, 2));
        b->SetClickable(true);
        graphics.AttachControl(b);
        b->SetValueFromPlugin(0.0);
        return b;
    }
    void Click(IMouseMod mod = IMouseMod(true))
    {
        graphics.HandleMouseDown(2, 2, mod);
        graphics.HandleMouseUp(2, 2, mod);
    }

    ControlTestPlug plug;
    ControlTestGraphics graphics{&plug};
};

TEST_F(ToggleTest, PressesSwitchAltRestoresRightDoesNot)
{
    auto* b = Make<IToggleButtonControl>();
    EXPECT_EQ(b->GetRECT(), IRECT(0, 0, 16, 16));
    Click();
    EXPECT_EQ(b->FrameToDraw(), 2);
    EXPECT_EQ(plug.Param(2)->Value(), 1.0);
    Click(IMouseMod(true, false, false, false, true)); // alt: back to the default
    EXPECT_EQ(b->FrameToDraw(), 1);
    Click(IMouseMod(false, true));
    b->SetClickable(false);
    Click();
    EXPECT_EQ(plug.pushes, (std::vector<double>{1.0, 0.0}));
}

TEST_F(ToggleTest, SecondClickWithin250MsRestoresTheDefault251IsAPress)
{
    auto* b = Make<IToggleButtonControl>();
    Click(); // on
    b->nowMs += 251;
    EXPECT_FALSE(b->OnMouseDoubleClick(2, 2, IMouseMod(true)));
    EXPECT_EQ(b->GetValue(), 0.0); // pressed off again
    Click();
    b->nowMs += 250;
    EXPECT_TRUE(b->OnMouseDoubleClick(2, 2, IMouseMod(true)));
    EXPECT_EQ(b->GetValue(), 0.0); // the default
}

TEST_F(ToggleTest, OneWayButtonStaysSetAndIgnoresAlt)
{
    auto* b = Make<IOneWayToggleButtonControl>();
    Click();
    Click();
    EXPECT_EQ(b->GetValue(), 1.0);
    EXPECT_FALSE(b->OnMouseDoubleClick(2, 2, IMouseMod(true)));
    Click(IMouseMod(true, false, false, false, true)); // a plain toggle would go back to 0
    EXPECT_EQ(b->GetValue(), 1.0);
    // Every press but the alt one reports the value, so the plug-in can clear the others.
    EXPECT_EQ(plug.pushes, (std::vector<double>{1.0, 1.0, 1.0}));
}
} // namespace
