// The plug-in's stereo chain alone (bass-focus split, mono low band, width, pan, band sum, output
// gain) on 512-sample stereo blocks at 44.1 kHz, with bass focus at its default and off; and the
// correlation meter on the same blocks. Reported as time per frame; each chain iteration includes
// the copy of the input block that the plug-in makes too.

#include "engine/CrossoverSplitterNBands3.h"
#include "framework/ParamSmoother.h"
#include "engine/PseudoStereoObj2.h"
#include "engine/StereoChain.h"
#include "metering/TWCorrelationComputer.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

std::vector<double> Noise(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-0.5, 0.5);
    std::vector<double> v(kBlock);
    for (double& x : v)
        x = d(rng);
    return v;
}

void PerFrame(benchmark::State& state)
{
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The chain as the plug-in builds it, at width 0, pan 0 and 0 dB (the smoothers settled).
void RunChain(benchmark::State& state, bool bassFocus)
{
    const double cutoff[] = {100.0};
    CrossoverSplitterNBands3 left(2, cutoff, kRate), right(2, cutoff, kRate);
    ParamSmoother width(10, 0.0, 0.999), pan(10, 0.0, 0.999), gain(10, 1.0, 0.999);
    PseudoStereoObj2 monoToStereo(kRate, 1.0);
    StereoChain chain;
    StereoChain::Parts parts;
    parts.width = &width;
    parts.pan = &pan;
    parts.outGain = &gain;
    parts.crossovers[0] = &left;
    parts.crossovers[1] = &right;
    parts.monoToStereo = &monoToStereo;
    chain.Attach(parts);
    chain.Reserve(kBlock);
    StereoChain::Settings settings;
    settings.bassFocus = bassFocus;

    const std::vector<double> inL = Noise(1), inR = Noise(2);
    std::vector<double> outL(kBlock), outR(kBlock);
    ChannelList in;
    in.Reserve(kBlock);
    for (auto _ : state)
    {
        in.Clear();
        in.Add(inL.data(), kBlock);
        in.Add(inR.data(), kBlock);
        chain.Process(in, settings, outL.data(), outR.data());
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    PerFrame(state);
}

void BM_DspChain_Defaults(benchmark::State& state)
{
    RunChain(state, true);
}
void BM_DspChain_BassFocusOff(benchmark::State& state)
{
    RunChain(state, false);
}

void BM_Correlation(benchmark::State& state)
{
    TWCorrelationComputer computer(0, kRate, 500.0);
    const std::vector<double> l = Noise(1), r = Noise(2);
    SampleBuffer left, right;
    left.Set(l.data(), kBlock);
    right.Set(r.data(), kBlock);
    for (auto _ : state)
    {
        computer.Process(left, right, false);
        benchmark::DoNotOptimize(computer.GetCorrelation());
    }
    PerFrame(state);
}
} // namespace

BENCHMARK(BM_DspChain_Defaults);
BENCHMARK(BM_DspChain_BassFocusOff);
BENCHMARK(BM_Correlation);
