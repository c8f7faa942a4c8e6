// ProcessReplacing on 512-sample stereo blocks at 44.1 kHz, as time per sample and real-time
// factor (seconds of audio processed per second of CPU). The whole chain runs, including the
// vectorscope's polar-samples point set and the correlation meter, as in a host.

#include "engine/Parandel.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

void RunPlugin(benchmark::State& state, double bassFocusHz, bool monoToStereo)
{
    Parandel plug(Parandel::DefaultInstanceInfo());
    plug.SetSampleRate(kRate);
    plug.SetBlockSize(kBlock);
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Param(Parandel::kBassFocus)->SetValue(bassFocusHz);
    plug.Param(Parandel::kWidth)->SetValue(40.0);
    plug.Param(Parandel::kMonoToStereo)->SetValue(monoToStereo ? 1.0 : 0.0);
    plug.OnParamReset();
    plug.Reset();
    plug.SetHostTransport(true, 0.0);

    std::mt19937 rng(1);
    std::uniform_real_distribution<double> d(-0.5, 0.5);
    std::vector<double> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    for (int k = 0; k < kBlock; ++k)
    {
        inL[k] = d(rng);
        inR[k] = d(rng);
    }
    double* ins[2] = {inL.data(), inR.data()};
    double* outs[2] = {outL.data(), outR.data()};
    WDL_MutexLock lock(plug.GetMutex());
    for (auto _ : state)
    {
        plug.ProcessReplacing(ins, outs, kBlock);
        benchmark::DoNotOptimize(outL.data());
    }
    const double samples = static_cast<double>(state.iterations()) * kBlock;
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
} // namespace

BENCHMARK(BM_ProcessReplacing_Defaults);
BENCHMARK(BM_ProcessReplacing_BassFocusOff);
BENCHMARK(BM_ProcessReplacing_MonoToStereo);
