// The base control behaviour every control inherits: values from the plug-in and the user,
// default restore, double-click timing, dirty tracking.

#include "editor/controls/IControl.h"

#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace controltest;

namespace
{
class TestControl : public IControl
{
public:
    using IControl::IControl;
    bool Draw(IGraphics*) override { return true; }
    uint64_t nowMs = 10000;

protected:
    uint64_t CurrentTimeMs() const override { return nowMs; }
};

TEST(IControlBaseTest, FirstValueFromThePlugInBecomesTheDefaultThatAltClickRestores)
{
    ControlTestPlug plug;
    TestControl c(&plug, IRECT(0, 0, 10, 10), 4);
    c.SetClean();
    c.SetValueFromPlugin(0.3);
    EXPECT_DOUBLE_EQ(c.GetValue(), 0.3);
    EXPECT_DOUBLE_EQ(c.GetDefaultValue(), 0.3);
    EXPECT_FALSE(c.IsDirty());
    c.SetValueFromPlugin(0.7);
    EXPECT_TRUE(c.IsDirty());
    EXPECT_TRUE(plug.pushes.empty()); // values from the plug-in are not pushed back
    c.OnMouseDown(1, 1, IMouseMod(true, false, false, false, true));
    EXPECT_DOUBLE_EQ(c.GetValue(), 0.3);
    ASSERT_EQ(plug.pushes.size(), 1u);
    EXPECT_DOUBLE_EQ(plug.pushes[0], 0.3);
    ASSERT_EQ(plug.log.size(), 1u);
    EXPECT_EQ(plug.log[0], Event("inform", 4, 0.3));
}

TEST(IControlBaseTest, DoubleClickWithin250MsResetsToTheDefault)
{
    ControlTestPlug plug;
    TestControl c(&plug, IRECT(0, 0, 10, 10), 2);
    c.SetValueFromPlugin(0.5);
    c.SetValueFromUser(0.9);
    plug.pushes.clear();
    c.nowMs = 20000;
    c.OnMouseDown(1, 1, IMouseMod());
    c.nowMs = 20251; // 251 ms: an ordinary press
    EXPECT_FALSE(c.OnMouseDoubleClick(1, 1, IMouseMod()));
    EXPECT_DOUBLE_EQ(c.GetValue(), 0.9);
    c.nowMs = 20501; // 250 ms after that press
    EXPECT_TRUE(c.OnMouseDoubleClick(1, 1, IMouseMod()));
    EXPECT_DOUBLE_EQ(c.GetValue(), 0.5);
    ASSERT_EQ(plug.pushes.size(), 1u);
}

TEST(IControlBaseTest, SetDirtyClampsAndPushesOnlyWithAParameter)
{
    ControlTestPlug plug;
    TestControl bound(&plug, IRECT(0, 0, 10, 10), 1);
    bound.SetValueFromPlugin(0.5);
    bound.SetValueFromUser(1.5);
    EXPECT_DOUBLE_EQ(bound.GetValue(), 1.0);
    bound.SetValueFromUser(-0.5);
    EXPECT_DOUBLE_EQ(bound.GetValue(), 0.0);
    EXPECT_EQ(plug.pushes.size(), 2u);
    TestControl unbound(&plug, IRECT(0, 0, 10, 10), -1);
    unbound.SetValueFromUser(0.4);
    EXPECT_EQ(plug.pushes.size(), 2u);
}

TEST(IControlBaseTest, RedrawPendingKeepsAControlDirtyForOneMorePass)
{
    TestControl c(nullptr, IRECT(0, 0, 10, 10), -1);
    EXPECT_TRUE(c.IsDirty());
    c.SetClean();
    EXPECT_FALSE(c.IsDirty());
    c.SetHidden(true);
    EXPECT_TRUE(c.IsDirty());
    c.SetClean();
    EXPECT_TRUE(c.IsDirty());
    c.SetClean();
    EXPECT_FALSE(c.IsDirty());
    c.SetGrayed(true);
    EXPECT_FLOAT_EQ(c.GetBlend().weight, 0.25f);
    c.SetGrayed(false);
    EXPECT_FLOAT_EQ(c.GetBlend().weight, 1.0f);
    EXPECT_TRUE(c.HitTest(0, 9));
    EXPECT_FALSE(c.HitTest(10, 0));
    TestControl empty(nullptr, IRECT(), -1);
    EXPECT_FALSE(empty.HitTest(0, 0));
}
} // namespace
