// Cost of the mono-to-stereo generator per host block of 512 samples.

#include "engine/PseudoStereoObj2.h"
#include "framework/ChannelList.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
void BM_PseudoStereoObj2(benchmark::State& state)
{
    constexpr int kBlock = 512;
    const double rate = static_cast<double>(state.range(0));
    PseudoStereoObj2 g(rate, 1.0);
    g.Reset(kBlock, rate);

    std::mt19937 rng(99);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> l(kBlock), r(kBlock);
    for (int k = 0; k < kBlock; ++k)
    {
        l[k] = dist(rng);
        r[k] = dist(rng);
    }
    ChannelList list;
    list.Reserve(kBlock);
    for (auto _ : state)
    {
        // Refilling the list (two copies of 512 samples) is part of every measured block.
        list.Clear();
        list.Add(l.data(), kBlock);
        list.Add(r.data(), kBlock);
        g.Process(list);
        benchmark::DoNotOptimize(list[0].Get());
    }
    state.counters["response_length"] = g.GetResponseLength();
    state.counters["s_per_sample"] = benchmark::Counter(
        kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PseudoStereoObj2)
    ->ArgName("rate")
    ->Arg(44100)
    ->Arg(48000)
    ->Arg(96000)
    ->Unit(benchmark::kMicrosecond);
} // namespace
