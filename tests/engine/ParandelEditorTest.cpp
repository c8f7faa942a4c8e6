// The plug-in's editor driven as a host's view drives it: real event sequences through the
// editor's Handle* calls on the offscreen view, with the host listening for gestures.

#include "app/render/OfflineRenderer.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "editor/controls/IToggleButtonControl.h"
#include "engine/Parandel.h"
#include "graph/GraphControl10.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscope.h"
#include "editor/controls/VuMeterControl.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <string>
#include <vector>

namespace
{
// The WIDTH knob: 72-pixel frames at (192, 322); its read-out lies 14 pixels under the frame.
constexpr int kWidthKnobX = 228;
constexpr int kWidthKnobY = 358;
constexpr int kKnobFrameHeight = 72;
constexpr int kWidthReadoutY = 322 + kKnobFrameHeight + 20;
constexpr double kGearing = 4.0;

std::vector<std::string> gGestures;

void Hear(void*, void*, const AudioUnitEvent* e, UInt64, AudioUnitParameterValue)
{
    const char* kind = e->mEventType == kAudioUnitEvent_BeginParameterChangeGesture ? "begin"
                       : e->mEventType == kAudioUnitEvent_EndParameterChangeGesture ? "end"
                                                                                     : "change";
    gGestures.push_back(kind + std::to_string(e->mArgument.mParameter.mParameterID));
}

class ParandelEditorTest : public ::testing::Test
{
protected:
    ParandelEditorTest() : renderer(44100.0, 2, 512) {}

    void SetUp() override
    {
        ASSERT_EQ(renderer.Status(), noErr);
        renderer.Start();
        plug = &renderer.Plugin();
        gui = GetGUI(*plug);
        ASSERT_NE(gui, nullptr);
        ASSERT_NE(gui->OpenWindow(&view), nullptr);
        view.DrawAll();
        ASSERT_EQ(AUEventListenerCreate(Hear, nullptr, nullptr, nullptr, 0.0f, 0.0f, &listener),
                  noErr);
        for (AudioUnitEventType type :
             {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
              kAudioUnitEvent_EndParameterChangeGesture})
        {
            AudioUnitEvent e{};
            e.mEventType = type;
            e.mArgument.mParameter.mAudioUnit = renderer.Unit();
            e.mArgument.mParameter.mParameterID = kAUParameterListener_AnyParameter;
            AUEventListenerAddEventType(listener, nullptr, &e);
        }
        gGestures.clear();
    }

    void TearDown() override
    {
        AUListenerDispose(listener);
    }

    double Value(int idx) const { return plug->Param(idx)->Value(); }
    // The control the editor shows for a parameter (the first one bound to it).
    IControl* ShownFor(int paramIdx) const
    {
        for (int i = 0; i < gui->NControls(); ++i)
            if (gui->GetControl(i)->ParamIdx() == paramIdx)
                return gui->GetControl(i);
        return nullptr;
    }
    void Click(int x, int y, const IMouseMod& mod = IMouseMod(true))
    {
        gui->HandleMouseDown(x, y, mod);
        gui->HandleMouseUp(x, y, mod);
    }
    void Drag(int x, int y, int dx, int dy, const IMouseMod& mod = IMouseMod(true))
    {
        gui->HandleMouseDown(x, y, mod);
        gui->HandleMouseDrag(x + dx, y + dy, mod);
        gui->HandleMouseUp(x + dx, y + dy, mod);
    }
    void Type(const char* text)
    {
        for (const char* c = text; *c; ++c)
            gui->HandleKey(IKeyDescription::Named(IKeyDescription::kNone, *c), IMouseMod());
    }

    // Before the unit, so it outlives it: closing the unit closes the editor's window.
    IGraphicsOffscreen view;
    app::OfflineRenderer renderer;
    Parandel* plug = nullptr;
    IGraphics* gui = nullptr;
    AUEventListenerRef listener = nullptr;
};

TEST_F(ParandelEditorTest, DraggingTheWidthKnobUpRaisesItByDistanceOverHeightAndGearing)
{
    Drag(kWidthKnobX, kWidthKnobY, 0, -40);
    const double normalized = 0.5 + 40.0 / kKnobFrameHeight / kGearing;
    EXPECT_NEAR(Value(Parandel::kWidth), -100.0 + 200.0 * normalized, 1e-9);
    // The gesture frames the change: begin, the value, end.
    ASSERT_GE(gGestures.size(), 3u);
    EXPECT_EQ(gGestures.front(), "begin1");
    EXPECT_EQ(gGestures[1], "change1");
    EXPECT_EQ(gGestures.back(), "end1");

    // With shift the same drag moves a tenth as far.
    const double before = plug->Param(Parandel::kWidth)->ToNormalized();
    Drag(kWidthKnobX, kWidthKnobY, 0, -40, IMouseMod(true, false, true));
    EXPECT_NEAR(plug->Param(Parandel::kWidth)->ToNormalized() - before,
                40.0 / kKnobFrameHeight / kGearing / 10.0, 1e-9);
    // The width meter follows the setting.
    EXPECT_NEAR(ShownFor(Parandel::kWidthMeter)->GetValue(),
                (Value(Parandel::kWidth) / 100.0 + 1.0) * 0.5, 1e-9);
}

TEST_F(ParandelEditorTest, AltClickAndAQuickSecondClickRestoreTheDefault)
{
    Drag(kWidthKnobX, kWidthKnobY, 0, -30);
    ASSERT_NE(Value(Parandel::kWidth), 0.0);
    Click(kWidthKnobX, kWidthKnobY, IMouseMod(true, false, false, false, true));
    EXPECT_EQ(Value(Parandel::kWidth), 0.0);

    // A second press 250 ms after the first restores the default; 251 ms later it does not.
    Drag(kWidthKnobX, kWidthKnobY, 0, -30);
    const auto pressAt = [&](uint64_t ms, bool second)
    {
        const IControl::FrozenClock now(ms);
        if (second)
            gui->HandleMouseDoubleClick(kWidthKnobX, kWidthKnobY, IMouseMod(true));
        else
            gui->HandleMouseDown(kWidthKnobX, kWidthKnobY, IMouseMod(true));
        gui->HandleMouseUp(kWidthKnobX, kWidthKnobY, IMouseMod(true));
    };
    pressAt(100000, false);
    pressAt(100251, true);
    EXPECT_NE(Value(Parandel::kWidth), 0.0);
    pressAt(100501, true);
    EXPECT_EQ(Value(Parandel::kWidth), 0.0);
}

TEST_F(ParandelEditorTest, RightClickOnTheReadOutAndTypingSetsTheValue)
{
    Click(kWidthKnobX, kWidthReadoutY, IMouseMod(false, true));
    ASSERT_TRUE(gui->IsPromptOpen());
    Type("12.5");
    gui->HandleKey(IKeyDescription::Named(IKeyDescription::kReturn, '\r'), IMouseMod());
    EXPECT_FALSE(gui->IsPromptOpen());
    EXPECT_NEAR(Value(Parandel::kWidth), 12.5, 1e-9);
    // The entry's area is drawn again without the field: the read-out shows the new text.
    view.DrawAll();
    EXPECT_FALSE(gui->IsPromptOpen());

    Click(kWidthKnobX, kWidthReadoutY, IMouseMod(false, true));
    Type("-");
    gui->HandleKey(IKeyDescription::Named(IKeyDescription::kReturn, '\r'), IMouseMod());
    EXPECT_EQ(Value(Parandel::kWidth), 0.0);
}

TEST_F(ParandelEditorTest, ModeButtonsActAsRadioButtons)
{
    const int y = 271 + 9;
    Click(10 + 20 * 2 + 9, y);
    EXPECT_EQ(plug->GetVectorscope()->GetMode(), 2);
    for (int k = 0; k < Parandel::kNumVectorscopeModes; ++k)
    {
        EXPECT_EQ(Value(Parandel::kVectorscopeMode0 + k), k == 2 ? 1.0 : 0.0) << k;
        EXPECT_EQ(ShownFor(Parandel::kVectorscopeMode0 + k)->GetValue(), k == 2 ? 1.0 : 0.0) << k;
    }
    // Clicking the set button again leaves it set.
    Click(10 + 20 * 2 + 9, y);
    EXPECT_EQ(Value(Parandel::kVectorscopeMode0 + 2), 1.0);
    EXPECT_EQ(ShownFor(Parandel::kVectorscopeMode0 + 2)->GetValue(), 1.0);
    EXPECT_EQ(plug->GetVectorscope()->GetMode(), 2);
}

TEST_F(ParandelEditorTest, DraggingTheGridBallMovesPanAndWidth)
{
    Click(10 + 20 * 3 + 9, 280); // GRID
    ASSERT_EQ(plug->GetVectorscope()->GetMode(), 3);
    plug->SetPan(-0.4);
    view.DrawAll(); // the drawer learns the graph's size from a draw
    const GraphControl10* graph = plug->GetVectorscopeGraph(3);
    const int h = graph->Height();
    double bx = 0, by = 0, halo = 0;
    plug->GetVectorscope()->GetUpmixDrawer()->GetBall(&bx, &by, &halo);
    const int x = static_cast<int>(bx);
    const int y = h - static_cast<int>(by);

    // Sideways onto the vertical through the listening point: Pan 0.
    Drag(x, y, graph->Width() / 2 - x, 0);
    EXPECT_NEAR(Value(Parandel::kPan), 0.0, 1e-6);
    // Alt and down by half the graph's height: normalised Width lower by 0.5.
    view.DrawAll();
    plug->GetVectorscope()->GetUpmixDrawer()->GetBall(&bx, &by, &halo);
    const double widthBefore = plug->Param(Parandel::kWidth)->ToNormalized();
    Drag(static_cast<int>(bx), h - static_cast<int>(by), 0, h / 2,
         IMouseMod(true, false, false, false, true));
    EXPECT_NEAR(plug->Param(Parandel::kWidth)->ToNormalized(),
                std::max(0.0, widthBefore - (h / 2) / static_cast<double>(h)), 1e-9);
}

TEST_F(ParandelEditorTest, TheAudioThreadFeedsTheMetersWithoutTheEditorLock)
{
    // Another thread holds the editor's mutex (as a long redraw would) while a block renders:
    // the block must finish, so nothing on the audio path waits for the editor.
    std::promise<void> held, release;
    std::thread drawer([&] {
        WDL_MutexLock lock(gui->GetMutex());
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    std::vector<float> left(512), right(512), outL(512), outR(512);
    for (int k = 0; k < 512; ++k)
        left[k] = right[k] = 0.5f * static_cast<float>(std::sin(0.05 * k));
    float* ins[2] = {left.data(), right.data()};
    float* outs[2] = {outL.data(), outR.data()};
    auto block = std::async(std::launch::async, [&] { renderer.Process(ins, outs, 512); });
    const bool finished = block.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    release.set_value();
    drawer.join();
    block.wait();
    ASSERT_TRUE(finished);
    // In-phase material drives the correlation meter up from its centre (0.5, no correlation).
    EXPECT_GT(ShownFor(Parandel::kCorrelationMeter)->GetValue(), 0.55);
}

TEST_F(ParandelEditorTest, BlocksAllocateNothingWithTheEditorOpen)
{
    std::vector<float> left(512), right(512), outL(512), outR(512);
    for (int k = 0; k < 512; ++k)
    {
        left[k] = 0.5f * static_cast<float>(std::sin(0.05 * k));
        right[k] = 0.3f * static_cast<float>(std::cos(0.031 * k));
    }
    float* ins[2] = {left.data(), right.data()};
    float* outs[2] = {outL.data(), outR.data()};
    renderer.Process(ins, outs, 512);
    for (int mode = 0; mode < Parandel::kNumVectorscopeModes; ++mode)
    {
        Click(10 + 20 * mode + 9, 280);
        view.DrawAll();
        AllocationCounter::Start();
        for (int b = 0; b < 4; ++b)
            renderer.Process(ins, outs, 512);
        AllocationCounter::Stop();
        EXPECT_EQ(AllocationCounter::Count(), 0) << "mode " << mode;
    }
}

TEST_F(ParandelEditorTest, AResizedEditorLeavesNoDanglingPointersBehind)
{
    gui->Resize(300, 200);
    EXPECT_EQ(plug->GetVectorscopeGraph(0), nullptr);
    // Processing and parameter changes still work without the controls.
    std::vector<float> left(512, 0.25f), right(512, -0.25f), outL(512), outR(512);
    float* ins[2] = {left.data(), right.data()};
    float* outs[2] = {outL.data(), outR.data()};
    renderer.Process(ins, outs, 512);
    renderer.SetParameter(Parandel::kWidth, 30.0);
    renderer.SetParameter(Parandel::kVectorscopeMode0 + 1, 1.0);
    EXPECT_EQ(plug->GetVectorscope()->GetMode(), 1);
}
} // namespace
