// The vectorscope with five real graphs: history, mode switching, the point sets handed to the
// graphs, curve styles, mouse gestures, and the backgrounds rendered through the graph's surface
// and checked pixel by pixel.

#include "metering/TWVectorscope.h"
#include "editor/LICE_Bitmap.h"
#include "framework/ChannelList.h"
#include "graph/GraphControl10.h"
#include "metering/TWCircleGraphDrawer.h"
#include "metering/TWLissajousGraphDrawer.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscopePlug.h"
#include "support/RecordingScopePlug.h"

#include <gtest/gtest.h>

#include "support/AllocationCounter.h"

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double kSampleRateHz = 44100.0;
constexpr int kW = 400;
constexpr int kH = 200;
constexpr int kBlock = 512;
constexpr int kWindow = TWVectorscope::kHistorySize;
constexpr double kInvSqrt2 = 0.70710678118654752;

bool FileExists(const std::string& path)
{
    return std::ifstream(path).good();
}

// The bundle font beside the executables when it is there, otherwise a system font: the tests
// only need some glyphs.
std::string FontPath()
{
    const std::string cli = PARANDEL_CLI;
    const std::string bundled = cli.substr(0, cli.find_last_of('/')) + "/resources/font.ttf";
    if (FileExists(bundled))
        return bundled;
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

// A block of n constant samples.
ChannelList ConstantBlock(double left, double right, int n)
{
    ChannelList c;
    c.Add(nullptr, n);
    c.Add(nullptr, n);
    for (int i = 0; i < n; ++i)
    {
        c[0][i] = left;
        c[1][i] = right;
    }
    return c;
}

// A block whose samples count up from first (left) and down from −first (right).
ChannelList RampBlock(int first, int n)
{
    ChannelList c;
    c.Add(nullptr, n);
    c.Add(nullptr, n);
    for (int i = 0; i < n; ++i)
    {
        c[0][i] = first + i;
        c[1][i] = -(first + i);
    }
    return c;
}

// Pixel of the surface square [x, x + 1] × [y, y + 1] (y up).
struct Rgb
{
    int r, g, b;
};
Rgb PixelUp(const LICE_IBitmap* bmp, int x, int yUp)
{
    const LICE_pixel* p = bmp->PixelAt(x, bmp->getHeight() - 1 - yUp);
    if (!p)
        return {-1, -1, -1};
    return {static_cast<int>(LICE_GETR(*p)), static_cast<int>(LICE_GETG(*p)),
            static_cast<int>(LICE_GETB(*p))};
}
int Brightness(const Rgb& c)
{
    return std::max(c.r, std::max(c.g, c.b));
}
// Brightest pixel within one pixel of (x, yUp): thin lines spread over neighbours.
int PeakNear(const LICE_IBitmap* bmp, int x, int yUp)
{
    int best = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            best = std::max(best, Brightness(PixelUp(bmp, x + dx, yUp + dy)));
    return best;
}
// Pixels brighter than a threshold inside [x0, x1] × [y0, y1] (y up, inclusive).
int LitPixels(const LICE_IBitmap* bmp, int x0, int x1, int y0, int y1)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            n += Brightness(PixelUp(bmp, x, y)) > 60 ? 1 : 0;
    return n;
}
::testing::AssertionResult IsColour(const Rgb& c, int r, int g, int b, int tol)
{
    if (std::abs(c.r - r) <= tol && std::abs(c.g - g) <= tol && std::abs(c.b - b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << c.r << ", " << c.g << ", " << c.b << "), want (" << r << ", " << g << ", "
           << b << ") ± " << tol;
}
::testing::AssertionResult IsGrey(const Rgb& c)
{
    return IsColour(c, 128, 128, 128, 16);
}
::testing::AssertionResult IsBlack(const Rgb& c)
{
    return IsColour(c, 0, 0, 0, 8);
}

class VectorscopeTest : public ::testing::Test
{
protected:
    VectorscopeTest() : scope(&plug, kSampleRateHz)
    {
        const std::string font = FontPath();
        for (int i = 0; i < TWVectorscope::kNumModes; ++i)
            graphs.emplace_back(new GraphControl10(
                nullptr, IRECT(10, 20, 10 + kW, 20 + kH), -1, TWVectorscope::GetNumCurves(i),
                TWVectorscope::GetNumCurveValues(i), font.c_str()));
        scope.SetGraphs(graphs[0].get(), graphs[1].get(), graphs[2].get(), graphs[3].get(),
                        graphs[4].get());
        scope.SetViewOpen(true); // as the plug-in does when its editor's view opens
    }

    // The curve as the graph's next frame draws it.
    const GraphCurve4* Curve(int mode, int curve)
    {
        scope.PrepareFrame(graphs[mode].get());
        return graphs[mode]->GetCurve(curve);
    }

    // Renders the graph of the current mode and returns its frame.
    const LICE_IBitmap* Render()
    {
        GraphControl10* g = graphs[scope.GetMode()].get();
        g->SetNeedsRender(true);
        return g->RenderGL(true);
    }

    SampleBuffer LastX(int mode, int curve = 0) const
    {
        SampleBuffer x;
        EXPECT_TRUE(scope.GetLastPoints(mode, curve, &x, nullptr)) << "mode " << mode;
        return x;
    }
    SampleBuffer LastY(int mode, int curve = 0) const
    {
        SampleBuffer y;
        EXPECT_TRUE(scope.GetLastPoints(mode, curve, nullptr, &y)) << "mode " << mode;
        return y;
    }

    RecordingPlug plug;
    std::vector<std::unique_ptr<GraphControl10>> graphs;
    TWVectorscope scope;
    const IMouseMod noMod;
    const IMouseMod shift{true, false, true, false, false};
    const IMouseMod alt{true, false, false, false, true};
    const IMouseMod shiftAlt{true, false, true, false, true};
};
} // namespace

TEST_F(VectorscopeTest, SetGraphsGivesEveryModeItsDrawerAndOnlyModeZeroIsLive)
{
    EXPECT_EQ(scope.GetMode(), 0);
    const char* titles[] = {"POLAR SAMPLES", "LISSAJOUS", "FLAME", "GRID", "SOURCE"};
    auto* polar = dynamic_cast<TWCircleGraphDrawer*>(scope.GetDrawer(0));
    auto* lissajous = dynamic_cast<TWLissajousGraphDrawer*>(scope.GetDrawer(1));
    auto* flame = dynamic_cast<TWCircleGraphDrawer*>(scope.GetDrawer(2));
    ASSERT_TRUE(polar && lissajous && flame);
    EXPECT_STREQ(polar->GetTitle(), titles[0]);
    EXPECT_STREQ(lissajous->GetTitle(), titles[1]);
    EXPECT_EQ(lissajous->GetScale(), 0.8);
    EXPECT_STREQ(flame->GetTitle(), titles[2]);
    ASSERT_NE(scope.GetUpmixDrawer(), nullptr);
    EXPECT_EQ(scope.GetDrawer(3), scope.GetUpmixDrawer());
    EXPECT_STREQ(scope.GetUpmixDrawer()->GetTitle(), titles[3]);
    EXPECT_NE(scope.GetDrawer(4), nullptr);

    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(graphs[i]->IsEnabled(), i == 0) << "graph " << i;
        EXPECT_EQ(graphs[i]->IsMouseTransparent(), i != 0) << "graph " << i;
        EXPECT_TRUE(graphs[i]->GetPointsCentered()) << "graph " << i;
        const float* clear = graphs[i]->GetClearColor();
        EXPECT_EQ(clear[0], 0.0f);
        EXPECT_EQ(clear[3], 1.0f) << "graph " << i;
    }
}

TEST_F(VectorscopeTest, ASecondSetGraphsChangesNothing)
{
    GraphCustomDrawer* drawer = scope.GetDrawer(0);
    GraphControl10 other(nullptr, IRECT(0, 0, kW, kH), -1, 1, 4096, "");
    scope.SetGraphs(&other, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(scope.GetDrawer(0), drawer);
    // The vectorscope is still registered once: one drag, one pair of calls.
    graphs[0]->OnMouseDrag(10 + 50, 20 + 50, 10, 0, noMod);
    EXPECT_EQ(plug.calls.size(), 2u);
}

TEST(VectorscopeNullGraphTest, MissingGraphsAreSkipped)
{
    GraphControl10 lissajous(nullptr, IRECT(0, 0, kW, kH), -1, 1, 4096, "");
    TWVectorscope scope(nullptr, kSampleRateHz);
    scope.SetGraphs(nullptr, &lissajous, nullptr, nullptr, nullptr);
    scope.SetViewOpen(true);
    EXPECT_EQ(scope.GetUpmixDrawer(), nullptr);
    EXPECT_NE(scope.GetDrawer(1), nullptr);
    EXPECT_FALSE(lissajous.IsEnabled()) << "mode 0 is current";
    scope.AddSamples(ConstantBlock(0.5, 0.0, 64));
    SampleBuffer x;
    EXPECT_FALSE(scope.GetLastPoints(0, 0, &x, nullptr)) << "no graph, nothing computed";
    scope.SetMode(1);
    EXPECT_TRUE(lissajous.IsEnabled());
    scope.AddSamples(ConstantBlock(0.5, 0.0, 64));
    EXPECT_TRUE(scope.GetLastPoints(1, 0, &x, nullptr));
    EXPECT_EQ(x.GetSize(), 128);
    // Without a plug the drags go nowhere.
    scope.OnMouseDrag(0, 0, 10, 10, IMouseMod());
}

TEST_F(VectorscopeTest, BlocksWithoutExactlyTwoChannelsAreIgnored)
{
    scope.AddSamples(ConstantBlock(0.5, 0.0, 100));
    const SampleBuffer before = LastX(0);
    const double graphX = Curve(0, 0)->xValues[0];

    ChannelList one;
    one.Add(nullptr, 64);
    scope.AddSamples(one);
    ChannelList three = ConstantBlock(0.1, 0.2, 64);
    three.Add(nullptr, 64);
    scope.AddSamples(three);
    ChannelList none;
    scope.AddSamples(none);

    EXPECT_EQ(scope.GetHistory(0).GetSize(), 100);
    EXPECT_EQ(scope.GetHistory(1).GetSize(), 100);
    EXPECT_EQ(LastX(0).GetSize(), before.GetSize());
    EXPECT_EQ(Curve(0, 0)->xValues[0], graphX);
}

TEST_F(VectorscopeTest, ShortFirstBlockPlotsOnePointPerSampleScaledForTheHalfDisc)
{
    const int n = 100;
    scope.AddSamples(ConstantBlock(0.5, 0.0, n));
    const SampleBuffer x = LastX(0);
    const SampleBuffer y = LastY(0);
    ASSERT_EQ(x.GetSize(), n);
    ASSERT_EQ(y.GetSize(), n);
    // Left-only 0.5: 45° up to the left at radius 0.5, then Y × 0.95.
    EXPECT_NEAR(x[0], -0.5 * kInvSqrt2, 1e-12);
    EXPECT_NEAR(y[0], 0.95 * 0.5 * kInvSqrt2, 1e-12);

    // The graph holds them as pixels on X −1 … 1, Y 0 … 1; the rest stays undefined.
    const GraphCurve4* c = Curve(0, 0);
    EXPECT_NEAR(c->xValues[n - 1], (x[0] + 1.0) / 2.0 * kW, 1e-9);
    EXPECT_NEAR(c->yValues[n - 1], y[0] * kH, 1e-9);
    EXPECT_EQ(c->xValues[n], UNDEFINED_VALUE);
    EXPECT_EQ(c->yValues[kWindow - 1], UNDEFINED_VALUE);
}

TEST_F(VectorscopeTest, HistoryFillsTo4096AndKeepsTheNewestLast)
{
    int next = 0;
    for (int b = 0; b < 8; ++b, next += kBlock)
        scope.AddSamples(RampBlock(next, kBlock));
    ASSERT_EQ(scope.GetHistory(0).GetSize(), kWindow);
    EXPECT_EQ(scope.GetHistory(0)[0], 0.0);
    EXPECT_EQ(scope.GetHistory(0)[kWindow - 1], kWindow - 1.0);

    for (int b = 0; b < 3; ++b, next += kBlock)
        scope.AddSamples(RampBlock(next, kBlock));
    for (int c = 0; c < 2; ++c)
    {
        const SampleBuffer& h = scope.GetHistory(c);
        ASSERT_EQ(h.GetSize(), kWindow) << "channel " << c;
        const double sign = c == 0 ? 1.0 : -1.0;
        for (int i = 0; i < kWindow; ++i)
            ASSERT_EQ(h[i], sign * (next - kWindow + i)) << "channel " << c << " i=" << i;
    }
    EXPECT_EQ(LastX(0).GetSize(), kWindow);

    // A block longer than the window leaves only its own newest 4096 samples.
    scope.AddSamples(RampBlock(100000, 5000));
    EXPECT_EQ(scope.GetHistory(0).GetSize(), kWindow);
    EXPECT_EQ(scope.GetHistory(0)[0], 100000.0 + 5000 - kWindow);
    EXPECT_EQ(scope.GetHistory(1)[kWindow - 1], -(100000.0 + 4999));
}

TEST_F(VectorscopeTest, ChannelsOfUnequalLengthStayAligned)
{
    ChannelList c = ConstantBlock(0.25, 0.25, 64);
    c[1].Resize(40);
    scope.AddSamples(c);
    EXPECT_EQ(scope.GetHistory(0).GetSize(), 40);
    EXPECT_EQ(scope.GetHistory(1).GetSize(), 40);
}

TEST_F(VectorscopeTest, ModeSwitchesKeepTheHistoryAndEnableOnlyTheNewGraph)
{
    for (int b = 0; b < 3; ++b)
        scope.AddSamples(RampBlock(b * kBlock, kBlock));
    for (int mode : {1, 2, 3, 4, 0})
    {
        scope.SetMode(mode);
        EXPECT_EQ(scope.GetMode(), mode);
        EXPECT_EQ(scope.GetHistory(0).GetSize(), 3 * kBlock) << "mode " << mode;
        for (int i = 0; i < 5; ++i)
        {
            EXPECT_EQ(graphs[i]->IsEnabled(), i == mode) << "mode " << mode << " graph " << i;
            EXPECT_EQ(graphs[i]->IsMouseTransparent(), i != mode)
                << "mode " << mode << " graph " << i;
            EXPECT_TRUE(graphs[i]->NeedsRender()) << "mode " << mode << " graph " << i;
        }
    }
    scope.SetMode(7);
    EXPECT_EQ(scope.GetMode(), 0) << "unknown modes are ignored";
    scope.Reset(48000.0);
    EXPECT_EQ(scope.GetHistory(1).GetSize(), 3 * kBlock) << "Reset keeps the history";
}

TEST_F(VectorscopeTest, GridModeStopsCurveUpdatesAndTheOthersResumeWithTheKeptHistory)
{
    scope.AddSamples(ConstantBlock(0.5, 0.0, kBlock));
    const double graphX = Curve(0, 0)->xValues[0];
    const double graphY = Curve(0, 0)->yValues[0];

    scope.SetMode(3);
    scope.AddSamples(ConstantBlock(0.0, 0.5, kBlock));
    EXPECT_EQ(Curve(0, 0)->xValues[0], graphX);
    EXPECT_EQ(Curve(0, 0)->yValues[0], graphY);
    EXPECT_EQ(LastX(0).GetSize(), kBlock);
    SampleBuffer unused;
    EXPECT_FALSE(scope.GetLastPoints(3, 0, &unused, &unused)) << "GRID computes nothing";

    scope.SetMode(0);
    scope.AddSamples(ConstantBlock(0.0, 0.5, kBlock));
    const SampleBuffer x = LastX(0);
    ASSERT_EQ(x.GetSize(), 3 * kBlock) << "the block seen in GRID mode is kept";
    EXPECT_NEAR(x[0], -0.5 * kInvSqrt2, 1e-12) << "oldest: left only";
    EXPECT_NEAR(x[kBlock], 0.5 * kInvSqrt2, 1e-12) << "GRID-time block: right only";
    EXPECT_NE(Curve(0, 0)->xValues[kBlock], UNDEFINED_VALUE);
}

TEST_F(VectorscopeTest, LissajousAndFlamePointsCarryTheirDisplayScaling)
{
    scope.SetMode(1);
    scope.AddSamples(ConstantBlock(1.0, 0.0, 10));
    SampleBuffer x = LastX(1), y = LastY(1);
    ASSERT_EQ(x.GetSize(), 10);
    EXPECT_NEAR(x[0], 0.5 * 0.8, 1e-12);
    EXPECT_NEAR(y[0], -0.5 * 0.8, 1e-12);
    // Square plot of side H centred horizontally.
    EXPECT_NEAR(Curve(1, 0)->xValues[0], (0.4 + 1.0) / 2.0 * kH + (kW - kH) / 2.0, 1e-9);
    EXPECT_NEAR(Curve(1, 0)->yValues[0], (-0.4 + 1.0) / 2.0 * kH, 1e-9);

    scope.SetMode(2);
    scope.AddSamples(ConstantBlock(0.3, 0.3, kWindow));
    x = LastX(2, 0);
    y = LastY(2, 0);
    ASSERT_EQ(x.GetSize(), 128);
    // In-phase mono of radius 0.3·√2 in bin 64, at the angle 64/127·π, Y × 0.95.
    const double v = 0.3 * std::sqrt(2.0);
    const double a = 64.0 / 127.0 * M_PI;
    EXPECT_NEAR(x[64], v * std::cos(a), 1e-12);
    EXPECT_NEAR(y[64], 0.95 * v * std::sin(a), 1e-12);
    EXPECT_EQ(LastY(2, 1).GetSize(), 128);
    EXPECT_NEAR(LastY(2, 1)[64], y[64], 1e-12) << "first peak equals current";
}

TEST_F(VectorscopeTest, ModeSwitchRestartsTheFlamePeaks)
{
    scope.SetMode(2);
    scope.AddSamples(ConstantBlock(0.6, 0.6, kWindow));
    scope.AddSamples(ConstantBlock(0.1, 0.1, kWindow));
    EXPECT_GT(LastY(2, 1)[64], 2.0 * LastY(2, 0)[64]) << "peak held above current";

    scope.SetMode(2);
    scope.AddSamples(ConstantBlock(0.1, 0.1, kWindow));
    EXPECT_NEAR(LastY(2, 1)[64], LastY(2, 0)[64], 1e-12) << "peak restarted";
}

TEST_F(VectorscopeTest, NothingIsComputedWhileNoViewIsOpenAndOpeningRestartsTheFlame)
{
    scope.SetMode(2);
    scope.AddSamples(ConstantBlock(0.6, 0.6, kWindow));
    const SampleBuffer heldPeak = LastY(2, 1);
    scope.SetViewOpen(false);
    const SampleBuffer& shownBefore = Curve(0, 0)->yValues;
    const std::vector<double> before(shownBefore.Get(), shownBefore.Get() + shownBefore.GetSize());
    for (int mode : {0, 1, 2, 4})
    {
        scope.SetMode(mode);
        scope.AddSamples(ConstantBlock(0.1, 0.1, kBlock));
    }
    SampleBuffer x;
    EXPECT_FALSE(scope.GetLastPoints(4, 0, &x, nullptr)) << "SOURCE ran without a viewer";
    scope.SetMode(0);
    const SampleBuffer& shown = Curve(0, 0)->yValues;
    EXPECT_EQ(std::vector<double>(shown.Get(), shown.Get() + shown.GetSize()), before)
        << "the polar graph got no new points";
    scope.SetMode(2);
    EXPECT_EQ(scope.GetHistory(0)[kWindow - 1], 0.1) << "the window still fills";

    // Opening the view starts the held peaks afresh, as a mode switch does: peak = current.
    scope.SetViewOpen(true);
    scope.AddSamples(ConstantBlock(0.1, 0.1, kBlock));
    EXPECT_NEAR(LastY(2, 1)[64], LastY(2, 0)[64], 1e-12);
    EXPECT_LT(LastY(2, 1)[64], heldPeak[64]);
}

TEST_F(VectorscopeTest, ModeSwitchRestartsTheSourceAnalysis)
{
    // A second vectorscope sees the same blocks in mode 0 and switches to SOURCE only at the end;
    // after the switch both must analyse identically, whatever the first one had queued.
    RecordingPlug otherPlug;
    TWVectorscope fresh(&otherPlug, kSampleRateHz);
    fresh.SetComputeWithoutGraphs(true);
    scope.SetMode(4);
    unsigned state = 12345; // fixed seed
    auto noiseBlock = [&state](int n)
    {
        ChannelList c;
        c.Add(nullptr, n);
        c.Add(nullptr, n);
        for (int i = 0; i < n; ++i)
        {
            state = state * 1664525u + 1013904223u;
            c[0][i] = (state >> 8) / 16777216.0 - 0.5;
            c[1][i] = 0.5 * c[0][i];
        }
        return c;
    };
    for (int b = 0; b < 5; ++b)
    {
        const ChannelList block = noiseBlock(700);
        scope.AddSamples(block);
        fresh.AddSamples(block);
    }
    scope.SetMode(4);
    fresh.SetMode(4);
    const ChannelList last = noiseBlock(700);
    scope.AddSamples(last);
    fresh.AddSamples(last);

    SampleBuffer x1, y1, x2, y2;
    ASSERT_TRUE(scope.GetLastPoints(4, 0, &x1, &y1));
    ASSERT_TRUE(fresh.GetLastPoints(4, 0, &x2, &y2));
    ASSERT_GT(x1.GetSize(), 0) << "seed 12345";
    ASSERT_EQ(x1.GetSize(), x2.GetSize());
    for (int i = 0; i < x1.GetSize(); ++i)
    {
        ASSERT_EQ(x1[i], x2[i]) << "seed 12345, i=" << i;
        ASSERT_EQ(y1[i], y2[i]) << "seed 12345, i=" << i;
    }
}

TEST_F(VectorscopeTest, WithoutGraphsNothingIsComputedUnlessAsked)
{
    RecordingPlug otherPlug;
    TWVectorscope bare(&otherPlug, kSampleRateHz);
    bare.AddSamples(ConstantBlock(0.5, 0.5, 64));
    SampleBuffer x;
    EXPECT_FALSE(bare.GetLastPoints(0, 0, &x, nullptr));
    EXPECT_EQ(bare.GetHistory(0).GetSize(), 64) << "the history still fills";
    bare.SetComputeWithoutGraphs(true);
    bare.AddSamples(ConstantBlock(0.5, 0.5, 64));
    EXPECT_TRUE(bare.GetLastPoints(0, 0, &x, nullptr));
    EXPECT_EQ(x.GetSize(), 128);
    EXPECT_EQ(bare.GetUpmixDrawer(), nullptr);
}

TEST_F(VectorscopeTest, DragsMovePanAndWidthInEveryModeButGrid)
{
    struct Case
    {
        const char* name;
        int dX, dY;
        IMouseMod mod;
        double pan, width;
    };
    const Case cases[] = {
        {"right 10", 10, 0, noMod, 0.05, 0.0},
        {"right 10 shift", 10, 0, shift, 0.01, 0.0},
        {"left 4", -4, 3, noMod, -0.02, 0.0},
        {"alt up 10", 3, -10, alt, 0.0, 0.05},
        {"alt up 10 shift", 0, -10, shiftAlt, 0.0, 0.01},
        {"alt down 20", 0, 20, alt, 0.0, -0.1},
    };
    for (int mode : {0, 1, 2, 4})
    {
        scope.SetMode(mode);
        for (const Case& c : cases)
        {
            plug.calls.clear();
            scope.OnMouseDrag(100, 100, c.dX, c.dY, c.mod);
            ASSERT_EQ(plug.calls.size(), 2u) << "mode " << mode << " " << c.name;
            EXPECT_EQ(plug.calls[0].op, "AddPan") << "mode " << mode << " " << c.name;
            EXPECT_NEAR(plug.calls[0].value, c.pan, 1e-12) << "mode " << mode << " " << c.name;
            EXPECT_EQ(plug.calls[1].op, "AddWidth") << "mode " << mode << " " << c.name;
            EXPECT_NEAR(plug.calls[1].value, c.width, 1e-12) << "mode " << mode << " " << c.name;
        }
        plug.calls.clear();
        scope.OnMouseDown(100, 100, noMod);
        scope.OnMouseUp(100, 100, noMod);
        EXPECT_TRUE(plug.calls.empty()) << "mode " << mode << ": press and release do nothing";
    }
}

TEST_F(VectorscopeTest, GridDragsGoToTheStage)
{
    scope.SetMode(3);
    scope.GetUpmixDrawer()->SetDepth(0.5);
    ASSERT_NE(Render(), nullptr);
    plug.calls.clear();

    // Not on the ball: nothing, not even the ordinary pan drag.
    scope.OnMouseDown(20, 20, noMod);
    scope.OnMouseDrag(30, 20, 10, 0, noMod);
    EXPECT_TRUE(plug.calls.empty());
    scope.OnMouseUp(30, 20, noMod);

    // On the ball at (200, 120) y up, i.e. (200, 80) from the top.
    scope.OnMouseDown(200, 80, noMod);
    EXPECT_TRUE(scope.GetUpmixDrawer()->IsDragging());
    scope.OnMouseDrag(200, 40, 0, -40, noMod);
    ASSERT_EQ(plug.calls.size(), 1u);
    EXPECT_EQ(plug.calls[0].op, "SetPan");
    EXPECT_NEAR(plug.calls[0].value, 0.0, 1e-12);
    scope.OnMouseDrag(200, 30, 0, -10, alt);
    ASSERT_EQ(plug.calls.size(), 2u);
    EXPECT_EQ(plug.calls[1].op, "AddWidth");
    EXPECT_NEAR(plug.calls[1].value, 10.0 / kH, 1e-12);
    scope.OnMouseUp(200, 30, noMod);
    EXPECT_FALSE(scope.GetUpmixDrawer()->IsDragging());
}

TEST_F(VectorscopeTest, AudioPathAllocatesNothingFromTheFirstBlock)
{
    // Blocks longer than the window as well as short ones, from a fresh history in every mode;
    // the window needs no reserving.
    const int longBlock = 3 * TWVectorscope::kHistorySize;
    ChannelList shortBlock, wholeBlock;
    for (ChannelList* list : {&shortBlock, &wholeBlock})
    {
        const int n = list == &shortBlock ? kBlock : longBlock;
        list->Add(nullptr, n);
        list->Add(nullptr, n);
        for (int i = 0; i < n; ++i)
        {
            (*list)[0][i] = std::sin(0.01 * i);
            (*list)[1][i] = 0.001 * (i % 1000);
        }
    }
    AllocationCounter::Start();
    for (int mode : {4, 0, 1, 2, 3})
    {
        // A mode change restarts the analyses without giving up their storage.
        scope.SetMode(mode);
        for (int b = 0; b < 12; ++b)
            scope.AddSamples(shortBlock);
        scope.AddSamples(wholeBlock);
        scope.AddSamples(shortBlock);
    }
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
}

// ---- Rendered backgrounds and points ----

TEST_F(VectorscopeTest, PolarBackgroundIsAnUpperHalfCircleWithAxesAndLabels)
{
    const LICE_IBitmap* bmp = Render();
    ASSERT_NE(bmp, nullptr);
    ASSERT_EQ(bmp->getWidth(), kW);
    ASSERT_EQ(bmp->getHeight(), kH);
    // r = 400 / 2 − 8 = 192: the top of the circle, 2 px wide, covers y 191 … 193.
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 200, 191))) << "circle top";
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 200, 192))) << "circle top";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 200, 196))) << "above the circle";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 200, 100))) << "inside, away from the axes";
    // Circle at 30° from the base: (200 + 192 cos 30°, 192 sin 30°) = (366.3, 96).
    EXPECT_GE(PeakNear(bmp, 366, 96), 100) << "circle at 30°";
    // Base line 1 px above the bottom edge.
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 100, 0))) << "base line";
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 300, 1))) << "base line";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 4, 1))) << "base line starts at x = 8";
    // Axes from (200, 1) to (65.24, 135.76) and (334.76, 135.76); their midpoints.
    EXPECT_GE(PeakNear(bmp, 132, 68), 90) << "left axis";
    EXPECT_GE(PeakNear(bmp, 267, 68), 90) << "right axis";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 132, 120))) << "off the left axis";
    // "LEFT" ends at x ≈ 58.2, centred on y ≈ 155.8; "RIGHT" starts at x ≈ 341.8.
    EXPECT_GT(LitPixels(bmp, 20, 58, 148, 163), 10) << "LEFT";
    EXPECT_EQ(LitPixels(bmp, 60, 66, 148, 163), 0) << "LEFT is right-aligned at its anchor";
    EXPECT_GT(LitPixels(bmp, 342, 395, 148, 163), 10) << "RIGHT";
    EXPECT_EQ(LitPixels(bmp, 334, 340, 148, 163), 0) << "RIGHT is left-aligned at its anchor";
    // Title hangs from 7 px below the top edge, from x = 7.
    EXPECT_GT(LitPixels(bmp, 7, 100, 178, 192), 10) << "title";
    EXPECT_EQ(LitPixels(bmp, 0, 6, 150, 199), 0) << "nothing left of the title";
}

TEST(CircleDrawerTest, NoTitleMeansAnEmptyTitleCorner)
{
    GraphControl10 titled(nullptr, IRECT(0, 0, kW, kH), -1, 0, 1, FontPath().c_str());
    GraphControl10 untitled(nullptr, IRECT(0, 0, kW, kH), -1, 0, 1, FontPath().c_str());
    TWCircleGraphDrawer withTitle("FLAME");
    TWCircleGraphDrawer withoutTitle(nullptr);
    EXPECT_TRUE(withTitle.HasTitle());
    EXPECT_FALSE(withoutTitle.HasTitle());
    titled.AddCustomDrawer(&withTitle);
    untitled.AddCustomDrawer(&withoutTitle);
    const LICE_IBitmap* a = titled.RenderGL(true);
    const LICE_IBitmap* b = untitled.RenderGL(true);
    ASSERT_TRUE(a && b);
    EXPECT_GT(LitPixels(a, 7, 100, 178, 192), 10);
    EXPECT_EQ(LitPixels(b, 7, 100, 178, 192), 0);
    // Everything else is the same picture.
    EXPECT_TRUE(IsGrey(PixelUp(b, 200, 191)));
    EXPECT_GT(LitPixels(b, 20, 58, 148, 163), 10);

    const std::string longTitle(600, 'A');
    TWCircleGraphDrawer longOne(longTitle.c_str());
    EXPECT_EQ(std::string(longOne.GetTitle()), std::string(255, 'A'));
}

TEST_F(VectorscopeTest, PolarPointsLandUpLeftForALeftOnlySample)
{
    // One left-only sample of 0.5: point (−0.3536, 0.3359) → pixel (129.3, 67.2), a 5 px quad of
    // the curve colour at 25 % added to black.
    scope.AddSamples(ConstantBlock(0.5, 0.0, 1));
    const LICE_IBitmap* bmp = Render();
    ASSERT_NE(bmp, nullptr);
    EXPECT_TRUE(IsColour(PixelUp(bmp, 129, 67), 28, 32, 45, 4)) << "the point";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 270, 67))) << "not mirrored to the right";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 129, 132))) << "not flipped vertically";
}

TEST_F(VectorscopeTest, LissajousBackgroundIsADiamondOfScale08)
{
    scope.SetMode(1);
    const LICE_IBitmap* bmp = Render();
    ASSERT_NE(bmp, nullptr);
    // Square of side 200 from x = 100; corners (200, 180), (280, 100), (200, 20), (120, 100).
    EXPECT_GE(PeakNear(bmp, 220, 160), 100) << "upper right edge";
    EXPECT_GE(PeakNear(bmp, 260, 80), 100) << "lower right edge";
    EXPECT_GE(PeakNear(bmp, 140, 80), 100) << "lower left edge";
    EXPECT_GE(PeakNear(bmp, 160, 140), 100) << "upper left edge";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 200, 186))) << "above the top corner";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 290, 100))) << "right of the right corner";
    // Axes from (240, 140) to (160, 60) and from (240, 60) to (160, 140), crossing at the centre.
    EXPECT_GE(PeakNear(bmp, 200, 100), 90) << "centre";
    EXPECT_GE(PeakNear(bmp, 220, 120), 60) << "axis";
    EXPECT_GE(PeakNear(bmp, 180, 120), 60) << "axis";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 200, 130))) << "between the axes";
    // Labels centred at (20, 102.5) and (380, 102.5).
    EXPECT_GT(LitPixels(bmp, 2, 38, 95, 110), 10) << "LEFT";
    EXPECT_GT(LitPixels(bmp, 360, 399, 95, 110), 10) << "RIGHT";
    EXPECT_GT(LitPixels(bmp, 7, 90, 178, 192), 10) << "title";
}

TEST_F(VectorscopeTest, LissajousPointsUseTheCentredSquare)
{
    scope.SetMode(1);
    // (0.5, 0.25): X = 0.125 × 0.8 = 0.1, Y = −0.375 × 0.8 = −0.3 → pixel (210, 70).
    scope.AddSamples(ConstantBlock(0.5, 0.25, 1));
    const LICE_IBitmap* bmp = Render();
    ASSERT_NE(bmp, nullptr);
    EXPECT_TRUE(IsColour(PixelUp(bmp, 209, 69), 28, 32, 45, 4));
    EXPECT_TRUE(IsColour(PixelUp(bmp, 210, 70), 28, 32, 45, 4));
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 210, 130))) << "not flipped";
}

TEST_F(VectorscopeTest, FlameRaysPointAlongTheSignalsDirection)
{
    scope.SetMode(2);
    // Right-only 0.5: bin 32, angle 32/127·π ≈ 45.4°, length 0.5 → Y × 0.95.
    scope.AddSamples(ConstantBlock(0.0, 0.5, kWindow));
    const LICE_IBitmap* bmp = Render();
    ASSERT_NE(bmp, nullptr);
    const double a = 32.0 / 127.0 * M_PI;
    const double px = (0.5 * 0.6 * std::cos(a) + 1.0) / 2.0 * kW;
    const double py = 0.95 * 0.5 * 0.6 * std::sin(a) * kH;
    const int x = static_cast<int>(200 + (px - 200) * 1.0);
    const int y = static_cast<int>(py);
    EXPECT_GE(PeakNear(bmp, x, y), 200) << "ray at 60 % of its length";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 400 - x, y))) << "nothing on the left";
    EXPECT_GT(LitPixels(bmp, 7, 60, 178, 192), 10) << "title";
}

TEST_F(VectorscopeTest, GridStageBallAndTitleAreWhereTheGeometrySays)
{
    scope.SetMode(3);
    TWUpmixGraphDrawer* drawer = scope.GetUpmixDrawer();
    drawer->SetDepth(0.5);
    drawer->SetWidth(1.0);
    const LICE_IBitmap* bmp = Render();
    ASSERT_NE(bmp, nullptr);
    // Arcs of radius 430, 460 and 550 around (200, −370) cross x = 120.5 at y ≈ 52.5, 83.0
    // and 174.2; the middle radial line is the vertical x = 200 from y = 60 to 180.
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 120, 52))) << "innermost arc";
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 120, 82))) << "second arc";
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 120, 174))) << "outermost arc";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 120, 67))) << "between two arcs";
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 200, 70))) << "middle radial line";
    EXPECT_TRUE(IsGrey(PixelUp(bmp, 200, 175))) << "middle radial line";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 230, 30))) << "below the stage";
    EXPECT_TRUE(IsBlack(PixelUp(bmp, 200, 190))) << "above the stage";
    // Right edge line at π/2 − 0.35 from (200, −370): passes (200 + 500 sin 0.35, −370 + 500 cos
    // 0.35).
    EXPECT_GE(PeakNear(bmp, static_cast<int>(200 + 500 * std::sin(0.35)),
                       static_cast<int>(-370 + 500 * std::cos(0.35))),
              100)
        << "right edge line";
    // Ball at (200, 120): core colour under the translucent halo, halo over black.
    EXPECT_TRUE(IsColour(PixelUp(bmp, 200, 125), 163, 189, 244, 4)) << "core";
    EXPECT_TRUE(IsColour(PixelUp(bmp, 225, 135), 48, 57, 59, 4)) << "halo";
    EXPECT_GE(PeakNear(bmp, 240, 120), 200) << "white halo outline at radius 40";
    EXPECT_GT(LitPixels(bmp, 7, 45, 178, 192), 10) << "title";
    EXPECT_EQ(LitPixels(bmp, 7, 45, 7, 22), 0) << "title not at the bottom";
}
