#include "metering/TWCorrelationComputer.h"

#include "framework/CParamSmooth.h"
#include "framework/MathConstants.h"
#include "framework/SilenceThreshold.h"
#include "metering/PolynomialAtan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
constexpr double kQuarterPi = kPi / 4.0;
constexpr double kFourOverPi = 4.0 / kPi;
constexpr int kNegativeOnlyMode = 1;
// Per-sample values are worked out this many at a time before they are smoothed.
constexpr int kChunk = 64;

// 1 − 4φ/π for finite, non-silent (L, R), φ the angle between the line through (L, R) and the
// line L = R, from the mid (L + R) and side (R − L) magnitudes: tan φ = side / mid. In two
// halves: AngleQuotient gives the quotient whose arctangent is taken, with what AngleMeasure
// needs to finish. Kept apart, each half's loop is short, so that the processor has many
// samples' long arctangent in flight at once. V is Pair or Quad.
template <class V>
struct AngleQuotient
{
    V quotient, base;
    LaneMask<V> inPhase;
};

template <class V>
PARANDEL_LANES_INLINE AngleQuotient<V> AngleQuotientOf(V left, V right)
{
    // Quartered first, so that no sum below can overflow.
    const V zero = {}, one = zero + 1.0, quarter = zero + 0.25;
    const V mid = Abs(quarter * left + quarter * right);
    const V side = Abs(quarter * right - quarter * left);
    // Past 45° from L = R the measure turns negative: 1 − 4φ/π = −(1 − 4(π/2 − φ)/π).
    const LaneMask<V> inPhase = side <= mid;
    const V lo = Select(inPhase, side, mid);
    const V hi = Select(inPhase, mid, side);
    // atan(lo / hi) in 0 … π/4; above tan(π/8) as π/4 + atan((lo − hi) / (lo + hi)). The
    // smallest normal number added keeps a silent pair, whose value is dropped later, from
    // dividing 0 by 0; beside any denominator of sound (above 2.5e-17) it vanishes.
    const LaneMask<V> near = lo <= (zero + kTanEighthPi) * hi;
    const V num = lo - Select(near, zero, hi);
    const V den = hi + Select(near, zero, lo) + std::numeric_limits<double>::min();
    return {num / den, Select(near, one, zero), inPhase};
}

template <class V>
PARANDEL_LANES_INLINE V AngleMeasure(const AngleQuotient<V>& a)
{
    const V e = a.base - (V{} + kFourOverPi) * AtanNearZero(a.quotient);
    return Select(a.inPhase, e, -e);
}

template <class V>
PARANDEL_LANES_INLINE V AngleMeasure(V left, V right)
{
    return AngleMeasure(AngleQuotientOf(left, right));
}

inline bool IsFinite(double x)
{
    return std::fabs(x) <= std::numeric_limits<double>::max();
}

// Rounding residue has an arbitrary direction (a faded-in zero through an FFT convolver comes out
// as ±2e-17 in opposite phase): like exact silence it says nothing.
inline bool IsSilent(double left, double right)
{
    return (std::fabs(left) <= kSilenceThreshold) & (std::fabs(right) <= kSilenceThreshold);
}

// The same measure through atan2 and the angle folds, which also gives infinities their due.
double AngleMeasureAtan2(double left, double right, bool weightByMagnitude)
{
    if (IsSilent(left, right))
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

// What the smoother takes for a measure v of (L, R): a pair whose louder sample is within the
// silence threshold counts as silence, a non-finite value as no correlation (it would stick the
// smoother for good), and the negative-only mode drops positive values. One comparison per
// select, so that it runs lane by lane. (With a NaN on the right only, the loudest sample is the
// left one and the pair may count as silence: 0 either way.)
template <class V>
PARANDEL_LANES_INLINE V SmootherInput(V v, V left, V right, bool negativeOnly)
{
    const V zero = {};
    const V a = Abs(left), b = Abs(right);
    const V loudest = Select(a < b, b, a);
    v = Select(loudest <= zero + kSilenceThreshold, zero, v);
    v = FiniteOrZero(v);
    return negativeOnly ? Select(v > zero, zero, v) : v;
}

// Smoother inputs of the first pairs of n ≤ kChunk, unweighted, a vector of pairs at a time;
// returns how many it did. finite turns false when one of them holds a non-finite sample, whose
// input must then be worked out again.
template <class V>
PARANDEL_LANES_INLINE int UnweightedInputs(const double* l, const double* r, int n,
                                           bool negativeOnly, double* d, bool& finite)
{
    constexpr int kLanes = sizeof(V) / sizeof(double);
    // x × 0 is ±0 for finite x and NaN otherwise: the probe stays 0 while every sample is finite.
    const V zero = {};
    V probe = zero;
    AngleQuotient<V> quotients[kChunk / kLanes];
    const int whole = n / kLanes;
    for (int j = 0; j < whole; ++j)
    {
        V left, right;
        std::memcpy(&left, l + j * kLanes, sizeof left);
        std::memcpy(&right, r + j * kLanes, sizeof right);
        quotients[j] = AngleQuotientOf(left, right);
        probe = probe + left * zero + right * zero;
    }
    for (int j = 0; j < whole; ++j)
    {
        V left, right;
        std::memcpy(&left, l + j * kLanes, sizeof left);
        std::memcpy(&right, r + j * kLanes, sizeof right);
        const V v = SmootherInput(AngleMeasure(quotients[j]), left, right, negativeOnly);
        std::memcpy(d + j * kLanes, &v, sizeof v);
    }
    for (int i = 0; i < kLanes; ++i)
        finite = finite && probe[i] == 0.0;
    return whole * kLanes;
}

#if defined(PARANDEL_LANES_AVX2)
PARANDEL_TARGET_AVX2 int UnweightedInputsAvx2(const double* l, const double* r, int n,
                                              bool negativeOnly, double* d, bool& finite)
{
    return UnweightedInputs<Quad>(l, r, n, negativeOnly, d, finite);
}
#endif

// The input for one pair, whatever it holds.
double OneInput(double l, double r, bool weightByMagnitude, bool negativeOnly)
{
    double d;
    if (IsFinite(l) && IsFinite(r))
    {
        d = AngleMeasure(Splat(l), Splat(r))[0];
        if (weightByMagnitude)
            d = std::sqrt(l * l + r * r) * d;
    }
    else
    {
        d = AngleMeasureAtan2(l, r, weightByMagnitude);
    }
    return SmootherInput(Splat(d), Splat(l), Splat(r), negativeOnly)[0];
}

// The values the smoother takes for n pairs.
void SmootherInputs(const double* l, const double* r, int n, bool weightByMagnitude, int mode,
                    double* d)
{
    const bool negativeOnly = mode == kNegativeOnlyMode;
    int k = 0;
    bool finite = true;
    if (!weightByMagnitude)
    {
#if defined(PARANDEL_LANES_AVX2)
        if (CpuHasAvx2())
            k = UnweightedInputsAvx2(l, r, n, negativeOnly, d, finite);
#endif
        k += UnweightedInputs<Pair>(l + k, r + k, n - k, negativeOnly, d + k, finite);
        if (finite)
        {
            for (; k < n; ++k)
                d[k] = OneInput(l[k], r[k], false, negativeOnly);
            return;
        }
        k = 0;
    }
    for (; k < n; ++k)
        d[k] = OneInput(l[k], r[k], weightByMagnitude, negativeOnly);
}
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
    mFirstSamplePending = true;
    mWaitingCount = 0;
}

void TWCorrelationComputer::Process(const SampleBuffer& left, const SampleBuffer& right,
                                    bool weightByMagnitude)
{
    // A shorter right channel would be read past its end: measure only the common length.
    Process(left.Get(), right.Get(), std::min(left.GetSize(), right.GetSize()), weightByMagnitude);
}

void TWCorrelationComputer::Process(const double* l, const double* r, int n,
                                    bool weightByMagnitude)
{
    double d[kChunk];
    for (int i = 0; i < n; i += kChunk)
    {
        const int m = std::min(kChunk, n - i);
        SmootherInputs(l + i, r + i, m, weightByMagnitude, mMode, d);
        if (mFirstSamplePending)
        {
            // The smoothed value starts at the first sample's value instead of rising from 0.
            mFirstSamplePending = false;
            mSmoother->Setup(mSmoothingTimeMs, mSampleRate);
            mSmoother->SetState(d[0]);
        }
        Smooth(d, m);
    }
}

void TWCorrelationComputer::Smooth(const double* d, int m)
{
    int k = 0;
    if (mWaitingCount > 0)
    {
        while (mWaitingCount < 4 && k < m)
            mWaiting[mWaitingCount++] = d[k++];
        if (mWaitingCount < 4)
        {
            mCorrelation = mSmoother->ValueAfter(mWaiting, mWaitingCount);
            return;
        }
        mSmoother->ProcessBlockInSteps(mWaiting, 4);
        mWaitingCount = 0;
    }
    const int whole = (m - k) / 4 * 4;
    mSmoother->ProcessBlockInSteps(d + k, whole);
    k += whole;
    while (k < m)
        mWaiting[mWaitingCount++] = d[k++];
    mCorrelation = mSmoother->ValueAfter(mWaiting, mWaitingCount);
}
