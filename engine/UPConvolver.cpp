#include "engine/UPConvolver.h"

#include "framework/Fft.h"

#include <algorithm>

void convolution::MultiplyAccumulate(const std::complex<double>* x, const std::complex<double>* h,
                                     std::complex<double>* acc, int count)
{
    const double* xd = reinterpret_cast<const double*>(x);
    const double* hd = reinterpret_cast<const double*>(h);
    double* ad = reinterpret_cast<double*>(acc);
    for (int k = 0; k < 2 * count; k += 2)
    {
        const double xr = xd[k], xi = xd[k + 1], hr = hd[k], hi = hd[k + 1];
        ad[k] += xr * hr - xi * hi;
        ad[k + 1] += xr * hi + xi * hr;
    }
}

UPConvolver::UPConvolver(const double* response, int length, int blockSize) : mBlockSize(blockSize)
{
    const int fftSize = 2 * blockSize;
    if (!response || length <= 0 || blockSize > kMaxBlockSize || !Fft::IsValidSize(fftSize))
        return;

    const int bins = BinCount();
    mPartitionCount = (length + blockSize - 1) / blockSize;
    mResponseSpectra.assign(static_cast<size_t>(mPartitionCount) * bins, Complex());
    mInputSpectra.assign(static_cast<size_t>(mPartitionCount) * bins, Complex());
    mOverlap.assign(blockSize, 0.0);
    mWork.assign(fftSize, Complex());

    // The inverse transform's 1 / 2B is folded into the response spectra.
    const double scale = 1.0 / fftSize;
    for (int p = 0; p < mPartitionCount; ++p)
    {
        std::fill(mWork.begin(), mWork.end(), Complex());
        const int start = p * blockSize;
        const int count = std::min(blockSize, length - start);
        for (int k = 0; k < count; ++k)
            mWork[k] = Complex(response[start + k] * scale, 0.0);
        Fft::Forward(mWork.data(), fftSize);
        std::copy(mWork.begin(), mWork.begin() + bins, mResponseSpectra.begin() + p * bins);
    }
}

void UPConvolver::Reset()
{
    std::fill(mInputSpectra.begin(), mInputSpectra.end(), Complex());
    std::fill(mOverlap.begin(), mOverlap.end(), 0.0);
    mRingIndex = 0;
}

void UPConvolver::ProcessBlock(const double* input, double* output)
{
    const int b = mBlockSize;
    if (mPartitionCount == 0)
    {
        std::fill(output, output + b, 0.0);
        return;
    }
    const int bins = BinCount();
    const int fftSize = 2 * b;

    // Transform the zero-padded block into the ring slot of the newest input.
    for (int k = 0; k < b; ++k)
        mWork[k] = Complex(input[k], 0.0);
    std::fill(mWork.begin() + b, mWork.end(), Complex());
    Fft::Forward(mWork.data(), fftSize);
    Complex* newest = mInputSpectra.data() + static_cast<size_t>(mRingIndex) * bins;
    std::copy(mWork.begin(), mWork.begin() + bins, newest);

    // Σ over partitions of (input block i blocks ago) × (partition i).
    std::fill(mWork.begin(), mWork.begin() + bins, Complex());
    int slot = mRingIndex;
    for (int p = 0; p < mPartitionCount; ++p)
    {
        const Complex* x = mInputSpectra.data() + static_cast<size_t>(slot) * bins;
        const Complex* h = mResponseSpectra.data() + static_cast<size_t>(p) * bins;
        convolution::MultiplyAccumulate(x, h, mWork.data(), bins);
        slot = slot == 0 ? mPartitionCount - 1 : slot - 1;
    }
    for (int k = 1; k < b; ++k)
        mWork[fftSize - k] = std::conj(mWork[k]);
    Fft::Inverse(mWork.data(), fftSize);

    for (int k = 0; k < b; ++k)
    {
        output[k] = mWork[k].real() + mOverlap[k];
        mOverlap[k] = mWork[b + k].real();
    }
    mRingIndex = mRingIndex + 1 == mPartitionCount ? 0 : mRingIndex + 1;
}
