// The meter control: values pushed by the plug-in (from the audio thread: no allocation), the
// locked state, and the decay and notify-host options on the editor's idle tick.

#include "editor/controls/VuMeterControl.h"
#include "support/AllocationCounter.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace controltest;

namespace
{
constexpr int kCorrelation = 5;
constexpr int kLevel = 6;

class VuMeterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plug.Param(kCorrelation)->DefineDouble("CorrelationMeter", 0.0, -1.0, 1.0, 0.01);
        plug.Param(kLevel)->DefineDouble("Level", -10.0, -70.0, 6.0, 0.1, "dB");
        plug.AttachGraphics(graphics);
        plug.log.clear();
    }
    VuMeterControl* Meter(int paramIdx, bool decay, bool notify)
    {
        auto* meter = new VuMeterControl(&plug, 5, 243, paramIdx,
                                         TestBitmap(kFirstTestBitmapId + 6, 12, 720, 180),
                                         IChannelBlend::kBlendNone, decay, notify);
        graphics->AttachControl(meter);
        return meter;
    }

    ControlTestPlug plug;
    ControlTestGraphics* graphics = new ControlTestGraphics(&plug, true);
};

TEST_F(VuMeterTest, ShowsTheLastPushedValueUnlessLocked)
{
    VuMeterControl* meter = Meter(kCorrelation, false, false);
    meter->SetClean();
    meter->SetValueFromPlugin(0.5); // the first value only sets the default
    EXPECT_FALSE(meter->IsDirty());
    meter->SetLocked(true);
    meter->SetValueFromPlugin(0.9);
    EXPECT_EQ(meter->GetValue(), 0.5);
    meter->SetLocked(false);
    AllocationCounter::Start(); // the audio thread's path
    meter->SetValueFromPlugin(0.75);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
    EXPECT_TRUE(meter->IsDirty());
    EXPECT_EQ(IBitmapControl::FrameForValue(meter->GetValue(), 180), 135); // int(134.75) + 1
    graphics->OnTimerTick(); // idle work without options does nothing
    graphics->OnTimerTick();
    EXPECT_EQ(meter->GetValue(), 0.75);
    EXPECT_TRUE(plug.log.empty());
}

TEST_F(VuMeterTest, DecayLowersTheLevelBy1Point2DbPerTickDownToMinus60AndTheRange)
{
    VuMeterControl* meter = Meter(kLevel, true, false);
    meter->OnEditorIdle();
    meter->OnEditorIdle();
    EXPECT_NEAR(plug.Param(kLevel)->Value(), -12.4, 1e-12);
    EXPECT_NEAR(meter->GetValue(), (70.0 - 12.4) / 76.0, 1e-12);
    plug.Param(kLevel)->SetValue(-59.5);
    meter->OnEditorIdle();
    EXPECT_EQ(plug.Param(kLevel)->Value(), -60.0);
    EXPECT_NEAR(meter->GetValue(), 10.0 / 76.0, 1e-12);
    EXPECT_TRUE(plug.log.empty()); // decay alone tells the host nothing

    VuMeterControl* narrow = Meter(kCorrelation, true, false);
    plug.Param(kCorrelation)->SetValue(-0.5);
    narrow->OnEditorIdle(); // -1.7 lies below the range
    EXPECT_EQ(plug.Param(kCorrelation)->Value(), -1.0);
}

TEST_F(VuMeterTest, NotifyReportsTheValueAsOneGestureToTheEditorAndTheHost)
{
    VuMeterControl* meter = Meter(kCorrelation, false, true);
    plug.Param(kCorrelation)->SetValue(0.5);
    graphics->OnTimerTick();
    EXPECT_TRUE(plug.log.empty()); // idle work runs on every second tick
    graphics->OnTimerTick();
    const std::vector<std::string> expected = {
        Event("begin", kCorrelation), Event("editor", kCorrelation, 0.75),
        Event("inform", kCorrelation, 0.75), Event("end", kCorrelation)};
    EXPECT_EQ(plug.log, expected);
    EXPECT_EQ(meter->GetValue(), 0.75);
}
} // namespace
