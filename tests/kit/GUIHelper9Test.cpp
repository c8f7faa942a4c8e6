// The construction kit with bitmaps of known sizes in the 456 × 486 editor: positions worked by
// hand, the settings each widget gets, the manual lookup and the attach order.

#include "kit/GUIHelper9.h"

#include "editor/controls/IBitmapControlAnim2.h"
#include "editor/controls/IHelpButtonControl.h"
#include "editor/controls/IKnobControl.h"
#include "editor/controls/ITextControl.h"
#include "editor/controls/IToggleButtonControl.h"
#include "editor/controls/VuMeterControl.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

using namespace controltest;

namespace
{
constexpr int kKnob = kFirstTestBitmapId + 10;  // 60 × (180 × 51): frames 51 high, odd
constexpr int kField = kFirstTestBitmapId + 11; // 40 × 16
constexpr int kCheck = kFirstTestBitmapId + 12; // 16 × (2 × 16)
constexpr int kMeter = kFirstTestBitmapId + 13; // 100 × (180 × 8)
constexpr int kLogo = kFirstTestBitmapId + 14;  // 80 × (31 × 20)
constexpr int kName = kFirstTestBitmapId + 15;  // 120 × 30
constexpr int kHelp = kFirstTestBitmapId + 16;  // 20 × 20

class KitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestBitmap(kKnob, 60, 180 * 51);
        TestBitmap(kField, 40, 16);
        TestBitmap(kCheck, 16, 32);
        TestBitmap(kMeter, 100, 180 * 8);
        TestBitmap(kLogo, 80, 31 * 20);
        TestBitmap(kName, 120, 30);
        TestBitmap(kHelp, 20, 20);
        plug.Param(1)->DefineDouble("Width", 0.0, -100.0, 100.0, 0.01, "%");
        plug.AttachGraphics(graphics);
    }
    void TearDown() override { kit.AttachAll(graphics); } // the editor deletes them

    IKnobMultiControl* WidthKnob(ICaptionControl** readout, int fieldId = kField)
    {
        return kit.CreateKnob(&plug, graphics, kKnob, "k.png", 180, 1.0, 192, 322, 1, "WIDTH",
                              fieldId, "textfield.png", 1, 0, 0, readout);
    }
    ITextControl* Text(int i) { return static_cast<ITextControl*>(kit.TextsLayer().Get(i)); }

    ControlTestPlug plug;
    ControlTestGraphics* graphics = new ControlTestGraphics(&plug);
    GUIHelper9 kit;
};

TEST_F(KitTest, KnobWithCaptionTextFieldAndReadout)
{
    ICaptionControl* readout = nullptr;
    IKnobMultiControl* knob = WidthKnob(&readout);
    EXPECT_EQ(knob->GetRECT(), IRECT(192, 322, 252, 373)); // one frame high
    EXPECT_EQ(knob->GetGearing(), 4.0);
    // "WIDTH" measures 35: centred from 192 + 30 − 17; int(322 − 9.75 − 13) … int(322 − 9.75).
    EXPECT_STREQ(Text(0)->GetString(), "WIDTH");
    EXPECT_EQ(Text(0)->GetRECT(), IRECT(205, 299, 240, 312));
    EXPECT_TRUE(Text(0)->IsMouseTransparent());
    // The field: 322 + 50 (the frame height made even) + 16 − 1.
    EXPECT_EQ(kit.BitmapsLayer().Get(0)->GetRECT(), IRECT(202, 387, 242, 403));
    EXPECT_EQ(Text(1), readout);
    EXPECT_EQ(readout->GetRECT(), IRECT(202, 322 + 51 + 14, 242, 322 + 51 + 28));
    EXPECT_FALSE(readout->IsPromptDisabled());
    plug.Param(1)->SetValue(12.5);
    readout->Draw(graphics);
    EXPECT_STREQ(readout->GetString(), "12.50 %");

    // Without a text field the read-out keeps the knob's width.
    WidthKnob(&readout, -1);
    EXPECT_EQ(kit.BitmapsLayer().GetSize(), 1);
    EXPECT_EQ(readout->GetRECT(), IRECT(192, 387, 252, 401));
}

TEST_F(KitTest, TogglesAndMetersWithTheirCaptions)
{
    IToggleButtonControl* check =
        kit.CreateToggleButton(&plug, graphics, kCheck, "c.png", 2, 87, 322, 2, "MO->ST", 1);
    EXPECT_EQ(check->GetRECT(), IRECT(87, 322, 103, 338));
    EXPECT_TRUE(check->IsClickable());
    EXPECT_EQ(dynamic_cast<IOneWayToggleButtonControl*>(check), nullptr);
    EXPECT_EQ(Text(0)->GetRECT(), IRECT(74, 299, 116, 312)); // 42 wide: 87 + 8 − 21
    // Size class 0: 20 px at the full offset of 15; an empty caption has no width.
    IToggleButtonControl* mode = kit.CreateToggleButton(&plug, graphics, kCheck, "m.png", 2, 10,
                                                        271, 9, "", 0, 0, 0, 0, true);
    EXPECT_NE(dynamic_cast<IOneWayToggleButtonControl*>(mode), nullptr);
    EXPECT_EQ(Text(1)->GetRECT(), IRECT(18, 236, 18, 256));

    VuMeterControl* meter =
        kit.CreateMeter(&plug, graphics, kMeter, "cm.png", 180, 5, 243, 5, "", true, false, false);
    EXPECT_EQ(meter->GetRECT(), IRECT(5, 243, 105, 251));
    EXPECT_EQ(Text(2)->GetRECT(), IRECT(5, 254, 5, 254));
    // Without the flag the caption ends at the meter's right edge, 14 px per character.
    kit.CreateMeter(&plug, graphics, kMeter, "wm.png", 180, 6, 261, 0, "CORR", false, false, false);
    EXPECT_EQ(Text(3)->GetRECT(), IRECT(50, 272, 106, 272));
    EXPECT_EQ(Text(3)->GetText()->mAlign, IText::kAlignFar);
}

TEST_F(KitTest, VersionLogoNameAndHelpButtonAtTheBottom)
{
    ITextControl* version = kit.CreateVersionText(&plug, graphics, "5.3.1");
    EXPECT_STREQ(version->GetString(), "v5.3.1");
    EXPECT_EQ(version->GetRECT(), IRECT(222, 471, 234, 471));
    IBitmapControlAnim2* logo = kit.CreateLogoAnimation(&plug, graphics, kLogo, "logo.png");
    EXPECT_EQ(logo->GetRECT(), IRECT(376, 465, 456, 485));
    EXPECT_EQ(logo->FrameAt(1500), 26); // 31 frames, half a sweep per second, eased ping-pong
    EXPECT_TRUE(logo->IsMouseTransparent());
    EXPECT_EQ(kit.CreatePluginName(&plug, graphics, kName, "n.png")->GetRECT(),
              IRECT(5, 443, 125, 473));
    IHelpButtonControl* help =
        kit.CreateHelpButton(&plug, graphics, kHelp, "h.png", "manual/TW-Parandel_manual-EN.pdf");
    EXPECT_EQ(help->GetRECT(), IRECT(392, 462, 412, 482));
    const std::string path = help->GetDocumentPath();
    EXPECT_EQ(path.substr(path.rfind('/')), "/TW-Parandel_manual-EN.pdf");
}

TEST_F(KitTest, ManualIsFoundInsideOrBesideTheResourceFolder)
{
    const std::string root = std::string(PARANDEL_TEST_TMP) + "/kit-manual";
    for (const char* dir : {"", "/in", "/in/resources", "/by", "/by/resources", "/by/manual"})
        mkdir((root + dir).c_str(), 0755);
    std::fclose(std::fopen((root + "/in/resources/guide.pdf").c_str(), "w"));
    std::fclose(std::fopen((root + "/by/manual/guide.pdf").c_str(), "w"));
    WDL_String path;
    GUIHelper9::ManualPath((root + "/in/resources").c_str(), "manual/guide.pdf", &path);
    EXPECT_EQ(std::string(path.Get()), root + "/in/resources/guide.pdf");
    GUIHelper9::ManualPath((root + "/by/resources").c_str(), "manual/guide.pdf", &path);
    EXPECT_EQ(std::string(path.Get()), root + "/by/manual/guide.pdf");
    GUIHelper9::ManualPath((root + "/by/resources").c_str(), "manual/none.pdf", &path);
    EXPECT_EQ(std::string(path.Get()), root + "/by/resources/none.pdf"); // the bundle's place
}

TEST_F(KitTest, AttachAllHandsTheLayersOverInOrderOnce)
{
    ICaptionControl* readout = nullptr;
    IControl* knob = WidthKnob(&readout);
    IControl* version = kit.CreateVersionText(&plug, graphics, "5.3.1");
    IControl* check =
        kit.CreateToggleButton(&plug, graphics, kCheck, "c.png", 2, 87, 322, 2, "MO->ST", 1);
    IControl* logo = kit.CreateLogoAnimation(&plug, graphics, kLogo, "logo.png");
    IControl* help = kit.CreateHelpButton(&plug, graphics, kHelp, "h.png", "m.pdf");
    const IControl* expected[] = {
        kit.BitmapsLayer().Get(0), logo, help, knob, check, Text(0), readout, version, Text(3)};
    kit.AttachAll(graphics);
    kit.AttachAll(graphics); // nothing left to attach twice
    ASSERT_EQ(graphics->NControls(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(graphics->GetControl(i), expected[i]) << "position " << i;
}
} // namespace
