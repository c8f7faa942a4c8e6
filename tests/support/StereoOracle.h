#pragma once
// The chain's stages written one at a time, per sample, as the reference the one-pass stereo
// chain is compared with. Width and pan work in place on a channel pair (left, right) and advance
// their smoother once per sample of the left channel; the right channel must hold at least as
// many samples.

#include "engine/StereoOps.h"
#include "framework/ParamSmoother.h"
#include "framework/SampleBuffer.h"

namespace oracle
{
// Mid/side width: the side is scaled by (w + 1), w in −1 … 1 read from the smoother.
inline void ApplyWidth(SampleBuffer& left, SampleBuffer& right, ParamSmoother& width)
{
    using namespace stereo;
    double* l = left.Get();
    double* r = right.Get();
    for (int k = 0; k < left.GetSize(); ++k)
    {
        width.Step();
        const double f = SideGain(width.Current());
        const double L = l[k], R = r[k];
        const double m = L * kC1 + R * kC2;
        const double s = f * (R * kC1 - L * kC2);
        l[k] = m * kC1 - s * kC2;
        r[k] = s * kC1 + m * kC2;
    }
}

// Constant-power balance with unity gain at the centre, p in −1 … 1 read from the smoother.
inline void ApplyPan(SampleBuffer& left, SampleBuffer& right, ParamSmoother& pan)
{
    double* l = left.Get();
    double* r = right.Get();
    stereo::PanGains gains;
    for (int k = 0; k < left.GetSize(); ++k)
    {
        pan.Step();
        gains.MoveTo(pan.Current());
        l[k] = gains.left * l[k];
        r[k] = gains.right * r[k];
    }
}

// Multiplies both channels (right only if present) by the smoother's value, sample by sample.
inline void ApplyGain(SampleBuffer& left, SampleBuffer* right, ParamSmoother& gain)
{
    double* l = left.Get();
    double* r = right ? right->Get() : nullptr;
    for (int k = 0; k < left.GetSize(); ++k)
    {
        gain.Step();
        l[k] *= gain.Current();
        if (r)
            r[k] *= gain.Current();
    }
}

// out[k] = a[k] + b[k] over a's length (b must be at least as long).
inline void AddChannels(const SampleBuffer& a, const SampleBuffer& b, SampleBuffer& out)
{
    out.Resize(a.GetSize(), false);
    for (int k = 0; k < a.GetSize(); ++k)
        out.Get()[k] = a.Get()[k] + b.Get()[k];
}
// The output guard over n samples, as its own pass.
inline void BoundOutput(double* x, int n)
{
    for (int k = 0; k < n; ++k)
        x[k] = BoundedOutput(x[k]);
}
} // namespace oracle
