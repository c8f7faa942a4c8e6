// ProcessReplacing on stereo blocks at 44.1 kHz, as time per sample and real-time factor (seconds
// of audio processed per second of CPU). The whole chain runs with the correlation meter, as in a
// host; with the editor closed the vectorscope only keeps its window, with it open (ScopeOpen)
// the mode's per-block work runs and its points are made 25 times a second, as frames are drawn.

#include "engine/Parandel.h"
#include "metering/TWVectorscope.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

constexpr int kFrameSamples = 1764; // one editor frame at 25 fps

void RunPlugin(benchmark::State& state, double bassFocusHz, bool monoToStereo, int block = kBlock,
               int scopeMode = -1)
{
    Parandel plug(Parandel::DefaultInstanceInfo());
    plug.SetSampleRate(kRate);
    plug.SetBlockSize(block);
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Param(Parandel::kBassFocus)->SetValue(bassFocusHz);
    plug.Param(Parandel::kWidth)->SetValue(40.0);
    plug.Param(Parandel::kMonoToStereo)->SetValue(monoToStereo ? 1.0 : 0.0);
    if (scopeMode >= 0)
    {
        for (int m = 0; m < TWVectorscope::kNumModes; ++m)
            plug.Param(Parandel::kVectorscopeMode0 + m)->SetValue(m == scopeMode ? 1.0 : 0.0);
        plug.GetVectorscope()->SetComputeWithoutGraphs(true);
    }
    plug.OnParamReset();
    plug.Reset();
    plug.SetHostTransport(true, 0.0);

    std::mt19937 rng(1);
    std::uniform_real_distribution<double> d(-0.5, 0.5);
    std::vector<double> inL(block), inR(block), outL(block), outR(block);
    for (int k = 0; k < block; ++k)
    {
        inL[k] = d(rng);
        inR[k] = d(rng);
    }
    double* ins[2] = {inL.data(), inR.data()};
    double* outs[2] = {outL.data(), outR.data()};
    SampleBuffer x, y;
    x.Reserve(TWVectorscope::kHistorySize);
    y.Reserve(TWVectorscope::kHistorySize);
    int sinceFrame = 0;
    WDL_MutexLock lock(plug.GetMutex());
    for (auto _ : state)
    {
        plug.ProcessReplacing(ins, outs, block);
        benchmark::DoNotOptimize(outL.data());
        sinceFrame += block;
        if (scopeMode >= 0 && sinceFrame >= kFrameSamples)
        {
            sinceFrame -= kFrameSamples;
            plug.GetVectorscope()->GetLastPoints(scopeMode, 0, &x, &y);
        }
    }
    const double samples = static_cast<double>(state.iterations()) * block;
    // Printed as time per sample (benchmark adds the unit prefix).
    state.counters["per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_factor"] =
        benchmark::Counter(samples / kRate, benchmark::Counter::kIsRate);
}

void BM_ProcessReplacing_Defaults(benchmark::State& state)
{
    RunPlugin(state, 100.0, false);
}
void BM_ProcessReplacing_BassFocusOff(benchmark::State& state)
{
    RunPlugin(state, 20.0, false);
}
void BM_ProcessReplacing_MonoToStereo(benchmark::State& state)
{
    RunPlugin(state, 100.0, true);
}
// Defaults at a block size, with the editor closed (mode −1) or open in a scope mode.
void BM_ProcessReplacing_Block(benchmark::State& state)
{
    RunPlugin(state, 100.0, false, static_cast<int>(state.range(0)),
              static_cast<int>(state.range(1)));
}
} // namespace

BENCHMARK(BM_ProcessReplacing_Defaults);
BENCHMARK(BM_ProcessReplacing_BassFocusOff);
BENCHMARK(BM_ProcessReplacing_MonoToStereo);
BENCHMARK(BM_ProcessReplacing_Block)
    ->ArgNames({"block", "scope"})
    ->ArgsProduct({{32, 512}, {-1, 0, 1, 2, 3, 4}});
