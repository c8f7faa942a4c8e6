// Text controls: the read-out of a parameter's value, the one prompt a click opens and the typed
// value coming back, and the display controls a bound control keeps up to date.

#include "editor/controls/ITextControl.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace controltest;

namespace
{
class TextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plug.Param(1)->DefineDouble("Width", 0.0, -100.0, 100.0, 0.01, "%");
        plug.Param(2)->DefineBool("MonoOut", true);
        plug.AttachGraphics(graphics); // the plug-in owns its editor
    }

    ControlTestPlug plug;
    ControlTestGraphics* graphics = new ControlTestGraphics(&plug);
};

TEST_F(TextTest, ReadoutShowsTheValueWithItsUnitAndRedrawsOnlyOnChange)
{
    ICaptionControl withUnit(&plug, IRECT(), 1, IText(), true);
    ICaptionControl bare(&plug, IRECT(), 2, IText(), false);
    plug.Param(1)->SetValue(12.5);
    withUnit.Draw(graphics);
    bare.Draw(graphics);
    EXPECT_STREQ(withUnit.GetString(), "12.50 %");
    EXPECT_STREQ(bare.GetString(), "on"); // display texts replace the number
    withUnit.SetClean();
    withUnit.Draw(graphics); // same text
    EXPECT_FALSE(withUnit.IsDirty());
    plug.Param(1)->SetValue(-33.333);
    withUnit.Draw(graphics);
    EXPECT_STREQ(withUnit.GetString(), "-33.33 %");
    EXPECT_TRUE(withUnit.IsDirty());
}

TEST_F(TextTest, ClickOpensOneEntryCentredOnTheReadoutAndTheTypedValueComesBack)
{
    auto* readout = new ICaptionControl(&plug, IRECT(202, 387, 242, 401), 1, IText());
    graphics->AttachControl(readout);
    plug.Param(1)->SetValue(12.5);
    graphics->HandleMouseDown(210, 390, IMouseMod(false, true)); // right
    graphics->HandleMouseDown(210, 390, IMouseMod(true));        // left
    EXPECT_TRUE(graphics->entries.empty());                      // prompts stay off until enabled
    readout->SetPromptDisabled(false);
    graphics->HandleMouseDown(210, 390, IMouseMod(false, true));
    readout->OnMouseDown(210, 390, IMouseMod()); // no button: no prompt
    EXPECT_TRUE(readout->OnMouseDoubleClick(210, 390, IMouseMod(true)));
    ASSERT_EQ(graphics->entries.size(), 2u);
    EXPECT_EQ(graphics->entries[0], IRECT(222 - 45, 394 - 8, 222 + 45, 394 + 8));
    EXPECT_EQ(graphics->entryTexts[0], "12.50");

    graphics->SetFromStringAfterPrompt(readout, plug.Param(1), "-25");
    EXPECT_DOUBLE_EQ(readout->GetValue(), 0.375);
    EXPECT_DOUBLE_EQ(plug.Param(1)->Value(), -25.0);
}

TEST_F(TextTest, BoundControlKeepsItsValueAndNameDisplaysUpToDate)
{
    ITextControl value(&plug, IRECT(), IText());
    ITextControl name(&plug, IRECT(), IText());
    ICaptionControl bound(&plug, IRECT(), 1, IText());
    bound.SetValDisplayControl(&value);
    bound.SetNameDisplayControl(&name);
    bound.SetValueFromUser(0.5625);
    EXPECT_STREQ(value.GetString(), "12.50 %");
    EXPECT_STREQ(name.GetString(), "Width");
    value.SetClean();
    name.SetClean();
    bound.SetDirty(false); // same texts: nothing to redraw
    EXPECT_FALSE(value.IsDirty() || name.IsDirty());
    bound.SetValueFromPlugin(0.5625); // the first value from the plug-in only sets the default
    bound.SetValueFromPlugin(0.0);
    EXPECT_STREQ(value.GetString(), "-100.00 %");
    EXPECT_TRUE(value.IsDirty());
    value.SetTextFromPrompt("");
    EXPECT_TRUE(value.Draw(graphics)); // an empty text draws nothing and succeeds
}
} // namespace
