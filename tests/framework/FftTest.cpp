#include "framework/Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
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
