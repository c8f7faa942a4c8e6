#include "metering/DirectionHistogram.h"

#include "metering/PolarSamples.h"

#include <algorithm>
#include <cmath>

int DirectionBin(double left, double right, int numBins)
{
    // Fold the display angle into 0 … π: first into 0 … 2π, then the lower half onto the upper.
    double c = std::fmod(StereoDisplayAngle(left, right), 2.0 * M_PI);
    if (c < 0.0)
        c += 2.0 * M_PI;
    c -= M_PI;
    if (c < 0.0)
        c += M_PI;
    const double k = c / M_PI * numBins;
    if (!(k >= 0.0)) // also catches NaN
        return 0;
    if (k >= numBins - 1)
        return numBins - 1;
    return static_cast<int>(k);
}

void DirectionHistogram(const SampleBuffer& left, const SampleBuffer& right, int numBins,
                        bool average, SampleBuffer& bins, WDL_TypedBuf<int>& counts)
{
    if (numBins <= 0)
    {
        bins.Resize(0, false);
        return;
    }
    double* b = bins.Resize(numBins, false);
    int* cnt = counts.Resize(numBins, false);
    if (!b || !cnt)
        return;
    std::fill(b, b + numBins, 0.0);
    std::fill(cnt, cnt + numBins, 0);

    const int n = StereoPairCount(left, right);
    const double* l = left.Get();
    const double* r = right.Get();
    for (int i = 0; i < n; ++i)
    {
        if (!std::isfinite(l[i]) || !std::isfinite(r[i]))
            continue;
        const int k = DirectionBin(l[i], r[i], numBins);
        const double radius = std::sqrt(l[i] * l[i] + r[i] * r[i]);
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
    for (int k = 0; k < numBins; ++k)
    {
        if (average && cnt[k] > 0)
            b[k] /= cnt[k];
        b[k] = std::min(b[k], kPolarMaxRadius);
    }
}
