#include "engine/StereoOps.h"

#include <cmath>

using namespace stereo;

void ApplyWidth(SampleBuffer& left, SampleBuffer& right, ParamSmoother& width)
{
    const int n = left.GetSize();
    double* l = left.Get();
    double* r = right.Get();
    for (int k = 0; k < n; ++k)
    {
        width.Step();
        const double w = width.Current();
        const double f = SideGain(w);
        const double L = l[k], R = r[k];
        const double m = L * kC1 + R * kC2;
        const double s = f * (R * kC1 - L * kC2);
        l[k] = m * kC1 - s * kC2;
        r[k] = s * kC1 + m * kC2;
    }
}

void ApplyPan(SampleBuffer& left, SampleBuffer& right, ParamSmoother& pan)
{
    const int n = left.GetSize();
    double* l = left.Get();
    double* r = right.Get();
    // A settled pan costs no sine or cosine per sample.
    PanGains gains;
    for (int k = 0; k < n; ++k)
    {
        pan.Step();
        gains.MoveTo(pan.Current());
        l[k] = gains.left * l[k];
        r[k] = gains.right * r[k];
    }
}

void ApplyGain(SampleBuffer& left, SampleBuffer* right, ParamSmoother& gain)
{
    const int n = left.GetSize();
    double* l = left.Get();
    double* r = right ? right->Get() : nullptr;
    for (int k = 0; k < n; ++k)
    {
        gain.Step();
        const double g = gain.Current();
        l[k] *= g;
        if (r)
            r[k] *= g;
    }
}

void StereoToMono(const SampleBuffer& left, const SampleBuffer& right, SampleBuffer& out)
{
    const int n = left.GetSize();
    if (right.GetSize() == 0)
    {
        out.Set(left.Get(), n, false);
        return;
    }
    out.Resize(n, false);
    const double* l = left.Get();
    const double* r = right.Get();
    double* m = out.Get();
    for (int k = 0; k < n; ++k)
        m[k] = (l[k] + r[k]) * 0.5;
}

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

void AddChannels(const SampleBuffer& a, const SampleBuffer& b, SampleBuffer& out)
{
    const int n = a.GetSize();
    out.Resize(n, false);
    const double* ap = a.Get();
    const double* bp = b.Get();
    double* o = out.Get();
    for (int k = 0; k < n; ++k)
        o[k] = ap[k] + bp[k];
}

void ZeroNonFinite(SampleBuffer& channel)
{
    double* x = channel.Get();
    const int n = channel.GetSize();
    for (int k = 0; k < n; ++k)
        if (!std::isfinite(x[k]))
            x[k] = 0.0;
}

void BoundOutput(SampleBuffer& channel)
{
    double* x = channel.Get();
    const int n = channel.GetSize();
    for (int k = 0; k < n; ++k)
        x[k] = BoundedOutput(x[k]);
}
