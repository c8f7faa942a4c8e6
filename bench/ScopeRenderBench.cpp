// A full vectorscope frame per display mode, rendered as the editor would each paint: the
// plug-in processes noise in that mode, then its graph renders background, drawer and points.

#include "engine/Parandel.h"
#include "graph/GraphControl10.h"
#include "metering/TWVectorscope.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
constexpr int kBlock = 512;

void BM_ScopeFrame(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    Parandel plug(Parandel::DefaultInstanceInfo());
    plug.SetSampleRate(44100.0);
    plug.SetBlockSize(kBlock);
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Param(Parandel::kVectorscopeMode0)->SetValue(0.0);
    plug.Param(Parandel::kVectorscopeMode0 + mode)->SetValue(1.0);
    plug.OnParamReset();
    plug.GetVectorscope()->SetComputeWithoutGraphs(true); // as while the editor is open
    plug.Reset();

    std::mt19937 rng(7);
    std::normal_distribution<double> d(0.0, 0.2);
    std::vector<double> l(kBlock), r(kBlock), ol(kBlock), orr(kBlock);
    double* ins[2] = {l.data(), r.data()};
    double* outs[2] = {ol.data(), orr.data()};
    for (int b = 0; b < 16; ++b)
    {
        for (int k = 0; k < kBlock; ++k)
        {
            l[k] = d(rng);
            r[k] = 0.6 * l[k] + d(rng) * 0.5;
        }
        WDL_MutexLock lock(plug.GetMutex());
        plug.ProcessReplacing(ins, outs, kBlock);
    }
    GraphControl10* graph = plug.GetVectorscopeGraph(mode);
    for (auto _ : state)
    {
        graph->SetNeedsRender(true);
        benchmark::DoNotOptimize(graph->RenderGL(true));
    }
}
} // namespace

BENCHMARK(BM_ScopeFrame)->DenseRange(0, 4)->ArgName("mode")->Unit(benchmark::kMicrosecond);
