// The help button hands its document to the editor's opener verbatim, and says where the
// document is when nothing opens it.

#include "editor/controls/IHelpButtonControl.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/IPromptOverlay.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(IHelpButtonControlTest, WithoutAViewerANoticeInsideTheEditorGivesThePath)
{
    ControlTestPlug plug;
    auto* graphics = new ControlTestGraphics(&plug);
    plug.AttachGraphics(graphics);
    graphics->urlOpens = false;
    const std::string path =
        "/usr/lib/x86_64-linux-gnu/lv2/parandel.lv2/manual/TW-Parandel_manual-EN.pdf";
    graphics->AttachControl(new IHelpButtonControl(
        &plug, 392, 462, TestBitmap(kFirstTestBitmapId + 5, 20, 20), path.c_str()));
    IGraphicsOffscreen screen;
    graphics->OpenWindow(&screen);
    screen.DrawAll();
    const LICE_MemBitmap& shown = screen.Screen();
    const std::vector<LICE_pixel> before(shown.getBits(),
                                         shown.getBits() + 486 * shown.getRowSpan());

    graphics->HandleMouseDown(395, 465, IMouseMod(true));
    ASSERT_TRUE(graphics->IsPromptOpen());
    const auto* notice = dynamic_cast<const INoticeOverlay*>(graphics->GetPrompt());
    ASSERT_NE(notice, nullptr);
    EXPECT_NE(std::string(notice->GetText()).find("\n" + path), std::string::npos);
    screen.DrawAll();
    // Three lines: the sentence, and the path (7 px a character here: 532 px) broken after a
    // '/' to fit the 432 px inside the box.
    const IRECT box = notice->Area();
    EXPECT_EQ(box.H(), 3 * INoticeOverlay::kLineHeight + 8);
    int changed = 0;
    for (int y = box.T; y < box.B; ++y)
        for (int x = box.L; x < box.R; ++x)
            changed += *shown.PixelAt(x, y) != before[y * shown.getRowSpan() + x];
    EXPECT_GT(changed, box.W() * box.H() / 2);

    graphics->HandleKey(IKeyDescription::Named(IKeyDescription::kEscape, 27), IMouseMod());
    EXPECT_FALSE(graphics->IsPromptOpen());
    graphics->CloseWindow();
}
