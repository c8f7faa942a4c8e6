#include "framework/Fft.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace
{
using Complex = std::complex<double>;

constexpr int kMaxLog2 = 15; // 32768

// Tables for every size: the bit-reversal swap list and e^(−2πi j / L) for j < L / 2, so each
// butterfly stage of span L reads its twiddles contiguously.
struct Tables
{
    std::vector<Complex> twiddles[kMaxLog2 + 1];
    std::vector<std::pair<uint16_t, uint16_t>> swaps[kMaxLog2 + 1];

    Tables()
    {
        const double twoPi = 6.283185307179586;
        for (int b = 1; b <= kMaxLog2; ++b)
        {
            const int n = 1 << b;
            twiddles[b].resize(n / 2);
            for (int j = 0; j < n / 2; ++j)
            {
                const double a = twoPi * j / n;
                twiddles[b][j] = Complex(std::cos(a), -std::sin(a));
            }
            for (int i = 0; i < n; ++i)
            {
                int r = 0;
                for (int k = 0; k < b; ++k)
                    r |= ((i >> k) & 1) << (b - 1 - k);
                if (r > i)
                    swaps[b].emplace_back(static_cast<uint16_t>(i), static_cast<uint16_t>(r));
            }
        }
    }
};

const Tables& GetTables()
{
    static const Tables tables; // built once per process, thread-safe initialisation
    return tables;
}

int Log2(int n)
{
    int b = 0;
    while ((1 << b) < n)
        ++b;
    return b;
}

template <bool Inverse> void Transform(Complex* x, int n, FftScale scale)
{
    const Tables& t = GetTables();
    const int bits = Log2(n);
    for (const auto& s : t.swaps[bits])
        std::swap(x[s.first], x[s.second]);

    // Span-2 stage needs no multiplication.
    for (int i = 0; i < n; i += 2)
    {
        const Complex a = x[i], b = x[i + 1];
        x[i] = a + b;
        x[i + 1] = a - b;
    }
    for (int b = 2; b <= bits; ++b)
    {
        const int span = 1 << b;
        const int half = span >> 1;
        const Complex* w = t.twiddles[b].data();
        for (int start = 0; start < n; start += span)
        {
            Complex* lo = x + start;
            Complex* hi = lo + half;
            for (int j = 0; j < half; ++j)
            {
                const Complex wj = Inverse ? std::conj(w[j]) : w[j];
                const double re = hi[j].real() * wj.real() - hi[j].imag() * wj.imag();
                const double im = hi[j].real() * wj.imag() + hi[j].imag() * wj.real();
                const Complex p(re, im);
                hi[j] = lo[j] - p;
                lo[j] += p;
            }
        }
    }
    if (scale == FftScale::ByLength)
    {
        const double s = 1.0 / n;
        for (int i = 0; i < n; ++i)
            x[i] *= s;
    }
}
} // namespace

void Fft::Init()
{
    GetTables();
}

bool Fft::IsValidSize(int n)
{
    return n >= kMinSize && n <= kMaxSize && (n & (n - 1)) == 0;
}

bool Fft::Forward(Complex* data, int n, FftScale scale)
{
    if (!IsValidSize(n))
        return false;
    Transform<false>(data, n, scale);
    return true;
}

bool Fft::Inverse(Complex* data, int n, FftScale scale)
{
    if (!IsValidSize(n))
        return false;
    Transform<true>(data, n, scale);
    return true;
}

// std::complex<double> is layout-compatible with double[2], so interleaved arrays are viewed as
// complex arrays directly.
bool Fft::Forward(double* interleaved, int n, FftScale scale)
{
    return Forward(reinterpret_cast<Complex*>(interleaved), n, scale);
}

bool Fft::Inverse(double* interleaved, int n, FftScale scale)
{
    return Inverse(reinterpret_cast<Complex*>(interleaved), n, scale);
}
