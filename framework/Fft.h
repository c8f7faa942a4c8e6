#pragma once
// The system's complex FFT for power-of-two sizes 2 … 32768, in place on interleaved (re, im)
// values.
//   Forward: X[k] = s × Σ x[n] e^(−2πi k n / N)
//   Inverse: x[n] = s × Σ X[k] e^(+2πi k n / N)
// with s = 1 for FftScale::None and s = 1 / N for FftScale::ByLength. Callers choose the scaling
// their algorithm needs (the frame analysis scales the forward transform, the convolvers and the
// response builder the inverse one). Twiddle and reordering tables are built once per process,
// on first use, safely from any thread; Init() builds them ahead of time.

#include <complex>

enum class FftScale
{
    None,
    ByLength,
};

class Fft
{
public:
    static constexpr int kMinSize = 2;
    static constexpr int kMaxSize = 32768;

    // Builds the tables if they do not exist yet. Cheap once done.
    static void Init();
    static bool IsValidSize(int n);

    // n must be a valid size; other sizes leave the data untouched and return false.
    static bool Forward(std::complex<double>* data, int n, FftScale scale = FftScale::None);
    static bool Inverse(std::complex<double>* data, int n, FftScale scale = FftScale::None);
    // The same on an array of 2n doubles holding (re, im) pairs.
    static bool Forward(double* interleaved, int n, FftScale scale = FftScale::None);
    static bool Inverse(double* interleaved, int n, FftScale scale = FftScale::None);
};
