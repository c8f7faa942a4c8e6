// The FFT's radix-4 stages with AVX2 and FMA: two butterflies per instruction. Compiled for those
// extensions function by function, so the rest of the program stays baseline x86-64; the FFT
// picks these only on processors that report both (framework/FftAvx2.h).

#include "framework/FftAvx2.h"

#include "framework/FftKernels.h"

#if defined(PARANDEL_FFT_AVX2)
#include <immintrin.h>

#define PARANDEL_AVX2 __attribute__((target("avx2,fma")))

namespace fft_detail
{
namespace
{
// Two complex values × their twiddles; Inv conjugates the twiddles.
template <bool Inv> PARANDEL_AVX2 inline __m256d Twiddle2(__m256d z, const double* w)
{
    const __m256d product = _mm256_mul_pd(z, _mm256_load_pd(w));
    const __m256d swapped = _mm256_permute_pd(z, 0x5);
    return Inv ? _mm256_fnmadd_pd(swapped, _mm256_load_pd(w + 4), product)
               : _mm256_fmadd_pd(swapped, _mm256_load_pd(w + 4), product);
}

// Butterflies j and j + 1; w is the pair's twiddle block. With u = c − d swapped to (im, re),
// d0 ∓ i·u and d0 ± i·u are one subtract-add and one add-subtract away (the multiplications by
// one are exact, so both are plain additions).
template <bool Inv>
PARANDEL_AVX2 inline void Butterfly4x2(double* p0, double* p1, double* p2, double* p3,
                                       const double* w)
{
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d a = _mm256_loadu_pd(p0);
    const __m256d b = Twiddle2<Inv>(_mm256_loadu_pd(p1), w + 8);
    const __m256d c = Twiddle2<Inv>(_mm256_loadu_pd(p2), w);
    const __m256d d = Twiddle2<Inv>(_mm256_loadu_pd(p3), w + 16);
    const __m256d s0 = _mm256_add_pd(a, b), d0 = _mm256_sub_pd(a, b);
    const __m256d s1 = _mm256_add_pd(c, d);
    const __m256d u = _mm256_permute_pd(_mm256_sub_pd(c, d), 0x5);
    _mm256_storeu_pd(p0, _mm256_add_pd(s0, s1));
    _mm256_storeu_pd(p2, _mm256_sub_pd(s0, s1));
    const __m256d plus = _mm256_addsub_pd(d0, u);         // (re − u.im, im + u.re) = d0 + i·u
    const __m256d minus = _mm256_fmsubadd_pd(d0, one, u); // (re + u.im, im − u.re) = d0 − i·u
    _mm256_storeu_pd(p1, Inv ? plus : minus);
    _mm256_storeu_pd(p3, Inv ? minus : plus);
}

template <bool Inv> PARANDEL_AVX2 void Stage(double* x, int n, int span, const double* tw)
{
    const int s2 = span / 2; // a quarter span, in doubles
    for (int base = 0; base < 2 * n; base += 2 * span)
    {
        double* p = x + base;
        const double* w = tw;
        for (int j = 0; j < s2; j += 4, w += 24)
            Butterfly4x2<Inv>(p + j, p + j + s2, p + j + 2 * s2, p + j + 3 * s2, w);
    }
}
// A quarter turn of two complex values: × (−i) forward, × (+i) inverse.
template <bool Inv> PARANDEL_AVX2 inline __m256d QuarterTurn2(__m256d z)
{
    const __m256d sign =
        Inv ? _mm256_set_pd(0.0, -0.0, 0.0, -0.0) : _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
    return _mm256_xor_pd(_mm256_permute_pd(z, 0x5), sign);
}

// The natural-order length-4 and length-8 transforms of framework/FftKernels.h, on two
// independent sets of values at once.
template <bool Inv> PARANDEL_AVX2 inline void Dft4x2(__m256d* y)
{
    const __m256d s0 = _mm256_add_pd(y[0], y[2]), d0 = _mm256_sub_pd(y[0], y[2]);
    const __m256d s1 = _mm256_add_pd(y[1], y[3]);
    const __m256d d1 = QuarterTurn2<Inv>(_mm256_sub_pd(y[1], y[3]));
    y[0] = _mm256_add_pd(s0, s1);
    y[2] = _mm256_sub_pd(s0, s1);
    y[1] = _mm256_add_pd(d0, d1);
    y[3] = _mm256_sub_pd(d0, d1);
}

template <bool Inv> PARANDEL_AVX2 inline void Dft8x2(__m256d* y)
{
    __m256d e[4] = {y[0], y[2], y[4], y[6]};
    __m256d o[4] = {y[1], y[3], y[5], y[7]};
    Dft4x2<Inv>(e);
    Dft4x2<Inv>(o);
    const __m256d half = _mm256_set1_pd(0.70710678118654752440); // √½
    const __m256d t[4] = {o[0], _mm256_mul_pd(_mm256_add_pd(o[1], QuarterTurn2<Inv>(o[1])), half),
                          QuarterTurn2<Inv>(o[2]),
                          _mm256_mul_pd(_mm256_sub_pd(QuarterTurn2<Inv>(o[3]), o[3]), half)};
    for (int k = 0; k < 4; ++k)
    {
        y[k] = _mm256_add_pd(e[k], t[k]);
        y[k + 4] = _mm256_sub_pd(e[k], t[k]);
    }
}

template <int R> constexpr int ReverseLow(int v)
{
    return R == 4 ? ((v & 1) << 1) | (v >> 1) : ((v & 1) << 2) | (v & 2) | (v >> 2);
}

// Rows h and h + R/2 of a block from columns rev h and rev h + 1 of the source block, whose
// rows are `row` doubles apart (see PermuteAndFirstPass in framework/FftKernels.h).
template <bool Inv, int R>
PARANDEL_AVX2 inline void ColumnsToRows(double* out, const __m256d (&src)[R][R / 2], int row, int h)
{
    __m256d y[R];
    for (int t = 0; t < R; ++t)
        y[t] = src[t][ReverseLow<R>(h) / 2];
    if constexpr (R == 4)
        Dft4x2<Inv>(y);
    else
        Dft8x2<Inv>(y);
    for (int l = 0; l < R; l += 2)
    {
        _mm256_storeu_pd(out + h * row + 2 * l, _mm256_permute2f128_pd(y[l], y[l + 1], 0x20));
        _mm256_storeu_pd(out + (h + R / 2) * row + 2 * l,
                         _mm256_permute2f128_pd(y[l], y[l + 1], 0x31));
    }
}

template <bool Inv, int R>
PARANDEL_AVX2 inline void LoadBlock(__m256d (&block)[R][R / 2], const double* p, int row)
{
    for (int t = 0; t < R; ++t)
        for (int c = 0; c < R / 2; ++c)
            block[t][c] = _mm256_loadu_pd(p + t * row + 4 * c);
}

template <bool Inv, int R> PARANDEL_AVX2 void PermuteAndFirstPass2(double* x, int bits)
{
    const int q = R == 4 ? 2 : 3;
    const int middleBits = bits - 2 * q;
    const int row = 2 << (bits - q);
    for (int m = 0; m < (1 << middleBits); ++m)
    {
        const int mr = ReverseBits(m, middleBits);
        if (mr < m)
            continue;
        double* a = x + 2 * R * m;
        double* b = x + 2 * R * mr;
        __m256d blockA[R][R / 2], blockB[R][R / 2];
        LoadBlock<Inv, R>(blockA, a, row);
        LoadBlock<Inv, R>(blockB, b, row);
        for (int h = 0; h < R / 2; ++h)
        {
            ColumnsToRows<Inv, R>(a, blockB, row, h);
            if (mr != m)
                ColumnsToRows<Inv, R>(b, blockA, row, h);
        }
    }
}
} // namespace

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return has;
}

void PermuteAndFirstPassAvx2(double* x, int bits, int radix, bool inverse)
{
    if (radix == 4)
        inverse ? PermuteAndFirstPass2<true, 4>(x, bits) : PermuteAndFirstPass2<false, 4>(x, bits);
    else
        inverse ? PermuteAndFirstPass2<true, 8>(x, bits) : PermuteAndFirstPass2<false, 8>(x, bits);
}

void Radix4StageAvx2(double* x, int n, int span, const double* tw, bool inverse)
{
    if (inverse)
        Stage<true>(x, n, span, tw);
    else
        Stage<false>(x, n, span, tw);
}
} // namespace fft_detail

#endif
