// ProcessReplacing on stereo blocks at 44.1 kHz, as time per sample and real-time factor (seconds
// of audio processed per second of CPU). The whole chain runs with the correlation meter, as in a
// host; with the editor closed the vectorscope only keeps its window, with it open (ScopeOpen)
// the mode's per-block work runs and its points are made 25 times a second, as frames are drawn.

#include "engine/Parandel.h"
#include "metering/TWVectorscope.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

constexpr int kFrameSamples = 1764; // one editor frame at 25 fps

// A plug-in at 44.1 kHz with the given settings, reset and with its transport running, as a host
// leaves it before the first block.
std::unique_ptr<Parandel> MakePlugin(double bassFocusHz, bool monoToStereo, int block,
                                     int scopeMode)
{
    auto plug = std::make_unique<Parandel>(Parandel::DefaultInstanceInfo());
    plug->SetSampleRate(kRate);
    plug->SetBlockSize(block);
    plug->SetInputChannelConnections(0, 2, true);
    plug->SetOutputChannelConnections(0, 2, true);
    plug->Param(Parandel::kBassFocus)->SetValue(bassFocusHz);
    plug->Param(Parandel::kWidth)->SetValue(40.0);
    plug->Param(Parandel::kMonoToStereo)->SetValue(monoToStereo ? 1.0 : 0.0);
    if (scopeMode >= 0)
    {
        for (int m = 0; m < TWVectorscope::kNumModes; ++m)
            plug->Param(Parandel::kVectorscopeMode0 + m)->SetValue(m == scopeMode ? 1.0 : 0.0);
        plug->GetVectorscope()->SetComputeWithoutGraphs(true);
    }
    plug->OnParamReset();
    plug->Reset();
    plug->SetHostTransport(true, 0.0);
    return plug;
}

// Uniform noise in −0.5 … 0.5, the same for every run.
std::vector<double> Noise(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-0.5, 0.5);
    std::vector<double> x(n);
    for (double& v : x)
        v = d(rng);
    return x;
}

void RunPlugin(benchmark::State& state, double bassFocusHz, bool monoToStereo, int block = kBlock,
               int scopeMode = -1)
{
    const auto owned = MakePlugin(bassFocusHz, monoToStereo, block, scopeMode);
    Parandel& plug = *owned;
    std::vector<double> inL = Noise(block, 1), inR = Noise(block, 2), outL(block), outR(block);
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

// The cost of small blocks as one ratio: the same 2048 frames as 64 blocks of 32 samples and as 4
// blocks of 512, on two plug-ins, timed one after the other in every iteration (in alternating
// order), so that a change of clock or of load on the other core reaches both sides alike.
// "small_over_large" is the 32-sample blocks' time over the 512-sample blocks'.
void BM_SmallBlockCost(benchmark::State& state)
{
    constexpr int kFrames = 2048;
    std::vector<double> inL = Noise(kFrames, 1), inR = Noise(kFrames, 2);
    std::vector<double> outL(kFrames), outR(kFrames);
    const auto small = MakePlugin(100.0, false, 32, -1);
    const auto large = MakePlugin(100.0, false, 512, -1);
    using Clock = std::chrono::steady_clock;
    const auto timeBlocks = [&](Parandel& plug, int block)
    {
        WDL_MutexLock lock(plug.GetMutex());
        const Clock::time_point start = Clock::now();
        for (int k = 0; k < kFrames; k += block)
        {
            double* ins[2] = {inL.data() + k, inR.data() + k};
            double* outs[2] = {outL.data() + k, outR.data() + k};
            plug.ProcessReplacing(ins, outs, block);
        }
        benchmark::DoNotOptimize(outL.data());
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double smallTime = 0.0, largeTime = 0.0;
    bool smallFirst = true;
    for (auto _ : state)
    {
        if (smallFirst)
            smallTime += timeBlocks(*small, 32);
        largeTime += timeBlocks(*large, 512);
        if (!smallFirst)
            smallTime += timeBlocks(*small, 32);
        smallFirst = !smallFirst;
    }
    state.counters["small_over_large"] = smallTime / largeTime;
    state.counters["per_sample_512"] =
        largeTime / (static_cast<double>(state.iterations()) * kFrames);
}
} // namespace

BENCHMARK(BM_ProcessReplacing_Defaults);
BENCHMARK(BM_ProcessReplacing_BassFocusOff);
BENCHMARK(BM_ProcessReplacing_MonoToStereo);
BENCHMARK(BM_ProcessReplacing_Block)
    ->ArgNames({"block", "scope"})
    ->ArgsProduct({{32, 512}, {-1, 0, 1, 2, 3, 4}});
BENCHMARK(BM_SmallBlockCost);
