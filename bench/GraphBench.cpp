// Frame rendering cost of a vectorscope graph: the background bitmap, a title and a 4096-point
// curve drawn as additive point quads (the polar-samples mode), and the 128-ray fan with its
// linked peak line (the direction mode). Reported as time per frame.

#include "editor/BitmapResources.h"
#include "editor/LICE_Bitmap.h"
#include "framework/MathConstants.h"
#include "graph/GraphControl10.h"
#include "graph/GraphCustomDrawer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace
{
constexpr int kGraphW = 456;
constexpr int kGraphH = 243;
constexpr int kPoints = 4096;
constexpr int kBins = 128;

class TitleDrawer : public GraphCustomDrawer
{
public:
    void PreDraw(GraphSurface* surface, int width, int height) override
    {
        const int grey[4] = {128, 128, 128, 255};
        surface->StrokeWidth(2.0f);
        surface->StrokeColor(GraphSurface::RGBA(128, 128, 128, 255));
        surface->BeginPath();
        surface->Circle(width * 0.5f, 0.0f, width * 0.5f - 8.0f);
        surface->Stroke();
        GraphControl10::DrawText(surface, "POLAR SAMPLES", grey, GRAPH_ALIGN_LEFT, GRAPH_ALIGN_TOP,
                                 7.0f, static_cast<float>(height - 7), 14.0f, 1.0f);
    }
};

struct GraphFixture
{
    GraphFixture() : background(kGraphW, kGraphH)
    {
        background.Fill(LICE_RGBA(20, 22, 28, 255));
        WDL_String font;
        ResourcePath("font.ttf", &font);
        graph =
            new GraphControl10(nullptr, IRECT(0, 0, kGraphW, kGraphH), 14, 2, kPoints, font.Get());
        graph->SetBackgroundImage(&background);
        graph->SetRecreatePointImage(true);
        graph->SetPointsCentered(true);
        graph->AddCustomDrawer(&drawer);
    }
    ~GraphFixture() { delete graph; }

    LICE_MemBitmap background;
    TitleDrawer drawer;
    GraphControl10* graph;
};

void BM_GraphFramePolarPoints(benchmark::State& state)
{
    GraphFixture f;
    GraphControl10* g = f.graph;
    g->SetCurveXScale(0, false, -1, 1);
    g->SetCurveYScale(0, false, 0, 1);
    g->SetCurvePointSize(0, 5);
    g->SetCurveAdditive(0, true);
    g->SetCurveColor(0, 113, 130, 182);
    g->SetCurveFillAlpha(0, 0.25);
    // A noisy stereo cloud: points spread over the half disc.
    std::mt19937 rng(7);
    std::normal_distribution<double> n(0.0, 0.3);
    SampleBuffer xs, ys;
    xs.Resize(kPoints);
    ys.Resize(kPoints);
    for (int k = 0; k < kPoints; ++k)
    {
        xs.Get()[k] = std::fmax(-1.0, std::fmin(1.0, n(rng)));
        ys.Get()[k] = std::fmin(0.95, std::fabs(n(rng)) + 0.1);
    }
    g->SetCurvePoints(0, xs, ys);
    g->SetCurvePointStyle(1, false, false, false);
    g->SetCurveLineWidth(1, -1.0); // second curve off
    g->RenderGL(true);
    for (auto _ : state)
    {
        g->SetNeedsRender(true);
        benchmark::DoNotOptimize(g->RenderGL(true));
    }
    state.SetLabel("456x243, 4096 additive point quads");
}
BENCHMARK(BM_GraphFramePolarPoints)->Unit(benchmark::kMicrosecond);

void BM_GraphFrameFlameRays(benchmark::State& state)
{
    GraphFixture f;
    GraphControl10* g = f.graph;
    SampleBuffer xs, ys;
    xs.Resize(kBins);
    ys.Resize(kBins);
    for (int i = 0; i < kBins; ++i)
    {
        const double a = i * kPi / (kBins - 1);
        const double v = 0.3 + 0.5 * std::exp(-std::pow((i - 64) / 12.0, 2));
        xs.Get()[i] = v * std::cos(a);
        ys.Get()[i] = v * std::sin(a);
    }
    for (int c = 0; c < 2; ++c)
    {
        g->SetCurveXScale(c, false, -1, 1);
        g->SetCurveYScale(c, false, 0, 1);
        g->SetCurvePoints(c, xs, ys);
    }
    g->SetCurvePointSize(0, 2);
    g->SetCurvePointStyle(0, true, true, true);
    g->SetCurvePointSize(1, 3);
    g->SetCurvePointStyle(1, true, false, true);
    g->SetCurveBevel(1, true);
    g->RenderGL(true);
    for (auto _ : state)
    {
        g->SetNeedsRender(true);
        benchmark::DoNotOptimize(g->RenderGL(true));
    }
    state.SetLabel("456x243, 128 rays + 128-point polyline");
}
BENCHMARK(BM_GraphFrameFlameRays)->Unit(benchmark::kMicrosecond);
} // namespace
