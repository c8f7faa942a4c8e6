// The complex FFT at the sizes the analysis and the convolvers use most, side by side with FFTW
// (double, in place, measured plan) on the same data, so one run gives both figures. Ours works
// on a std::vector as its callers' buffers are, at whatever alignment the allocator gives.

#include "framework/Fft.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <complex>
#include <cstring>
#include <vector>

namespace
{
void FillSignal(std::complex<double>* x, int n)
{
    for (int i = 0; i < n; ++i)
        x[i] = std::complex<double>(i % 7 - 3.0, i % 5 - 2.0);
}

// Unscaled forward transforms grow the data by up to n each time; the signal is restored, untimed,
// often enough that it never overflows into infinities and NaNs.
constexpr int kRefillEvery = 32;

void Refill(benchmark::State& state, std::complex<double>* x, int n, int& count)
{
    if (++count < kRefillEvery)
        return;
    count = 0;
    state.PauseTiming();
    FillSignal(x, n);
    state.ResumeTiming();
}

void SetPerPoint(benchmark::State& state, int n)
{
    state.counters["per_point"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * n,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FftForward(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Fft::Init();
    std::vector<std::complex<double>> x(n);
    FillSignal(x.data(), n);
    int count = 0;
    for (auto _ : state)
    {
        Fft::Forward(x.data(), n);
        benchmark::DoNotOptimize(x.data());
        Refill(state, x.data(), n, count);
    }
    SetPerPoint(state, n);
}

// FFTW's buffer comes from fftw_malloc so that it gets its aligned SIMD paths, as a caller of
// FFTW would arrange. Planning with FFTW_MEASURE overwrites the buffer, so it is filled after.
void BM_FftwForward(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    auto* x = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
    fftw_plan plan = fftw_plan_dft_1d(n, x, x, FFTW_FORWARD, FFTW_MEASURE);
    FillSignal(reinterpret_cast<std::complex<double>*>(x), n);
    int count = 0;
    for (auto _ : state)
    {
        fftw_execute(plan);
        benchmark::DoNotOptimize(x);
        Refill(state, reinterpret_cast<std::complex<double>*>(x), n, count);
    }
    SetPerPoint(state, n);
    fftw_destroy_plan(plan);
    fftw_free(x);
}

// With --benchmark_repetitions, the minimum over the repetitions as well: on a shared machine
// it is the figure least disturbed by other work.
double Min(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}
} // namespace

BENCHMARK(BM_FftForward)->Arg(2048)->Arg(32768)->ComputeStatistics("min", Min);
BENCHMARK(BM_FftwForward)->Arg(2048)->Arg(32768)->ComputeStatistics("min", Min);
