// The help button hands its document to the editor's opener verbatim.

#include "editor/controls/IHelpButtonControl.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace controltest;

TEST(IHelpButtonControlTest, PressOpensTheDocumentThroughTheEditor)
{
    ControlTestPlug plug;
    auto* graphics = new ControlTestGraphics(&plug);
    plug.AttachGraphics(graphics);
    // Quotes and a semicolon would break out of a shell command; the opener gets them as is.
    const char* path = "/opt/a \"b\"; rm -rf c/TW-Parandel_manual-EN.pdf";
    graphics->AttachControl(
        new IHelpButtonControl(&plug, 392, 462, TestBitmap(kFirstTestBitmapId + 5, 20, 20), path));
    graphics->HandleMouseDown(395, 465, IMouseMod(true));
    ASSERT_EQ(graphics->urls.size(), 1u);
    EXPECT_EQ(graphics->urls[0], path);
    EXPECT_TRUE(plug.log.empty()); // no parameter, no gesture

    const std::string longPath(2000, 'a');
    IHelpButtonControl cut(nullptr, 0, 0, BitmapRef(), longPath.c_str());
    EXPECT_EQ(std::string(cut.GetDocumentPath()), longPath.substr(0, 1023));
}
