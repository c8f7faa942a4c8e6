#include "engine/StereoOps.h"

#include "framework/Lanes.h"

#include <cmath>

void MakeMono(ChannelList& channels)
{
    if (channels.GetSize() == 1)
    {
        channels.Add(channels[0]);
        return;
    }
    if (channels.GetSize() != 2)
        return;
    // In place: the mean is written into the left channel, then copied to the right.
    SampleBuffer& l = channels[0];
    SampleBuffer& r = channels[1];
    const int n = l.GetSize();
    double* lp = l.Get();
    const double* rp = r.Get();
    // A right channel shorter than the left counts as silence past its end.
    const int rn = r.GetSize() < n ? r.GetSize() : n;
    if (r.GetSize() > 0)
    {
        for (int k = 0; k < rn; ++k)
            lp[k] = (lp[k] + rp[k]) * 0.5;
        for (int k = rn; k < n; ++k)
            lp[k] *= 0.5;
    }
    r.Set(l.Get(), n, false);
}

namespace
{
PARANDEL_LANES_INLINE void CopyFiniteLoop(const double* in, double* out, int n)
{
    for (int k = 0; k < n; ++k)
        out[k] = FiniteOrSilence(in[k]);
}

#if defined(PARANDEL_LANES_AVX2)
PARANDEL_TARGET_AVX2 void CopyFiniteAvx2(const double* in, double* out, int n)
{
    CopyFiniteLoop(in, out, n);
}
#endif
} // namespace

void CopyFinite(const double* in, double* out, int n)
{
    // Four samples per instruction where the processor has AVX2, the same results.
#if defined(PARANDEL_LANES_AVX2)
    if (CpuHasAvx2())
        return CopyFiniteAvx2(in, out, n);
#endif
    CopyFiniteLoop(in, out, n);
}

void BoundOutput(double* x, int n)
{
    for (int k = 0; k < n; ++k)
        x[k] = BoundedOutput(x[k]);
}
