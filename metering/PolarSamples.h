#pragma once
// Mode 0 point transform: each stereo sample pair becomes a point of the upper half-disc whose
// angle is the sample's stereo direction (mono up, left-only 45° up-left, right-only 45°
// up-right, opposite phase horizontal) and whose distance from the origin is its amplitude.
// Audio thread: allocates nothing once the outputs have reached the window size.

#include "framework/MathConstants.h"
#include "framework/SampleBuffer.h"

#include <cmath>

// Amplitude at which polar points (and direction-histogram bins) are limited.
constexpr double kPolarMaxRadius = 0.95;

// The stereo direction of a sample pair as the display draws it: −π/4 − atan2(right, left), so
// that in-phase mono points along −π/2 and a sample and its negative differ by π.
inline double StereoDisplayAngle(double left, double right)
{
    return -kPi / 4.0 - std::atan2(right, left);
}

// The unit vector of StereoDisplayAngle(left, right) without trigonometry: with ρ the pair's
// length, cos φ = (L − R) / (√2 ρ) and sin φ = −(L + R) / (√2 ρ), equal to the angle form within
// rounding and a fraction of its cost (it runs for every history sample of every block). A
// silent pair gives the angle form's direction for atan2(0, 0) = 0.
inline void StereoDisplayDirection(double left, double right, double* cosPhi, double* sinPhi)
{
    const double rho = std::sqrt(left * left + right * right);
    if (rho == 0.0)
    {
        *cosPhi = M_SQRT1_2;
        *sinPhi = -M_SQRT1_2;
        return;
    }
    const double s = M_SQRT1_2 / rho;
    *cosPhi = (left - right) * s;
    *sinPhi = -(left + right) * s;
}

// Number of sample pairs both channels hold (the transforms never read past the shorter one).
inline int StereoPairCount(const SampleBuffer& left, const SampleBuffer& right)
{
    return left.GetSize() < right.GetSize() ? left.GetSize() : right.GetSize();
}

// Runs point(left, right, &x, &y) for each sample pair, into x and y resized to the pair count;
// with no pairs they are left untouched. Pairs holding a non-finite value become the origin.
template <typename PointFn>
void TransformSamplePairs(const SampleBuffer& left, const SampleBuffer& right, SampleBuffer& x,
                          SampleBuffer& y, PointFn point)
{
    const int n = StereoPairCount(left, right);
    if (n <= 0)
        return;
    double* xs = x.Resize(n, false);
    double* ys = y.Resize(n, false);
    if (!xs || !ys)
        return;
    const double* l = left.Get();
    const double* r = right.Get();
    for (int i = 0; i < n; ++i)
    {
        if (std::isfinite(l[i]) && std::isfinite(r[i]))
        {
            point(l[i], r[i], xs + i, ys + i);
        }
        else
        {
            xs[i] = 0.0;
            ys[i] = 0.0;
        }
    }
}

// X and Y are resized to the pair count n and receive one point per pair; with n = 0 they are
// left untouched. Pairs holding a non-finite value become the origin.
void PolarSamples(const SampleBuffer& left, const SampleBuffer& right, SampleBuffer& x,
                  SampleBuffer& y);
