// GRID drawer: the stage geometry against worked positions, and the ball's mouse handling
// against a recording stand-in for the plug-in.

#include "metering/TWUpmixGraphDrawer.h"
#include "graph/GraphControl10.h"
#include "metering/TWVectorscopePlug.h"
#include "support/RecordingScopePlug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
constexpr int kW = 400;
constexpr int kH = 200;
constexpr double kTol = 1e-9;

class UpmixDrawerTest : public ::testing::Test
{
protected:
    UpmixDrawerTest()
        : graph(nullptr, IRECT(0, 0, kW, kH), -1, 0, 4096, ""), drawer(&plug, &graph, "GRID")
    {
        drawer.SetDepth(0.5);
    }

    // Lays the stage out for a W × H graph without drawing anything.
    void Layout(int w = kW, int h = kH) { drawer.PreDraw(nullptr, w, h); }

    // Mouse coordinates (y down) of a surface point (y up).
    static int MouseY(double surfaceY, int h = kH)
    {
        return static_cast<int>(std::lround(h - surfaceY));
    }

    RecordingPlug plug;
    GraphControl10 graph;
    TWUpmixGraphDrawer drawer;
    const IMouseMod noMod;
    const IMouseMod alt{true, false, false, false, true};
};
} // namespace

TEST_F(UpmixDrawerTest, BallSitsOnTheMiddleArcAndItsHaloGrowsWithWidth)
{
    Layout();
    double x, y, r;
    // Listening point (200, −370); distance (2.15 + 0.6 × 0.5) × 200 = 490 straight up.
    drawer.GetBall(&x, &y, &r);
    EXPECT_NEAR(x, 200.0, kTol);
    EXPECT_NEAR(y, 120.0, kTol);
    EXPECT_NEAR(r, 20.0, kTol) << "width 0";
    drawer.SetWidth(1.0);
    drawer.GetBall(nullptr, nullptr, &r);
    EXPECT_NEAR(r, 40.0, kTol) << "width 1";
    drawer.SetWidth(0.5);
    drawer.GetBall(nullptr, nullptr, &r);
    EXPECT_NEAR(r, 30.0, kTol) << "width 0.5";
}

TEST_F(UpmixDrawerTest, PanPutsTheBallOnTheSectorEdges)
{
    Layout();
    const double cx = kW / 2.0;
    const double cy = -1.85 * kH;
    for (double pan : {-1.0, -0.5, 0.0, 0.5, 1.0})
    {
        drawer.SetPan(pan);
        double x, y;
        drawer.GetBall(&x, &y, nullptr);
        // Pan +1 lies on the right edge line at π/2 − 0.35, −1 on the left one at π/2 + 0.35.
        EXPECT_NEAR(std::atan2(y - cy, x - cx), M_PI / 2.0 - 0.35 * pan, 1e-12) << "pan=" << pan;
        EXPECT_NEAR(std::hypot(x - cx, y - cy), 2.45 * kH, 1e-9) << "pan=" << pan;
    }
    drawer.SetPan(1.0);
    double x, y;
    drawer.GetBall(&x, &y, nullptr);
    EXPECT_GT(x, cx) << "pan +1 is to the right";
}

TEST_F(UpmixDrawerTest, DepthMovesTheBallBetweenTheInnerAndOuterArcs)
{
    Layout();
    double y;
    drawer.SetDepth(0.0);
    drawer.GetBall(nullptr, &y, nullptr);
    EXPECT_NEAR(y, 0.3 * kH, kTol) << "depth 0: innermost arc";
    drawer.SetDepth(1.0);
    drawer.GetBall(nullptr, &y, nullptr);
    EXPECT_NEAR(y, 0.9 * kH, kTol) << "depth 1: outermost arc";
}

TEST_F(UpmixDrawerTest, DraggingTheBallSetsPanFromThePointerDirection)
{
    Layout();
    drawer.OnMouseDown(200, MouseY(120.0), noMod);
    ASSERT_TRUE(drawer.IsDragging());

    // Straight above the listening point: pan 0, whatever the height.
    drawer.OnMouseDrag(200, 10, 0, 0, noMod);
    ASSERT_EQ(plug.calls.size(), 1u);
    EXPECT_EQ(plug.calls[0].op, "SetPan");
    EXPECT_NEAR(plug.calls[0].value, 0.0, 1e-12);

    // On the right edge line of the sector, at some distance from the listening point.
    const double a = M_PI / 2.0 - 0.35;
    const double d = 2.3 * kH;
    const double px = kW / 2.0 + d * std::cos(a);
    const double py = -1.85 * kH + d * std::sin(a);
    drawer.OnMouseDrag(static_cast<int>(std::lround(px)), MouseY(py), 5, 0, noMod);
    ASSERT_EQ(plug.calls.size(), 2u);
    EXPECT_EQ(plug.calls[1].op, "SetPan");
    // Pixel rounding moves the pointer by at most half a pixel per axis at 460 px: < 0.005 in pan.
    EXPECT_NEAR(plug.calls[1].value, 1.0, 0.005);

    // Half-way to the left edge.
    const double b = M_PI / 2.0 + 0.175;
    drawer.OnMouseDrag(static_cast<int>(std::lround(kW / 2.0 + d * std::cos(b))),
                       MouseY(-1.85 * kH + d * std::sin(b)), -5, 0, noMod);
    EXPECT_NEAR(plug.calls.back().value, -0.5, 0.005);

    drawer.OnMouseUp(0, 0, noMod);
    EXPECT_FALSE(drawer.IsDragging());
    drawer.OnMouseDrag(300, 10, 5, 0, noMod);
    EXPECT_EQ(plug.calls.size(), 3u) << "no drag after release";
}

TEST_F(UpmixDrawerTest, AltDragChangesWidthByTheDragOverTheHeight)
{
    Layout();
    drawer.OnMouseDown(200, MouseY(120.0), noMod);
    drawer.OnMouseDrag(200, MouseY(120.0) + kH / 2, 0, kH / 2, alt);
    ASSERT_EQ(plug.calls.size(), 1u);
    EXPECT_EQ(plug.calls[0].op, "AddWidth");
    EXPECT_NEAR(plug.calls[0].value, -0.5, 1e-12) << "down by H/2";
    drawer.OnMouseDrag(200, 0, 0, -20, alt);
    EXPECT_NEAR(plug.calls[1].value, 0.1, 1e-12) << "up by 20 px";
}

TEST_F(UpmixDrawerTest, PressesOutsideTheHaloStartNoDrag)
{
    Layout();
    drawer.SetWidth(1.0); // halo radius 40 around (200, 120)
    drawer.OnMouseDown(200 + 41, MouseY(120.0), noMod);
    EXPECT_FALSE(drawer.IsDragging()) << "just outside the halo";
    drawer.OnMouseDrag(250, 50, 5, 5, noMod);
    drawer.OnMouseDrag(250, 50, 5, 5, alt);
    EXPECT_TRUE(plug.calls.empty());
    drawer.OnMouseDown(200 + 28, MouseY(120.0 + 28), noMod);
    EXPECT_TRUE(drawer.IsDragging()) << "inside the halo, off the core";
}

TEST_F(UpmixDrawerTest, BeforeTheFirstDrawOnlyTheOriginHitsAndDragsDoNothing)
{
    drawer.OnMouseDown(1, 0, noMod);
    EXPECT_FALSE(drawer.IsDragging());
    drawer.OnMouseDown(0, 0, noMod);
    EXPECT_TRUE(drawer.IsDragging());
    // A zero-sized stage has no height to divide a drag by.
    drawer.OnMouseDrag(0, 5, 0, 5, alt);
    drawer.OnMouseDrag(5, 5, 5, 0, noMod);
    EXPECT_TRUE(plug.calls.empty());
}

TEST_F(UpmixDrawerTest, SettersAndDragsAskTheGraphForANewFrame)
{
    Layout();
    graph.SetNeedsRender(false);
    drawer.SetPan(0.3);
    EXPECT_TRUE(graph.NeedsRender()) << "SetPan";
    EXPECT_EQ(drawer.GetPan(), 0.3);
    graph.SetNeedsRender(false);
    drawer.SetWidth(0.7);
    EXPECT_TRUE(graph.NeedsRender()) << "SetWidth";
    EXPECT_EQ(drawer.GetWidth(), 0.7);
    graph.SetNeedsRender(false);
    drawer.SetDepth(0.2);
    EXPECT_TRUE(graph.NeedsRender()) << "SetDepth";
    EXPECT_EQ(drawer.GetDepth(), 0.2);

    double x, y;
    drawer.GetBall(&x, &y, nullptr);
    drawer.OnMouseDown(static_cast<int>(std::lround(x)), MouseY(y), noMod);
    graph.SetNeedsRender(false);
    drawer.OnMouseDrag(static_cast<int>(std::lround(x)), MouseY(y), 0, 0, noMod);
    EXPECT_TRUE(graph.NeedsRender()) << "drag";
}

TEST(UpmixDrawerTitleTest, TitleIsCopiedAndBounded)
{
    TWUpmixGraphDrawer untitled(nullptr, nullptr, nullptr);
    EXPECT_FALSE(untitled.HasTitle());
    TWUpmixGraphDrawer titled(nullptr, nullptr, "GRID");
    EXPECT_TRUE(titled.HasTitle());
    EXPECT_STREQ(titled.GetTitle(), "GRID");
    const std::string longTitle(1000, 'x');
    TWUpmixGraphDrawer longOne(nullptr, nullptr, longTitle.c_str());
    EXPECT_EQ(std::string(longOne.GetTitle()), std::string(255, 'x'));
    // Without a graph or a plug the setters and the mouse only change the drawer itself.
    untitled.SetPan(0.5);
    untitled.PreDraw(nullptr, kW, kH);
    double x, y;
    untitled.GetBall(&x, &y, nullptr);
    untitled.OnMouseDown(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(kH - y)),
                         IMouseMod());
    untitled.OnMouseDrag(0, 0, 1, 1, IMouseMod());
    EXPECT_EQ(untitled.GetPan(), 0.5);
}
