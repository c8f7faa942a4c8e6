// Decimation in time: the bit-reversal permutation fused with one pass of length-2, -4 or -8
// transforms (whichever leaves an even number of binary digits), then radix-4 stages. Sizes above
// kBlockSize first run their early stages block by block, so each block's stages work within the
// first-level cache, and then the remaining stages over the whole array.

#include "framework/Fft.h"

#include "framework/FftAvx2.h"
#include "framework/FftDetail.h"
#include "framework/FftKernels.h"

namespace fft_detail
{
namespace
{
constexpr int kBlockSize = 2048; // 32 KiB of complex values

int Log2(int n)
{
    int b = 0;
    while ((1 << b) < n)
        ++b;
    return b;
}

void Stage(double* x, int n, int span, const double* tw, bool inverse, StagePath path)
{
#if defined(PARANDEL_FFT_AVX2)
    if (path == StagePath::Avx2)
        return Radix4StageAvx2(x, n, span, tw, inverse);
#else
    (void)path;
#endif
    if (inverse)
        Radix4Stage<true>(x, n, span, tw);
    else
        Radix4Stage<false>(x, n, span, tw);
}

// The permutation and the first pass, radix 2, 4 or 8. Sizes whose index has room for a
// middle part (see PermuteAndFirstPass) permute block by block, the others by a swap list.
template <bool Inv> void PermuteSmall(double* x, int bits, int radix, const Tables& t)
{
    const int n = 1 << bits;
    if (radix == 2)
        PermuteAndFirstPassSmall<Inv, 2>(x, n, t.swaps[bits]);
    else if (radix == 4)
        PermuteAndFirstPassSmall<Inv, 4>(x, n, t.swaps[bits]);
    else
        PermuteAndFirstPassSmall<Inv, 8>(x, n, t.swaps[bits]);
}

void Begin(double* x, int bits, int radix, bool inverse, StagePath path, const Tables& t)
{
    if (bits <= kMaxSwapLog2)
        return inverse ? PermuteSmall<true>(x, bits, radix, t)
                       : PermuteSmall<false>(x, bits, radix, t);
#if defined(PARANDEL_FFT_AVX2)
    if (path == StagePath::Avx2)
        return PermuteAndFirstPassAvx2(x, bits, radix, inverse);
#else
    (void)path;
#endif
    if (radix == 4)
        inverse ? PermuteAndFirstPass<true, 4>(x, bits) : PermuteAndFirstPass<false, 4>(x, bits);
    else
        inverse ? PermuteAndFirstPass<true, 8>(x, bits) : PermuteAndFirstPass<false, 8>(x, bits);
}
} // namespace

bool HasStagePath(StagePath path)
{
#if defined(PARANDEL_FFT_AVX2)
    return path == StagePath::Portable || HasAvx2();
#else
    return path == StagePath::Portable;
#endif
}

StagePath BestStagePath()
{
    return HasStagePath(StagePath::Avx2) ? StagePath::Avx2 : StagePath::Portable;
}

void Transform(double* x, int n, bool inverse, FftScale scale, StagePath path)
{
    const Tables& t = GetTables();
    const int bits = Log2(n);
    const int radix = bits == 1 ? 2 : bits % 2 ? 8 : 4;
    Begin(x, bits, radix, inverse, path, t);

    int block = radix;
    while (block * 4 <= n && block * 4 <= kBlockSize)
        block *= 4;
    for (int start = 0; start < n; start += block)
        for (int span = 4 * radix; span <= block; span *= 4)
            Stage(x + 2 * start, block, span, t.Twiddles(span), inverse, path);
    for (int span = 4 * block; span <= n; span *= 4)
        Stage(x, n, span, t.Twiddles(span), inverse, path);

    if (scale == FftScale::ByLength)
        ScaleAll(x, n, 1.0 / n);
}
} // namespace fft_detail

namespace
{
using Complex = std::complex<double>;

// The stage code is chosen once; the tables exist by then.
fft_detail::StagePath Path()
{
    static const fft_detail::StagePath path =
        (fft_detail::GetTables(), fft_detail::BestStagePath());
    return path;
}
} // namespace

void Fft::Init()
{
    Path();
}

bool Fft::IsValidSize(int n)
{
    return n >= kMinSize && n <= kMaxSize && (n & (n - 1)) == 0;
}

// std::complex<double> is layout-compatible with double[2], so complex arrays are viewed as
// interleaved arrays directly.
bool Fft::Forward(Complex* data, int n, FftScale scale)
{
    return Forward(reinterpret_cast<double*>(data), n, scale);
}

bool Fft::Inverse(Complex* data, int n, FftScale scale)
{
    return Inverse(reinterpret_cast<double*>(data), n, scale);
}

bool Fft::Forward(double* interleaved, int n, FftScale scale)
{
    if (!IsValidSize(n))
        return false;
    fft_detail::Transform(interleaved, n, false, scale, Path());
    return true;
}

bool Fft::Inverse(double* interleaved, int n, FftScale scale)
{
    if (!IsValidSize(n))
        return false;
    fft_detail::Transform(interleaved, n, true, scale, Path());
    return true;
}
