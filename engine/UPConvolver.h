#pragma once
// Uniformly partitioned overlap-add convolution without latency: each call takes B input samples
// and returns the B output samples of the same block. The response is cut into P partitions of B
// samples, each transformed once (complex FFT of 2B); every block costs two FFTs of 2B and P
// spectrum multiply-accumulates. Built on the control thread; ProcessBlock runs on the audio
// thread and never allocates.

#include <complex>
#include <vector>

namespace convolution
{
// acc[k] += x[k] × h[k] for k < count, written out so that it vectorises and skips the
// library's infinity checks (the spectra are always finite).
void MultiplyAccumulate(const std::complex<double>* x, const std::complex<double>* h,
                        std::complex<double>* acc, int count);
} // namespace convolution

class UPConvolver
{
public:
    // Largest block whose 2B transform the FFT supports.
    static constexpr int kMaxBlockSize = 16384;

    // Partitions response[0 … length). blockSize must be a power of two from 1 to kMaxBlockSize;
    // otherwise the convolver holds no partitions and outputs silence.
    UPConvolver(const double* response, int length, int blockSize);

    int GetBlockSize() const { return mBlockSize; }
    int GetPartitionCount() const { return mPartitionCount; }

    // Clears the input history and the overlap; the response stays.
    void Reset();
    // input and output hold B samples each (they may be the same array).
    void ProcessBlock(const double* input, double* output);

private:
    using Complex = std::complex<double>;

    // Bins 0 … B of a 2B transform: the rest follows by conjugate symmetry since both the
    // response and the input are real.
    int BinCount() const { return mBlockSize + 1; }

    int mBlockSize;
    int mPartitionCount = 0;
    std::vector<Complex> mResponseSpectra; // P × BinCount, scaled by 1 / 2B
    std::vector<Complex> mInputSpectra;    // ring of P × BinCount
    int mRingIndex = 0;                    // slot of the newest input block
    std::vector<double> mOverlap;          // second half of the previous block's result (B)
    std::vector<Complex> mWork;            // 2B
};
