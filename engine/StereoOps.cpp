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

void CopyFinite(const double* in, double* out, int n)
{
    RunAtWidestLanes([=]() PARANDEL_LAMBDA_INLINE {
        for (int k = 0; k < n; ++k)
            out[k] = FiniteOrSilence(in[k]);
    });
}
