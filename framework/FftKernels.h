#pragma once
// The FFT's butterfly passes on one complex value at a time, kept in a two-lane vector (SSE2 on
// x86-64, plain doubles elsewhere). Internal to the FFT. Data are interleaved (re, im) doubles;
// Inv selects e^(+2πi …) instead of e^(−2πi …).

#include "framework/FftDetail.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARANDEL_FFT_SSE2 1
#endif

namespace fft_detail
{
#if defined(PARANDEL_FFT_SSE2)
struct Pd2
{
    __m128d v;
};
inline Pd2 Load(const double* p)
{
    return {_mm_loadu_pd(p)};
}
inline void Store(double* p, Pd2 a)
{
    _mm_storeu_pd(p, a.v);
}
inline Pd2 Splat(double s)
{
    return {_mm_set1_pd(s)};
}
inline Pd2 operator+(Pd2 a, Pd2 b)
{
    return {_mm_add_pd(a.v, b.v)};
}
inline Pd2 operator-(Pd2 a, Pd2 b)
{
    return {_mm_sub_pd(a.v, b.v)};
}
inline Pd2 operator*(Pd2 a, Pd2 b)
{
    return {_mm_mul_pd(a.v, b.v)};
}
inline Pd2 Swap(Pd2 a)
{
    return {_mm_shuffle_pd(a.v, a.v, 1)};
}
inline Pd2 NegateIm(Pd2 a)
{
    return {_mm_xor_pd(a.v, _mm_set_pd(-0.0, 0.0))};
}
inline Pd2 NegateRe(Pd2 a)
{
    return {_mm_xor_pd(a.v, _mm_set_pd(0.0, -0.0))};
}
#else
struct Pd2
{
    double re, im;
};
inline Pd2 Load(const double* p)
{
    return {p[0], p[1]};
}
inline void Store(double* p, Pd2 a)
{
    p[0] = a.re;
    p[1] = a.im;
}
inline Pd2 Splat(double s)
{
    return {s, s};
}
inline Pd2 operator+(Pd2 a, Pd2 b)
{
    return {a.re + b.re, a.im + b.im};
}
inline Pd2 operator-(Pd2 a, Pd2 b)
{
    return {a.re - b.re, a.im - b.im};
}
inline Pd2 operator*(Pd2 a, Pd2 b)
{
    return {a.re * b.re, a.im * b.im};
}
inline Pd2 Swap(Pd2 a)
{
    return {a.im, a.re};
}
inline Pd2 NegateIm(Pd2 a)
{
    return {a.re, -a.im};
}
inline Pd2 NegateRe(Pd2 a)
{
    return {-a.re, a.im};
}
#endif

// z × (−i) forward, z × (+i) inverse: a quarter turn, exact.
template <bool Inv> inline Pd2 QuarterTurn(Pd2 z)
{
    return Inv ? NegateRe(Swap(z)) : NegateIm(Swap(z));
}

// z × w (forward) or z × conj(w) (inverse), w given as (wr, wr) and (−wi, wi).
template <bool Inv> inline Pd2 Twiddle(Pd2 z, Pd2 wrr, Pd2 wis)
{
    const Pd2 cross = Swap(z) * wis;
    return Inv ? z * wrr - cross : z * wrr + cross;
}

// Natural-order transforms of length 4 and 8, in place on values held in registers. Their
// twiddles are exact constants: quarter turns, and (±1 ± i)/√2 for length 8.
template <bool Inv> inline void Dft4(Pd2* y)
{
    const Pd2 s0 = y[0] + y[2], d0 = y[0] - y[2];
    const Pd2 s1 = y[1] + y[3], d1 = QuarterTurn<Inv>(y[1] - y[3]);
    y[0] = s0 + s1;
    y[2] = s0 - s1;
    y[1] = d0 + d1;
    y[3] = d0 - d1;
}

template <bool Inv> inline void Dft8(Pd2* y)
{
    Pd2 e[4] = {y[0], y[2], y[4], y[6]};
    Pd2 o[4] = {y[1], y[3], y[5], y[7]};
    Dft4<Inv>(e);
    Dft4<Inv>(o);
    const Pd2 half = Splat(0.70710678118654752440); // √½
    const Pd2 t[4] = {o[0], (o[1] + QuarterTurn<Inv>(o[1])) * half, QuarterTurn<Inv>(o[2]),
                      (QuarterTurn<Inv>(o[3]) - o[3]) * half};
    for (int k = 0; k < 4; ++k)
    {
        y[k] = e[k] + t[k];
        y[k + 4] = e[k] - t[k];
    }
}

template <bool Inv, int R> inline void Dft(Pd2* y)
{
    if constexpr (R == 2)
    {
        const Pd2 a = y[0];
        y[0] = a + y[1];
        y[1] = a - y[1];
    }
    else if constexpr (R == 4)
        Dft4<Inv>(y);
    else
        Dft8<Inv>(y);
}

inline int ReverseBits(int v, int bits)
{
    int r = 0;
    for (int k = 0; k < bits; ++k, v >>= 1)
        r = (r << 1) | (v & 1);
    return r;
}

// Small sizes: the bit-reversal permutation by a swap list, then length-R transforms of each R
// consecutive values, which then hold their inputs in bit-reversed order.
template <bool Inv, int R>
inline void PermuteAndFirstPassSmall(double* x, int n,
                                     const std::vector<std::pair<uint16_t, uint16_t>>& swaps)
{
    for (const auto& s : swaps)
    {
        double* a = x + 2 * s.first;
        double* b = x + 2 * s.second;
        const Pd2 t = Load(a);
        Store(a, Load(b));
        Store(b, t);
    }
    const int q = R == 2 ? 1 : R == 4 ? 2 : 3;
    for (int i = 0; i < n; i += R)
    {
        Pd2 y[R];
        for (int l = 0; l < R; ++l)
            y[ReverseBits(l, q)] = Load(x + 2 * (i + l));
        Dft<Inv, R>(y);
        for (int l = 0; l < R; ++l)
            Store(x + 2 * (i + l), y[l]);
    }
}

// The bit-reversal permutation fused with the first pass of length-R transforms, R = 2^q, for
// n = 2^bits with bits ≥ 2q. An index splits into (high q bits h, middle bits m, low q bits l);
// reversal maps (h, m, l) to (rev l, rev m, rev h). So the R values that the first pass turns
// into row (h, m, ·) are column rev h of the R × R block of rows (·, rev m, ·), in natural
// order: blocks m and rev m are exchanged by transforming each one's columns into the other's
// rows. Every access then stays within a few cache lines, unlike a plain swap list.
template <bool Inv, int R> void PermuteAndFirstPass(double* x, int bits)
{
    const int q = R == 2 ? 1 : R == 4 ? 2 : 3;
    const int middleBits = bits - 2 * q;
    const int row = 2 << (bits - q); // row stride (h to h + 1), in doubles
    for (int m = 0; m < (1 << middleBits); ++m)
    {
        const int mr = ReverseBits(m, middleBits);
        if (mr < m)
            continue;
        double* a = x + 2 * R * m;
        double* b = x + 2 * R * mr;
        Pd2 saved[R][R]; // block m, which block rev m's rows overwrite
        for (int t = 0; t < R; ++t)
            for (int c = 0; c < R; ++c)
                saved[t][c] = Load(a + t * row + 2 * c);
        for (int h = 0; h < R && mr != m; ++h)
        {
            const int c = ReverseBits(h, q);
            Pd2 y[R];
            for (int t = 0; t < R; ++t)
                y[t] = Load(b + t * row + 2 * c);
            Dft<Inv, R>(y);
            for (int l = 0; l < R; ++l)
                Store(a + h * row + 2 * l, y[l]);
        }
        for (int h = 0; h < R; ++h)
        {
            const int c = ReverseBits(h, q);
            Pd2 y[R];
            for (int t = 0; t < R; ++t)
                y[t] = saved[t][c];
            Dft<Inv, R>(y);
            for (int l = 0; l < R; ++l)
                Store(b + h * row + 2 * l, y[l]);
        }
    }
}

// One radix-4 butterfly of a decimation-in-time stage: the four values j, j + s, j + 2s, j + 3s
// of a span, from the four length-s transforms held there. w points at j's twiddles.
template <bool Inv>
inline void Butterfly4(double* p0, double* p1, double* p2, double* p3, const double* w)
{
    const Pd2 a = Load(p0);
    const Pd2 b = Twiddle<Inv>(Load(p1), Load(w + 8), Load(w + 12));  // w²
    const Pd2 c = Twiddle<Inv>(Load(p2), Load(w), Load(w + 4));       // w
    const Pd2 d = Twiddle<Inv>(Load(p3), Load(w + 16), Load(w + 20)); // w³
    const Pd2 s0 = a + b, d0 = a - b, s1 = c + d, d1 = QuarterTurn<Inv>(c - d);
    Store(p0, s0 + s1);
    Store(p2, s0 - s1);
    Store(p1, d0 + d1);
    Store(p3, d0 - d1);
}

// A radix-4 stage of the given span (≥ 16) over n values.
template <bool Inv> void Radix4Stage(double* x, int n, int span, const double* tw)
{
    const int s2 = span / 2; // a quarter span, in doubles
    for (int base = 0; base < 2 * n; base += 2 * span)
    {
        double* p = x + base;
        const double* w = tw;
        for (int j = 0; j < s2; j += 4, w += 24)
        {
            Butterfly4<Inv>(p + j, p + j + s2, p + j + 2 * s2, p + j + 3 * s2, w);
            Butterfly4<Inv>(p + j + 2, p + j + 2 + s2, p + j + 2 + 2 * s2, p + j + 2 + 3 * s2,
                            w + 2);
        }
    }
}

inline void ScaleAll(double* x, int n, double s)
{
    const Pd2 f = Splat(s);
    for (int i = 0; i < 2 * n; i += 2)
        Store(x + i, Load(x + i) * f);
}
} // namespace fft_detail
