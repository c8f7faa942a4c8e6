#include "metering/DirectionHistogram.h"

#include "framework/MathConstants.h"
#include "metering/PolarSamples.h"
#include "metering/PolynomialAtan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// The bin by way of the display angle and libm's atan2: the definition.
int DirectionBinOfAngle(double left, double right, int numBins)
{
    // Fold the display angle into 0 … π: first into 0 … 2π, then the lower half onto the upper.
    double c = std::fmod(StereoDisplayAngle(left, right), 2.0 * kPi);
    if (c < 0.0)
        c += 2.0 * kPi;
    c -= kPi;
    if (c < 0.0)
        c += kPi;
    const double k = c / kPi * numBins;
    if (!(k >= 0.0)) // also catches NaN
        return 0;
    if (k >= numBins - 1)
        return numBins - 1;
    return static_cast<int>(k);
}

// atan t for any finite t, from the polynomial on |t| ≤ tan(π/8) and the reflections
// atan t = π/2 − atan(1/t) and atan t = π/4 + atan((t − 1) / (t + 1)).
double PolynomialAtan(double t)
{
    const double a = std::fabs(t);
    const bool inverted = a > 1.0;
    const double u = inverted ? 1.0 / a : a;
    const bool shifted = u > kTanEighthPi;
    double v = shifted ? kPi / 4.0 + AtanNearZero((u - 1.0) / (u + 1.0)) : AtanNearZero(u);
    v = inverted ? kPi / 2.0 - v : v;
    return t < 0.0 ? -v : v;
}

// How close to a bin edge a position may come before the definition decides: the polynomial
// route's position is within a few 1e-16 × numBins of the definition's.
constexpr double kEdgeMargin = 1e-9;
} // namespace

int DirectionBin(double left, double right, int numBins)
{
    // The line through (L, R) lies atan((L − R) / (L + R)) from the in-phase line, which the
    // display puts at π/2; this position is the definition's within rounding.
    const double sum = left + right;
    const double t = (left - right) / sum;
    const double k = (0.5 + PolynomialAtan(t) / kPi) * numBins;
    const double edge = k - std::floor(k);
    // Silence, opposite phase (sum 0), overflow, and positions next to an edge (0 and numBins
    // included, where the definition's fold may land on the other end): as the definition says.
    // Elsewhere 0 < k < numBins.
    if (!(std::fabs(t) <= std::numeric_limits<double>::max()) || !(edge > kEdgeMargin) ||
        !(edge < 1.0 - kEdgeMargin))
        return DirectionBinOfAngle(left, right, numBins);
    return static_cast<int>(k);
}

namespace
{
// Zeroed bins and counts of numBins; false when there are none.
bool StartHistogram(int numBins, SampleBuffer& bins, WDL_TypedBuf<int>& counts)
{
    if (numBins <= 0)
    {
        bins.Resize(0, false);
        return false;
    }
    double* b = bins.Resize(numBins, false);
    int* cnt = counts.Resize(numBins, false);
    if (!b || !cnt)
        return false;
    std::fill(b, b + numBins, 0.0);
    std::fill(cnt, cnt + numBins, 0);
    return true;
}

void AddToBin(double* b, int* cnt, int k, double radius, bool average)
{
    if (average)
    {
        b[k] += radius;
        ++cnt[k];
    }
    else
    {
        b[k] = std::max(b[k], radius);
    }
}

void FinishHistogram(double* b, const int* cnt, int numBins, bool average)
{
    for (int k = 0; k < numBins; ++k)
    {
        if (average && cnt[k] > 0)
            b[k] /= cnt[k];
        b[k] = std::min(b[k], kPolarMaxRadius);
    }
}
} // namespace

void DirectionHistogram(const SampleBuffer& left, const SampleBuffer& right, int numBins,
                        bool average, SampleBuffer& bins, WDL_TypedBuf<int>& counts)
{
    if (!StartHistogram(numBins, bins, counts))
        return;
    double* b = bins.Get();
    int* cnt = counts.Get();
    const int n = StereoPairCount(left, right);
    const double* l = left.Get();
    const double* r = right.Get();
    for (int i = 0; i < n; ++i)
    {
        if (!std::isfinite(l[i]) || !std::isfinite(r[i]))
            continue;
        AddToBin(b, cnt, DirectionBin(l[i], r[i], numBins), std::sqrt(l[i] * l[i] + r[i] * r[i]),
                 average);
    }
    FinishHistogram(b, cnt, numBins, average);
}

void DirectionHistogramOfPairs(const int* pairBins, const double* radii, int n, int numBins,
                               bool average, SampleBuffer& bins, WDL_TypedBuf<int>& counts)
{
    if (!StartHistogram(numBins, bins, counts))
        return;
    double* b = bins.Get();
    int* cnt = counts.Get();
    for (int i = 0; i < n; ++i)
        if (pairBins[i] >= 0)
            AddToBin(b, cnt, pairBins[i], radii[i], average);
    FinishHistogram(b, cnt, numBins, average);
}
