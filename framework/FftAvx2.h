#pragma once
// The FFT's AVX2/FMA stage, for x86-64 builds with GCC or Clang. Internal to the FFT.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PARANDEL_FFT_AVX2 1

namespace fft_detail
{
// True when the processor (and the operating system) support AVX2 and FMA.
bool HasAvx2();

// PermuteAndFirstPass of framework/FftKernels.h for radix 4 or 8, two columns at a time.
void PermuteAndFirstPassAvx2(double* x, int bits, int radix, bool inverse);

// The radix-4 stage of framework/FftKernels.h, two butterflies at a time. Only call when
// HasAvx2().
void Radix4StageAvx2(double* x, int n, int span, const double* tw, bool inverse);
} // namespace fft_detail
#endif
