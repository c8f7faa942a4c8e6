#include "graph/GraphControl10.h"

#include "GraphTestSupport.h"
#include "graph/GraphCustomControl.h"
#include "graph/GraphCustomDrawer.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace graphtest;

namespace
{
constexpr int kW = 400;
constexpr int kH = 200;
constexpr int kLeft = 10;
constexpr int kTop = 20;
constexpr int kValues = 16;

SampleBuffer Buffer(std::initializer_list<double> values)
{
    SampleBuffer b;
    b.Resize(static_cast<int>(values.size()));
    int i = 0;
    for (double v : values)
        b.Get()[i++] = v;
    return b;
}

// A drawer that runs a callback, counts its calls and records whether the mutex was held.
class ProbeDrawer : public GraphCustomDrawer
{
public:
    explicit ProbeDrawer(WDL_Mutex* mutex = nullptr) : mMutex(mutex) {}
    void PreDraw(GraphSurface* surface, int width, int height) override
    {
        ++preDraws;
        lastW = width;
        lastH = height;
        if (mMutex)
            mutexHeld = HeldByThisThread(mMutex);
        if (pre)
            pre(surface, width, height);
    }
    void PostDraw(GraphSurface* surface, int width, int height) override
    {
        ++postDraws;
        if (post)
            post(surface, width, height);
    }
    std::function<void(GraphSurface*, int, int)> pre, post;
    int preDraws = 0, postDraws = 0, lastW = 0, lastH = 0;
    bool mutexHeld = false;

private:
    WDL_Mutex* mMutex;
};

class RecordingControl : public GraphCustomControl
{
public:
    struct Event
    {
        const char* kind;
        int x, y, dX, dY;
    };
    void OnMouseDown(int x, int y, const IMouseMod&) override
    {
        events.push_back({"down", x, y, 0, 0});
    }
    void OnMouseUp(int x, int y, const IMouseMod&) override
    {
        events.push_back({"up", x, y, 0, 0});
    }
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod&) override
    {
        events.push_back({"drag", x, y, dX, dY});
    }
    bool OnMouseDoubleClick(int x, int y, const IMouseMod&) override
    {
        events.push_back({"double", x, y, 0, 0});
        return false;
    }
    void OnMouseWheel(int x, int y, const IMouseMod&, double) override
    {
        events.push_back({"wheel", x, y, 0, 0});
    }
    bool OnKeyDown(int x, int y, int) override
    {
        events.push_back({"key", x, y, 0, 0});
        return keyResult;
    }
    void OnMouseOver(int x, int y, const IMouseMod&) override
    {
        events.push_back({"over", x, y, 0, 0});
    }
    void OnMouseOut() override { events.push_back({"out", 0, 0, 0, 0}); }
    void OnEditorIdle() override { events.push_back({"idle", 0, 0, 0, 0}); }

    std::vector<Event> events;
    bool keyResult = false;
};

// A graph whose double-click clock the test sets.
class ClockedGraph : public GraphControl10
{
public:
    using GraphControl10::GraphControl10;
    uint64_t nowMs = 1000;

protected:
    uint64_t CurrentTimeMs() const override { return nowMs; }
};

class GraphControl10Test : public ::testing::Test
{
protected:
    std::unique_ptr<GraphControl10> MakeGraph(int numCurves, int numValues = kValues)
    {
        return std::make_unique<GraphControl10>(&plug, IRECT(kLeft, kTop, kLeft + kW, kTop + kH),
                                                14, numCurves, numValues, FontPath().c_str());
    }

    TestPlug plug;
};

// ---- Construction and setters ----

TEST_F(GraphControl10Test, NewCurvesHoldTheirValuesAtTheOrigin)
{
    auto graph = MakeGraph(2, 4096);
    ASSERT_EQ(graph->GetNumCurves(), 2);
    EXPECT_EQ(graph->GetNumCurveValues(), 4096);
    for (int i = 0; i < 2; ++i)
    {
        const GraphCurve4* curve = graph->GetCurve(i);
        ASSERT_EQ(curve->xValues.GetSize(), 4096);
        ASSERT_EQ(curve->yValues.GetSize(), 4096);
        for (int k = 0; k < 4096; ++k)
            ASSERT_TRUE(curve->xValues.Get()[k] == 0.0 && curve->yValues.Get()[k] == 0.0)
                << "curve " << i << " value " << k;
        EXPECT_FALSE(curve->pointStyle);
        EXPECT_DOUBLE_EQ(curve->fillAlpha, 0.125);
    }
    EXPECT_TRUE(graph->IsEnabled());
    EXPECT_TRUE(graph->NeedsRender());
    EXPECT_FALSE(graph->IsDirty());
    EXPECT_EQ(graph->GetCurve(2), nullptr);
    EXPECT_EQ(graph->Width(), kW);
    EXPECT_EQ(graph->Height(), kH);
}

TEST_F(GraphControl10Test, SettersMarkTheGraphForRenderingExceptTheFourThatDoNot)
{
    auto graph = MakeGraph(1);
    ProbeDrawer drawer;
    RecordingControl control;
    LICE_MemBitmap bitmap(2, 2);
    const SampleBuffer xs = Buffer({0.5});
    struct Case
    {
        const char* name;
        std::function<void()> call;
        bool marks;
    };
    const std::vector<Case> cases = {
        {"SetEnabled", [&] { graph->SetEnabled(true); }, false},
        {"AddCustomControl", [&] { graph->AddCustomControl(&control); }, false},
        {"SetPointsCentered", [&] { graph->SetPointsCentered(true); }, false},
        {"SetRecreatePointImage", [&] { graph->SetRecreatePointImage(true); }, false},
        {"SetBounds", [&] { graph->SetBounds(0, 0, 1, 1); }, true},
        {"SetClearColor", [&] { graph->SetClearColor(1, 2, 3, 4); }, true},
        {"AddCustomDrawer", [&] { graph->AddCustomDrawer(&drawer); }, true},
        {"SetBackgroundImage", [&] { graph->SetBackgroundImage(&bitmap); }, true},
        {"SetCurveXScale", [&] { graph->SetCurveXScale(0, false, -1, 1); }, true},
        {"SetCurveYScale", [&] { graph->SetCurveYScale(0, false, 0, 1); }, true},
        {"SetCurveColor", [&] { graph->SetCurveColor(0, 1, 2, 3); }, true},
        {"SetCurveLineWidth", [&] { graph->SetCurveLineWidth(0, 2); }, true},
        {"SetCurvePointSize", [&] { graph->SetCurvePointSize(0, 2); }, true},
        {"SetCurvePointStyle", [&] { graph->SetCurvePointStyle(0, true, false, false); }, true},
        {"SetCurveAdditive", [&] { graph->SetCurveAdditive(0, true); }, true},
        {"SetCurveBevel", [&] { graph->SetCurveBevel(0, true); }, true},
        {"SetCurveFill", [&] { graph->SetCurveFill(0, true, 0.5); }, true},
        {"SetCurveFillAlpha", [&] { graph->SetCurveFillAlpha(0, 0.5); }, true},
        {"SetCurvePoints", [&] { graph->SetCurvePoints(0, xs, xs); }, true},
        {"SetCurvePointsSquare", [&] { graph->SetCurvePointsSquare(0, xs, xs, true, false, true); },
         true},
    };
    for (const Case& c : cases)
    {
        graph->SetNeedsRender(false);
        c.call();
        EXPECT_EQ(graph->NeedsRender(), c.marks) << c.name;
    }
}

TEST_F(GraphControl10Test, PerCurveSettersIgnoreIndicesBeyondTheCurves)
{
    auto graph = MakeGraph(0); // the grid graph has no curves
    const SampleBuffer xs = Buffer({0.5});
    graph->SetNeedsRender(false);
    for (int i : {-1, 0, 1})
    {
        graph->SetCurveXScale(i, false, -1, 1);
        graph->SetCurveYScale(i, false, 0, 1);
        graph->SetCurveColor(i, 1, 2, 3);
        graph->SetCurveLineWidth(i, 2);
        graph->SetCurvePointSize(i, 2);
        graph->SetCurvePointStyle(i, true, true, true);
        graph->SetCurveAdditive(i, true);
        graph->SetCurveBevel(i, true);
        graph->SetCurveFill(i, true, 0.5);
        graph->SetCurveFillAlpha(i, 0.5);
        graph->SetCurvePoints(i, xs, xs);
        graph->SetCurvePointsSquare(i, xs, xs, true, true, true);
    }
    EXPECT_FALSE(graph->NeedsRender());
    EXPECT_EQ(graph->GetNumCurves(), 0);
}

TEST_F(GraphControl10Test, ClearColourAndCurveColourAreScaledFrom255)
{
    auto graph = MakeGraph(1);
    graph->SetClearColor(255, 51, 0, 102);
    EXPECT_FLOAT_EQ(graph->GetClearColor()[0], 1.0f);
    EXPECT_FLOAT_EQ(graph->GetClearColor()[1], 0.2f);
    EXPECT_FLOAT_EQ(graph->GetClearColor()[3], 0.4f);
    graph->SetCurveColor(0, 153, 176, 246);
    EXPECT_FLOAT_EQ(graph->GetCurve(0)->colorR, 0.6f);
    EXPECT_FLOAT_EQ(graph->GetCurve(0)->colorB, 246.0f / 255.0f);
}

// ---- Mapping of data values ----

TEST_F(GraphControl10Test, LinearMappingScalesToTheSurface)
{
    auto graph = MakeGraph(1, 3);
    graph->SetCurveXScale(0, false, -1, 1);
    graph->SetCurveYScale(0, false, 0, 1);
    graph->SetCurvePoints(0, Buffer({-1, 0, 1}), Buffer({0, 0.25, 1}));
    const GraphCurve4* c = graph->GetCurve(0);
    EXPECT_TRUE(c->pointStyle);
    const double xExpected[] = {0, 200, 400};
    const double yExpected[] = {0, 50, 200};
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_DOUBLE_EQ(c->xValues.Get()[k], xExpected[k]) << "k=" << k;
        EXPECT_DOUBLE_EQ(c->yValues.Get()[k], yExpected[k]) << "k=" << k;
    }
    // The Y scale factors rest at 1, so they leave the mapping unchanged.
    EXPECT_DOUBLE_EQ(graph->GetYAutoScale(), 1.0);
    EXPECT_DOUBLE_EQ(graph->GetYScale(), 1.0);
}

TEST_F(GraphControl10Test, DecibelMappingConvertsOnlyPositiveValues)
{
    auto graph = MakeGraph(1, 5);
    graph->SetCurveXScale(0, true, -60, 0);
    graph->SetCurveYScale(0, true, -60, 0);
    // 0.1 is -20 dB, two thirds up a -60 … 0 dB axis; 1e-17 is below the floor and maps to the
    // minimum; 0 and -0.5 are passed on unconverted and multiplied by the side.
    graph->SetCurvePoints(0, Buffer({0.1, 1e-17, 0.0, -0.5, 1.0}),
                          Buffer({0.1, 1e-17, 0.0, -0.5, UNDEFINED_VALUE}));
    const GraphCurve4* c = graph->GetCurve(0);
    EXPECT_NEAR(c->xValues.Get()[0], 400.0 * 2.0 / 3.0, 1e-9);
    EXPECT_NEAR(c->yValues.Get()[0], 200.0 * 2.0 / 3.0, 1e-9);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[1], 0.0);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[2], 0.0);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[3], -200.0);
    EXPECT_DOUBLE_EQ(c->yValues.Get()[3], -100.0);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[4], 400.0);
    EXPECT_EQ(c->yValues.Get()[4], UNDEFINED_VALUE);
}

TEST_F(GraphControl10Test, FewerValuesLeaveTheRestUndefinedAndExtraValuesAreIgnored)
{
    auto graph = MakeGraph(1, 4);
    graph->SetCurvePoints(0, Buffer({0.1, 0.2}), Buffer({0.3, 0.4, 0.5}));
    const GraphCurve4* c = graph->GetCurve(0);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[1], 0.2 * kW);
    EXPECT_DOUBLE_EQ(c->yValues.Get()[1], 0.4 * kH);
    for (int k = 2; k < 4; ++k)
    {
        EXPECT_EQ(c->xValues.Get()[k], UNDEFINED_VALUE) << "k=" << k;
        EXPECT_EQ(c->yValues.Get()[k], UNDEFINED_VALUE) << "k=" << k;
    }
    graph->SetCurvePoints(0, Buffer({0, 0, 0, 0, 0, 0}), Buffer({1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(c->xValues.GetSize(), 4);
    EXPECT_DOUBLE_EQ(c->yValues.Get()[3], kH);
}

TEST_F(GraphControl10Test, EmptyRangeGivesUndefinedPointsInsteadOfInfinities)
{
    auto graph = MakeGraph(1, 2);
    graph->SetCurveXScale(0, false, 1, 1);
    graph->SetCurvePoints(0, Buffer({0.5, std::nan("")}), Buffer({0.5, 0.5}));
    EXPECT_EQ(graph->GetCurve(0)->xValues.Get()[0], UNDEFINED_VALUE);
    EXPECT_EQ(graph->GetCurve(0)->xValues.Get()[1], UNDEFINED_VALUE);
}

TEST_F(GraphControl10Test, SquareMappingUsesOneSideAndCentresThePlot)
{
    auto graph = MakeGraph(1, 3);
    graph->SetCurveXScale(0, false, -1, 1);
    graph->SetCurveYScale(0, false, -1, 1);
    const GraphCurve4* c = graph->GetCurve(0);

    // Side H, centred across the width: x = -1 … 1 spans 100 … 300.
    graph->SetCurvePointsSquare(0, Buffer({-1, 1, UNDEFINED_VALUE}), Buffer({-1, 1, 0}), true,
                                false, true);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[0], 100.0);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[1], 300.0);
    EXPECT_DOUBLE_EQ(c->yValues.Get()[0], 0.0);
    EXPECT_DOUBLE_EQ(c->yValues.Get()[1], 200.0);
    EXPECT_EQ(c->xValues.Get()[2], UNDEFINED_VALUE); // not shifted off the marker

    // Side W: both axes span 400 pixels, X moved back by (W - H) / 2.
    graph->SetCurvePointsSquare(0, Buffer({-1, 1}), Buffer({-1, 1}), true, true, true);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[0], -100.0);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[1], 300.0);
    EXPECT_DOUBLE_EQ(c->yValues.Get()[1], 400.0);

    // Without square it is the plain mapping.
    graph->SetCurvePointsSquare(0, Buffer({1}), Buffer({1}), false, true, true);
    EXPECT_DOUBLE_EQ(c->xValues.Get()[0], 400.0);
    EXPECT_DOUBLE_EQ(c->yValues.Get()[0], 200.0);
    EXPECT_EQ(c->xValues.Get()[1], UNDEFINED_VALUE);
}

TEST_F(GraphControl10Test, CurvePointsAreHandedOverUnderThePlugMutex)
{
    auto graph = MakeGraph(1, 2);
    std::atomic<bool> done{false};
    plug.GetMutex()->Enter();
    std::thread audio(
        [&]
        {
            graph->SetCurvePoints(0, Buffer({1, 1}), Buffer({1, 1}));
            done = true;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // While the editor side holds the mutex the points can't change.
    EXPECT_FALSE(done.load());
    EXPECT_DOUBLE_EQ(graph->GetCurve(0)->xValues.Get()[0], 0.0);
    plug.GetMutex()->Leave();
    audio.join();
    EXPECT_TRUE(done.load());
    EXPECT_DOUBLE_EQ(graph->GetCurve(0)->xValues.Get()[0], kW);
}

// ---- Rendering ----

TEST_F(GraphControl10Test, EmptyGraphRendersTheClearColour)
{
    auto graph = MakeGraph(0);
    graph->SetClearColor(10, 20, 30, 255);
    EXPECT_EQ(graph->RenderGL(false), nullptr); // nothing rendered yet
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->getWidth(), kW);
    ASSERT_EQ(frame->getHeight(), kH);
    EXPECT_EQ(CountPixels(frame, LICE_RGBA(10, 20, 30, 255)), kW * kH);
    EXPECT_FALSE(graph->NeedsRender());
    EXPECT_EQ(graph->RenderGL(false), frame);
}

TEST_F(GraphControl10Test, BackgroundBitmapAppearsUpright)
{
    auto graph = MakeGraph(0);
    LICE_MemBitmap background(kW, kH);
    for (int row = 0; row < kH; ++row)
        for (int x = 0; x < kW; ++x)
            *background.PixelAt(x, row) =
                row < kH / 2 ? LICE_RGBA(200, 0, 0, 255) : LICE_RGBA(0, 0, 200, 255);
    *background.PixelAt(0, 0) = LICE_RGBA(0, 255, 0, 255); // top-left marker
    graph->SetBackgroundImage(&background);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(PixelDown(frame, 0, 0), LICE_RGBA(0, 255, 0, 255));
    EXPECT_EQ(PixelDown(frame, 200, 10), LICE_RGBA(200, 0, 0, 255));
    EXPECT_EQ(PixelDown(frame, 200, kH - 10), LICE_RGBA(0, 0, 200, 255));
    EXPECT_EQ(PixelDown(frame, kW - 1, kH - 1), LICE_RGBA(0, 0, 200, 255));
}

TEST_F(GraphControl10Test, RenderHandsOutStraightAlpha)
{
    auto graph = MakeGraph(0);
    graph->SetClearColor(0, 0, 0, 0);
    ProbeDrawer drawer;
    drawer.pre = [](GraphSurface* s, int, int)
    {
        s->FillColor(GraphSurface::RGBA(255, 128, 0, 128));
        s->BeginPath();
        s->Rect(0, 0, 10, 10);
        s->Fill();
    };
    graph->AddCustomDrawer(&drawer);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    const LICE_pixel p = PixelUp(frame, 5, 5);
    EXPECT_EQ(LICE_GETA(p), 128u);
    EXPECT_EQ(LICE_GETR(p), 255u);
    EXPECT_NEAR(LICE_GETG(p), 128.0, 1.0);
    EXPECT_EQ(LICE_GETB(p), 0u);
    EXPECT_EQ(PixelUp(frame, 20, 20), 0u);
}

TEST_F(GraphControl10Test, FrameRendersOnlyWhenNeededAndWithTheMutexHeld)
{
    auto graph = MakeGraph(0);
    ProbeDrawer drawer(plug.GetMutex());
    graph->AddCustomDrawer(&drawer);
    ASSERT_NE(graph->RenderGL(true), nullptr);
    EXPECT_EQ(drawer.preDraws, 1);
    EXPECT_EQ(drawer.postDraws, 1);
    EXPECT_TRUE(drawer.mutexHeld);
    EXPECT_EQ(drawer.lastW, kW);
    EXPECT_EQ(drawer.lastH, kH);
    graph->RenderGL(true);
    EXPECT_EQ(drawer.preDraws, 1);
    graph->SetNeedsRender(true);
    graph->RenderGL(true);
    EXPECT_EQ(drawer.preDraws, 2);
}

// A custom control that hands the graph the same points at every frame until told otherwise.
class PointSource : public GraphCustomControl
{
public:
    void PrepareFrame(GraphControl10* graph) override
    {
        ++prepared;
        graph->SetCurvePoints(0, Buffer({value}), Buffer({0.5}));
    }
    double value = 0.25;
    int prepared = 0;
};

TEST_F(GraphControl10Test, ArrivedPointsRenderAFrameOnlyWhenTheyMoved)
{
    auto graph = MakeGraph(1);
    PointSource source;
    graph->AddCustomControl(&source);
    ASSERT_NE(graph->RenderGL(true), nullptr);
    const unsigned frames = graph->RenderGLCount();
    EXPECT_FALSE(graph->NeedsRenderGL());
    graph->SetPointsArrived();
    EXPECT_TRUE(graph->NeedsRenderGL());
    graph->RenderGL(true);
    EXPECT_EQ(source.prepared, 2);
    EXPECT_EQ(graph->RenderGLCount(), frames) << "the same points: no new frame";
    EXPECT_FALSE(graph->NeedsRenderGL());
    source.value = 0.75;
    graph->SetPointsArrived();
    graph->RenderGL(true);
    EXPECT_EQ(graph->RenderGLCount(), frames + 1);
    graph->SetEnabled(false);
    graph->SetPointsArrived();
    EXPECT_FALSE(graph->NeedsRenderGL()) << "a hidden graph asks for nothing";
}

TEST_F(GraphControl10Test, DisabledGraphRendersNothing)
{
    auto graph = MakeGraph(0);
    ProbeDrawer drawer;
    graph->AddCustomDrawer(&drawer);
    graph->SetEnabled(false);
    EXPECT_EQ(graph->RenderGL(true), nullptr);
    EXPECT_EQ(drawer.preDraws, 0);
    EXPECT_TRUE(graph->NeedsRender());
    graph->SetEnabled(true);
    EXPECT_NE(graph->RenderGL(true), nullptr);
}

TEST_F(GraphControl10Test, ReleaseGLForgetsEverythingAndTheNextRenderRemakesIt)
{
    auto graph = MakeGraph(1, 1);
    LICE_MemBitmap background(4, 4);
    background.Fill(LICE_RGBA(9, 9, 9, 255));
    graph->SetBackgroundImage(&background);
    graph->SetRecreatePointImage(true);
    graph->SetCurvePoints(0, Buffer({0.5}), Buffer({0.5}));
    ProbeDrawer drawer;
    graph->AddCustomDrawer(&drawer);
    ASSERT_NE(graph->RenderGL(true), nullptr);
    graph->ReleaseGL();
    EXPECT_TRUE(graph->NeedsRender());
    EXPECT_EQ(graph->RenderGL(false), nullptr);
    EXPECT_EQ(graph->GetSurface(), nullptr);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(drawer.preDraws, 2);
    EXPECT_EQ(PixelDown(frame, 3, 3), LICE_RGBA(9, 9, 9, 255));
}

// Renders a graph with one points curve of the given style on opaque black.
class CurveRenderTest : public GraphControl10Test
{
protected:
    void SetUp() override
    {
        graph = MakeGraph(1, 8);
        graph->SetClearColor(0, 0, 0, 255);
        graph->SetCurveXScale(0, false, 0, kW);
        graph->SetCurveYScale(0, false, 0, kH);
        graph->SetCurveColor(0, 200, 100, 50);
        graph->SetCurveFillAlpha(0, 1.0);
    }
    LICE_IBitmap* Render(std::initializer_list<double> xs, std::initializer_list<double> ys)
    {
        graph->SetCurvePoints(0, Buffer(xs), Buffer(ys));
        graph->SetNeedsRender(true);
        return graph->RenderGL(true);
    }
    std::unique_ptr<GraphControl10> graph;
};

TEST_F(CurveRenderTest, PointQuadSpansSizeBelowAndLeftOfThePointUnlessCentred)
{
    graph->SetCurvePointSize(0, 4);
    const LICE_pixel colour = LICE_RGBA(200, 100, 50, 255);
    LICE_IBitmap* frame = Render({20}, {30});
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(CountPixels(frame, colour), 16);
    EXPECT_EQ(PixelUp(frame, 16, 26), colour);
    EXPECT_EQ(PixelUp(frame, 19, 29), colour);
    EXPECT_NE(PixelUp(frame, 20, 30), colour);

    graph->SetPointsCentered(true);
    frame = Render({20}, {30});
    EXPECT_EQ(CountPixels(frame, colour), 16);
    EXPECT_EQ(PixelUp(frame, 18, 28), colour);
    EXPECT_EQ(PixelUp(frame, 21, 31), colour);
    EXPECT_NE(PixelUp(frame, 17, 28), colour);
}

TEST_F(CurveRenderTest, UndefinedPointsAreNotDrawn)
{
    graph->SetCurvePointSize(0, 2);
    graph->SetPointsCentered(true);
    const LICE_pixel colour = LICE_RGBA(200, 100, 50, 255);
    // Two defined points, undefined ones in between and after (the rest of the 8 values).
    LICE_IBitmap* frame = Render({10, UNDEFINED_VALUE, 50, 70}, {10, 40, UNDEFINED_VALUE, 70});
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(CountPixels(frame, colour), 8);
    EXPECT_EQ(PixelUp(frame, 10, 10), colour);
    EXPECT_EQ(PixelUp(frame, 70, 70), colour);
    // Undefined coordinates must not reach the raster as points at (1e16, y) or (0, 0).
    EXPECT_NE(PixelUp(frame, 0, 0), colour);
}

TEST_F(CurveRenderTest, PointsTakeTheFillAlphaAndAddWhenAdditive)
{
    graph->SetCurvePointSize(0, 2);
    graph->SetPointsCentered(true);
    graph->SetCurveFillAlpha(0, 0.5);
    graph->SetCurveColor(0, 100, 60, 20);
    LICE_IBitmap* frame = Render({10, 10}, {10, 10});
    ASSERT_NE(frame, nullptr);
    // Source-over twice at half alpha: 3/4 of the colour.
    const LICE_pixel over = PixelUp(frame, 10, 10);
    EXPECT_NEAR(LICE_GETR(over), 75.0, 1.5);
    graph->SetCurveAdditive(0, true);
    frame = Render({10, 10}, {10, 10});
    const LICE_pixel added = PixelUp(frame, 10, 10);
    // Twice half the colour added: the full colour (alpha 127 of 255 per point).
    EXPECT_NEAR(LICE_GETR(added), 100.0 * 2 * 127 / 255, 1.5);
    EXPECT_NEAR(LICE_GETG(added), 60.0 * 2 * 127 / 255, 1.5);
}

TEST_F(CurveRenderTest, LineSkipsUndefinedPointsAndHonoursNegativeWidth)
{
    graph->SetCurvePointStyle(0, false, false, false);
    graph->SetCurveLineWidth(0, 2);
    // Points are set through SetCurvePoints, which sets the points flag: clear it afterwards.
    graph->SetCurvePoints(0, Buffer({10, UNDEFINED_VALUE, 110}), Buffer({50, 10, 50}));
    graph->SetCurvePointStyle(0, false, false, false);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 60, 49)), 200u);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 60, 20)), 0u);
    graph->SetCurveLineWidth(0, -1);
    frame = graph->RenderGL(true);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 60, 49)), 0u);
}

TEST_F(CurveRenderTest, FillUnderLineReachesTheFillOrigin)
{
    graph->SetCurveFillAlpha(0, 1.0);
    graph->SetCurveFill(0, true, 0.25); // base at y = 50
    graph->SetCurvePoints(0, Buffer({10, 100}), Buffer({150, 150}));
    graph->SetCurvePointStyle(0, false, false, false);
    graph->SetCurveLineWidth(0, 1);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 50, 100)), 200u);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 50, 51)), 200u);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 50, 48)), 0u);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 5, 100)), 0u);
}

TEST_F(CurveRenderTest, RaysRunFromTheBottomCentre)
{
    graph->SetCurvePointStyle(0, true, true, true); // rays win over linking
    graph->SetCurvePointSize(0, 2);
    graph->SetCurvePoints(0, Buffer({200}), Buffer({100}));
    graph->SetCurvePointStyle(0, true, true, true);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    for (int y : {1, 50, 98})
    {
        EXPECT_EQ(LICE_GETR(PixelUp(frame, 199, y)), 200u) << "y=" << y;
        EXPECT_EQ(LICE_GETR(PixelUp(frame, 200, y)), 200u) << "y=" << y;
    }
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 199, 120)), 0u);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 210, 50)), 0u);
}

TEST_F(CurveRenderTest, FilledRaysFillTrianglesBetweenConsecutivePoints)
{
    graph->SetCurveFill(0, true, 0.0);
    graph->SetCurvePoints(0, Buffer({100, UNDEFINED_VALUE, 300}), Buffer({150, 0, 150}));
    graph->SetCurvePointStyle(0, true, true, false);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    // The triangle (200, 0), (100, 150), (300, 150) contains (200, 100).
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 200, 100)), 200u);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 110, 20)), 0u);
}

TEST_F(CurveRenderTest, LinkedPolylineAndPolygon)
{
    graph->SetCurvePointSize(0, 2);
    graph->SetCurvePoints(0, Buffer({100, 300, 300}), Buffer({50, 50, 150}));
    graph->SetCurvePointStyle(0, true, false, true);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 200, 50)), 200u); // on the first segment
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 250, 80)), 0u);   // inside, not filled
    graph->SetCurveFill(0, true, 0);
    frame = graph->RenderGL(true);
    EXPECT_EQ(LICE_GETR(PixelUp(frame, 250, 80)), 200u);
}

TEST_F(CurveRenderTest, DrawersDrawBeneathAndAfterTheCurves)
{
    graph->SetCurvePointSize(0, 4);
    graph->SetPointsCentered(true);
    ProbeDrawer drawer;
    drawer.pre = [](GraphSurface* s, int w, int h)
    {
        s->FillColor(GraphSurface::RGBA(0, 255, 0, 255));
        s->BeginPath();
        s->Rect(0, 0, static_cast<float>(w), static_cast<float>(h));
        s->Fill();
    };
    drawer.post = [](GraphSurface* s, int, int)
    {
        s->FillColor(GraphSurface::RGBA(0, 0, 255, 255));
        s->BeginPath();
        s->Rect(0, 0, 12, 12);
        s->Fill();
    };
    graph->AddCustomDrawer(&drawer);
    LICE_IBitmap* frame = Render({50, 10}, {50, 10});
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(PixelUp(frame, 50, 50), LICE_RGBA(200, 100, 50, 255));
    EXPECT_EQ(PixelUp(frame, 100, 100), LICE_RGBA(0, 255, 0, 255));
    EXPECT_EQ(PixelUp(frame, 10, 10), LICE_RGBA(0, 0, 255, 255));
}

TEST_F(CurveRenderTest, RenderingAllocatesNothingPerPoint)
{
    // Every graph of the editor re-makes its point image each pass; that and the frame's own
    // bookkeeping may allocate, but not in proportion to the points.
    graph.reset();
    auto countFrame = [&](int numPoints, const auto& style)
    {
        auto g = MakeGraph(1, numPoints);
        g->SetRecreatePointImage(true);
        g->SetCurveXScale(0, false, 0, 1);
        g->SetCurveYScale(0, false, 0, 1);
        g->SetCurvePointSize(0, 2);
        g->SetCurveAdditive(0, true);
        SampleBuffer xs, ys;
        xs.Resize(numPoints);
        ys.Resize(numPoints);
        for (int k = 0; k < numPoints; ++k)
        {
            xs.Get()[k] = 0.5 + 0.45 * std::cos(k * 0.37);
            ys.Get()[k] = 0.5 + 0.45 * std::sin(k * 0.23);
        }
        g->SetCurvePoints(0, xs, ys);
        g->SetCurvePointStyle(0, style.points, style.rays, style.linked);
        g->SetCurveFill(0, style.fill, 0.0);
        g->RenderGL(true); // surface, target and font made once
        g->SetNeedsRender(true);
        g->RenderGL(true);
        g->SetNeedsRender(true);
        AllocationCounter::Start();
        g->RenderGL(true);
        AllocationCounter::Stop();
        return AllocationCounter::Count();
    };
    struct Case
    {
        const char* name;
        bool points, rays, linked, fill;
    };
    // Quads, rays and ray triangles are drawn without any allocation per point.
    for (const Case& c :
         {Case{"point quads", true, false, false, false}, Case{"rays", true, true, false, false},
          Case{"filled rays", true, true, false, true}})
        EXPECT_EQ(countFrame(64, c), countFrame(4096, c)) << c.name;
    // A long polyline goes to the renderer in one piece; its own path and edge storage grows
    // in blocks, far below one allocation per point.
    const Case linked{"linked", true, false, true, false};
    EXPECT_LT(countFrame(4096, linked) - countFrame(64, linked), 4096 / 8) << linked.name;
}

// ---- Text ----

TEST_F(GraphControl10Test, DrawTextWithTopAlignmentHangsBelowTheAnchor)
{
    auto graph = MakeGraph(0);
    graph->SetClearColor(0, 0, 0, 0);
    ProbeDrawer drawer;
    drawer.pre = [](GraphSurface* s, int, int h)
    {
        const int grey[4] = {128, 128, 128, 255};
        GraphControl10::DrawText(s, "FLAME", grey, GRAPH_ALIGN_LEFT, GRAPH_ALIGN_TOP, 7.0f,
                                 static_cast<float>(h - 7), 14.0f, 1.0f);
        s->BeginPath();
        s->Rect(300, 0, 10, 10);
        s->Fill();
    };
    graph->AddCustomDrawer(&drawer);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    const InkRows ink = MeasureInk(frame, 127, 250); // the text only, not the rectangle
    ASSERT_GE(ink.top, 0);
    EXPECT_GE(ink.top, 7);
    EXPECT_LE(ink.top, 7 + 5);     // the ascent above the capitals is only a few pixels at 14 px
    EXPECT_LE(ink.bottom, 7 + 14); // baseline at about 7 + 13 px, no descenders
    // Straight alpha: the text's pixels carry its grey whatever their coverage.
    int greyInk = 0;
    for (int x = 0; x < 250; ++x)
    {
        const LICE_pixel p = PixelDown(frame, x, ink.top + 5);
        if (LICE_GETA(p) > 96) // fainter pixels lose precision in the premultiplied raster
        {
            EXPECT_NEAR(LICE_GETR(p), 128.0, 2.0) << "x=" << x;
            EXPECT_NEAR(LICE_GETB(p), 128.0, 2.0) << "x=" << x;
            ++greyInk;
        }
    }
    EXPECT_GT(greyInk, 3);
    // The state was restored after the text: default fill colour, opaque black.
    EXPECT_EQ(PixelUp(frame, 305, 5), LICE_RGBA(0, 0, 0, 255));
}

TEST_F(GraphControl10Test, MissingFontLeavesTextsBlankButRendersTheRest)
{
    GraphControl10 graph(&plug, IRECT(0, 0, 50, 50), 14, 0, 0, "/nonexistent/font.ttf");
    graph.SetClearColor(0, 0, 0, 0);
    ProbeDrawer drawer;
    drawer.pre = [](GraphSurface* s, int, int)
    {
        const int white[4] = {255, 255, 255, 255};
        GraphControl10::DrawText(s, "TEXT", white, GRAPH_ALIGN_LEFT, GRAPH_ALIGN_TOP, 2, 48, 14, 1);
    };
    graph.AddCustomDrawer(&drawer);
    LICE_IBitmap* frame = graph.RenderGL(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(MeasureInk(frame, 0).top, -1);
}

// ---- Events ----

TEST_F(GraphControl10Test, MouseEventsReachCustomControlsRelativeToTheGraph)
{
    auto graph = MakeGraph(0);
    RecordingControl a, b;
    graph->AddCustomControl(&a);
    graph->AddCustomControl(&b);
    const IMouseMod mod;
    graph->OnMouseDown(110, 70, mod);
    graph->OnMouseDrag(120, 80, 10, 10, mod);
    graph->OnMouseUp(130, 90, mod);
    graph->OnMouseWheel(140, 100, mod, 1.0);
    graph->OnMouseOver(150, 110, mod);
    graph->OnMouseOut();
    graph->OnEditorIdle();
    for (RecordingControl* c : {&a, &b})
    {
        ASSERT_EQ(c->events.size(), 7u);
        EXPECT_STREQ(c->events[0].kind, "down");
        EXPECT_EQ(c->events[0].x, 110 - kLeft);
        EXPECT_EQ(c->events[0].y, 70 - kTop);
        EXPECT_STREQ(c->events[1].kind, "drag");
        EXPECT_EQ(c->events[1].x, 110);
        EXPECT_EQ(c->events[1].dX, 10);
        EXPECT_EQ(c->events[1].dY, 10);
        EXPECT_EQ(c->events[2].y, 90 - kTop);
        EXPECT_EQ(c->events[3].x, 140 - kLeft);
        EXPECT_EQ(c->events[4].y, 110 - kTop);
        EXPECT_STREQ(c->events[5].kind, "out");
        EXPECT_STREQ(c->events[6].kind, "idle");
    }
}

TEST_F(GraphControl10Test, KeyDownReturnsTheLastCustomControlsAnswer)
{
    auto graph = MakeGraph(0);
    EXPECT_FALSE(graph->OnKeyDown(0, 0, 'a'));
    RecordingControl a, b;
    a.keyResult = true;
    graph->AddCustomControl(&a);
    graph->AddCustomControl(&b);
    EXPECT_FALSE(graph->OnKeyDown(20, 30, 'a'));
    ASSERT_EQ(a.events.size(), 1u);
    EXPECT_EQ(a.events[0].x, 20 - kLeft);
    b.keyResult = true;
    EXPECT_TRUE(graph->OnKeyDown(20, 30, 'a'));
}

TEST_F(GraphControl10Test, DoubleClickIsForwardedOnlyWhenTheBaseHandlesIt)
{
    ClockedGraph graph(&plug, IRECT(kLeft, kTop, kLeft + 100, kTop + 100), 14, 0, 0, "");
    RecordingControl c;
    graph.AddCustomControl(&c);
    const IMouseMod mod;
    graph.nowMs = 1000;
    graph.OnMouseDown(50, 50, mod);
    graph.nowMs = 1400; // too late: an ordinary press
    EXPECT_FALSE(graph.OnMouseDoubleClick(50, 50, mod));
    ASSERT_EQ(c.events.size(), 2u);
    EXPECT_STREQ(c.events[1].kind, "down");
    graph.nowMs = 1650; // 250 ms after that press
    EXPECT_TRUE(graph.OnMouseDoubleClick(60, 70, mod));
    ASSERT_EQ(c.events.size(), 3u);
    EXPECT_STREQ(c.events[2].kind, "double");
    EXPECT_EQ(c.events[2].x, 60 - kLeft);
    EXPECT_EQ(c.events[2].y, 70 - kTop);
}

TEST_F(GraphControl10Test, GraphIsNeverDirtyAndDrawDoesNothing)
{
    auto graph = MakeGraph(0);
    graph->SetDirty(false);
    EXPECT_FALSE(graph->IsDirty());
    EXPECT_TRUE(graph->Draw(nullptr));
    graph->SetMouseTransparent(true);
    EXPECT_TRUE(graph->IsMouseTransparent());
    EXPECT_TRUE(graph->HitTest(kLeft, kTop));
    EXPECT_FALSE(graph->HitTest(kLeft + kW, kTop));
}
} // namespace
