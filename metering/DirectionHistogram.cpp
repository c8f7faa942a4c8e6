#include "metering/DirectionHistogram.h"

#include "framework/MathConstants.h"
#include "metering/PolarSamples.h"

#include <algorithm>
#include <cmath>

int DirectionBin(double left, double right, int numBins)
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
