// Cost of the real-time convolver per sample against a direct time-domain convolution and one
// whole-signal FFT convolution, and the evenness of its per-block cost.

#include "engine/ConvolutionManager.h"
#include "engine/FastRTConvolver2.h"
#include "framework/Fft.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
using Complex = std::complex<double>;
constexpr unsigned kSeed = 1234;

std::vector<double> RandomSignal(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v)
        x = dist(rng);
    return v;
}

// Written out: the library's complex product also checks for infinities, which would make the
// baseline look slower than it is.
Complex Multiply(Complex a, Complex b)
{
    return Complex(a.real() * b.real() - a.imag() * b.imag(),
                   a.real() * b.imag() + a.imag() * b.real());
}

SampleBuffer ToBuffer(const std::vector<double>& v)
{
    SampleBuffer b;
    b.Set(v.data(), static_cast<int>(v.size()));
    return b;
}

// Seconds per processed sample, shown with an SI prefix (n = nanoseconds).
benchmark::Counter PerSample(double samplesPerIteration)
{
    return benchmark::Counter(samplesPerIteration, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_FastRTConvolver2(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const int length = static_cast<int>(state.range(1));
    FastRTConvolver2 c(block, ToBuffer(RandomSignal(length, kSeed)), ConvolverMode::Convolve);
    constexpr int kBlocksPerIteration = 64;
    const std::vector<double> x = RandomSignal(block * kBlocksPerIteration, kSeed + 1);
    SampleBuffer in, out;
    for (auto _ : state)
    {
        for (int i = 0; i < kBlocksPerIteration; ++i)
        {
            in.Set(x.data() + i * block, block, false);
            c.Process(in, out);
        }
        benchmark::DoNotOptimize(out.Get());
    }
    state.counters["s_per_sample"] = PerSample(block * kBlocksPerIteration);
}
BENCHMARK(BM_FastRTConvolver2)
    ->ArgNames({"B", "n"})
    ->ArgsProduct({{64, 256, 512}, {2048, 32768}})
    ->Unit(benchmark::kMicrosecond);

// Direct convolution in blocks of B: y[t] = Σ h[k] x[t − k] over a history of n − 1 + B samples.
void BM_DirectConvolution(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const int length = static_cast<int>(state.range(1));
    const std::vector<double> h = RandomSignal(length, kSeed);
    const std::vector<double> x = RandomSignal(block, kSeed + 1);
    std::vector<double> history(length - 1 + block, 0.0), y(block);
    for (auto _ : state)
    {
        std::memmove(history.data(), history.data() + block, sizeof(double) * (length - 1));
        std::copy(x.begin(), x.end(), history.begin() + length - 1);
        for (int t = 0; t < block; ++t)
        {
            // history[length − 1 + t − k] is x[t − k]
            const double* past = history.data() + t;
            double sum = 0.0;
            for (int k = 0; k < length; ++k)
                sum += h[k] * past[length - 1 - k];
            y[t] = sum;
        }
        benchmark::DoNotOptimize(y.data());
    }
    state.counters["s_per_sample"] = PerSample(block);
}
BENCHMARK(BM_DirectConvolution)
    ->ArgNames({"B", "n"})
    ->ArgsProduct({{512}, {2048, 32768}})
    ->Unit(benchmark::kMicrosecond);

// Transform of size 2h (h ≤ the FFT's largest size) built from one radix-2 decimation-in-
// frequency stage and two transforms of size h, leaving the even bins in the first half and the
// odd bins in the second: enough for pointwise products, which do not care about bin order.
class SplitTransform
{
public:
    explicit SplitTransform(int size) : mHalf(size / 2), mTwiddles(size / 2)
    {
        const double twoPi = 6.283185307179586;
        for (int n = 0; n < mHalf; ++n)
            mTwiddles[n] = std::polar(1.0, -twoPi * n / size);
    }
    void Forward(Complex* x) const
    {
        for (int n = 0; n < mHalf; ++n)
        {
            const Complex a = x[n], b = x[n + mHalf];
            x[n] = a + b;
            x[n + mHalf] = Multiply(a - b, mTwiddles[n]);
        }
        Fft::Forward(x, mHalf);
        Fft::Forward(x + mHalf, mHalf);
    }
    // Unscaled inverse.
    void Inverse(Complex* x) const
    {
        Fft::Inverse(x, mHalf);
        Fft::Inverse(x + mHalf, mHalf);
        for (int n = 0; n < mHalf; ++n)
        {
            const Complex a = x[n], b = Multiply(x[n + mHalf], std::conj(mTwiddles[n]));
            x[n] = a + b;
            x[n + mHalf] = a - b;
        }
    }

private:
    int mHalf;
    std::vector<Complex> mTwiddles;
};

// The whole signal convolved at once: one transform of size M ≥ signal + response − 1, with the
// response's transform computed ahead. Reported per input sample.
void BM_WholeSignalFftConvolution(benchmark::State& state)
{
    const int length = static_cast<int>(state.range(0));
    const int size = 2 * Fft::kMaxSize;
    const int signal = size - length + 1;
    const SplitTransform transform(size);

    std::vector<Complex> response(size);
    const std::vector<double> h = RandomSignal(length, kSeed);
    for (int n = 0; n < length; ++n)
        response[n] = h[n] / size;
    transform.Forward(response.data());

    const std::vector<double> x = RandomSignal(signal, kSeed + 1);
    std::vector<Complex> work(size);
    for (auto _ : state)
    {
        for (int n = 0; n < signal; ++n)
            work[n] = x[n];
        std::fill(work.begin() + signal, work.end(), Complex());
        transform.Forward(work.data());
        for (int k = 0; k < size; ++k)
            work[k] = Multiply(work[k], response[k]);
        transform.Inverse(work.data());
        benchmark::DoNotOptimize(work.data());
    }
    state.counters["s_per_sample"] = PerSample(signal);
}
BENCHMARK(BM_WholeSignalFftConvolution)
    ->ArgNames({"n"})
    ->Arg(2048)
    ->Arg(32768)
    ->Unit(benchmark::kMicrosecond);

// Each block timed on its own: the average per phase of the tail's four-block cycle, the worst of
// those against their mean (1 = perfectly even), the same for per-phase medians, and the 90th and
// 99th percentiles and the slowest of the last 65536 blocks against the mean (these include
// whatever else the machine did meanwhile).
void BM_ConvolverBlockEvenness(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const int length = static_cast<int>(state.range(1));
    const std::vector<double> h = RandomSignal(length, kSeed);
    ConvolutionManager m(h.data(), length, block);
    constexpr int kBlocksPerIteration = 256;
    const std::vector<double> x = RandomSignal(block * kBlocksPerIteration, kSeed + 1);
    std::vector<double> y(block);

    double phaseSeconds[4] = {};
    long phaseCount[4] = {};
    // The most recent block times, kept in a ring sized ahead so that recording never allocates.
    constexpr size_t kKeptBlocks = 1 << 16;
    std::vector<double> recent(kKeptBlocks);
    size_t recorded = 0;
    int phase = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kBlocksPerIteration; ++i)
        {
            const auto t0 = std::chrono::steady_clock::now();
            m.ProcessBlock(x.data() + i * block, y.data());
            const auto t1 = std::chrono::steady_clock::now();
            const double s = std::chrono::duration<double>(t1 - t0).count();
            phaseSeconds[phase] += s;
            ++phaseCount[phase];
            recent[recorded++ % kKeptBlocks] = s;
            phase = (phase + 1) % 4;
        }
        benchmark::DoNotOptimize(y.data());
    }
    double mean = 0.0, worstPhase = 0.0;
    for (int p = 0; p < 4; ++p)
    {
        const double avg = phaseCount[p] ? phaseSeconds[p] / phaseCount[p] : 0.0;
        state.counters["phase" + std::to_string(p) + "_s"] = avg;
        mean += avg / 4;
        worstPhase = std::max(worstPhase, avg);
    }
    if (mean > 0.0 && recorded > 0)
    {
        state.counters["worst_phase_over_mean"] = worstPhase / mean;
        recent.resize(std::min(recorded, kKeptBlocks));
        // Medians per phase (ring slot i held a block of phase i % 4) ignore the interruptions.
        double medians[4], medianMean = 0.0, worstMedian = 0.0;
        for (int p = 0; p < 4; ++p)
        {
            std::vector<double> times;
            for (size_t i = p; i < recent.size(); i += 4)
                times.push_back(recent[i]);
            std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
            medians[p] = times.empty() ? 0.0 : times[times.size() / 2];
            medianMean += medians[p] / 4;
            worstMedian = std::max(worstMedian, medians[p]);
        }
        if (medianMean > 0.0)
            state.counters["worst_phase_median_over_mean"] = worstMedian / medianMean;
        std::sort(recent.begin(), recent.end());
        state.counters["p90_block_over_mean"] = recent[recent.size() * 9 / 10] / mean;
        state.counters["p99_block_over_mean"] = recent[recent.size() * 99 / 100] / mean;
        state.counters["max_block_over_mean"] = recent.back() / mean;
    }
}
BENCHMARK(BM_ConvolverBlockEvenness)
    ->ArgNames({"B", "n"})
    ->Args({64, 32768})
    ->Args({512, 32768})
    ->Unit(benchmark::kMicrosecond);
} // namespace
