#include "engine/TimeDistributedFFTConvolver.h"

#include "engine/UPConvolver.h"
#include "framework/Fft.h"
#include "framework/MathConstants.h"

#include <algorithm>
#include <cmath>

namespace
{
// 2π rounded to single precision, as the split stages have always used. Forward and inverse
// stages share the table, so the rounding only turns the wrapped-around products of the odd half
// by π × 2.8e-8 radians; taking the real part leaves a 1 − cos of that, about 4e-15.
constexpr double kTwoPiSingle = static_cast<float>(kTwoPi);
} // namespace

TimeDistributedFFTConvolver::TimeDistributedFFTConvolver(const double* response, int length,
                                                         int blockSize)
    : mBlockSize(blockSize)
{
    if (!response || length <= 0 || blockSize > kMaxBlockSize || !Fft::IsValidSize(4 * blockSize))
        return;

    const int half = HalfSize();
    const int evenBins = EvenBins();
    const int oddBins = OddBins();
    mPartitionCount = (length + half - 1) / half;
    const size_t q = static_cast<size_t>(mPartitionCount);

    mTwiddles.resize(half);
    const double step = kTwoPiSingle / (2 * half);
    for (int n = 0; n < half; ++n)
        mTwiddles[n] = Complex(std::cos(step * n), -std::sin(step * n));

    mEvenResponse.assign(q * evenBins, Complex());
    mOddResponse.assign(q * oddBins, Complex());
    mEvenInput.assign(q * evenBins, Complex());
    mOddInput.assign(q * oddBins, Complex());
    for (int i = 0; i < 2; ++i)
    {
        mGatherEven[i].assign(half, 0.0);
        mGatherOdd[i].assign(half, Complex());
        mEvenResult[i].assign(half, Complex());
        mOddResult[i].assign(half, Complex());
    }
    mOverlap.assign(half, 0.0);
    mWork.assign(half, Complex());

    // The response goes through the same split as the input; the inverse's 1 / 8B is folded in.
    const double scale = 1.0 / (2 * half);
    for (int p = 0; p < mPartitionCount; ++p)
    {
        const int start = p * half;
        const int count = std::min(half, length - start);
        Complex* odd = mOddResponse.data() + static_cast<size_t>(p) * oddBins;
        std::fill(mWork.begin(), mWork.end(), Complex());
        for (int n = 0; n < count; ++n)
        {
            const double h = response[start + n] * scale;
            mWork[n] = Complex(h, 0.0);
            odd[n] = h * mTwiddles[n];
        }
        Fft::Forward(mWork.data(), half);
        std::copy(mWork.begin(), mWork.begin() + evenBins,
                  mEvenResponse.begin() + static_cast<size_t>(p) * evenBins);
        Fft::Forward(odd, half);
    }
    Reset();
}

void TimeDistributedFFTConvolver::Reset()
{
    std::fill(mEvenInput.begin(), mEvenInput.end(), Complex());
    std::fill(mOddInput.begin(), mOddInput.end(), Complex());
    for (int i = 0; i < 2; ++i)
    {
        std::fill(mGatherEven[i].begin(), mGatherEven[i].end(), 0.0);
        std::fill(mGatherOdd[i].begin(), mGatherOdd[i].end(), Complex());
        std::fill(mEvenResult[i].begin(), mEvenResult[i].end(), Complex());
        std::fill(mOddResult[i].begin(), mOddResult[i].end(), Complex());
    }
    std::fill(mOverlap.begin(), mOverlap.end(), 0.0);
    mPhase = 0;
    mRingIndex = 0;
    mGatherIndex = 0;
    mResultIndex = 0;
}

void TimeDistributedFFTConvolver::ProcessBlock(const double* input, double* output)
{
    if (mPartitionCount == 0)
    {
        std::fill(output, output + mBlockSize, 0.0);
        return;
    }
    Gather(input);
    RunPhase();
    Deliver(output);

    if (++mPhase == kPhaseCount)
    {
        mPhase = 0;
        mGatherIndex ^= 1;
        mResultIndex ^= 1;
    }
}

void TimeDistributedFFTConvolver::Gather(const double* input)
{
    const int offset = mPhase * mBlockSize;
    double* even = mGatherEven[mGatherIndex].data() + offset;
    Complex* odd = mGatherOdd[mGatherIndex].data() + offset;
    const Complex* w = mTwiddles.data() + offset;
    for (int k = 0; k < mBlockSize; ++k)
    {
        even[k] = input[k];
        odd[k] = input[k] * w[k];
    }
}

void TimeDistributedFFTConvolver::RunPhase()
{
    const int half = HalfSize();
    const int evenBins = EvenBins();
    const int processed = mGatherIndex ^ 1;

    switch (mPhase)
    {
    case 0:
    {
        mRingIndex = mRingIndex + 1 == mPartitionCount ? 0 : mRingIndex + 1;
        const double* even = mGatherEven[processed].data();
        for (int n = 0; n < half; ++n)
            mWork[n] = Complex(even[n], 0.0);
        Fft::Forward(mWork.data(), half);
        std::copy(mWork.begin(), mWork.begin() + evenBins,
                  mEvenInput.begin() + static_cast<size_t>(mRingIndex) * evenBins);
        break;
    }
    case 1:
    {
        Complex* odd = mOddInput.data() + static_cast<size_t>(mRingIndex) * OddBins();
        std::copy(mGatherOdd[processed].begin(), mGatherOdd[processed].end(), odd);
        Fft::Forward(odd, half);
        break;
    }
    default:
        break;
    }

    const int total = TotalBins();
    MultiplyAccumulate(mPhase * total / kPhaseCount, (mPhase + 1) * total / kPhaseCount);

    if (mPhase == 2)
    {
        // The even half's bins 0 … 2B are complete (they end before 3/4 of the bin list);
        // the rest follows from the conjugate symmetry of a real signal's transform.
        Complex* y = mEvenResult[mResultIndex].data();
        for (int k = 1; k < 2 * mBlockSize; ++k)
            y[half - k] = std::conj(y[k]);
        Fft::Inverse(y, half);
    }
    else if (mPhase == 3)
    {
        Fft::Inverse(mOddResult[mResultIndex].data(), half);
    }
}

// Bins are numbered even half first (0 … 2B), then odd half (all 4B); each bin is cleared and
// summed over all partitions in one go.
void TimeDistributedFFTConvolver::MultiplyAccumulate(int firstBin, int endBin)
{
    const int evenBins = EvenBins();
    const int oddBins = OddBins();

    auto accumulate = [this](const std::vector<Complex>& input,
                             const std::vector<Complex>& response, int bins, Complex* result,
                             int from, int to)
    {
        if (from >= to)
            return;
        std::fill(result + from, result + to, Complex());
        int slot = mRingIndex;
        for (int p = 0; p < mPartitionCount; ++p)
        {
            const Complex* x = input.data() + static_cast<size_t>(slot) * bins;
            const Complex* h = response.data() + static_cast<size_t>(p) * bins;
            convolution::MultiplyAccumulate(x + from, h + from, result + from, to - from);
            slot = slot == 0 ? mPartitionCount - 1 : slot - 1;
        }
    };

    accumulate(mEvenInput, mEvenResponse, evenBins, mEvenResult[mResultIndex].data(),
               std::min(firstBin, evenBins), std::min(endBin, evenBins));
    accumulate(mOddInput, mOddResponse, oddBins, mOddResult[mResultIndex].data(),
               std::max(firstBin - evenBins, 0), std::max(endBin - evenBins, 0));
}

// Last radix-2 stage, restricted to this block's quarter: y[n] = ya[n] + conj(w[n]) yb[n] goes
// out now (with the previous segment's overlap), y[n + 4B] = ya[n] − conj(w[n]) yb[n] is kept
// for the segment after. Only real parts are needed since the result is real.
void TimeDistributedFFTConvolver::Deliver(double* output)
{
    const int offset = mPhase * mBlockSize;
    const int delivered = mResultIndex ^ 1;
    const Complex* ya = mEvenResult[delivered].data() + offset;
    const Complex* yb = mOddResult[delivered].data() + offset;
    const Complex* w = mTwiddles.data() + offset;
    double* overlap = mOverlap.data() + offset;
    for (int k = 0; k < mBlockSize; ++k)
    {
        const double even = ya[k].real();
        const double odd = w[k].real() * yb[k].real() + w[k].imag() * yb[k].imag();
        output[k] = even + odd + overlap[k];
        overlap[k] = even - odd;
    }
}
