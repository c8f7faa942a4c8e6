#include "metering/ProcessObjChannel.h"

#include "framework/Fft.h"
#include "framework/MathConstants.h"
#include "framework/Window.h"
#include "metering/ProcessObj.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// Samples this close to zero make a silent frame: its spectrum is zero without a transform.
constexpr double kSilenceThreshold = 1e-16;
// Tolerance within which an overlap-add sum counts as constant.
constexpr double kOverlapAddTolerance = 0.001;

double MeanAbs(const double* x, int n)
{
    if (n <= 0)
        return 0.0;
    double s = 0.0;
    for (int i = 0; i < n; ++i)
        s += std::fabs(x[i]);
    return s / n;
}

bool IsHann(WindowType type)
{
    return type == WindowType::Hann || type == WindowType::HannPower;
}

void Scale(SampleBuffer& buf, double factor)
{
    double* p = buf.Get();
    for (int i = 0; i < buf.GetSize(); ++i)
        p[i] *= factor;
}

// Hann raised to power, or all ones.
void MakeWindow(SampleBuffer& window, int n, bool hann, double power)
{
    if (!hann)
    {
        window.Resize(n, false);
        for (int i = 0; i < n; ++i)
            window.Get()[i] = 1.0;
        return;
    }
    MakeHannWindow(window, n);
    if (power != 1.0)
        for (int i = 0; i < n; ++i)
            window.Get()[i] = std::pow(window.Get()[i], power);
}

// Divides the window by an overlap-add sum; a sum that is not constant (−1) leaves it as it is
// rather than inverting the output.
void Normalise(SampleBuffer& window, double overlapAddSum)
{
    if (overlapAddSum > 0.0)
        Scale(window, 1.0 / overlapAddSum);
}
} // namespace

ProcessObjChannel::ProcessObjChannel(ProcessObj* hook, int bufferSize, int overlap,
                                     int oversampling, double sampleRate)
    : mHook(hook), mBufferSize(bufferSize), mOverlap(overlap)
{
    Reset(bufferSize, overlap, oversampling, sampleRate);
}

void ProcessObjChannel::Reset(int bufferSize, int overlap, int oversampling, double sampleRate)
{
    mBufferSize = std::max(bufferSize, Fft::kMinSize);
    mOverlap = std::max(overlap, 1);
    mOversampling = std::max(oversampling, 1);
    mSampleRate = sampleRate;
    // A hop of at least one sample keeps the frame loop moving whatever the overlap.
    mHop = std::max(mBufferSize / mOverlap, 1);

    const int n = mBufferSize;
    const int m = n * mOversampling;
    RebuildWindows();

    // Room for a frame, a block and a frame's worth of consumed samples, which stay in place
    // until the next block would not fit: the queue then moves about once per frame instead of
    // at every block.
    mInputCapacity = 2 * n + kReservedBlockSamples;
    mInputQueue.Reserve(mInputCapacity);
    mInputQueue.Resize(0, false);
    mConsumed = 0;
    mOutputQueue.Reserve(n + kReservedBlockSamples);
    mOutputQueue.Resize(0, false);
    mFrame.Resize(n, false);
    mFrame.Zero();
    mOutputFrame.Resize(n, false);
    mOutputFrame.Zero();
    mOverlapAdd.Resize(2 * m, false);
    mOverlapAdd.Zero();
    mSpectrum.Resize(2 * m, false);
    mSpectrum.Zero();
    mInverseScratch.Resize(2 * m, false);
    // Twiddles of the real-input transform: the frame is real, so one complex transform of M / 2
    // points and a split step give the whole spectrum at half the cost.
    const int quarter = m / 4;
    mRealFftTwiddles.Resize(2 * (quarter + 1), false);
    for (int k = 0; k <= quarter; ++k)
    {
        const double a = -kTwoPi * k / m;
        mRealFftTwiddles.Get()[2 * k] = std::cos(a);
        mRealFftTwiddles.Get()[2 * k + 1] = std::sin(a);
    }
    mHopScratch.Resize(mHop, false);
    mFrameLevel = 0.0;

    if (mHook)
        mHook->Reset(mBufferSize, mOverlap, mOversampling, mSampleRate);

    mLatency = n;
    mLatencyRemaining = mLatency;
    mNotEnoughSamples = false;
}

void ProcessObjChannel::Reset()
{
    Reset(mBufferSize, mOverlap, mOversampling, mSampleRate);
}

void ProcessObjChannel::SetAnalysisWindow(WindowType type)
{
    mAnalysisWindowType = type;
    mWindowsDirty = true;
}

void ProcessObjChannel::SetSynthesisWindow(WindowType type)
{
    mSynthesisWindowType = type;
    mWindowsDirty = true;
}

double ProcessObjChannel::OverlapAddSum(const double* w1, const double* w2, int n, int overlap)
{
    if (!w1 || n <= 0)
        return -1.0;
    const int hop = std::max(n / std::max(overlap, 1), 1);
    double total = 0.0, lo = 0.0, hi = 0.0;
    for (int i = 0; i < hop; ++i)
    {
        double s = 0.0;
        for (int k = i; k < n; k += hop)
            s += w2 ? w1[k] * w2[k] : w1[k];
        total += s;
        lo = i == 0 ? s : std::min(lo, s);
        hi = i == 0 ? s : std::max(hi, s);
    }
    const double mean = total / hop;
    if (hi - mean > kOverlapAddTolerance || mean - lo > kOverlapAddTolerance)
        return -1.0;
    return mean;
}

void ProcessObjChannel::RebuildWindowsIfDirty()
{
    if (mWindowsDirty)
        RebuildWindows();
}

void ProcessObjChannel::RebuildWindows()
{
    const int n = mBufferSize;
    const bool powerWindow =
        mAnalysisWindowType == WindowType::HannPower || mSynthesisWindowType == WindowType::HannPower;
    const double power = powerWindow && mOverlap >= 2 ? mOverlap / 4.0 : 1.0;
    const bool analysisHann = IsHann(mAnalysisWindowType);
    const bool synthesisHann = IsHann(mSynthesisWindowType);

    MakeWindow(mAnalysisWindow, n, analysisHann, power);
    MakeWindow(mSynthesisWindow, n, synthesisHann, power);

    // Scale one window so that analysis × synthesis overlap-adds to unity gain.
    if (synthesisHann && !analysisHann)
        Normalise(mSynthesisWindow, OverlapAddSum(mSynthesisWindow.Get(), nullptr, n, mOverlap));
    else if (synthesisHann && analysisHann && mOverlap >= 2)
        Normalise(mSynthesisWindow,
                  OverlapAddSum(mAnalysisWindow.Get(), mSynthesisWindow.Get(), n, mOverlap));
    else if (!synthesisHann && analysisHann)
        Normalise(mAnalysisWindow, OverlapAddSum(mAnalysisWindow.Get(), nullptr, n, mOverlap));
    else if (!synthesisHann && !analysisHann)
        Normalise(mSynthesisWindow, OverlapAddSum(mSynthesisWindow.Get(), nullptr, n, mOverlap));

    mWindowsDirty = false;
}

const SampleBuffer* ProcessObjChannel::PartnerFrame() const
{
    return mPartner ? &mPartner->mFrame : nullptr;
}

const SampleBuffer* ProcessObjChannel::PartnerOutputFrame() const
{
    return mPartner ? &mPartner->mOutputFrame : nullptr;
}

void ProcessObjChannel::CallInputHook(const SampleBuffer& samples, const SampleBuffer* scSamples)
{
    if (mHook)
        mHook->ProcessInputSamples(samples, scSamples);
}

void ProcessObjChannel::AddSamples(const double* samples, int count)
{
    if (samples && count > 0)
    {
        // The room reserved for the queue is counted from its start.
        if (mInputQueue.GetSize() + count > mInputCapacity)
            SettleQueue();
        mInputQueue.Add(samples, count);
        mLargestBlockSamples = std::max(mLargestBlockSamples, count);
    }
}

void ProcessObjChannel::SettleQueue()
{
    if (mConsumed <= 0)
        return;
    mInputQueue.Delete(0, std::min(mConsumed, mInputQueue.GetSize()));
    mConsumed = 0;
}

bool ProcessObjChannel::MakeFrame(bool transform)
{
    const int n = mBufferSize;
    mNotEnoughSamples = QueuedSamples() < n;
    if (mNotEnoughSamples)
        return false;
    if (mSpectraOnly && !transform && !mHook && !mKeepEnergy)
        return true; // nobody looks at this frame
    mFrame.Set(mInputQueue.Get() + mConsumed, n, false);
    if (mHook)
        mHook->ProcessFramedSamples(mFrame, PartnerFrame());
    return true;
}

void ProcessObjChannel::ApplyAnalysisWindow(bool transform)
{
    if (mNotEnoughSamples || (mSpectraOnly && !transform && !mHook && !mKeepEnergy))
        return;
    WindowFrame();
    if (mHook)
        mHook->ProcessWindowedSamples(mFrame, PartnerFrame());
}

void ProcessObjChannel::WindowFrame()
{
    RebuildWindowsIfDirty();
    double* f = mFrame.Get();
    const double* w = mAnalysisWindow.Get();
    const int n = std::min(mFrame.GetSize(), mAnalysisWindow.GetSize());
    for (int i = 0; i < n; ++i)
        f[i] *= w[i];
}

void ProcessObjChannel::TransformFrame(const double* samples)
{
    mFrame.Set(samples, mBufferSize, false);
    WindowFrame();
    TransformToSpectrum();
}

void ProcessObjChannel::ForwardFft(bool transform)
{
    if (mNotEnoughSamples)
        return;
    const int n = std::min(mFrame.GetSize(), mBufferSize);
    const double* f = mFrame.Get();
    if (mKeepEnergy)
        mFrameLevel = MeanAbs(f, n);
    if (mSkipFft || !transform)
        return;
    TransformToSpectrum();
}

void ProcessObjChannel::TransformToSpectrum()
{
    const int n = std::min(mFrame.GetSize(), mBufferSize);
    const double* f = mFrame.Get();
    const int m = mBufferSize * mOversampling;
    mSpectrum.Resize(2 * m, false);
    mSpectrum.Zero();
    bool silent = true;
    for (int i = 0; i < n && silent; ++i)
        silent = std::fabs(f[i]) <= kSilenceThreshold;
    if (silent)
        return;

    // X[k] = (oversampling / M) Σ x[n] e^(−2πikn/M)
    if (!RealForwardFft(m, static_cast<double>(mOversampling) / m))
        mSpectrum.Zero(); // no transform of this size: nothing to show rather than the samples
}

bool ProcessObjChannel::RealForwardFft(int m, double scale)
{
    if (!Fft::IsValidSize(m))
        return false;
    double* s = mSpectrum.Get();
    const double* x = mFrame.Get();
    const int n = std::min(mFrame.GetSize(), m);
    const int half = m / 2;
    if (half < Fft::kMinSize)
    {
        // Too short to split: a plain complex transform.
        for (int i = 0; i < n; ++i)
            s[2 * i] = x[i];
        Fft::Forward(s, m, FftScale::None);
        Scale(mSpectrum, scale);
        return true;
    }

    // z[j] = x[2j] + i x[2j + 1] is the zero-padded frame itself read as M / 2 complex values
    // (the spectrum buffer is zero beyond n).
    std::memcpy(s, x, n * sizeof(double));
    Fft::Forward(s, half, FftScale::None);

    // Split: with E, O the spectra of the even and odd samples,
    //   E[k] = (Z[k] + conj Z[h − k]) / 2,  O[k] = −i (Z[k] − conj Z[h − k]) / 2,
    //   X[k] = E[k] + W^k O[k],  X[h − k] = conj(E[k] − W^k O[k]),  W = e^(−2πi/M),
    // done in place for the pairs (k, h − k); the upper half is the conjugate mirror.
    const double* w = mRealFftTwiddles.Get();
    const double z0Re = s[0], z0Im = s[1];
    const int mid = half / 2;
    for (int k = 1; k < mid; ++k)
    {
        const int j = half - k;
        const double zkRe = s[2 * k], zkIm = s[2 * k + 1];
        const double zjRe = s[2 * j], zjIm = s[2 * j + 1];
        const double eRe = 0.5 * (zkRe + zjRe), eIm = 0.5 * (zkIm - zjIm);
        const double oRe = 0.5 * (zkIm + zjIm), oIm = -0.5 * (zkRe - zjRe);
        const double wRe = w[2 * k], wIm = w[2 * k + 1];
        const double tRe = wRe * oRe - wIm * oIm, tIm = wRe * oIm + wIm * oRe;
        s[2 * k] = scale * (eRe + tRe);
        s[2 * k + 1] = scale * (eIm + tIm);
        s[2 * j] = scale * (eRe - tRe);
        s[2 * j + 1] = -scale * (eIm - tIm);
    }
    // At k = M / 4, E = Re Z and O = Im Z are real and W^k = −i.
    s[2 * mid] *= scale;
    s[2 * mid + 1] *= -scale;
    s[0] = scale * (z0Re + z0Im);
    s[1] = 0.0;
    s[2 * half] = scale * (z0Re - z0Im);
    s[2 * half + 1] = 0.0;
    for (int k = 1; k < half; ++k)
    {
        s[2 * (m - k)] = s[2 * k];
        s[2 * (m - k) + 1] = -s[2 * k + 1];
    }
    return true;
}

void ProcessObjChannel::CallSpectrumHook()
{
    if (mNotEnoughSamples || mSkipFft || !mHook)
        return;
    mHook->ProcessFftSpectrum(mSpectrum, mPartner ? &mPartner->mSpectrum : nullptr);
}

void ProcessObjChannel::InverseFft()
{
    if (mNotEnoughSamples || mSpectraOnly)
        return;
    const int n = mBufferSize;
    const int m = n * mOversampling;
    // Without a forward transform there is no spectrum to invert: the windowed frame passes on.
    if (mSkipIFft || mSkipFft)
    {
        mOutputFrame.Set(mFrame.Get(), std::min(mFrame.GetSize(), n), false);
    }
    else
    {
        mInverseScratch.Set(mSpectrum.Get(), 2 * m, false);
        double* c = mInverseScratch.Get();
        mOutputFrame.Resize(n, false);
        double* o = mOutputFrame.Get();
        if (Fft::Inverse(c, m, FftScale::None))
            for (int i = 0; i < n; ++i)
                o[i] = c[2 * i] / mOversampling;
        else
            mOutputFrame.Zero();
    }
    if (mHook)
        mHook->ProcessIFftSamples(mOutputFrame, PartnerOutputFrame());
}

void ProcessObjChannel::ApplySynthesisWindow()
{
    if (mNotEnoughSamples || mSpectraOnly)
        return;
    if (mKeepEnergy && mOverlap > 1)
    {
        const double level = MeanAbs(mOutputFrame.Get(), mOutputFrame.GetSize());
        Scale(mOutputFrame, level > 0.0 ? mFrameLevel / level : 1.0);
    }
    if (mHook)
        mHook->ProcessBeforeSynthesisWindow(mOutputFrame, PartnerOutputFrame());
    RebuildWindowsIfDirty();
    double* o = mOutputFrame.Get();
    const double* w = mSynthesisWindow.Get();
    const int n = std::min(mOutputFrame.GetSize(), mSynthesisWindow.GetSize());
    for (int i = 0; i < n; ++i)
        o[i] *= w[i];
}

void ProcessObjChannel::OverlapAdd()
{
    if (mNotEnoughSamples || mSpectraOnly)
        return;
    if (mHook)
        mHook->ProcessBeforeOverlapAdd(mOutputFrame, PartnerOutputFrame());
    const int n = mBufferSize;
    if (mOutputFrame.GetSize() < n || mOverlapAdd.GetSize() < n)
        return;
    double* a = mOverlapAdd.Get();
    const double* o = mOutputFrame.Get();
    for (int i = 0; i < n; ++i)
        a[i] += o[i];
}

void ProcessObjChannel::Advance()
{
    if (mNotEnoughSamples)
        return;
    mConsumed += mHop;
    if (mSpectraOnly)
        return;

    const int size = mOverlapAdd.GetSize();
    if (size < mBufferSize)
        return;
    double* a = mOverlapAdd.Get();
    mHopScratch.Set(a, mHop, false);
    if (mHook)
        mHook->ProcessHopSamples(mHopScratch);
    if (mOutputEnabled)
    {
        mOutputQueue.Add(mHopScratch.Get(), mHopScratch.GetSize());
        const int cap = mBufferSize + std::max(kReservedBlockSamples, mLargestBlockSamples);
        if (mOutputQueue.GetSize() > cap)
            mOutputQueue.Delete(0, mOutputQueue.GetSize() - cap);
    }
    std::memmove(a, a + mHop, (size - mHop) * sizeof(double));
    std::memset(a + size - mHop, 0, mHop * sizeof(double));
}

bool ProcessObjChannel::GetOutput(SampleBuffer& out, int n)
{
    n = std::max(n, 0);
    out.Resize(n, false);
    out.Zero();
    if (n == 0)
        return true;
    double* o = out.Get();
    if (mLatencyRemaining >= n)
    {
        mLatencyRemaining -= n;
        return false;
    }
    const int queued = mOutputQueue.GetSize();
    const int take = n - mLatencyRemaining; // the first mLatencyRemaining samples stay zero
    if (queued < take)
        return false;
    std::memcpy(o + mLatencyRemaining, mOutputQueue.Get(), take * sizeof(double));
    mOutputQueue.Delete(0, take);
    mLatencyRemaining = 0;
    return true;
}
