#include "metering/ParandelProcessDisp.h"
#include "framework/MathConstants.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kSpeedOfSound = 340.0;
// Distance between the two notional microphones, in the same units as the source distance.
constexpr double kMicSpacing = 10.0;
// Below this, a frequency, a magnitude or a level ratio's distance from 1 counts as zero.
constexpr double kGeometryEpsilon = 1e-8;
// Bins whose magnitudes and phases agree this closely are mono.
constexpr double kMonoEpsilon = 1e-15;
// 20 / ln 10: decibels from a natural logarithm.
constexpr double kDbPerNeper = 8.685889638065037;
constexpr double kSilentAmplitude = 1e-15;

int BinCount(int bufferSize)
{
    return std::max(bufferSize / 2, 0);
}
} // namespace

ParandelProcessDisp::ParandelProcessDisp(int bufferSize, double overlap, double oversampling,
                                         double sampleRate)
    : mBufferSize(bufferSize), mOverlap(overlap), mOversampling(oversampling),
      mSampleRate(sampleRate)
{
    Reset(bufferSize, static_cast<int>(overlap), static_cast<int>(oversampling), sampleRate);
}

void ParandelProcessDisp::Reset(int bufferSize, int overlap, int oversampling, double sampleRate)
{
    mBufferSize = bufferSize;
    mOverlap = overlap;
    mOversampling = oversampling;
    mSampleRate = sampleRate;
    // A period below one frame would divide by zero.
    mPeriod = std::max(overlap, 1);
    mFrameCounter = 0;
    mPending = false;

    const int k = BinCount(bufferSize);
    for (SampleBuffer* b : {&mX, &mY})
    {
        b->Reserve(k);
        b->Resize(0, false);
    }
    for (SampleBuffer* b : {&mMagnL, &mPhaseL, &mMagnR, &mPhaseR, &mDistance, &mAngle})
        b->Resize(k, false);
    for (SampleBuffer* b : {&mPendingL, &mPendingR})
    {
        b->Reserve(2 * bufferSize * std::max(oversampling, 1));
        b->Resize(0, false);
    }
}

void ParandelProcessDisp::Reset()
{
    Reset(mBufferSize, static_cast<int>(mOverlap), static_cast<int>(mOversampling), mSampleRate);
}

void ParandelProcessDisp::GetPoints(SampleBuffer& x, SampleBuffer& y)
{
    if (mPending)
    {
        mPending = false;
        if (mLeft)
        {
            mLeft->TransformFrame(mPendingL.Get());
            mRight->TransformFrame(mPendingR.Get());
            Analyse(mLeft->GetSpectrum(), mRight->GetSpectrum(), BinCount(mBufferSize));
        }
        else
        {
            Analyse(mPendingL, mPendingR, BinCount(mBufferSize));
        }
    }
    x.Set(mX.Get(), mX.GetSize(), false);
    y.Set(mY.Get(), mY.GetSize(), false);
}

void ParandelProcessDisp::KeepFrame(const double* const* first, int n0,
                                    const double* const* second, int n1)
{
    const int n = mBufferSize;
    if (!mLeft || n0 < 0 || n1 < 0 || n0 + n1 != n || BinCount(n) < 1 ||
        mDistance.GetSize() < BinCount(n) || mLeft->GetBufferSize() != n ||
        mRight->GetBufferSize() != n)
        return;
    SampleBuffer* pending[2] = {&mPendingL, &mPendingR};
    for (int c = 0; c < 2; ++c)
    {
        pending[c]->Set(first[c], n0, false);
        pending[c]->Add(second[c], n1);
    }
    mPending = true;
}

void ParandelProcessDisp::ProcessInputFft(BufferPtrList& spectra, BufferPtrList* /*scSpectra*/)
{
    if (spectra.GetSize() < 2)
        return;
    // Magnitudes and phases matter only on the frames that are analysed, so the count comes
    // first and the other frames cost nothing.
    ++mFrameCounter;
    if (mLeft || !IsAnalysed(mFrameCounter))
        return;
    const SampleBuffer& left = *spectra.Get(0);
    const SampleBuffer& right = *spectra.Get(1);
    const int numBins = BinCount(mBufferSize);
    // Spectra shorter than the analysis (a mismatched reset) are not read past their end.
    if (numBins < 1 || left.GetSize() < 2 * numBins || right.GetSize() < 2 * numBins ||
        mDistance.GetSize() < numBins)
        return;
    mPendingL.Set(left.Get(), 2 * numBins, false);
    mPendingR.Set(right.Get(), 2 * numBins, false);
    mPending = true;
}

void ParandelProcessDisp::Analyse(const SampleBuffer& left, const SampleBuffer& right, int numBins)
{
    const int k = numBins;
    double* mL = mMagnL.Get();
    double* pL = mPhaseL.Get();
    double* mR = mMagnR.Get();
    double* pR = mPhaseR.Get();
    const double* zl = left.Get();
    const double* zr = right.Get();
    for (int i = 0; i < k; ++i)
    {
        const double lre = zl[2 * i], lim = zl[2 * i + 1];
        const double rre = zr[2 * i], rim = zr[2 * i + 1];
        mL[i] = std::sqrt(lre * lre + lim * lim);
        pL[i] = std::atan2(lim, lre);
        mR[i] = std::sqrt(rre * rre + rim * rim);
        pR[i] = std::atan2(rim, rre);
    }

    // Phase slope per bin, unwrapped to 0 … 2π, scaled to samples; its difference between the
    // channels is the time difference.
    auto phaseSlope = [k](const double* p, int i)
    {
        if (i == 0)
            return 0.0;
        double delta = p[i] - p[i - 1];
        while (delta < 0.0)
            delta += kTwoPi;
        return delta * k / kTwoPi;
    };

    double* dist = mDistance.Get();
    double* angle = mAngle.Get();
    const double binHz = mSampleRate / (2.0 * k);
    for (int i = 0; i < k; ++i)
    {
        const double itdSec = (phaseSlope(pR, i) - phaseSlope(pL, i)) / mSampleRate;
        if (!SourceFromBin(mL[i], mR[i], i * binHz, itdSec, &dist[i], &angle[i]))
            dist[i] = angle[i] = kUndefinedValue;
        if (std::fabs(mL[i] - mR[i]) <= kMonoEpsilon && std::fabs(pL[i] - pR[i]) <= kMonoEpsilon)
        {
            dist[i] = 0.5 * (mL[i] + mR[i]);
            angle[i] = kHalfPi;
        }
    }
    FillMissingValues(mDistance);
    FillMissingValues(mAngle);

    mX.Resize(k, false);
    mY.Resize(k, false);
    double* x = mX.Get();
    double* y = mY.Get();
    for (int i = 0; i < k; ++i)
    {
        const double g = angle[i] - kHalfPi;
        double level = AmpToDBNorm(0.5 * (mL[i] + mR[i]), kLevelFloorDb);
        if (dist[i] < kSilentAmplitude)
            level = 0.0;
        x[i] = -level * std::sin(g);
        y[i] = std::fabs(level * std::cos(g));
    }
}

bool ParandelProcessDisp::SourceFromBin(double magnL, double magnR, double freqHz, double itdSec,
                                        double* distance, double* angle)
{
    *distance = 0.0;
    *angle = 0.0;
    if (freqHz < kGeometryEpsilon)
        return true;

    // a belongs to the quieter channel, b to the louder one; d is the quieter one's delay.
    double a = magnL, b = magnR, d = itdSec;
    bool swapped = false;
    if (magnL > magnR)
    {
        a = magnR;
        b = magnL;
        d = -d;
        swapped = true;
    }
    if (a < kGeometryEpsilon || b < kGeometryEpsilon)
        return true;
    const double q = a / b;
    if (std::fabs(q - 1.0) < kGeometryEpsilon)
        return true;

    // Inverse-distance law q = x / (x + Δ), x the distance from the louder microphone.
    const double pathDiff = d * kSpeedOfSound;
    const double x = q * pathDiff / (1.0 - q);
    // Apollonius: 4D² = 2x² + 2(x + Δ)² − spacing².
    const double h =
        4.0 * x * x + 4.0 * pathDiff * x + 2.0 * pathDiff * pathDiff - kMicSpacing * kMicSpacing;
    if (h < 0.0)
    {
        *distance = *angle = kUndefinedValue;
        return false;
    }
    const double dist = std::sqrt(h) * 0.5;
    // Law of cosines at the midpoint: x² = D² + (s/2)² − s D c. At D = 0 the cosine is infinite
    // or 0/0; both mean no direction, and NaN would pass the range test below.
    const double c = kMicSpacing / (4.0 * dist) + dist / kMicSpacing - x * x / (kMicSpacing * dist);
    if (dist <= 0.0 || !(c >= -1.0 && c <= 1.0))
    {
        *distance = *angle = kUndefinedValue;
        return false;
    }
    *distance = dist;
    *angle = swapped ? kPi - std::acos(c) : std::acos(c);
    return true;
}

void ParandelProcessDisp::FillMissingValues(SampleBuffer& values)
{
    double* v = values.Get();
    const int n = values.GetSize();
    int previous = -1; // last defined index
    for (int i = 0; i < n; ++i)
    {
        if (v[i] == kUndefinedValue)
            continue;
        if (previous < 0)
        {
            // Leading undefined entries take the first defined value.
            for (int j = 0; j < i; ++j)
                v[j] = v[i];
        }
        else if (i - previous > 1)
        {
            const int span = i - previous;
            const double v0 = v[previous], v1 = v[i];
            for (int j = 1; j < span; ++j)
            {
                const double t = static_cast<double>(j) / span;
                v[previous + j] = (1.0 - t) * v0 + t * v1;
            }
        }
        previous = i;
    }
    if (previous >= 0)
        for (int j = previous + 1; j < n; ++j)
            v[j] = v[previous];
}

double ParandelProcessDisp::AmpToDBNorm(double amplitude, double floorDb)
{
    const double a = std::fabs(amplitude);
    const double db = a > kSilentAmplitude ? kDbPerNeper * std::log(a) : floorDb;
    return (std::max(db, floorDb) - floorDb) / -floorDb;
}
