// The editor core: the tick and dirty collection, hit testing, event dispatch with capture and
// host gestures, key numbering, view coordinates and the editor-drawn prompts.

#include "editor/IGraphics.h"

#include "editor/IGraphicsOffscreen.h"
#include "editor/IPromptOverlay.h"
#include "editor/controls/IControl.h"
#include "framework/IPlugBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A key that types a character and has no name, as X11 describes most keys.
IKeyDescription Typed(int character)
{
    return IKeyDescription::Named(IKeyDescription::kNone, character);
}

// A plug-in that records the host-facing calls the editor causes, in order.
class EventPlug : public IPlugBase
{
public:
    EventPlug()
        : IPlugBase(3, "2-2", 1, "Test", "", "Test", 0x10000, 1, 1, 0, false, false, false,
                    kAPIAU)
    {
        Param(0)->DefineDouble("Width", 0.0, -100.0, 100.0, 0.01, "%");
        Param(1)->DefineEnum("Mode", 0, 3);
        Param(1)->AddDisplayText(0, "Polar");
        Param(1)->AddDisplayText(1, "Lissajous");
        Param(1)->AddDisplayText(2, "Grid");
        Param(2)->DefineInt("Count", 0, -10, 10);
    }
    void OnEditorResize(int, int) override {}
    void BeginInformHostOfParamChange(int idx) override { Log("begin", idx); }
    void InformHostOfParamChange(int idx, double) override { Log("change", idx); }
    void EndInformHostOfParamChange(int idx) override { Log("end", idx); }
    bool GetTime(TimeInfo*) override { return false; }
    void ResizeGraphics(int, int) override { ++resizes; }
    bool SendMidiMessage(IMidiMsg*) override { return false; }

    void Log(const char* what, int idx) { calls.push_back(std::string(what) + std::to_string(idx)); }
    std::vector<std::string> calls;
    int resizes = 0;
};

// A control that records what the editor calls on it.
class ProbeControl : public IControl
{
public:
    ProbeControl(IPlugBase* plug, const IRECT& r, int param = -1) : IControl(plug, r, param) {}
    bool Draw(IGraphics*) override
    {
        ++draws;
        return true;
    }
    void OnMouseDown(int x, int y, const IMouseMod& mod) override
    {
        events.push_back("down");
        IControl::OnMouseDown(x, y, mod);
    }
    void OnMouseUp(int, int, const IMouseMod&) override { events.push_back("up"); }
    void OnMouseDrag(int, int, int dX, int dY, const IMouseMod&) override
    {
        events.push_back("drag " + std::to_string(dX) + "," + std::to_string(dY));
    }
    bool OnMouseDoubleClick(int, int, const IMouseMod&) override
    {
        events.push_back("double");
        return true;
    }
    bool OnKeyDown(int, int, int key) override
    {
        keys.push_back(key);
        return takeKeys;
    }
    void OnEditorIdle() override { ++idles; }

    std::vector<std::string> events;
    std::vector<int> keys;
    int draws = 0;
    int idles = 0;
    bool takeKeys = true;
};

struct Editor
{
    // First, so it is destroyed last: the plug-in's editor closes it on the way out.
    IGraphicsOffscreen view;
    EventPlug plug;
    IGraphics* graphics = new IGraphics(&plug, 100, 80);
    ProbeControl* background = new ProbeControl(&plug, IRECT(0, 0, 100, 80));
    ProbeControl* knob = new ProbeControl(&plug, IRECT(10, 10, 30, 30), 0);
    ProbeControl* top = new ProbeControl(&plug, IRECT(20, 20, 40, 40));

    Editor()
    {
        graphics->AttachControl(background);
        graphics->AttachControl(knob);
        graphics->AttachControl(top);
        plug.AttachGraphics(graphics);
        graphics->OpenWindow(&view);
        view.DrawAll();
    }
};

const IMouseMod kLeft(true);
const IMouseMod kRight(false, true);

// A control with an image of its own that changes when told to.
class LayerControl : public ProbeControl
{
public:
    LayerControl(IPlugBase* plug, const IRECT& r) : ProbeControl(plug, r), image(r.W(), r.H()) {}
    LICE_IBitmap* RenderGL(bool render) override
    {
        if (render && fresh)
        {
            ++renders;
            fresh = false;
        }
        return &image;
    }
    bool NeedsRenderGL() override { return fresh; }
    unsigned RenderGLCount() const override { return renders; }

    LICE_MemBitmap image;
    bool fresh = true;
    unsigned renders = 0;
};

TEST(IGraphicsTickTest, IdleEverySecondTickAndNoRedrawWhenNothingChanged)
{
    Editor e;
    EXPECT_EQ(e.graphics->FPS(), 25); // frame rate 0 asks for the default
    const int before = e.view.InvalidationCount();
    EXPECT_TRUE(e.graphics->OnTimerTick().Empty());
    EXPECT_EQ(e.view.InvalidationCount(), before);
    EXPECT_FALSE(e.view.LayersInvalid());
    EXPECT_EQ(e.knob->idles, 0);
    e.graphics->OnTimerTick();
    EXPECT_EQ(e.knob->idles, 1);
    e.graphics->OnTimerTick();
    e.graphics->OnTimerTick();
    EXPECT_EQ(e.knob->idles, 2);

    e.knob->SetValueFromPlugin(0.2); // first value: the default, not dirty
    e.knob->SetValueFromPlugin(0.4);
    e.top->SetDirty(false);
    e.view.DrawAll();
    e.top->SetDirty(false);
    const int asked = e.view.InvalidationCount();
    EXPECT_EQ(e.graphics->OnTimerTick(), IRECT(10, 10, 40, 40));
    // Each dirty control asks for its own rectangle.
    EXPECT_EQ(e.view.InvalidationCount(), asked + 2);
    EXPECT_EQ(e.view.PendingInvalidation(), IRECT(10, 10, 40, 40));
}

TEST(IGraphicsTickTest, ANewLayerImageIsPresentedAloneAndAnUnchangedEditorPresentsNothing)
{
    Editor e;
    auto* layer = new LayerControl(&e.plug, IRECT(50, 10, 90, 70));
    e.graphics->AttachControl(layer);
    layer->SetClean();
    const int draws = e.background->draws;
    const int frames = e.view.FramesPresented();
    e.view.Tick(); // the new image: shown with no control redrawn
    EXPECT_EQ(layer->renders, 1u);
    EXPECT_EQ(e.background->draws, draws);
    EXPECT_EQ(e.view.FramesPresented(), frames + 1);
    EXPECT_EQ(e.view.LayerUploads(), 1);
    for (int i = 0; i < 4; ++i)
        e.view.Tick();
    EXPECT_EQ(e.view.FramesPresented(), frames + 1) << "nothing changed: no frame";
    EXPECT_EQ(e.view.FramesSkipped(), 0) << "nor a redraw asked for";
    e.knob->SetValueFromUser(0.7);
    e.view.Tick(); // a knob moved: its area is drawn, the unchanged image is not taken again
    EXPECT_EQ(e.view.FramesPresented(), frames + 2);
    EXPECT_EQ(e.view.LayerUploads(), 1);
    EXPECT_EQ(layer->renders, 1u);
}

TEST(IGraphicsTickTest, StrictDrawingDrawsOnlyWhatMeetsTheRegion)
{
    Editor e;
    const int bgDraws = e.background->draws, knobDraws = e.knob->draws, topDraws = e.top->draws;
    e.graphics->DrawRegion(IRECT(35, 35, 50, 50));
    EXPECT_EQ(e.background->draws, bgDraws + 1);
    EXPECT_EQ(e.knob->draws, knobDraws);
    EXPECT_EQ(e.top->draws, topDraws + 1);
    // A changed value stays dirty for exactly one more pass.
    e.knob->SetValueFromPlugin(0.1);
    e.knob->SetValueFromPlugin(0.6);
    e.graphics->DrawRegion(IRECT(0, 0, 100, 80));
    EXPECT_TRUE(e.knob->IsDirty());
    e.graphics->DrawRegion(IRECT(0, 0, 100, 80));
    EXPECT_FALSE(e.knob->IsDirty());
}

TEST(IGraphicsEventTest, PressDragReleaseCapturesAndFramesTheGesture)
{
    Editor e;
    e.graphics->HandleMouseDown(15, 15, kLeft);
    e.graphics->HandleMouseDrag(15, 15, kLeft); // no movement: nothing
    e.graphics->HandleMouseDrag(60, 5, kLeft);  // far outside: still the captured knob
    e.graphics->HandleMouseUp(60, 5, kLeft);
    EXPECT_EQ(e.knob->events, (std::vector<std::string>{"down", "drag 45,-10", "up"}));
    EXPECT_EQ(e.plug.calls, (std::vector<std::string>{"begin0", "end0"}));
    EXPECT_EQ(e.graphics->GetMouseCapture(), -1);
    // The topmost control wins where two overlap; a control without a parameter sends no
    // gesture.
    e.graphics->HandleMouseDown(25, 25, kLeft);
    e.graphics->HandleMouseUp(25, 25, kLeft);
    EXPECT_EQ(e.top->events.size(), 2u);
    EXPECT_EQ(e.plug.calls.size(), 2u);
}

TEST(IGraphicsEventTest, HiddenGrayedAndTransparentControlsLetTheMouseThrough)
{
    Editor e;
    EXPECT_EQ(e.graphics->ControlAtPoint(25, 25), 2);
    e.top->SetMouseTransparent(true);
    EXPECT_EQ(e.graphics->ControlAtPoint(25, 25), 1);
    e.knob->SetGrayed(true);
    EXPECT_EQ(e.graphics->ControlAtPoint(25, 25), 0);
    e.knob->SetMOWhenGrayed(true);
    EXPECT_EQ(e.graphics->ControlAtPoint(25, 25, true), 1);
    e.background->SetHidden(true);
    EXPECT_EQ(e.graphics->ControlAtPoint(50, 50), -1);
}

TEST(IGraphicsEventTest, ADoubleClickAsSinglePressCapturesWithoutABeginGesture)
{
    Editor e;
    e.knob->SetDoubleClickAsSingle(true);
    EXPECT_TRUE(e.graphics->HandleMouseDoubleClick(15, 15, kLeft));
    e.graphics->HandleMouseUp(15, 15, kLeft);
    EXPECT_EQ(e.knob->events, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(e.plug.calls, (std::vector<std::string>{"end0"}));
    e.knob->SetDoubleClickAsSingle(false);
    EXPECT_FALSE(e.graphics->HandleMouseDoubleClick(15, 15, kLeft));
    EXPECT_EQ(e.knob->events.back(), "double");
}

TEST(IGraphicsKeyTest, KeyNumbers)
{
    using K = IKeyDescription;
    EXPECT_EQ(IGraphics::KeyNumber(K::Named(K::kSpace, ' ')), 0);
    EXPECT_EQ(IGraphics::KeyNumber(K::Named(K::kUp)), 1);
    EXPECT_EQ(IGraphics::KeyNumber(K::Named(K::kRight)), 4);
    EXPECT_EQ(IGraphics::KeyNumber(Typed('0')), 5);
    EXPECT_EQ(IGraphics::KeyNumber(Typed('9')), 14);
    EXPECT_EQ(IGraphics::KeyNumber(Typed('a')), 15);
    EXPECT_EQ(IGraphics::KeyNumber(Typed('A')), 15);
    EXPECT_EQ(IGraphics::KeyNumber(Typed('z')), 40);
    EXPECT_EQ(IGraphics::KeyNumber(Typed('#')), 41);
    EXPECT_EQ(IGraphics::KeyNumber(Typed('\t')), IGraphics::kKeyPassOn);
    K twoChars = Typed('a');
    twoChars.characterCount = 2;
    EXPECT_EQ(IGraphics::KeyNumber(twoChars), IGraphics::kKeyDropped);
}

TEST(IGraphicsKeyTest, KeysGoToTheControlUnderTheMouseNeverTheBackground)
{
    Editor e;
    e.graphics->SetLastMousePosition(15, 15);
    EXPECT_TRUE(e.graphics->HandleKey(Typed('b'), IMouseMod()));
    EXPECT_EQ(e.knob->keys, std::vector<int>{16});
    e.graphics->SetLastMousePosition(70, 70); // over the background only
    EXPECT_FALSE(e.graphics->HandleKey(Typed('b'), IMouseMod()));
    EXPECT_TRUE(e.background->keys.empty());
    // Tab is passed on without reaching a control.
    e.graphics->SetLastMousePosition(15, 15);
    EXPECT_FALSE(e.graphics->HandleKey(Typed('\t'), IMouseMod()));
    EXPECT_EQ(e.knob->keys.size(), 1u);
}

TEST(IGraphicsPromptTest, TypedTextSetsTheValueThroughTheControl)
{
    Editor e;
    e.knob->SetValueFromPlugin(0.5);
    IParam* width = e.plug.Param(0);
    e.graphics->PromptUserInput(e.knob, width, &e.knob->GetRECT());
    ASSERT_TRUE(e.graphics->IsPromptOpen());
    auto* entry = dynamic_cast<ITextEntryOverlay*>(e.graphics->GetPrompt());
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->GetString(), "0.00");
    // Dragging while the entry is open goes nowhere.
    e.graphics->HandleMouseDrag(12, 12, kLeft);
    EXPECT_TRUE(e.knob->events.empty());

    for (int i = 0; i < 4; ++i)
        e.graphics->HandleKey(IKeyDescription::Named(IKeyDescription::kBackspace), IMouseMod());
    for (char c : std::string("12.5x"))
        e.graphics->HandleKey(Typed(c), IMouseMod()); // x is refused
    EXPECT_STREQ(entry->GetString(), "12.5");
    e.graphics->HandleKey(IKeyDescription::Named(IKeyDescription::kReturn, '\r'), IMouseMod());
    EXPECT_FALSE(e.graphics->IsPromptOpen());
    EXPECT_DOUBLE_EQ(e.knob->GetValue(), 0.5625);
    EXPECT_NEAR(width->Value(), 12.5, 1e-9);
}

TEST(IGraphicsPromptTest, LoneMinusGivesZeroAndTheWheelEndsTheEntry)
{
    Editor e;
    e.knob->SetValueFromPlugin(0.9);
    e.graphics->CreateTextEntry(e.knob, IText(), IRECT(0, 0, 90, 16), "", e.plug.Param(0));
    e.graphics->HandleKey(Typed('-'), IMouseMod());
    e.graphics->HandleMouseWheel(15, 15, IMouseMod(), 1.0);
    EXPECT_FALSE(e.graphics->IsPromptOpen());
    EXPECT_DOUBLE_EQ(e.knob->GetValue(), 0.5); // 0 % of −100 … 100
    // An integer entry refuses the decimal point; Escape keeps the value.
    e.graphics->CreateTextEntry(e.knob, IText(), IRECT(0, 0, 90, 16), "", e.plug.Param(2));
    auto* entry = dynamic_cast<ITextEntryOverlay*>(e.graphics->GetPrompt());
    EXPECT_FALSE(entry->Accepts('.'));
    e.graphics->HandleKey(IKeyDescription::Named(IKeyDescription::kEscape, 27), IMouseMod());
    EXPECT_FALSE(e.graphics->IsPromptOpen());
    EXPECT_DOUBLE_EQ(e.knob->GetValue(), 0.5);
}

TEST(IGraphicsPromptTest, EnumParametersGetAMenuWithTheCurrentTextChecked)
{
    Editor e;
    IParam* mode = e.plug.Param(1);
    mode->SetValue(1.0);
    ProbeControl* selector = e.top;
    e.graphics->PromptUserInput(selector, mode, &selector->GetRECT());
    auto* menu = dynamic_cast<IPopupMenuOverlay*>(e.graphics->GetPrompt());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->GetMenu()->NItems(), 3);
    EXPECT_TRUE(menu->GetMenu()->GetItem(1)->Checked());
    EXPECT_FALSE(menu->GetMenu()->GetItem(0)->Checked());
    // Arrow down and Enter choose the next item.
    e.graphics->HandleKey(IKeyDescription::Named(IKeyDescription::kDown), IMouseMod());
    e.graphics->HandleKey(IKeyDescription::Named(IKeyDescription::kReturn), IMouseMod());
    EXPECT_DOUBLE_EQ(selector->GetValue(), 1.0); // "Grid", the last of three
    // A click on an item chooses it; a click outside dismisses without a value.
    e.graphics->PromptUserInput(selector, mode, &selector->GetRECT());
    menu = dynamic_cast<IPopupMenuOverlay*>(e.graphics->GetPrompt());
    const IRECT first = menu->ItemRect(0);
    e.graphics->HandleMouseDown(first.L + 2, first.T + 2, kLeft);
    EXPECT_DOUBLE_EQ(selector->GetValue(), 0.0);
    EXPECT_TRUE(selector->events.empty()); // the click went to the menu
}

TEST(IGraphicsResizeTest, SameSizeKeepsEverythingAnotherDeletesTheControls)
{
    Editor e;
    e.graphics->Resize(100, 80);
    EXPECT_EQ(e.graphics->NControls(), 3);
    EXPECT_EQ(e.plug.resizes, 0);
    e.graphics->Resize(200, 90);
    EXPECT_EQ(e.graphics->NControls(), 0);
    EXPECT_EQ(e.plug.resizes, 1);
    EXPECT_EQ(e.view.Screen().getWidth(), 200);
    EXPECT_EQ(e.view.Screen().getHeight(), 90);
}
} // namespace
