#include "framework/Fft.h"
#include "framework/FftDetail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

namespace
{
using Complex = std::complex<double>;

// Direct O(N²) DFT with the given exponent sign, accumulated in long double over a table of the
// n-th roots of unity (k·j is reduced mod n so every angle is exact).
std::vector<Complex> NaiveDft(const std::vector<Complex>& x, int sign)
{
    const int n = static_cast<int>(x.size());
    const long double twoPi = 6.283185307179586476925286766559L;
    std::vector<long double> c(n), s(n);
    for (int j = 0; j < n; ++j)
    {
        c[j] = std::cos(twoPi * j / n);
        s[j] = sign * std::sin(twoPi * j / n);
    }
    std::vector<Complex> out(n);
    for (int k = 0; k < n; ++k)
    {
        long double re = 0, im = 0;
        for (int j = 0; j < n; ++j)
        {
            const int r = static_cast<int>((static_cast<long long>(k) * j) % n);
            re += x[j].real() * c[r] - x[j].imag() * s[r];
            im += x[j].real() * s[r] + x[j].imag() * c[r];
        }
        out[k] = Complex(static_cast<double>(re), static_cast<double>(im));
    }
    return out;
}

std::vector<Complex> RandomSignal(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<Complex> x(n);
    for (auto& v : x)
        v = Complex(d(rng), d(rng));
    return x;
}

double MaxAbs(const std::vector<Complex>& x)
{
    double m = 0;
    for (const auto& v : x)
        m = std::max(m, std::abs(v));
    return m;
}
} // namespace

TEST(Fft, MatchesNaiveDftAtEverySizeUpTo4096)
{
    const unsigned seed = 1234;
    for (int n = 2; n <= 4096; n *= 2)
    {
        const auto x = RandomSignal(n, seed + n);
        auto fwd = x;
        ASSERT_TRUE(Fft::Forward(fwd.data(), n));
        auto inv = x;
        ASSERT_TRUE(Fft::Inverse(inv.data(), n));
        const auto refFwd = NaiveDft(x, -1);
        const auto refInv = NaiveDft(x, +1);
        const double peakF = MaxAbs(refFwd), peakI = MaxAbs(refInv);
        for (int k = 0; k < n; ++k)
        {
            ASSERT_LE(std::abs(fwd[k] - refFwd[k]), 1e-12 * peakF)
                << "forward n=" << n << " k=" << k << " seed=" << seed + n;
            ASSERT_LE(std::abs(inv[k] - refInv[k]), 1e-12 * peakI)
                << "inverse n=" << n << " k=" << k << " seed=" << seed + n;
        }
    }
}

TEST(Fft, KnownTransformsAtLargeSizes)
{
    for (int n = 8192; n <= Fft::kMaxSize; n *= 2)
    {
        // A complex exponential at bin b transforms to n at bin b and zero elsewhere.
        const int bin = n / 3 + 7;
        std::vector<Complex> x(n);
        const long double twoPi = 6.283185307179586476925286766559L;
        for (int j = 0; j < n; ++j)
        {
            const long double a = twoPi * ((static_cast<long long>(bin) * j) % n) / n;
            x[j] = Complex(static_cast<double>(std::cos(a)), static_cast<double>(std::sin(a)));
        }
        ASSERT_TRUE(Fft::Forward(x.data(), n));
        for (int k = 0; k < n; ++k)
        {
            const Complex expected = k == bin ? Complex(n, 0) : Complex(0, 0);
            ASSERT_LE(std::abs(x[k] - expected), 1e-12 * n) << "n=" << n << " k=" << k;
        }

        // An impulse at position p transforms to e^(-2πi k p / n), magnitude 1 everywhere.
        std::vector<Complex> d(n);
        d[5] = 1.0;
        ASSERT_TRUE(Fft::Forward(d.data(), n));
        for (int k = 0; k < n; k += 97)
        {
            const long double a = -twoPi * ((5LL * k) % n) / n;
            const Complex expected(static_cast<double>(std::cos(a)),
                                   static_cast<double>(std::sin(a)));
            ASSERT_LE(std::abs(d[k] - expected), 1e-12) << "n=" << n << " k=" << k;
        }
    }
}

TEST(Fft, ScaledRoundTripRestoresTheSignal)
{
    for (int n : {2, 64, 32768})
    {
        const auto x = RandomSignal(n, 99);
        auto y = x;
        Fft::Forward(y.data(), n);
        Fft::Inverse(y.data(), n, FftScale::ByLength);
        for (int k = 0; k < n; ++k)
            ASSERT_LE(std::abs(y[k] - x[k]), 1e-12) << "n=" << n << " k=" << k;

        // Forward scaled by 1/N: the DC bin of a constant is the constant itself.
        std::vector<Complex> c(n, Complex(0.25, 0));
        Fft::Forward(c.data(), n, FftScale::ByLength);
        EXPECT_NEAR(c[0].real(), 0.25, 1e-15) << "n=" << n;
    }
}

TEST(Fft, RejectsSizesOutsideTheTables)
{
    std::vector<Complex> x(65536, Complex(1, 0));
    for (int n : {0, 1, 3, 12, 65536, -4})
    {
        EXPECT_FALSE(Fft::Forward(x.data(), n)) << "n=" << n;
        EXPECT_FALSE(Fft::Inverse(x.data(), n)) << "n=" << n;
    }
    EXPECT_EQ(x[0], Complex(1, 0));
}

TEST(Fft, InterleavedFormIsTheSameTransform)
{
    const int n = 256;
    const auto x = RandomSignal(n, 7);
    std::vector<double> inter(2 * n);
    for (int k = 0; k < n; ++k)
    {
        inter[2 * k] = x[k].real();
        inter[2 * k + 1] = x[k].imag();
    }
    auto y = x;
    Fft::Forward(y.data(), n);
    Fft::Forward(inter.data(), n);
    for (int k = 0; k < n; ++k)
    {
        EXPECT_EQ(inter[2 * k], y[k].real());
        EXPECT_EQ(inter[2 * k + 1], y[k].imag());
    }
}

namespace
{
// The exact DFT (sign −1 forward, +1 inverse) at the given bins only, in long double.
std::vector<std::complex<long double>> NaiveDftAt(const std::vector<Complex>& x, int sign,
                                                  const std::vector<int>& bins)
{
    const int n = static_cast<int>(x.size());
    const long double twoPi = 6.283185307179586476925286766559L;
    std::vector<long double> c(n), s(n);
    for (int j = 0; j < n; ++j)
    {
        c[j] = std::cos(twoPi * j / n);
        s[j] = sign * std::sin(twoPi * j / n);
    }
    std::vector<std::complex<long double>> out;
    for (int k : bins)
    {
        long double re = 0, im = 0;
        for (int j = 0, r = 0; j < n; ++j, r = (r + k) % n)
        {
            re += x[j].real() * c[r] - x[j].imag() * s[r];
            im += x[j].real() * s[r] + x[j].imag() * c[r];
        }
        out.emplace_back(re, im);
    }
    return out;
}

// Every bin up to 4096 points; above, the edges and a spread of bins between them.
std::vector<int> CheckedBins(int n)
{
    std::vector<int> bins;
    const int step = n <= 4096 ? 1 : 251;
    for (int k = 0; k < n; k += step)
        bins.push_back(k);
    if (step > 1)
        for (int k : {1, n / 2 - 1, n / 2, n / 2 + 1, n - 1})
            bins.push_back(k);
    return bins;
}

const char* PathName(fft_detail::StagePath p)
{
    return p == fft_detail::StagePath::Avx2 ? "avx2" : "portable";
}
} // namespace

// The largest error over the checked bins, relative to the exact output's peak, must stay at
// rounding level for a random signal: a wrong or single-precision twiddle, a misplaced value or
// a lost sign shows up many orders of magnitude above it. Scaling by 1/N is exact (a power of
// two), so the scaled result must be the unscaled one times 1/N bit for bit.
TEST(Fft, EveryStagePathMatchesTheExactDftToRounding)
{
    using fft_detail::StagePath;
    const double tolerance = 5e-16;
    for (int n = 2; n <= Fft::kMaxSize; n *= 2)
    {
        const auto x = RandomSignal(n, 4321u + n);
        const auto bins = CheckedBins(n);
        for (bool inverse : {false, true})
        {
            const auto ref = NaiveDftAt(x, inverse ? +1 : -1, bins);
            long double peak = 0;
            for (const auto& r : ref)
                peak = std::max(peak, std::abs(r));
            for (StagePath path : {StagePath::Portable, StagePath::Avx2})
            {
                if (!fft_detail::HasStagePath(path))
                    continue;
                auto y = x, scaled = x;
                fft_detail::Transform(reinterpret_cast<double*>(y.data()), n, inverse,
                                      FftScale::None, path);
                fft_detail::Transform(reinterpret_cast<double*>(scaled.data()), n, inverse,
                                      FftScale::ByLength, path);
                long double worst = 0;
                for (size_t i = 0; i < bins.size(); ++i)
                {
                    const Complex v = y[bins[i]];
                    worst = std::max(worst, std::abs(std::complex<long double>(v) - ref[i]));
                }
                EXPECT_LE(worst / peak, tolerance)
                    << "n=" << n << " inverse=" << inverse << " path=" << PathName(path);
                for (int k = 0; k < n; ++k)
                    ASSERT_EQ(scaled[k], y[k] * (1.0 / n)) << "n=" << n << " k=" << k;
            }
        }
    }
}

// The vector code loads and stores without alignment requirements: data that start 16 bytes
// past a 32-byte boundary transform exactly as aligned data do, on every path.
TEST(Fft, ResultDoesNotDependOnAlignment)
{
    using fft_detail::StagePath;
    for (int n : {16, 2048, 32768})
    {
        const auto x = RandomSignal(n, 5u);
        std::vector<double> buffer(2 * n + 8);
        double* aligned = buffer.data();
        while (reinterpret_cast<uintptr_t>(aligned) % 32 != 0)
            ++aligned;
        double* offset = aligned + 2;
        for (StagePath path : {StagePath::Portable, StagePath::Avx2})
        {
            if (!fft_detail::HasStagePath(path))
                continue;
            std::vector<double> results[2];
            for (double* p : {aligned, offset})
            {
                std::copy_n(reinterpret_cast<const double*>(x.data()), 2 * n, p);
                fft_detail::Transform(p, n, false, FftScale::None, path);
                results[p == offset].assign(p, p + 2 * n);
            }
            EXPECT_EQ(results[0], results[1]) << "n=" << n << " path=" << PathName(path);
        }
    }
}
