#include "metering/TWCorrelationComputer.h"

#include "framework/CParamSmooth.h"
#include "framework/SilenceThreshold.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kQuarterPi = kPi / 4.0;
constexpr int kNegativeOnlyMode = 1;
} // namespace

TWCorrelationComputer::TWCorrelationComputer(int mode, double sampleRate, double smoothingTimeMs)
    : mMode(mode), mSampleRate(sampleRate),
      mSmoother(new CParamSmooth(smoothingTimeMs, sampleRate)), mSmoothingTimeMs(smoothingTimeMs)
{
}

TWCorrelationComputer::~TWCorrelationComputer()
{
    delete mSmoother;
}

void TWCorrelationComputer::Reset(double sampleRate)
{
    mSampleRate = sampleRate;
    mSmoother->Setup(mSmoothingTimeMs, sampleRate);
    mCorrelation = 0.0;
    mLastInstantValue = 0.0;
    mFirstSamplePending = true;
}

double TWCorrelationComputer::InstantCorrelation(double left, double right, bool weightByMagnitude)
{
    // Rounding residue has an arbitrary direction (a faded-in zero through an FFT convolver
    // comes out as ±2e-17 in opposite phase): like exact silence it says nothing.
    if (std::fabs(left) <= kSilenceThreshold && std::fabs(right) <= kSilenceThreshold)
        return 0.0;
    double theta = std::atan2(right, left);
    // A point and its negative lie on the same line, so fold the left half-plane onto the right.
    if (theta < -kHalfPi)
        theta = -kHalfPi - theta;
    else if (theta > kHalfPi)
        theta = kHalfPi - theta;
    theta += kQuarterPi;
    if (theta < 0.0)
        theta += kPi;
    const double c = (theta > kHalfPi ? kPi - theta : theta) / kHalfPi;
    const double d = 2.0 * c - 1.0;
    return weightByMagnitude ? std::sqrt(left * left + right * right) * d : d;
}

void TWCorrelationComputer::Process(const SampleBuffer& left, const SampleBuffer& right,
                                    bool weightByMagnitude)
{
    // A shorter right channel would be read past its end: measure only the common length.
    const int n = std::min(left.GetSize(), right.GetSize());
    const double* l = left.Get();
    const double* r = right.Get();
    for (int i = 0; i < n; ++i)
    {
        double d = InstantCorrelation(l[i], r[i], weightByMagnitude);
        // A NaN or infinite sample would stick the smoother for good; it counts as no correlation.
        if (!std::isfinite(d))
            d = 0.0;
        if (mMode == kNegativeOnlyMode && d > 0.0)
            d = 0.0;
        if (mFirstSamplePending)
        {
            mFirstSamplePending = false;
            mSmoother->Setup(mSmoothingTimeMs, mSampleRate);
            mSmoother->SetState(d);
        }
        mLastInstantValue = d;
        mCorrelation = mSmoother->Process(d);
    }
}
