// Vectorscope cost per processed block: AddSamples on 512-sample stereo blocks with a full
// 4096-sample history, in each display mode, with its five graphs attached as in the editor.
// "budget%" is the CPU time per block as a share of the block's duration at 44.1 kHz (512 / 44100 s
// ≈ 11.6 ms).

#include "framework/ChannelList.h"
#include "framework/MathConstants.h"
#include "graph/GraphControl10.h"
#include "metering/TWVectorscope.h"
#include "metering/TWVectorscopePlug.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

namespace
{
constexpr double kSampleRateHz = 44100.0;
constexpr int kBlockSize = 512;
constexpr double kBlockSeconds = kBlockSize / kSampleRateHz;

// CPU time of this thread, as the CPU column measures it.
double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

class IdlePlug : public TWVectorscopePlug
{
public:
    void SetPan(double) override {}
    void AddPan(double) override {}
    void AddWidth(double) override {}
};

void BM_VectorscopeAddSamples(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    IdlePlug plug;
    TWVectorscope scope(&plug, kSampleRateHz);
    std::vector<std::unique_ptr<GraphControl10>> graphs;
    for (int i = 0; i < TWVectorscope::kNumModes; ++i)
        graphs.emplace_back(new GraphControl10(nullptr, IRECT(0, 0, 400, 200), -1,
                                               TWVectorscope::GetNumCurves(i),
                                               TWVectorscope::GetNumCurveValues(i), ""));
    scope.SetGraphs(graphs[0].get(), graphs[1].get(), graphs[2].get(), graphs[3].get(),
                    graphs[4].get());
    scope.SetMode(mode);

    // Decorrelated stereo: two sines of different frequency and phase plus a little offset noise.
    ChannelList block;
    block.Add(nullptr, kBlockSize);
    block.Add(nullptr, kBlockSize);
    unsigned seed = 1;
    for (int i = 0; i < kBlockSize; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        const double noise = ((seed >> 8) / 16777216.0 - 0.5) * 0.05;
        block[0][i] = 0.5 * std::sin(2.0 * kPi * 440.0 * i / kSampleRateHz) + noise;
        block[1][i] = 0.4 * std::sin(2.0 * kPi * 660.0 * i / kSampleRateHz + 0.3) - noise;
    }
    for (int i = 0; i < 2 * TWVectorscope::kHistorySize / kBlockSize; ++i)
        scope.AddSamples(block);

    const double startSeconds = ThreadCpuSeconds();
    for (auto _ : state)
    {
        scope.AddSamples(block);
        benchmark::ClobberMemory();
    }
    const double perBlockSeconds =
        (ThreadCpuSeconds() - startSeconds) / static_cast<double>(state.iterations());
    state.counters["budget%"] = 100.0 * perBlockSeconds / kBlockSeconds;
    const char* names[] = {"polar", "lissajous", "flame", "grid", "source"};
    state.SetLabel(names[mode]);
}
} // namespace

BENCHMARK(BM_VectorscopeAddSamples)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);
