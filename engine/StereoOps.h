#pragma once
// The stereo chain's arithmetic (the mid/side rotation, side gain and pan gains) and the channel
// utilities around it. Nothing here allocates.

#include "framework/ChannelList.h"
#include "framework/SampleBuffer.h"

#include "framework/MathConstants.h"

#include <cmath>
#include <limits>

namespace stereo
{
// The two roundings of 1/√2, used on the two diagonals of the mid/side rotation.
constexpr double kC1 = 0.7071067811865476;
constexpr double kC2 = 0.7071067811865475;
constexpr double kSqrt2 = 1.4142135623730951;
// Side gain is quantised to 1e-6 so equal settings render identically.
constexpr double kSideGainQuantum = 1e-6;

// Side gain for a width w in −1 … 1: w + 1 in steps of the quantum (std::round rounds half
// away from zero).
inline double SideGain(double w)
{
    return std::round((w + 1.0) / kSideGainQuantum) * kSideGainQuantum;
}
// Pan angle for a position p in −1 … 1: 0 (left) … π/2 (right).
inline double PanAngle(double p)
{
    return (p + 1.0) * kPi * 0.25;
}
// Constant-power pan gains, recomputed only when the angle moves. Starts at angle −1 with both
// gains 0, which no position in range produces.
struct PanGains
{
    double theta = -1.0, left = 0.0, right = 0.0;

    void MoveTo(double p)
    {
        const double t = PanAngle(p);
        if (t != theta)
        {
            theta = t;
            left = std::cos(t) * kSqrt2;
            right = std::sin(t) * kSqrt2;
        }
    }
};

// The side gain of the last width, recomputed only when the width moves. Starts at NaN, which
// equals no width.
struct SideGains
{
    double width = std::numeric_limits<double>::quiet_NaN(), gain = 0.0;

    double At(double w)
    {
        if (w != width)
        {
            width = w;
            gain = SideGain(w);
        }
        return gain;
    }
};
} // namespace stereo

// Both channels of a two-channel list become their mean; a one-channel list gets a copy of its
// channel appended; other lists are left alone.
void MakeMono(ChannelList& channels);
// A sample as it is when finite, NaN and ±infinity as 0 (silence). A select rather than a branch,
// so loops over it run several samples per instruction (NaN fails the comparison).
inline double FiniteOrSilence(double x)
{
    return std::fabs(x) <= std::numeric_limits<double>::max() ? x : 0.0;
}
// Copies n samples through FiniteOrSilence.
void CopyFinite(const double* in, double* out, int n);

// The largest output magnitude: what a host's float buffer or a float file can hold. Finite input
// near that level can ring past it in the filters (a step at 3.4e38 overshoots); outputs of input
// within ±1e30 stay far below it.
constexpr double kOutputLimit = std::numeric_limits<float>::max();
// One output sample: NaN and ±infinity become 0 as in FiniteOrSilence, finite samples beyond
// ±kOutputLimit saturate. Written as selects the compiler can vectorise, each on one comparison
// of the magnitude (NaN fails both).
inline double BoundedOutput(double x)
{
    const double a = std::fabs(x);
    const double beyond = a <= std::numeric_limits<double>::max() ? std::copysign(kOutputLimit, x)
                                                                  : 0.0;
    return a <= kOutputLimit ? x : beyond;
}
