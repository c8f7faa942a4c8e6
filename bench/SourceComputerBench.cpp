// Metering costs per 512-sample audio block at 44.1 kHz: the SOURCE analysis with the
// vectorscope's full 4096-sample window (eight frames of 2048 and two analyses per block), and
// the correlation measure. "budget%" is the CPU time per block as a share of the block's duration
// (512 / 44100 s ≈ 11.6 ms).

#include "framework/MathConstants.h"
#include "metering/FftProcessObj16.h"
#include "metering/SourceComputer.h"
#include "metering/TWCorrelationComputer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace
{
constexpr double kSampleRateHz = 44100.0;
constexpr int kBlockSize = 512;
constexpr int kHistorySize = 4096;
constexpr double kBlockSeconds = kBlockSize / kSampleRateHz;

// Decorrelated stereo: two sines plus a little pseudo-random noise.
void FillStereo(SampleBuffer& left, SampleBuffer& right, int n)
{
    left.Resize(n);
    right.Resize(n);
    unsigned seed = 1;
    for (int i = 0; i < n; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        const double noise = ((seed >> 8) / 16777216.0 - 0.5) * 0.05;
        left[i] = 0.5 * std::sin(kTwoPi * 440.0 * i / kSampleRateHz) + noise;
        right[i] = 0.4 * std::sin(kTwoPi * 660.0 * i / kSampleRateHz + 0.3) - noise;
    }
}

// CPU time of this thread, as the CPU column measures it.
double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void ReportBudget(benchmark::State& state, double cpuSeconds)
{
    const double iterations =
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["budget%"] = 100.0 * cpuSeconds / iterations / kBlockSeconds;
}

void BM_SourceComputerBlock(benchmark::State& state)
{
    SourceComputer computer(kSampleRateHz);
    SampleBuffer left, right, x, y;
    FillStereo(left, right, kHistorySize);
    computer.ComputePoints(left, right, x, y); // past the first analysis
    const double start = ThreadCpuSeconds();
    for (auto _ : state)
    {
        computer.ComputePoints(left, right, x, y);
        benchmark::DoNotOptimize(x.Get());
        benchmark::ClobberMemory();
    }
    ReportBudget(state, ThreadCpuSeconds() - start);
}
BENCHMARK(BM_SourceComputerBlock)->Unit(benchmark::kMicrosecond);

// The frame processor alone, set up as the source computer sets it up but without the analysis
// hook: the framing, windowing and transform share of the figure above.
void BM_SourceFramesOnlyBlock(benchmark::State& state)
{
    const WDL_PtrList<ProcessObj> noProcessObjs;
    FftProcessObj16 frames(noProcessObjs, 2, 0, SourceComputer::kBufferSize,
                           SourceComputer::kOverlap, kSampleRateHz, SourceComputer::kOversampling);
    frames.SetSkipIFft(-1, true);
    frames.SetAnalysisWindow(-1, WindowType::Hann);
    frames.SetSynthesisWindow(-1, WindowType::Hann);
    ChannelList in, sc, out;
    SampleBuffer left, right;
    FillStereo(left, right, kHistorySize);
    in.Add(left);
    in.Add(right);
    out.CopyFrom(in);
    frames.Process(in, sc, &out);
    const double start = ThreadCpuSeconds();
    for (auto _ : state)
    {
        frames.Process(in, sc, &out);
        benchmark::ClobberMemory();
    }
    ReportBudget(state, ThreadCpuSeconds() - start);
}
BENCHMARK(BM_SourceFramesOnlyBlock)->Unit(benchmark::kMicrosecond);

void BM_CorrelationBlock(benchmark::State& state)
{
    TWCorrelationComputer computer(0, kSampleRateHz, 500.0);
    SampleBuffer left, right;
    FillStereo(left, right, kBlockSize);
    const double start = ThreadCpuSeconds();
    for (auto _ : state)
    {
        computer.Process(left, right, false);
        benchmark::DoNotOptimize(computer.GetCorrelation());
    }
    ReportBudget(state, ThreadCpuSeconds() - start);
}
BENCHMARK(BM_CorrelationBlock)->Unit(benchmark::kMicrosecond);
} // namespace
