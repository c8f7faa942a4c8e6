// The complex FFT at the sizes the analysis and the convolvers use most.

#include "framework/Fft.h"

#include <benchmark/benchmark.h>

#include <complex>
#include <vector>

namespace
{
void BM_FftForward(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Fft::Init();
    std::vector<std::complex<double>> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = std::complex<double>(i % 7 - 3.0, i % 5 - 2.0);
    for (auto _ : state)
    {
        Fft::Forward(x.data(), n);
        benchmark::DoNotOptimize(x.data());
    }
    state.counters["per_point"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * n,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace

BENCHMARK(BM_FftForward)->Arg(2048)->Arg(32768);
